// A fixture that runs platform calls against a simulated system of its own
// and, unless a test expects otherwise, checks at the end that nothing was
// leaked or misused.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "joined_part.h"
#include "platform/platform.h"
#include "platform/sim/sim_system.h"
#include "platform_checks.h"
#include "sample_ids.h"

namespace velto::sim::testing {

using namespace velto::platform;

using namespace velto::testing::sample;

inline std::string SystemFile(const std::string& name) {
  return std::string(VELTO_SIM_SYSTEMS) + "/" + name;
}

using velto::testing::Ascii16;
using velto::testing::ListedParts;
using velto::testing::Narrow;
using velto::testing::PartName;

inline nlohmann::json SystemJson(const std::string& name) {
  return nlohmann::json::parse(std::ifstream(SystemFile(name)));
}

// Systems only these tests load: shapes no capture gives back as written
// (levels outside their range), so they stay out of tests/systems.
inline nlohmann::json OwnSystemJson(const std::string& name) {
  return nlohmann::json::parse(std::ifstream(std::string(VELTO_SIM_OWN_SYSTEMS) + "/" + name));
}

class SimTest : public ::testing::Test {
 protected:
  void SetUp() override { Use(SimSystem::Sample()); }
  // These tests call the objects directly, as no host would without COM.
  void Use(std::unique_ptr<SimSystem> system) {
    sys_ = std::move(system);
    sys_->SetApartmentChecks(false);
  }

  void TearDown() override {
    if (!expectClean_) return;
    EXPECT_EQ(velto::hardening::PlatformLeftovers(*sys_), std::vector<std::string>{});
  }

  void Load(const nlohmann::json& description) { Use(SimSystem::FromJson(description, "test")); }
  // For tests that provoke problems on purpose.
  void SkipCleanCheck() { expectClean_ = false; }

  Ref<DeviceEnumerator> Enumerator() {
    Ref<DeviceEnumerator> enumerator;
    EXPECT_EQ(sys_->CreateDeviceEnumerator(kClsctxInprocServer, enumerator), kS_OK);
    return enumerator;
  }

  Ref<Device> DeviceById(const std::string& id) {
    const std::u16string wide = Ascii16(id);
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

  // Names of the parts on one side of `part`; empty when the call fails.
  std::vector<std::string> Neighbours(Part& part, bool incoming) {
    std::vector<std::string> names;
    for (auto& item : velto::testing::NextParts(part, incoming)) names.push_back(PartName(*item));
    return names;
  }

  // The part named `name` on the sample's adapter, searched from its
  // connectors in both directions.
  Ref<Part> PartNamed(const std::string& name, const std::string& viaEndpoint = kSpeakers) {
    Ref<DeviceTopology> adapter;
    EXPECT_EQ(AdapterConnectorPart(viaEndpoint)->GetTopologyObject(adapter), kS_OK);
    std::uint32_t count = 0;
    EXPECT_EQ(adapter->GetConnectorCount(&count), kS_OK);
    std::deque<Ref<Part>> connectors(count);
    for (std::uint32_t i = 0; i < count; ++i) {
      Ref<Connector> connector;
      EXPECT_EQ(adapter->GetConnector(i, connector), kS_OK);
      EXPECT_EQ(connector->QueryPart(connectors[i]), kS_OK);
    }
    Ref<Part> part = velto::testing::FindPart(std::move(connectors), name);
    if (!part) ADD_FAILURE() << "no part named " << name;
    return part;
  }

  template <class Control, class Iid>
  Ref<Control> Activated(const std::string& partName, Iid iid,
                         const std::string& viaEndpoint = kSpeakers) {
    Ref<Control> control;
    EXPECT_EQ(PartNamed(partName, viaEndpoint)->Activate(iid, kClsctxAll, control), kS_OK)
        << partName;
    return control;
  }

  std::unique_ptr<SimSystem> sys_;
  bool expectClean_ = true;
};

}  // namespace velto::sim::testing
