#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "mixer_fixture.h"
#include "topology_support.h"

namespace velto::testing {
namespace {

// The embedded sample system.
constexpr const char* kSpeakers = "4f6a2c1e";
constexpr const char* kMic = "6b8e3f2a";
constexpr const char* kLine = "D1F5A9C3";
constexpr const char* kSpeakersName = "Speakers (Velto HD Audio)";
constexpr const char* kMicName = "Microphone (Velto HD Audio)";
constexpr const char* kLineName = "Line In (Velto HD Audio)";
const std::string kCard = "part:Velto HD Audio/";

std::string Volume(const char* endpointId) {
  return std::string("device:") + endpointId + "/volume";
}

const Slots kPlaybackSlots{{"playbackEndpoint", Volume(sample::kSpeakers)},
                           {"bassControl", kCard + "tone/bass"},
                           {"trebleControl", kCard + "tone/treble"},
                           {"midrangeControl", kCard + "tone/midrange"},
                           {"linePlaybackLevel", kCard + "line-in-volume/volume"},
                           {"linePlaybackMute", kCard + "line-in-mute/mute"},
                           {"micPlaybackLevel", kCard + "mic-volume/volume"},
                           {"micPlaybackMute", kCard + "mic-mute/mute"}};
const Slots kMicSlots{{"micEndpoint", Volume(sample::kMicrophone)},
                      {"micBoostLevel", kCard + "mic-boost/volume"}};
const Slots kLineSlots{{"lineEndpoint", Volume(sample::kLineIn)},
                       {"lineAgc", kCard + "line-agc/agc"}};

Slots Merged(std::initializer_list<Slots> parts) {
  Slots all;
  for (const Slots& part : parts) all.insert(part.begin(), part.end());
  return all;
}

struct Names {
  std::string playback, line, mic;
  bool operator==(const Names&) const = default;
};

void PrintTo(const Names& names, std::ostream* out) {
  *out << "{" << names.playback << " | " << names.line << " | " << names.mic << "}";
}

const std::string kUntouched = "<untouched>";

// The names GetDeviceNames hands back; a buffer it leaves alone reads
// <untouched>.
Names DeviceNames() {
  HostBuffer playback, line, mic;
  GetDeviceNames(playback.data(), line.data(), mic.data());
  auto text = [](const HostBuffer& buffer) {
    return buffer.untouched() ? kUntouched : buffer.text();
  };
  return {text(playback), text(line), text(mic)};
}

using OpenCloseTest = MixerTest;

TEST_F(OpenCloseTest, FailedBindingsCombineByExclusiveOr) {
  const char* kNoMatch = "no such endpoint";
  const struct {
    const char* playback;
    const char* mic;
    const char* line;
    int result;
  } cases[] = {
      {kSpeakers, kMic, kLine, 0},        {kNoMatch, kMic, kLine, 1},
      {kSpeakers, kNoMatch, kLine, 3},    {kNoMatch, kNoMatch, kLine, 2},
      {kSpeakers, kMic, kNoMatch, 6},     {kNoMatch, kMic, kNoMatch, 7},
      {kSpeakers, kNoMatch, kNoMatch, 5}, {kNoMatch, kNoMatch, kNoMatch, 4},
      {kNoMatch, "", kLine, 1},           {nullptr, kSpeakers, nullptr, 3},  // a render id
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.playback ? c.playback : "null") + " / " + (c.mic ? c.mic : "null") +
                 " / " + (c.line ? c.line : "null"));
    UseSystem(sim::SimSystem::Sample());
    EXPECT_EQ(OpenSoundCard(c.playback, c.mic, c.line), c.result);
    const bool playback = c.playback == kSpeakers, mic = c.mic == kMic, line = c.line == kLine;
    EXPECT_EQ(DeviceNames(), (Names{playback ? kSpeakersName : kUntouched,
                                    line ? kLineName : kUntouched, mic ? kMicName : kUntouched}));
    Slots expected;
    if (playback) expected = Merged({expected, kPlaybackSlots});
    if (mic) expected = Merged({expected, kMicSlots});
    if (line) expected = Merged({expected, kLineSlots});
    EXPECT_EQ(BoundSlots(), expected);
    CloseSoundCard(0);
    EXPECT_EQ(system().LiveReferences(), 0);
  }
}

