#include <functional>
#include <string>

#include "control_binding.h"

namespace velto::testing {
namespace {

struct SwitchCase {
  const char* name;
  int (*get)(int*);
  int (*set)(int, int*);
  std::function<void()> bind;
  // The state the system holds now, as an int.
  std::function<int(ControlCardTest&)> current;
  bool checksDevice;
  const char* readOp;
  const char* writeOp;
  int writeFailureStatus;
  int invalidFunctionStatus;  // status of a write answered 0x80070001
};

void PrintTo(const SwitchCase& c, std::ostream* os) { *os << c.name; }

std::function<int(ControlCardTest&)> EndpointMute(const char* id) {
  return [id](ControlCardTest& t) { return t.EndpointVolumeState(id)["mute"].get<bool>() ? 1 : 0; };
}
std::function<int(ControlCardTest&)> PartValue(const char* part, const char* key) {
  return [part, key](ControlCardTest& t) { return t.PartControls(part)[key].get<int>(); };
}

// Binds the named part's `iid` into `slot`.
template <class Control, class Iid>
std::function<void()> PartSlot(const char* endpoint, const char* part, Iid iid,
                               Ref<Control> MixerState::*slot) {
  return [=] { BindPartControl(endpoint, part, iid, Mixer().*slot); };
}

const SwitchCase kCases[] = {
    {"MasterMute", GetMasterMute, SetMasterMute,
     [] { BindEndpointVolume(kSpeakers, Mixer().playbackEndpoint); }, EndpointMute(kSpeakers), true,
     "GetMute", "SetMute", 1, 1},
    {"VirtualMute", GetVirtualMute, SetVirtualMute,
     [] { BindEndpointVolume(kHeadphones, Mixer().virtualEndpoint); }, EndpointMute(kHeadphones),
     false, "GetMute", "SetMute", 1, 1},
    {"LinePlayBackMute", GetLinePlayBackMute, SetLinePlayBackMute,
     PartSlot(kSpeakers, "Line Monitor Mute", MuteInterface::AudioMute,
              &MixerState::linePlaybackMute),
     PartValue("Line Monitor Mute", "mute"), true, "GetMute", "SetMute", 2, 2},
    {"MicPlayBackMute", GetMicPlayBackMute, SetMicPlayBackMute,
     PartSlot(kSpeakers, "Mic Monitor Mute", MuteInterface::AudioMute,
              &MixerState::micPlaybackMute),
     PartValue("Mic Monitor Mute", "mute"), true, "GetMute", "SetMute", 2, 0},
    {"MicBoostAgc", GetMicBoost, SetMicBoost,
     PartSlot(kMicrophone, "Mic AGC", SwitchInterface::AudioAutoGainControl,
              &MixerState::micBoostSwitch),
     PartValue("Mic AGC", "agc"), true, "GetEnabled", "SetEnabled", 2, 2},
    {"MicBoostLoudness", GetMicBoost, SetMicBoost,
     PartSlot(kMicrophone, "Mic Loudness", SwitchInterface::AudioLoudness,
              &MixerState::micBoostSwitch),
     PartValue("Mic Loudness", "loudness"), true, "GetEnabled", "SetEnabled", 2, 2},
    {"NoMonitor", GetNoMonitor, SetNoMonitor,
     PartSlot(kLineIn, "Line AGC", SwitchInterface::AudioAutoGainControl, &MixerState::lineAgc),
     PartValue("Line AGC", "agc"), true, "GetEnabled", "SetEnabled", 2, 2},
};

class SwitchControlTest : public ControlCardTest, public ::testing::WithParamInterface<SwitchCase> {
 protected:
  const SwitchCase& c() { return GetParam(); }
  void Bind() {
    c().bind();
    mixer().deviceBound = true;
  }
};

TEST_P(SwitchControlTest, UnboundDeviceStopsBeforeThePlatform) {
  c().bind();
  const int before = c().current(*this);
  const auto calls = system().CallCount();
  int getStatus = -1, setStatus = -1;
  const int got = c().get(&getStatus);
  EXPECT_EQ(c().set(!before, &setStatus), 0);
  if (c().checksDevice) {
    EXPECT_EQ(got, 0);
    EXPECT_EQ(getStatus, 3);
    EXPECT_EQ(setStatus, 3);
    EXPECT_EQ(system().CallCount(), calls);
    EXPECT_EQ(c().current(*this), before);
  } else {  // the virtual pair ignores the marker
    EXPECT_EQ(got, before);
    EXPECT_EQ(getStatus, 0);
    EXPECT_EQ(setStatus, 0);
    EXPECT_EQ(c().current(*this), !before);
  }
}

TEST_P(SwitchControlTest, EmptySlotReportsMissingControl) {
  mixer().deviceBound = true;
  const auto calls = system().CallCount();
  int getStatus = -1, setStatus = -1;
  EXPECT_EQ(c().get(&getStatus), 0);
  EXPECT_EQ(c().set(1, &setStatus), 0);
  EXPECT_EQ(getStatus, 1);
  EXPECT_EQ(setStatus, 1);
  EXPECT_EQ(system().CallCount(), calls);
}

TEST_P(SwitchControlTest, SetThenGetRoundTrips) {
  Bind();
  for (int wanted : {1, 0, 1}) {
    int status = -1;
    EXPECT_EQ(c().set(wanted, &status), 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(c().current(*this), wanted);
    status = -1;
    EXPECT_EQ(c().get(&status), wanted);
    EXPECT_EQ(status, 0);
  }
}

TEST_P(SwitchControlTest, NullStatusPointerStillCallsThePlatform) {
  Bind();
  const int before = c().current(*this);
  EXPECT_EQ(c().set(!before, nullptr), 0);
  EXPECT_EQ(c().current(*this), !before);
  EXPECT_EQ(c().get(nullptr), !before);
}

TEST_P(SwitchControlTest, FailedOrFalseReadReportsFailure) {
  Bind();
  ASSERT_EQ(c().set(1, nullptr), 0);
  for (HRESULT answer : {kE_FAIL, kS_FALSE}) {
    system().ClearFaults();
    Fail(c().readOp, answer);
    int status = -1;
    EXPECT_EQ(c().get(&status), 0) << answer;
    EXPECT_EQ(status, 2) << answer;
  }
}

TEST_P(SwitchControlTest, WriteAnswersDecideTheStatus) {
  Bind();
  const struct {
    HRESULT answer;
    int status;
  } answers[] = {
      {kE_FAIL, c().writeFailureStatus},
      {kE_INVALIDARG, c().writeFailureStatus},
      {kHrInvalidFunction, c().invalidFunctionStatus},
      {kS_FALSE, 0},  // nothing to change is no failure
  };
  for (const auto& a : answers) {
    system().ClearFaults();
    Fail(c().writeOp, a.answer);
    int status = -1;
    EXPECT_EQ(c().set(1, &status), 0);
    EXPECT_EQ(status, a.status) << std::hex << a.answer;
  }
}

INSTANTIATE_TEST_SUITE_P(Pairs, SwitchControlTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ControlCardTest, MasterMutePassesOnlyTheLowByte) {
  BindEndpointVolume(kSpeakers, mixer().playbackEndpoint);
  mixer().deviceBound = true;
  // The platform holds what it was given, so the value seen is the byte passed.
  const struct {
    int state;
    int passed;
  } cases[] = {{1, 1}, {256, 0}, {257, 1}, {0x7FFFFF00, 0}, {-1, 0xFF}, {0, 0}};
  for (const auto& c : cases) {
    int status = -1;
    EXPECT_EQ(SetMasterMute(c.state, &status), 0);
    EXPECT_EQ(status, 0) << c.state;
    const auto held = EndpointVolumeState(kSpeakers)["mute"];
    EXPECT_EQ(held.is_boolean() ? int{held.get<bool>()} : held.get<int>(), c.passed) << c.state;
  }
}

TEST_F(ControlCardTest, UnmutingAnUnmutedMasterSucceeds) {
  BindEndpointVolume(kSpeakers, mixer().playbackEndpoint);
  mixer().deviceBound = true;
  system().SetTracing(true);
  int status = -1;
  EXPECT_EQ(SetMasterMute(0, &status), 0);
  EXPECT_EQ(status, 0);
  // The endpoint itself answered that nothing changed.
  ASSERT_FALSE(system().Trace().empty());
  EXPECT_EQ(system().Trace().back().op, "SetMute");
  EXPECT_EQ(system().Trace().back().result, kS_FALSE);
}

TEST_F(ControlCardTest, OtherSwitchStatesReachThePlatformUnchanged) {
  BindPartControl(kSpeakers, "Line Monitor Mute", MuteInterface::AudioMute,
                  mixer().linePlaybackMute);
  BindPartControl(kLineIn, "Line AGC", SwitchInterface::AudioAutoGainControl, mixer().lineAgc);
  mixer().deviceBound = true;
  int status = -1;
  EXPECT_EQ(SetLinePlayBackMute(2, &status), 0);
  EXPECT_EQ(PartControls("Line Monitor Mute")["mute"], 2);
  EXPECT_EQ(GetLinePlayBackMute(&status), 2);  // read back as stored, not as 0/1
  EXPECT_EQ(SetNoMonitor(256, &status), 0);
  EXPECT_EQ(PartControls("Line AGC")["agc"], 256);
  EXPECT_EQ(GetNoMonitor(&status), 256);
}

}  // namespace
}  // namespace velto::testing
