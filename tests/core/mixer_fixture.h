// A test that runs the exports on a simulated sound system of its own.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "core/endpoint_lookup.h"
#include "core/mixer_state.h"
#include "platform/sim/sim_system.h"
#include "platform_checks.h"
#include "sample_ids.h"
#include "veltosound.h"

namespace velto::testing {

inline std::string SystemPath(const std::string& name) {
  return std::string(VELTO_TEST_SYSTEMS) + "/" + name;
}

// The part whose `key` is `value`, in whichever adapter holds it.
inline nlohmann::json& PartWhere(nlohmann::json& description, const char* key,
                                 const std::string& value) {
  for (nlohmann::json& adapter : description["adapters"]) {
    for (nlohmann::json& part : adapter["parts"]) {
      if (part[key] == value) return part;
    }
  }
  ADD_FAILURE() << "no part with " << key << " " << value;
  static nlohmann::json none;
  return none;
}
inline nlohmann::json& PartById(nlohmann::json& description, const std::string& id) {
  return PartWhere(description, "id", id);
}

inline nlohmann::json& EndpointById(nlohmann::json& description, const std::string& id) {
  for (nlohmann::json& endpoint : description["endpoints"]) {
    if (endpoint["id"] == id) return endpoint;
  }
  ADD_FAILURE() << "no endpoint " << id;
  static nlohmann::json none;
  return none;
}

// An endpoint with a stereo volume and no topology behind it.
inline nlohmann::json Endpoint(const std::string& id, const std::string& name,
                               const std::string& flow, const std::string& state = "active") {
  return {
      {"id", id},
      {"name", name},
      {"flow", flow},
      {"state", state},
      {"volume", {{"min", -65.25}, {"max", 0.0}, {"step", 0.75}, {"channels", {-10.0, -10.0}}}}};
}

// A host buffer larger than the 255 bytes promised, so a write past them shows.
struct HostBuffer {
  static constexpr char kGuard = 0x5A;
  std::array<char, 512> bytes;
  HostBuffer() { bytes.fill(kGuard); }
  char* data() { return bytes.data(); }
  const char* data() const { return bytes.data(); }
  std::string text() const { return std::string(bytes.data(), strnlen(bytes.data(), 255)); }
  bool untouched() const { return guardIntactFrom(0); }
  bool guardIntactFrom(std::size_t offset) const {
    return std::all_of(bytes.begin() + offset, bytes.end(), [](char b) { return b == kGuard; });
  }
};

class MixerTest : public ::testing::Test {
 protected:
  void SetUp() override { UseSystem(sim::SimSystem::Sample()); }

  // Every test ends with nothing held and nothing misused on the platform.
  void TearDown() override {
    found_.reset();
    EXPECT_EQ(hardening::LeftAfterClosing(system()), std::vector<std::string>{});
    ResetMixerState();
  }

  // Installs `system` as the platform; the mixer starts unbound and empty.
  sim::SimSystem& UseSystem(std::unique_ptr<sim::SimSystem> system) {
    found_.reset();
    ResetMixerState();
    sim::Install(std::move(system));
    return sim::Installed();
  }
  sim::SimSystem& UseSystemFile(const std::string& name) {
    return UseSystem(sim::SimSystem::FromFile(SystemPath(name)));
  }
  sim::SimSystem& UseSystemJson(const nlohmann::json& description) {
    return UseSystem(sim::SimSystem::FromJson(description, "test description"));
  }

  // Binds all three sample devices on `description`, with `faults` while
  // binding; returns the system as binding found it.
  nlohmann::json BindSample(const nlohmann::json& description,
                            const std::vector<sim::FaultRule>& faults = {}) {
    UseSystemJson(description);
    const nlohmann::json found = state();
    for (const sim::FaultRule& fault : faults) system().AddFault(fault);
    EXPECT_EQ(OpenSoundCard("4f6a2c1e", "6b8e3f2a", "d1f5a9c3"), 0);
    system().ClearFaults();
    return found;
  }

  sim::SimSystem& system() { return sim::Installed(); }
  nlohmann::json state() { return system().Dump(); }
  nlohmann::json Sample() { return sim::SimSystem::Sample()->Dump(); }

 public:
  // A part's controls, and an endpoint's volume, as the system holds them now.
  nlohmann::json PartControls(const std::string& partName) {
    nlohmann::json now = state();
    return PartWhere(now, "name", partName).value("controls", nlohmann::json::object());
  }
  nlohmann::json EndpointVolumeState(const std::string& endpointId) {
    nlohmann::json now = state();
    return EndpointById(now, endpointId)["volume"];
  }

 protected:
  // Every call named `op`, on any object, answers `result`.
  void Fail(const std::string& op, platform::HRESULT result,
            std::optional<std::uint32_t> channel = {}) {
    system().AddFault({"*", op, result, channel});
  }
  MixerState& mixer() { return Mixer(); }

  // A lookup as a binding makes it, 0 found or -1: the record keeps what a
  // binding keeps, and the found id stays held here until the next lookup,
  // as a binding holds it until its activation.
  int Lookup(const char* searchText, platform::DataFlow flow) {
    found_ = FindEndpoint(searchText, flow);
    if (!found_) return -1;
    KeepFound(mixer(), found_->name);
    return 0;
  }

 private:
  std::optional<FoundEndpoint> found_;
};

}  // namespace velto::testing