TEST_F(OpenCloseTest, EmptyTextsReleaseEveryControlButKeepMarkerNamesAndVirtual) {
  ASSERT_EQ(OpenVirtual_1("a3e91b57"), 0);
  ASSERT_EQ(OpenSoundCard(kSpeakers, kMic, kLine), 0);
  const Names names = DeviceNames();
  EXPECT_EQ(OpenSoundCard("", nullptr, ""), 0);
  EXPECT_TRUE(BoundSlots().empty());
  EXPECT_TRUE(mixer().deviceBound);
  EXPECT_EQ(DeviceNames(), names);
  int status = -1;
  GetMasterVolume(&status);
  EXPECT_EQ(status, 1);  // bound, but the control is gone
  GetVirtualVolume(&status);
  EXPECT_EQ(status, 0);
}

TEST_F(OpenCloseTest, ControlsAreReleasedInTheFixedOrder) {
  std::vector<std::string> order{Volume(sample::kSpeakers), Volume(sample::kMicrophone),
                                 Volume(sample::kLineIn)};
  for (const char* control :
       {"line-in-volume/volume", "line-in-mute/mute", "mic-volume/volume", "mic-mute/mute",
        "line-agc/agc", "tone/bass", "tone/treble", "tone/midrange", "mic-boost/volume"})
    order.push_back(kCard + control);
  ASSERT_EQ(OpenSoundCard(kSpeakers, kMic, kLine), 0);
  EXPECT_EQ(ReleasesDuring([] { OpenSoundCard("", "", ""); }), order);

  ASSERT_EQ(OpenSoundCard(kSpeakers, kMic, kLine), 0);
  EXPECT_EQ(ReleasesDuring([] { CloseSoundCard(0); }), order);
  EXPECT_EQ(system().LiveReferences(), 0);

  // A boost switch comes between the monitor mutes and the line AGC.
  json description = Sample();
  PartById(description, "mic-boost")["controls"] = {{"agc", 0}};
  UseSystemJson(description);
  ASSERT_EQ(OpenSoundCard(kSpeakers, kMic, kLine), 0);
  std::vector<std::string> withSwitch = order;
  withSwitch.pop_back();
  withSwitch.insert(withSwitch.begin() + 7, kCard + "mic-boost/agc");
  EXPECT_EQ(ReleasesDuring([] { CloseSoundCard(0); }), withSwitch);
}

TEST_F(OpenCloseTest, CloseUnbindsEverythingButTheVirtualEndpointAndKeepsSavedValues) {
  ASSERT_EQ(OpenVirtual_1("a3e91b57"), 0);
  ASSERT_EQ(OpenSoundCard(kSpeakers, kMic, kLine), 0);
  const auto saved = SavedValues();
  EXPECT_EQ(CloseSoundCard(0), 0);

  EXPECT_FALSE(mixer().deviceBound);
  EXPECT_FALSE(mixer().lastFoundName);
  EXPECT_EQ(DeviceNames(), (Names{kUntouched, kUntouched, kUntouched}));
  EXPECT_TRUE(BoundSlots().empty());
  EXPECT_EQ(SavedValues(), saved);
  int status = -1;
  GetMasterVolume(&status);
  EXPECT_EQ(status, 3);
  GetVirtualVolume(&status);
  EXPECT_EQ(status, 0);

  // Closing again, or closing what was never bound, touches nothing.
  system().SetTracing(true);
  EXPECT_EQ(CloseSoundCard(1), 0);
  system().SetTracing(false);
  EXPECT_TRUE(system().Trace().empty());
}

TEST_F(OpenCloseTest, OnlyTheLowByteOfTheFlagAsksForTheRestore) {
  const struct {
    int flag;
    bool restores;
  } cases[] = {{0, false}, {0x100, false}, {-256, false}, {1, true}, {0x80, true}, {0x1FF, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.flag);
    UseSystem(sim::SimSystem::Sample());
    ASSERT_EQ(OpenSoundCard(kSpeakers, "", ""), 0);
    int status = -1;
    SetMasterVolume(80, &status);
    ASSERT_EQ(status, 0);
    CloseSoundCard(c.flag);
    json now = state();
    const json& channels = EndpointById(now, sample::kSpeakers)["volume"]["channels"];
    EXPECT_EQ(channels[0] == -10.0, c.restores) << channels;
  }
}

