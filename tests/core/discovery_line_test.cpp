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

class LineDiscoveryTest : public WalkTest {
 protected:
  void Run(const WalkCase& c) {
    WalkTest::Run(
        "topology/line_paths.json",
        [] { return ResultCode(WalkAlone(DiscoverLineCaptureControls, kLine, DataFlow::Capture)); },
        c);
  }
};

void GiveAgc(json& description, const std::string& id, int enabled) {
  PartById(description, id)["controls"] = {{"agc", enabled}};
}

TEST_F(LineDiscoveryTest, GainControlTwoPartsDownstreamOfEachLineConnector) {
  const Slots endpointOnly{{"lineEndpoint", kEndpointVolume}};
  const Slots firstAgc{{"lineEndpoint", kEndpointVolume}, {"lineAgc", kCard + "line-agc/agc"}};
  const WalkCase cases[] = {
      {"the first line connector's path has it; the second's does not and keeps it",
       nullptr,
       {},
       0,
       firstAgc,
       {{"savedLineRecordLevel", "-3"}, {"savedLineAgc", "1"}}},
      {"a later line connector that has it replaces it",
       [](json& d) { GiveAgc(d, "rear-select", 0); },
       {},
       0,
       {{"lineEndpoint", kEndpointVolume}, {"lineAgc", kCard + "rear-select/agc"}},
       {{"savedLineAgc", "0"}}},
      {"only the second part downstream is tried, not the first",
       [](json& d) {
         PartById(d, "line-agc").erase("controls");
         GiveAgc(d, "line-volume", 1);
       },
       {},
       0,
       endpointOnly,
       {{"savedLineAgc", "-"}}},
      {"a first part at the device's edge is passed over; a later connector still binds",
       [](json& d) {
         RemoveLink(d, "line-volume", "line-agc");
         GiveAgc(d, "rear-select", 0);
       },
       {},
       0,
       {{"lineEndpoint", kEndpointVolume}, {"lineAgc", kCard + "rear-select/agc"}},
       {}},
      {"a first part whose way on cannot be read fails the walk; later connectors are not "
       "examined",
       [](json& d) { GiveAgc(d, "rear-select", 0); },
       {{kCard + "line-volume", "EnumPartsOutgoing"}},
       1,
       endpointOnly,
       {}},
      {"a line connector that feeds nothing is passed over",
       [](json& d) {
         RemoveLink(d, "line-in", "line-volume");
         GiveAgc(d, "rear-select", 0);
       },
       {},
       0,
       {{"lineEndpoint", kEndpointVolume}, {"lineAgc", kCard + "rear-select/agc"}},
       {}},
      {"no connector named line",
       [](json& d) {
         Rename(d, "line-in", "Aux In");
         Rename(d, "rear-line", "Rear In");
         Rename(d, "capture", "Capture");
       },
       {},
       0,
       endpointOnly,
       {{"savedLineRecordLevel", "-3"}}},
      {"an unreadable master level does not stop the walk",
       nullptr,
       {{kEndpointVolume, "GetMasterVolumeLevel"}},
       0,
       firstAgc,
       {{"savedLineRecordLevel", "-"}, {"savedLineAgc", "1"}}},
      {"an unreadable gain state keeps the control but saves nothing",
       nullptr,
       {{kCard + "line-agc/agc", "GetEnabled"}},
       0,
       firstAgc,
       {{"savedLineAgc", "-"}}},
      {"a failed activation on a later connector keeps the earlier control",
       [](json& d) { GiveAgc(d, "rear-select", 0); },
       {{kCard + "rear-select", "Activate"}},
       0,
       firstAgc,
       {{"savedLineAgc", "1"}}},
      {"the connector count cannot be read",
       nullptr,
       {{"adapter:Line Card", "GetConnectorCount"}},
       1,
       endpointOnly,
       {}},
      {"a connector cannot be fetched",
       nullptr,
       {{"adapter:Line Card", "GetConnector", platform::kE_FAIL, std::nullopt, 2}},
       1,
       firstAgc,
       {}},
      {"the second part cannot be fetched",
       nullptr,
       {{kCard + "line-volume/outgoing", "GetPart"}},
       1,
       endpointOnly,
       {}},
      {"no adapter topology behind the connector",
       nullptr,
       {{kCard + "capture", "GetTopologyObject"}},
       1,
       endpointOnly,
       {}},
  };
  for (const WalkCase& c : cases) {
    Run(c);
    CloseCase();
  }
}

TEST_F(LineDiscoveryTest, NoEndpointNoBinding) {
  UseSystemFile("topology/line_paths.json");
  EXPECT_EQ(ResultCode(WalkAlone(DiscoverLineCaptureControls, "{0.0.0", DataFlow::Capture)), 1);
  EXPECT_TRUE(BoundSlots().empty());
}

}  // namespace
}  // namespace velto::testing
