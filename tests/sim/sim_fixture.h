// A fixture that runs platform calls against a simulated system of its own
// and, unless a test expects otherwise, checks at the end that nothing was
// leaked or misused.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "joined_part.h"
#include "platform/platform.h"
#include "platform/sim/sim_system.h"
#include "platform_checks.h"

namespace velto::sim::testing {

using namespace velto::platform;

constexpr const char* kSpeakers = "{0.0.0.00000000}.{4f6a2c1e-8b3d-4e7a-9c51-2d8f0b6e3a17}";
constexpr const char* kDigital = "{0.0.0.00000000}.{a3e91b57-2c64-4d0f-8e1a-7b5c9d3f6e20}";
constexpr const char* kHeadphones = "{0.0.0.00000000}.{c7d2e4f8-5a1b-4c3e-9f60-1e8b2a7d4c95}";
constexpr const char* kMicrophone = "{0.0.1.00000000}.{6b8e3f2a-9d4c-4a71-b5e0-3c9f1a8d2e64}";
constexpr const char* kLineIn = "{0.0.1.00000000}.{d1f5a9c3-7e2b-4b86-a0d4-5f3e8c1b9a72}";

inline std::u16string Wide(const std::string& ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

inline std::string Narrow(const WChar* text) {
  std::string out;
  for (; text && *text; ++text) out += static_cast<char>(*text);
  return out;
}

class SimTest : public ::testing::Test {
 protected:
  void SetUp() override { sys_ = SimSystem::Sample(); }

  void TearDown() override {
    if (!expectClean_) return;
    EXPECT_EQ(velto::hardening::PlatformLeftovers(*sys_), std::vector<std::string>{});
  }

  void Load(const nlohmann::json& description) { sys_ = SimSystem::FromJson(description, "test"); }
  // For tests that provoke problems on purpose.
  void SkipCleanCheck() { expectClean_ = false; }

  Ref<DeviceEnumerator> Enumerator() {
    Ref<DeviceEnumerator> enumerator;
    EXPECT_EQ(sys_->CreateDeviceEnumerator(kClsctxInprocServer, enumerator), kS_OK);
    return enumerator;
  }

  Ref<Device> DeviceById(const std::string& id) {
    const std::u16string wide = Wide(id);
    Ref<Device> device;
    EXPECT_EQ(Enumerator()->GetDevice(wide.c_str(), device), kS_OK) << id;
    return device;
  }

  Ref<DeviceTopology> EndpointTopology(const std::string& id) {
    Ref<DeviceTopology> topology;
    EXPECT_EQ(DeviceById(id)->Activate(kClsctxAll, topology), kS_OK);
    return topology;
  }

  Ref<EndpointVolume> Volume(const std::string& id) {
    Ref<EndpointVolume> volume;
    EXPECT_EQ(DeviceById(id)->Activate(kClsctxInprocServer, volume), kS_OK);
    return volume;
  }

  // The adapter part joined to the endpoint.
  Ref<Part> AdapterConnectorPart(const std::string& endpointId) {
    Ref<Part> part = velto::testing::JoinedPart(*EndpointTopology(endpointId));
    EXPECT_TRUE(part) << endpointId;
    return part;
  }

  std::string Name(Part& part) {
    TaskString name;
    EXPECT_EQ(part.GetName(name), kS_OK);
    return Narrow(name.Get());
  }

  std::vector<Ref<Part>> Parts(PartsList& list) {
    std::uint32_t count = 0;
    EXPECT_EQ(list.GetCount(&count), kS_OK);
    std::vector<Ref<Part>> parts(count);
    for (std::uint32_t i = 0; i < count; ++i) EXPECT_EQ(list.GetPart(i, parts[i]), kS_OK);
    return parts;
  }

  // Names of the parts on one side of `part`; empty when the call fails.
  std::vector<std::string> Neighbours(Part& part, bool incoming) {
    Ref<PartsList> list;
    const HRESULT hr = incoming ? part.EnumPartsIncoming(list) : part.EnumPartsOutgoing(list);
    std::vector<std::string> names;
    if (hr != kS_OK) return names;
    for (auto& item : Parts(*list)) names.push_back(Name(*item));
    return names;
  }

  // The part named `name` on the sample's adapter, searched from its
  // connectors in both directions.
  Ref<Part> PartNamed(const std::string& name, const std::string& viaEndpoint = kSpeakers) {
    Ref<DeviceTopology> adapter;
    EXPECT_EQ(AdapterConnectorPart(viaEndpoint)->GetTopologyObject(adapter), kS_OK);
    std::uint32_t count = 0;
    EXPECT_EQ(adapter->GetConnectorCount(&count), kS_OK);
    std::deque<Ref<Part>> queue;
    for (std::uint32_t i = 0; i < count; ++i) {
      Ref<Connector> connector;
      Ref<Part> part;
      EXPECT_EQ(adapter->GetConnector(i, connector), kS_OK);
      EXPECT_EQ(connector->QueryPart(part), kS_OK);
      queue.push_back(part);
    }
    std::set<std::string> seen;
    while (!queue.empty()) {
      Ref<Part> part = queue.front();
      queue.pop_front();
      const std::string partName = Name(*part);
      if (partName == name) return part;
      if (!seen.insert(partName).second) continue;
      for (bool incoming : {true, false}) {
        Ref<PartsList> list;
        const HRESULT hr = incoming ? part->EnumPartsIncoming(list) : part->EnumPartsOutgoing(list);
        if (hr != kS_OK) continue;
        for (auto& next : Parts(*list)) queue.push_back(next);
      }
    }
    ADD_FAILURE() << "no part named " << name;
    return nullptr;
  }

  template <class Control, class Iid>
  Ref<Control> Activated(const std::string& partName, Iid iid) {
    Ref<Control> control;
    EXPECT_EQ(PartNamed(partName)->Activate(iid, kClsctxAll, control), kS_OK) << partName;
    return control;
  }

  std::unique_ptr<SimSystem> sys_;
  bool expectClean_ = true;
};

}  // namespace velto::sim::testing
