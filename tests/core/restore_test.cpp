#include "controls/restore.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "mixer_fixture.h"
#include "topology_support.h"

namespace velto::testing {
namespace {

const std::string kCard = "part:Velto HD Audio/";

// Where a control's value lives in a dump: a key of an endpoint's volume,
// or a part's control.
struct ControlPlace {
  bool endpoint;
  const char* id;
  const char* key;
};

json& At(json& dump, const ControlPlace& place) {
  if (place.endpoint) return EndpointById(dump, place.id)["volume"][place.key];
  return PartById(dump, place.id)["controls"][place.key];
}

const ControlPlace kMasterVolume{true, sample::kSpeakers, "channels"};
const ControlPlace kMasterMute{true, sample::kSpeakers, "mute"};
const ControlPlace kLineRecord{true, sample::kLineIn, "channels"};
const ControlPlace kBass{false, "tone", "bass"};
const ControlPlace kLineAgc{false, "line-agc", "agc"};
const ControlPlace kMicBoost{false, "mic-boost", "volume"};
const ControlPlace kMicMonitor{false, "mic-volume", "volume"};

// Every control of the sample but the boost, which is a level or a switch.
const ControlPlace kSampleControls[] = {kMasterVolume,
                                        kMasterMute,
                                        {true, sample::kMicrophone, "channels"},
                                        kLineRecord,
                                        {false, "line-in-volume", "volume"},
                                        {false, "line-in-mute", "mute"},
                                        kMicMonitor,
                                        {false, "mic-mute", "mute"},
                                        kLineAgc,
                                        kBass,
                                        {false, "tone", "treble"},
                                        {false, "tone", "midrange"}};

// Changes every control of the sample through the exports, each to a value
// it did not have.
void ChangeEveryControl(bool boostIsSwitch) {
  struct Set {
    const char* what;
    int status;
  };
  std::vector<Set> sets;
  auto set = [&](const char* what, auto call) {
    int status = -1;
    call(&status);
    sets.push_back({what, status});
  };
  set("master", [](int* s) { SetMasterVolume(77, s); });
  set("master mute", [](int* s) { SetMasterMute(1, s); });
  set("line monitor", [](int* s) { SetLinePlayBack(60, s); });
  set("line monitor mute", [](int* s) { SetLinePlayBackMute(1, s); });
  set("mic monitor", [](int* s) { SetMicPlayBack(40, s); });
  set("mic monitor mute", [](int* s) { SetMicPlayBackMute(0, s); });
  set("line agc", [](int* s) { SetNoMonitor(0, s); });
  set("bass", [](int* s) { SetBass(-6.0, s); });
  set("treble", [](int* s) { SetTreble(4.5, s); });
  set("midrange", [](int* s) { SetMidRange(3.0, s); });
  set("mic record", [](int* s) { SetMicRecordVolume(20, s); });
  set("line record", [](int* s) { SetLineRecordVolume(90, s); });
  if (boostIsSwitch) {
    set("boost switch", [](int* s) { SetMicBoost(1, s); });
  } else {
    set("boost level", [](int* s) { SetMicSliderBoost(20, s); });
  }
  for (const Set& s : sets) EXPECT_EQ(s.status, 0) << s.what;
}

using RestoreTest = MixerTest;

TEST_F(RestoreTest, CloseWithRestorePutsEveryControlBackExactly) {
  // Levels that a whole-percentage round trip would move: the master at
  // -10 dB, recording levels on ranges whose maximum is not 0 dB, a boost
  // saved between whole decibels, and a monitor mute that is not 0 or 1.
  json boostLevel = Sample();
  PartById(boostLevel, "line-in-mute")["controls"]["mute"] = 5;
  json boostSwitch = Sample();
  PartById(boostSwitch, "mic-boost")["controls"] = {{"agc", 0}};
  EndpointById(boostSwitch, sample::kLineIn)["volume"]["channels"] = {-50.5, -50.5};
  EndpointById(boostSwitch, sample::kLineIn)["volume"]["min"] = -60.0;

  for (const auto& [description, isSwitch] : {std::pair{boostLevel, false}, {boostSwitch, true}}) {
    SCOPED_TRACE(isSwitch ? "boost switch" : "boost level");
    const json bound = BindSample(description);
    ChangeEveryControl(isSwitch);
    json before = bound;
    json changed = state();
    std::vector<ControlPlace> controls(std::begin(kSampleControls), std::end(kSampleControls));
    controls.push_back(isSwitch ? ControlPlace{false, "mic-boost", "agc"} : kMicBoost);
    for (const ControlPlace& place : controls) {
      EXPECT_NE(At(changed, place), At(before, place)) << place.id << " " << place.key;
    }
    EXPECT_EQ(CloseSoundCard(1), 0);
    EXPECT_EQ(state(), bound) << json::diff(bound, state());
  }
}

TEST_F(RestoreTest, BoostLevelComesBackInWholeDecibelsAndMasterMuteAsZeroOrOne) {
  // The whole number converted back to a float: -0.27 dB gives +0, not -0.
  for (const auto& [saved, restored] : {std::pair{19.5, 19.0}, {-0.27, 0.0}}) {
    SCOPED_TRACE(saved);
    json description = Sample();
    PartById(description, "mic-boost")["controls"]["volume"]["channels"] = {saved};
    BindSample(description);
    int status = -1;
    SetMicSliderBoost(30, &status);
    mixer().savedPlaybackMute.value = 5;
    system().SetTracing(true);
    CloseSoundCard(1);
    system().SetTracing(false);
    json now = state();
    const double level = At(now, kMicBoost)["channels"][0];
    EXPECT_EQ(level, restored);
    EXPECT_EQ(std::signbit(level), std::signbit(restored));
    std::vector<std::string> muteWrites;
    for (const sim::TraceEntry& entry : system().Trace()) {
      if (entry.op == "SetMute" &&
          entry.object == "device:" + std::string(sample::kSpeakers) + "/volume")
        muteWrites.push_back(entry.args);
    }
    EXPECT_EQ(muteWrites, std::vector<std::string>{"mute=1"});
  }
}

TEST_F(RestoreTest, WritesOnlyWhatBindingReadAndSkipsStepsWhoseChannelCountFails) {
  const struct {
    const char* what;
    std::vector<sim::FaultRule> bindFaults;
    std::vector<sim::FaultRule> closeFaults;
    std::vector<ControlPlace> leftChanged;
  } cases[] = {
      {"values that binding could not read are not written",
       {{kCard + "tone/bass", "GetLevel"},
        {kCard + "line-agc/agc", "GetEnabled"},
        {kCard + "mic-boost/volume", "GetLevel"},
        {kCard + "mic-volume/volume", "GetLevel"},
        {"device:" + std::string(sample::kLineIn) + "/volume", "GetMasterVolumeLevel"}},
       {},
       {kBass, kLineAgc, kMicBoost, kMicMonitor, kLineRecord}},
      {"a failed channel count writes nothing where the count is used",
       {},
       {{kCard + "tone/bass", "GetChannelCount"},
        {"device:" + std::string(sample::kSpeakers) + "/volume", "GetChannelCount"},
        {"device:" + std::string(sample::kMicrophone) + "/volume", "GetChannelCount"}},
       {kBass, kMasterVolume}},
      {"every write failing still runs every step",
       {},
       {{"*", "Set*", platform::kE_FAIL, std::nullopt, 0, 3}},
       // The first three writes are the master's two channels and its mute.
       {kMasterVolume, kMasterMute}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const json bound = BindSample(Sample(), c.bindFaults);
    ChangeEveryControl(false);
    json expected = bound;
    json changed = state();
    for (const ControlPlace& place : c.leftChanged) At(expected, place) = At(changed, place);
    for (const sim::FaultRule& fault : c.closeFaults) system().AddFault(fault);
    CloseSoundCard(1);
    system().ClearFaults();
    EXPECT_EQ(state(), expected) << json::diff(expected, state());
  }
}

TEST_F(RestoreTest, DoesNothingOnceNoDeviceIsBound) {
  BindSample(Sample());
  ChangeEveryControl(false);
  mixer().deviceBound = false;
  system().SetTracing(true);
  RestoreSavedValues(Mixer());
  system().SetTracing(false);
  EXPECT_TRUE(system().Trace().empty());
  mixer().deviceBound = true;
}

}  // namespace
}  // namespace velto::testing
