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
    WalkTest::Run(
        file,
        [] { return ResultCode(WalkAlone(DiscoverPlaybackControls, kSpeakers, DataFlow::Render)); },
        c);
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
       nullptr,
       {},
       0,
       MixerCardSlots(),
       {{"savedPlaybackLevel", "-10"},
        {"savedPlaybackMute", "0"},
        {"savedBass", "3"},
        {"savedTreble", "-1.5"},
        {"savedMidrange", "1.5"},
        {"savedLinePlaybackLevel", "-7.5"},
        {"savedLinePlaybackMute", "1"},
        {"savedMicPlaybackLevel", "-4.5"},
        {"savedMicPlaybackMute", "0"}}},
      {"an unreadable line level leaves the line path to a later branch",
       nullptr,
       {{kMixer + "aux-volume/volume", "GetLevel"}},
       0,
       With(MixerCardSlots(), {{"linePlaybackLevel", kMixer + "rear-volume/volume"},
                               {"linePlaybackMute", kMixer + "rear-mute/mute"}}),
       {{"savedLinePlaybackLevel", "-3"}, {"savedLinePlaybackMute", "1"}}},
      {"an unreadable line level with no later line path: the level stays bound, no mute, "
       "nothing saved",
       [](json& d) { Rename(d, "rear-line-in", "Rear In"); },
       {{kMixer + "aux-volume/volume", "GetLevel"}},
       0,
       With(MixerCardSlots(), {{"linePlaybackMute", ""}}),
       {{"savedLinePlaybackLevel", "-"}, {"savedLinePlaybackMute", "-"}}},
      {"an unreadable mic level still binds the mic path",
       nullptr,
       {{kMixer + "mic-volume/volume", "GetLevel"}},
       0,
       MixerCardSlots(),
       {{"savedMicPlaybackLevel", "-"}, {"savedMicPlaybackMute", "0"}}},
      {"a line name without any level on its chain leaves the line path to a later branch",
       [](json& d) { PartById(d, "aux-volume")["controls"].erase("volume"); },
       {},
       0,
       With(MixerCardSlots(), {{"linePlaybackLevel", kMixer + "rear-volume/volume"},
                               {"linePlaybackMute", kMixer + "rear-mute/mute"}}),
       {{"savedLinePlaybackLevel", "-3"}}},
      {"a branch mute that cannot be activated: the level alone is bound",
       nullptr,
       {{kMixer + "aux-mute", "Activate"}},
       0,
       With(MixerCardSlots(), {{"linePlaybackMute", ""}}),
       {{"savedLinePlaybackLevel", "-7.5"}, {"savedLinePlaybackMute", "-"}}},
      {"an unreadable tone level keeps the control but saves nothing",
       nullptr,
       {{kMixer + "tone/bass", "GetLevel"}},
       0,
       MixerCardSlots(),
       {{"savedBass", "-"}, {"savedTreble", "-1.5"}}},
      {"a branch that cannot be fetched ends the walk",
       nullptr,
       // The chain's own check of the mixer's inputs, then branches 0 and 1.
       {{kMixer + "mixer/incoming", "GetPart", platform::kE_FAIL, std::nullopt, 3}},
       1,
       With(MixerCardSlots(), {{"micPlaybackLevel", ""}, {"micPlaybackMute", ""}}),
       {}},
      {"an unreadable master level is fatal",
       nullptr,
       {{kEndpointVolume, "GetMasterVolumeLevel"}},
       1,
       {{"playbackEndpoint", kEndpointVolume}},
       {{"savedPlaybackLevel", "-"}}},
      {"an unreadable master mute is fatal",
       nullptr,
       {{kEndpointVolume, "GetMute"}},
       1,
       {{"playbackEndpoint", kEndpointVolume}},
       {{"savedPlaybackLevel", "-10"}, {"savedPlaybackMute", "-"}}},
      {"a chain part whose inputs cannot be listed ends the walk before it is tried",
       nullptr,
       {{kMixer + "tone", "EnumPartsIncoming"}},
       1,
       {{"playbackEndpoint", kEndpointVolume}},
       {}},
      {"a chain list whose count cannot be read ends the walk",
       nullptr,
       {{kMixer + "mixer/incoming", "GetCount"}},
       1,
       {{"playbackEndpoint", kEndpointVolume},
        {"bassControl", kMixer + "tone/bass"},
        {"trebleControl", kMixer + "tone/treble"},
        {"midrangeControl", kMixer + "mixer/midrange"}},
       {}},
      {"an output whose input count cannot be read has no branches",
       nullptr,
       {{kMixer + "out/incoming", "GetCount"}},
       0,
       {{"playbackEndpoint", kEndpointVolume}},
       {}},
      {"an output part without inputs fails",
       [](json& d) { RemoveLink(d, "master", "out"); },
       {},
       1,
       {{"playbackEndpoint", kEndpointVolume}},
       {{"savedPlaybackLevel", "-10"}}},
      {"an endpoint without a topology fails before any read",
       [](json& d) { EndpointById(d, kSpeakers)["topology"] = false; },
       {},
       1,
       {{"playbackEndpoint", kEndpointVolume}},
       {{"savedPlaybackLevel", "-"}}},
      {"the endpoint's connector not joined to the adapter",
       nullptr,
       {{std::string("device:") + kSpeakers + "/connector", "GetConnectedTo"}},
       1,
       {{"playbackEndpoint", kEndpointVolume}},
       {{"savedPlaybackMute", "0"}}},
  };
  for (const WalkCase& c : cases) {
    Run("topology/playback_mixer.json", c);
    CloseCase();
  }
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
      {"chain ending at the device's edge",
       nullptr,
       {},
       0,
       whole,
       {{"savedBass", "3"}, {"savedTreble", "-1.5"}, {"savedMidrange", "9"},
        {"savedPlaybackMute", "1"}}},
      {"the last part's inputs unreadable",
       nullptr,
       {{card + "source", "EnumPartsIncoming"}},
       1,
       upToTone,
       {{"savedBass", "3"}, {"savedTreble", "-1.5"}}},
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
        {c.jackName, [&](json& d) { Rename(d, "front-jack", c.jackName); }, {}, 0, slots, {}});
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
