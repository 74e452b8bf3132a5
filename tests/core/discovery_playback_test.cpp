#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "mixer_fixture.h"
#include "topology/discovery.h"
#include "topology_support.h"

namespace velto::testing {
namespace {

using platform::DataFlow;
constexpr const char* kSpeakers = "{0.0.0.00000000}.{topo-speakers}";
const std::string kEndpointVolume = std::string("device:") + kSpeakers + "/volume";
const std::string kMixer = "part:Mixer Card/";

class PlaybackDiscoveryTest : public WalkTest {
 protected:
  void Run(const char* file, const WalkCase& c) {
    WalkTest::Run(file, WalkOf(DiscoverPlaybackControls, kSpeakers, DataFlow::Render), c);
  }
};

// The slots the mixer card binds when every read works.
Slots MixerCardSlots() {
  return {{"playbackEndpoint", kEndpointVolume},
          {"bassControl", kMixer + "tone/bass"},
          {"trebleControl", kMixer + "tone/treble"},
          {"midrangeControl", kMixer + "mixer/midrange"},
          {"linePlaybackLevel", kMixer + "aux-volume/volume"},
          {"linePlaybackMute", kMixer + "aux-mute/mute"},
          {"micPlaybackLevel", kMixer + "mic-volume/volume"},
          {"micPlaybackMute", kMixer + "mic-mute/mute"}};
}

TEST_F(PlaybackDiscoveryTest, MixerCardShapes) {
  const WalkCase cases[] = {
      {"chain of single inputs up to the mixer, then four branches; the level bound is the one "
       "nearest the mixer, not the part whose name matched",
       0, MixerCardSlots(),
       Fields{{"savedPlaybackLevel", "-10"},
              {"savedPlaybackMute", "0"},
              {"savedBass", "3"},
              {"savedTreble", "-1.5"},
              {"savedMidrange", "1.5"},
              {"savedLinePlaybackLevel", "-7.5"},
              {"savedLinePlaybackMute", "1"},
              {"savedMicPlaybackLevel", "-4.5"},
              {"savedMicPlaybackMute", "0"}}},
      {"an unreadable line level leaves the line path to a later branch", 0,
       With(MixerCardSlots(), {{"linePlaybackLevel", kMixer + "rear-volume/volume"},
                               {"linePlaybackMute", kMixer + "rear-mute/mute"}}),
       Fields{{"savedLinePlaybackLevel", "-3"}, {"savedLinePlaybackMute", "1"}},
       Faults{{kMixer + "aux-volume/volume", "GetLevel"}}},
      {"an unreadable line level with no later line path: the level stays bound, no mute, "
       "nothing saved",
       0, With(MixerCardSlots(), {{"linePlaybackMute", ""}}),
       Fields{{"savedLinePlaybackLevel", "-"}, {"savedLinePlaybackMute", "-"}},
       Faults{{kMixer + "aux-volume/volume", "GetLevel"}},
       [](json& d) { Rename(d, "rear-line-in", "Rear In"); }},
      {"an unreadable mic level still binds the mic path", 0, MixerCardSlots(),
       Fields{{"savedMicPlaybackLevel", "-"}, {"savedMicPlaybackMute", "0"}},
       Faults{{kMixer + "mic-volume/volume", "GetLevel"}}},
      {"a line name without any level on its chain leaves the line path to a later branch", 0,
       With(MixerCardSlots(), {{"linePlaybackLevel", kMixer + "rear-volume/volume"},
                               {"linePlaybackMute", kMixer + "rear-mute/mute"}}),
       Fields{{"savedLinePlaybackLevel", "-3"}}, Faults{},
       [](json& d) { PartById(d, "aux-volume")["controls"].erase("volume"); }},
      {"a branch mute that cannot be activated: the level alone is bound", 0,
       With(MixerCardSlots(), {{"linePlaybackMute", ""}}),
       Fields{{"savedLinePlaybackLevel", "-7.5"}, {"savedLinePlaybackMute", "-"}},
       Faults{{kMixer + "aux-mute", "Activate"}}},
      {"an unreadable tone level keeps the control but saves nothing", 0, MixerCardSlots(),
       Fields{{"savedBass", "-"}, {"savedTreble", "-1.5"}},
       Faults{{kMixer + "tone/bass", "GetLevel"}}},
      {"a branch that cannot be fetched ends the walk",
       1,
       With(MixerCardSlots(), {{"micPlaybackLevel", ""}, {"micPlaybackMute", ""}}),
       Fields{},  // The chain's own check of the mixer's inputs, then branches 0 and 1.
       {{kMixer + "mixer/incoming", "GetPart", platform::kE_FAIL, std::nullopt, 3}}},
      {"an unreadable master level is fatal", 1, Slots{{"playbackEndpoint", kEndpointVolume}},
       Fields{{"savedPlaybackLevel", "-"}}, Faults{{kEndpointVolume, "GetMasterVolumeLevel"}}},
      {"an unreadable master mute is fatal", 1, Slots{{"playbackEndpoint", kEndpointVolume}},
       Fields{{"savedPlaybackLevel", "-10"}, {"savedPlaybackMute", "-"}},
       Faults{{kEndpointVolume, "GetMute"}}},
      {"a chain part whose inputs cannot be listed ends the walk before it is tried", 1,
       Slots{{"playbackEndpoint", kEndpointVolume}}, Fields{},
       Faults{{kMixer + "tone", "EnumPartsIncoming"}}},
      {"a chain list whose count cannot be read ends the walk", 1,
       Slots{{"playbackEndpoint", kEndpointVolume},
             {"bassControl", kMixer + "tone/bass"},
             {"trebleControl", kMixer + "tone/treble"},
             {"midrangeControl", kMixer + "mixer/midrange"}},
       Fields{}, Faults{{kMixer + "mixer/incoming", "GetCount"}}},
      {"an output whose input count cannot be read has no branches", 0,
       Slots{{"playbackEndpoint", kEndpointVolume}}, Fields{},
       Faults{{kMixer + "out/incoming", "GetCount"}}},
      {"an output part without inputs fails", 1, Slots{{"playbackEndpoint", kEndpointVolume}},
       Fields{{"savedPlaybackLevel", "-10"}}, Faults{},
       [](json& d) { RemoveLink(d, "master", "out"); }},
      {"an endpoint without a topology fails before any read", 1,
       Slots{{"playbackEndpoint", kEndpointVolume}}, Fields{{"savedPlaybackLevel", "-"}}, Faults{},
       [](json& d) { EndpointById(d, kSpeakers)["topology"] = false; }},
      {"the endpoint's connector not joined to the adapter", 1,
       Slots{{"playbackEndpoint", kEndpointVolume}}, Fields{{"savedPlaybackMute", "0"}},
       Faults{{std::string("device:") + kSpeakers + "/connector", "GetConnectedTo",
               platform::kHrPathNotFound}}},
  };
  RunEach("topology/playback_mixer.json",
          WalkOf(DiscoverPlaybackControls, kSpeakers, DataFlow::Render), cases);
}

TEST_F(PlaybackDiscoveryTest, SingleChainEndsAtTheDeviceEdgeOrFailsKeepingItsControls) {
  // Master offers bass and treble, the next part bass again (not taken). The
  // last part has no inputs in this device (E_NOTFOUND, as a modern driver's
  // bridge connector): it is tried for its midrange and the walk completes.
  // Any other answer there still fails the walk, keeping what was bound.
  const std::string card = "part:Chain Card/";
  const Slots upToTone{{"playbackEndpoint", kEndpointVolume},
                       {"bassControl", card + "master/bass"},
                       {"trebleControl", card + "master/treble"}};
  Slots whole = upToTone;
  whole["midrangeControl"] = card + "source/midrange";
  const WalkCase cases[] = {
      {"chain ending at the device's edge", 0, whole,
       Fields{{"savedBass", "3"},
              {"savedTreble", "-1.5"},
              {"savedMidrange", "9"},
              {"savedPlaybackMute", "1"}}},
      {"the last part's inputs unreadable", 1, upToTone,
       Fields{{"savedBass", "3"}, {"savedTreble", "-1.5"}},
       Faults{{card + "source", "EnumPartsIncoming"}}},
  };
  for (const WalkCase& c : cases) {
    Run("topology/playback_chain.json", c);
    int status = -1;
    double level = 0;
    GetBass(&level, &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(level, 3.0);
    EXPECT_EQ(GetMasterMute(&status), 1);
    CloseCase();
  }
}

TEST_F(PlaybackDiscoveryTest, OneBranchCanBeBothMonitorPathsAndNamesFoldOnlyAsciiCase) {
  // The output mixes two inputs directly: no tone search (the first branch's
  // bass is not taken), and each input is a branch.
  const std::string card = "part:Shared Card/";
  const Slots front{{"level", card + "front-volume/volume"}, {"mute", card + "front-mute/mute"}};
  const Slots rear{{"level", card + "mic-volume/volume"}, {"mute", card + "mic-mute/mute"}};
  const Slots none;
  const struct {
    const char* jackName;
    Slots line;
    Slots mic;
  } cases[] = {
      {"Front Line/Mic Jack", front, front},
      {"GREEN JACK", front, rear},
      {"pink jack", none, front},  // "pin" counts as a microphone word
      {"Front Jack", none, rear},
      {"L\xC4\xB0NE JACK", none, rear},  // U+0130 is no I here: only A to Z fold
  };
  for (const auto& c : cases) {
    Slots slots{{"playbackEndpoint", kEndpointVolume}};
    if (!c.line.empty()) {
      slots["linePlaybackLevel"] = c.line.at("level");
      slots["linePlaybackMute"] = c.line.at("mute");
    }
    if (!c.mic.empty()) {
      slots["micPlaybackLevel"] = c.mic.at("level");
      slots["micPlaybackMute"] = c.mic.at("mute");
    }
    Run("topology/playback_shared.json",
        {c.jackName, 0, slots, {}, {}, [&](json& d) { Rename(d, "front-jack", c.jackName); }});
    CloseCase();
  }
}

TEST_F(PlaybackDiscoveryTest, RebindingReplacesEachControlAndReleasesTheOldOne) {
  UseSystemFile("topology/playback_mixer.json");
  ASSERT_EQ(ResultCode(WalkAlone(DiscoverPlaybackControls, kSpeakers, DataFlow::Render)), 0);
  // Without OpenSoundCard's release first, a second walk skips the bound tone
  // controls and replaces the others; nothing is held twice.
  ASSERT_EQ(ResultCode(WalkAlone(DiscoverPlaybackControls, kSpeakers, DataFlow::Render)), 0);
  EXPECT_EQ(BoundSlots(), MixerCardSlots());
  for (const auto& [object, refs] : system().LiveReferencesByObject()) {
    EXPECT_EQ(refs, 1) << object;
  }
}

TEST_F(PlaybackDiscoveryTest, AFailedLookupBindsNothingAndTellsTheCaller) {
  UseSystemFile("topology/playback_mixer.json");
  EXPECT_EQ(WalkAlone(DiscoverPlaybackControls, "no such endpoint", DataFlow::Render),
            Discovery::EndpointNotFound);
  EXPECT_TRUE(BoundSlots().empty());
  EXPECT_FALSE(mixer().deviceBound);

  system().AddFault({kEndpointVolume, "GetMute"});
  EXPECT_EQ(WalkAlone(DiscoverPlaybackControls, kSpeakers, DataFlow::Render), Discovery::Failed);
}

}  // namespace
}  // namespace velto::testing