TEST_F(OpenCloseTest, DefaultCaptureIsTheMicrophoneWhenItsNameSaysMic) {
  const struct {
    const char* name;
    bool microphone;
  } cases[] = {
      {kMicName, true},
      {"Line In", false},
      {"dYnaMiC Input", true},  // any case, inside another word
      {"Mikrofon", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    json description = Sample();
    EndpointById(description, sample::kMicrophone)["name"] = c.name;
    UseSystemJson(description);
    EXPECT_EQ(OpenDefaultDevices(), 0);
    const Slots capture = c.microphone ? kMicSlots
                                       : Slots{{"lineEndpoint", Volume(sample::kMicrophone)},
                                               {"lineAgc", kCard + "line-agc/agc"}};
    EXPECT_EQ(BoundSlots(), Merged({kPlaybackSlots, capture}));
    // The name keeps its case: the line discovery looks the endpoint up again.
    EXPECT_EQ(DeviceNames(), (Names{kSpeakersName, c.microphone ? kUntouched : c.name,
                                    c.microphone ? c.name : kUntouched}));
    CloseSoundCard(0);
    EXPECT_EQ(system().LiveReferences(), 0);
  }
}

TEST_F(OpenCloseTest, DefaultMicrophoneThatFailsIsBoundAsLineInput) {
  // Only the microphone walk's connector count fails.
  system().AddFault(
      {"adapter:Velto HD Audio", "GetConnectorCount", platform::kE_FAIL, std::nullopt, 0, 1});
  EXPECT_EQ(OpenDefaultDevices(), 0);
  EXPECT_EQ(DeviceNames(), (Names{kSpeakersName, kMicName, kUntouched}));
  // The failed microphone walk still left its endpoint volume bound.
  EXPECT_EQ(BoundSlots(), Merged({kPlaybackSlots,
                                  {{"micEndpoint", Volume(sample::kMicrophone)},
                                   {"lineEndpoint", Volume(sample::kMicrophone)},
                                   {"lineAgc", kCard + "line-agc/agc"}}}));
}

TEST_F(OpenCloseTest, DefaultDevicesEdgeCases) {
  const struct {
    const char* what;
    int result;
    Slots slots;
    Names names;
    Faults faults = {};
    std::function<void(json&)> patch = nullptr;
  } cases[] = {
      {"no enumerator", 1, Slots{}, Names{kUntouched, kUntouched, kUntouched},
       Faults{{"com", "CreateDeviceEnumerator"}}},
      {"no default render endpoint: playback is skipped, not bound to the first one", 0, kMicSlots,
       Names{kUntouched, kUntouched, kMicName}, Faults{},
       [](json& d) { EndpointById(d, sample::kSpeakers)["default"] = false; }},
      {"no default capture endpoint: 1 after the playback binding", 1, kPlaybackSlots,
       Names{kSpeakersName, kUntouched, kUntouched}, Faults{},
       [](json& d) { EndpointById(d, sample::kMicrophone)["default"] = false; }},
      {"the capture lookup fails", 1, kPlaybackSlots, Names{kSpeakersName, kUntouched, kUntouched},
       Faults{{"collection:capture", "GetCount"}}},
      {"the playback walk fails after its lookup: the name is that of the bound device", 0,
       Merged({{{"playbackEndpoint", Volume(sample::kSpeakers)}}, kMicSlots}),
       Names{kSpeakersName, kUntouched, kMicName}, Faults{{Volume(sample::kSpeakers), "GetMute"}}},
      {"the line discovery fails: still 0", 0,
       Merged({kPlaybackSlots, {{"lineEndpoint", Volume(sample::kMicrophone)}}}),
       Names{kSpeakersName, kUntouched, kUntouched},
       Faults{{"adapter:Velto HD Audio", "GetConnectorCount"}},
       [](json& d) { EndpointById(d, sample::kMicrophone)["name"] = "Line In"; }},
      {"the apartment is held with a success other than S_OK: given back at close", 0,
       Merged({kPlaybackSlots, kMicSlots}), Names{kSpeakersName, kUntouched, kMicName},
       Faults{{"com", "CoIncrementMTAUsage", platform::kINPLACE_S_TRUNCATED}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    json description = Sample();
    if (c.patch) c.patch(description);
    UseSystemJson(description);
    for (const sim::FaultRule& fault : c.faults) system().AddFault(fault);
    EXPECT_EQ(OpenDefaultDevices(), c.result);
    system().ClearFaults();
    EXPECT_EQ(BoundSlots(), c.slots);
    EXPECT_EQ(DeviceNames(), c.names);
    EXPECT_EQ(hardening::LeftAfterClosing(system()), std::vector<std::string>{});
    EXPECT_EQ(system().ComInitDepth(), 0);
  }
}

TEST_F(OpenCloseTest, DefaultPlaybackNameOnlyForAnEndpointFoundInThisCall) {
  // The last name found is the line input's; a playback lookup that fails
  // must not hand it out as the playback device's.
  ASSERT_EQ(OpenSoundCard("", "", kLine), 0);
  system().AddFault({"collection:render", "GetCount"});
  EXPECT_EQ(OpenDefaultDevices(), 0);
  EXPECT_EQ(DeviceNames(), (Names{kUntouched, kLineName, kMicName}));
  EXPECT_EQ(BoundSlots(), Merged({kMicSlots, kLineSlots}));
}

TEST_F(OpenCloseTest, DefaultRenderIdsThatDoNotFitOrAreNotLatin1) {
  const std::string prefix = "{0.0.0.00000000}.{";
  const std::string longId = prefix + std::string(300, 'a') + "}";
  const struct {
    const char* what;
    std::string defaultId;
    std::string otherId;  // listed before the default one
    std::string bound;
  } cases[] = {
      {"an id longer than the buffer is cut and still found", longId, prefix + "other}", longId},
      {"a Latin-1 letter converts to its byte", prefix + "haut-parleurs-\xC3\xA9}",
       prefix + "haut-parleurs-e}", prefix + "haut-parleurs-\xC3\xA9}"},
      {"a unit beyond 0xFF ends the text", prefix + "speakers-\xC5\x81}", prefix + "speakers-b}",
       prefix + "speakers-b}"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    json description = Sample();
    json& speakers = EndpointById(description, sample::kSpeakers);
    speakers["id"] = c.defaultId;
    json other = speakers;
    other["id"] = c.otherId;
    other["default"] = false;
    other.erase("connector");
    other["topology"] = false;
    description["endpoints"].insert(description["endpoints"].begin(), other);
    UseSystemJson(description);
    OpenDefaultDevices();
    EXPECT_EQ(SlotObject(mixer().playbackEndpoint), "device:" + c.bound + "/volume");
    CloseSoundCard(0);
  }
}

TEST_F(OpenCloseTest, DefaultDevicesReleaseNothingFirst) {
  ASSERT_EQ(OpenSoundCard(kSpeakers, kMic, kLine), 0);
  const Slots bound = BoundSlots();
  EXPECT_EQ(OpenDefaultDevices(), 0);
  // The line input is not the default; it stays bound, and nothing is held
  // twice.
  EXPECT_EQ(BoundSlots(), bound);
  EXPECT_EQ(DeviceNames(), (Names{kSpeakersName, kLineName, kMicName}));
  for (const auto& [object, refs] : system().LiveReferencesByObject()) {
    EXPECT_EQ(refs, 1) << object;
  }
}

TEST_F(OpenCloseTest, FailedBindingKeepsWhatItBoundAndTheNameItHadBefore) {
  ASSERT_EQ(OpenSoundCard("a3e91b57", "", ""), 0);
  system().AddFault({Volume(sample::kSpeakers), "GetMasterVolumeLevel"});
  EXPECT_EQ(OpenSoundCard(kSpeakers, "", ""), 1);
  EXPECT_EQ(BoundSlots(), (Slots{{"playbackEndpoint", Volume(sample::kSpeakers)}}));
  EXPECT_EQ(DeviceNames().playback, "Digital Output (Velto HD Audio)");
}

}  // namespace
}  // namespace velto::testing
