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

class MicDiscoveryTest : public WalkTest {
 protected:
  void Run(const WalkCase& c) {
    WalkTest::Run(
        "topology/mic_paths.json",
        [] { return ResultCode(WalkAlone(DiscoverMicCaptureControls, kMic, DataFlow::Capture)); },
        c);
  }
};

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
      {"a boost that is only a level",
       nullptr,
       {},
       0,
       Bound("micBoostLevel", "mic-boost/volume"),
       {{"savedMicRecordLevel", "6"}, {"savedMicBoostLevel", "10"}, {"savedMicBoostSwitch", "-"}}},
      {"a part offering both a switch and a level gives the switch and no level",
       [](json& d) { Controls(d, "mic-boost")["agc"] = 1; },
       {},
       0,
       Bound("micBoostSwitch", "mic-boost/agc"),
       {{"savedMicBoostSwitch", "1"}, {"savedMicBoostLevel", "-"}}},
      {"AGC before loudness",
       [](json& d) {
         Controls(d, "mic-boost") = {{"agc", 0}, {"loudness", 1}};
       },
       {},
       0,
       Bound("micBoostSwitch", "mic-boost/agc"),
       {{"savedMicBoostSwitch", "0"}}},
      {"loudness where there is no AGC",
       [](json& d) {
         Controls(d, "mic-boost") = {{"loudness", 1}};
       },
       {},
       0,
       Bound("micBoostSwitch", "mic-boost/loudness"),
       {{"savedMicBoostSwitch", "1"}}},
      {"a switch named AGC upstream of the boost level wins",
       [](json& d) {
         Rename(d, "rear-select", "AGC");
         Controls(d, "rear-select") = {{"agc", 0}};
       },
       {},
       0,
       Bound("micBoostSwitch", "rear-select/agc"),
       {{"savedMicBoostLevel", "-"}}},
      {"+2 matches",
       [](json& d) { Rename(d, "mic-boost", "+20 dB"); },
       {},
       0,
       Bound("micBoostLevel", "mic-boost/volume"),
       {}},
      {"a connector without a boost name on its path is passed over",
       [](json& d) { Rename(d, "mic-boost", "Gain"); },
       {},
       0,
       Bound("micBoostSwitch", "aux-boost/agc"),
       {{"savedMicBoostSwitch", "0"}}},
      {"no connector named mic",
       [](json& d) {
         Rename(d, "front-mic", "Front");
         Rename(d, "rear-mic", "Rear");
         Rename(d, "aux-mic", "Aux");
         Rename(d, "capture", "Capture");
       },
       {},
       0,
       Bound(nullptr, ""),
       {{"savedMicRecordLevel", "6"}}},
      {"an unreadable master level does not stop the walk",
       nullptr,
       {{kEndpointVolume, "GetMasterVolumeLevel"}},
       0,
       Bound("micBoostLevel", "mic-boost/volume"),
       {{"savedMicRecordLevel", "-"}, {"savedMicBoostLevel", "10"}}},
      {"an unreadable boost level keeps the control but saves nothing",
       nullptr,
       {{kCard + "mic-boost/volume", "GetLevel"}},
       0,
       Bound("micBoostLevel", "mic-boost/volume"),
       {{"savedMicBoostLevel", "-"}}},
      {"a part whose name cannot be read does not match",
       nullptr,
       {{kCard + "mic-boost", "GetName"}},
       0,
       Bound("micBoostSwitch", "aux-boost/agc"),
       {}},
      {"a list whose count cannot be read is empty",
       nullptr,
       {{kCard + "rear-mic/outgoing", "GetCount"}},
       0,
       Bound("micBoostSwitch", "aux-boost/agc"),
       {}},
      {"the connector count cannot be read",
       nullptr,
       {{"adapter:Mic Card", "GetConnectorCount"}},
       1,
       Bound(nullptr, ""),
       {}},
      {"a connector that is not a part ends the walk",
       nullptr,
       {{kCard + "rear-mic", "QueryPart"}},
       1,
       Bound(nullptr, ""),
       {}},
  };
  for (const WalkCase& c : cases) {
    Run(c);
    CloseCase();
  }
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
