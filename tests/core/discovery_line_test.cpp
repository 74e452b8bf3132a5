#include <gtest/gtest.h>

#include <string>

#include "mixer_fixture.h"
#include "topology/discovery.h"
#include "topology_support.h"

namespace velto::testing {
namespace {

using platform::DataFlow;

constexpr const char* kLine = "{0.0.1.00000000}.{topo-line}";
const std::string kEndpointVolume = std::string("device:") + kLine + "/volume";
const std::string kCard = "part:Line Card/";

using LineDiscoveryTest = WalkTest;

void GiveAgc(json& description, const std::string& id, int enabled) {
  PartById(description, id)["controls"] = {{"agc", enabled}};
}

TEST_F(LineDiscoveryTest, GainControlTwoPartsDownstreamOfEachLineConnector) {
  const Slots endpointOnly{{"lineEndpoint", kEndpointVolume}};
  const Slots firstAgc{{"lineEndpoint", kEndpointVolume}, {"lineAgc", kCard + "line-agc/agc"}};
  const WalkCase cases[] = {
      {"the first line connector's path has it; the second's does not and keeps it", 0, firstAgc,
       Fields{{"savedLineRecordLevel", "-3"}, {"savedLineAgc", "1"}}},
      {"a later line connector that has it replaces it", 0,
       Slots{{"lineEndpoint", kEndpointVolume}, {"lineAgc", kCard + "rear-select/agc"}},
       Fields{{"savedLineAgc", "0"}}, Faults{}, [](json& d) { GiveAgc(d, "rear-select", 0); }},
      {"only the second part downstream is tried, not the first", 0, endpointOnly,
       Fields{{"savedLineAgc", "-"}}, Faults{},
       [](json& d) {
         PartById(d, "line-agc").erase("controls");
         GiveAgc(d, "line-volume", 1);
       }},
      {"a first part at the device's edge is passed over; a later connector still binds", 0,
       Slots{{"lineEndpoint", kEndpointVolume}, {"lineAgc", kCard + "rear-select/agc"}}, Fields{},
       Faults{},
       [](json& d) {
         RemoveLink(d, "line-volume", "line-agc");
         GiveAgc(d, "rear-select", 0);
       }},
      {"a first part whose way on cannot be read fails the walk; later connectors are not "
       "examined",
       1, endpointOnly, Fields{}, Faults{{kCard + "line-volume", "EnumPartsOutgoing"}},
       [](json& d) { GiveAgc(d, "rear-select", 0); }},
      {"a line connector that feeds nothing is passed over", 0,
       Slots{{"lineEndpoint", kEndpointVolume}, {"lineAgc", kCard + "rear-select/agc"}}, Fields{},
       Faults{},
       [](json& d) {
         RemoveLink(d, "line-in", "line-volume");
         GiveAgc(d, "rear-select", 0);
       }},
      {"no connector named line", 0, endpointOnly, Fields{{"savedLineRecordLevel", "-3"}}, Faults{},
       [](json& d) {
         Rename(d, "line-in", "Aux In");
         Rename(d, "rear-line", "Rear In");
         Rename(d, "capture", "Capture");
       }},
      {"an unreadable master level does not stop the walk", 0, firstAgc,
       Fields{{"savedLineRecordLevel", "-"}, {"savedLineAgc", "1"}},
       Faults{{kEndpointVolume, "GetMasterVolumeLevel"}}},
      {"an unreadable gain state keeps the control but saves nothing", 0, firstAgc,
       Fields{{"savedLineAgc", "-"}}, Faults{{kCard + "line-agc/agc", "GetEnabled"}}},
      {"a failed activation on a later connector keeps the earlier control", 0, firstAgc,
       Fields{{"savedLineAgc", "1"}}, Faults{{kCard + "rear-select", "Activate"}},
       [](json& d) { GiveAgc(d, "rear-select", 0); }},
      {"the connector count cannot be read", 1, endpointOnly, Fields{},
       Faults{{"adapter:Line Card", "GetConnectorCount"}}},
      {"a connector cannot be fetched", 1, firstAgc, Fields{},
       Faults{{"adapter:Line Card", "GetConnector", platform::kE_FAIL, std::nullopt, 2}}},
      {"the second part cannot be fetched", 1, endpointOnly, Fields{},
       Faults{{kCard + "line-volume/outgoing", "GetPart"}}},
      {"no adapter topology behind the connector", 1, endpointOnly, Fields{},
       Faults{{kCard + "capture", "GetTopologyObject"}}},
  };
  RunEach("topology/line_paths.json", WalkOf(DiscoverLineCaptureControls, kLine, DataFlow::Capture),
          cases);
}

TEST_F(LineDiscoveryTest, NoEndpointNoBinding) {
  UseSystemFile("topology/line_paths.json");
  EXPECT_EQ(ResultCode(WalkAlone(DiscoverLineCaptureControls, "{0.0.0", DataFlow::Capture)), 1);
  EXPECT_TRUE(BoundSlots().empty());
}

}  // namespace
}  // namespace velto::testing
