#include <gtest/gtest.h>

#include <string>

#include "mixer_fixture.h"
#include "topology/discovery.h"
#include "topology_support.h"

namespace velto::testing {
namespace {

using platform::DataFlow;

constexpr const char* kMic = "{0.0.1.00000000}.{topo-mic}";
const std::string kEndpointVolume = std::string("device:") + kMic + "/volume";
const std::string kCard = "part:Mic Card/";

using MicDiscoveryTest = WalkTest;

json& Controls(json& description, const std::string& id) {
  return PartById(description, id)["controls"];
}

Slots Bound(const char* field, const std::string& object) {
  Slots slots{{"micEndpoint", kEndpointVolume}};
  if (field) slots[field] = kCard + object;
  return slots;
}

// The first microphone connector ("Pin Jack" is not one) leads to two parts
// of which only the first goes on, to a boost the walk never reaches: it
// moves on by way of the last part only. The second leads to "Mic Boost", a
// level; the third, never examined, to a switch.
TEST_F(MicDiscoveryTest, BoostSwitchOrElseBoostLevelBehindTheFirstMicrophoneConnectorWithOne) {
  const WalkCase cases[] = {
      {"a boost that is only a level", 0, Bound("micBoostLevel", "mic-boost/volume"),
       Fields{{"savedMicRecordLevel", "6"},
              {"savedMicBoostLevel", "10"},
              {"savedMicBoostSwitch", "-"}}},
      {"a part offering both a switch and a level gives the switch and no level", 0,
       Bound("micBoostSwitch", "mic-boost/agc"),
       Fields{{"savedMicBoostSwitch", "1"}, {"savedMicBoostLevel", "-"}}, Faults{},
       [](json& d) { Controls(d, "mic-boost")["agc"] = 1; }},
      {"AGC before loudness", 0, Bound("micBoostSwitch", "mic-boost/agc"),
       Fields{{"savedMicBoostSwitch", "0"}}, Faults{},
       [](json& d) {
         Controls(d, "mic-boost") = {{"agc", 0}, {"loudness", 1}};
       }},
      {"loudness where there is no AGC", 0, Bound("micBoostSwitch", "mic-boost/loudness"),
       Fields{{"savedMicBoostSwitch", "1"}}, Faults{},
       [](json& d) {
         Controls(d, "mic-boost") = {{"loudness", 1}};
       }},
      {"a switch named AGC upstream of the boost level wins", 0,
       Bound("micBoostSwitch", "rear-select/agc"), Fields{{"savedMicBoostLevel", "-"}}, Faults{},
       [](json& d) {
         Rename(d, "rear-select", "AGC");
         Controls(d, "rear-select") = {{"agc", 0}};
       }},
      {"+2 matches", 0, Bound("micBoostLevel", "mic-boost/volume"), Fields{}, Faults{},
       [](json& d) { Rename(d, "mic-boost", "+20 dB"); }},
      {"a connector without a boost name on its path is passed over", 0,
       Bound("micBoostSwitch", "aux-boost/agc"), Fields{{"savedMicBoostSwitch", "0"}}, Faults{},
       [](json& d) { Rename(d, "mic-boost", "Gain"); }},
      {"no connector named mic", 0, Bound(nullptr, ""), Fields{{"savedMicRecordLevel", "6"}},
       Faults{},
       [](json& d) {
         Rename(d, "front-mic", "Front");
         Rename(d, "rear-mic", "Rear");
         Rename(d, "aux-mic", "Aux");
         Rename(d, "capture", "Capture");
       }},
      {"an unreadable master level does not stop the walk", 0,
       Bound("micBoostLevel", "mic-boost/volume"),
       Fields{{"savedMicRecordLevel", "-"}, {"savedMicBoostLevel", "10"}},
       Faults{{kEndpointVolume, "GetMasterVolumeLevel"}}},
      {"an unreadable boost level keeps the control but saves nothing", 0,
       Bound("micBoostLevel", "mic-boost/volume"), Fields{{"savedMicBoostLevel", "-"}},
       Faults{{kCard + "mic-boost/volume", "GetLevel"}}},
      {"a part whose name cannot be read does not match", 0,
       Bound("micBoostSwitch", "aux-boost/agc"), Fields{},
       Faults{{kCard + "mic-boost", "GetName"}}},
      {"a list whose count cannot be read is empty", 0, Bound("micBoostSwitch", "aux-boost/agc"),
       Fields{}, Faults{{kCard + "rear-mic/outgoing", "GetCount"}}},
      {"the connector count cannot be read", 1, Bound(nullptr, ""), Fields{},
       Faults{{"adapter:Mic Card", "GetConnectorCount"}}},
      {"a connector that is not a part ends the walk", 1, Bound(nullptr, ""), Fields{},
       Faults{{kCard + "rear-mic", "QueryPart"}}},
  };
  RunEach("topology/mic_paths.json", WalkOf(DiscoverMicCaptureControls, kMic, DataFlow::Capture),
          cases);
}

TEST_F(MicDiscoveryTest, PinIsNoMicrophoneConnectorWord) {
  json description = LoadDescription("topology/mic_paths.json");
  for (const char* id : {"front-mic", "rear-mic", "aux-mic"}) Rename(description, id, "Line");
  UseSystemJson(description);
  system().SetTracing(true);
  EXPECT_EQ(ResultCode(WalkAlone(DiscoverMicCaptureControls, kMic, DataFlow::Capture)), 0);
  system().SetTracing(false);
  EXPECT_EQ(BoundSlots(), Bound(nullptr, ""));
  for (const sim::TraceEntry& entry : system().Trace()) {
    EXPECT_NE(entry.object, kCard + "pin-jack/outgoing") << "Pin Jack was examined";
  }
}

}  // namespace
}  // namespace velto::testing
