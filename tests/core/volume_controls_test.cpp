#include <gtest/gtest.h>

#include <cmath>

#include "control_binding.h"
#include "controls/level_scaling.h"

namespace velto::testing {
namespace {

using platform::HRESULT;

// The six percentage controls, each with what makes it different from the
// others.
struct VolumeExport {
  const char* name;
  int (*get)(int*);
  int (*set)(int, int*);
  bool virtualPair;
  bool partLevel;          // IAudioVolumeLevel rather than IAudioEndpointVolume
  const char* endpointId;  // the endpoint the slot is bound from
  const char* setOp;       // the platform call that applies the level
  bool perChannel;
  bool failureReturnsPercent;
  bool zeroMeansMaxMinus40;
  Ref<EndpointVolume> MixerState::*endpointSlot;
  Ref<LevelControl> MixerState::*levelSlot;
};

const VolumeExport kExports[] = {
    {"Master", GetMasterVolume, SetMasterVolume, false, false, kSpeakers, "SetChannelVolumeLevel",
     true, true, false, &MixerState::playbackEndpoint, nullptr},
    {"Virtual", GetVirtualVolume, SetVirtualVolume, true, false, kHeadphones,
     "SetChannelVolumeLevel", true, true, false, &MixerState::virtualEndpoint, nullptr},
    {"LineRecord", GetLineRecordVolume, SetLineRecordVolume, false, false, kLineIn,
     "SetMasterVolumeLevel", false, true, true, &MixerState::lineEndpoint, nullptr},
    {"MicRecord", GetMicRecordVolume, SetMicRecordVolume, false, false, kMicrophone,
     "SetMasterVolumeLevel", false, true, false, &MixerState::micEndpoint, nullptr},
    {"LinePlayBack", GetLinePlayBack, SetLinePlayBack, false, true, kMicrophone, "SetLevel", true,
     false, false, nullptr, &MixerState::linePlaybackLevel},
    {"MicPlayBack", GetMicPlayBack, SetMicPlayBack, false, true, kMicrophone, "SetLevel", true,
     false, false, nullptr, &MixerState::micPlaybackLevel},
};

class VolumeControlsTest : public ControlCardTest {
 protected:
  void Bind(const VolumeExport& e) {
    if (e.partLevel) {
      BindPartControl(e.endpointId, "Mic Boost", platform::LevelInterface::AudioVolumeLevel,
                      mixer().*e.levelSlot);
    } else {
      BindEndpointVolume(e.endpointId, mixer().*e.endpointSlot);
    }
    if (!e.virtualPair) mixer().deviceBound = true;
    system().ClearTrace();
    system().SetTracing(true);
  }
  // Binds `e` alone on a fresh card, giving back what the last case bound.
  void Rebind(const VolumeExport& e) {
    ReleaseBoundControls(mixer());
    mixer().virtualEndpoint.Reset();
    UseSystemFile("controls/control_card.json");
    Bind(e);
  }
  std::string Object(const VolumeExport& e) {
    if (e.partLevel) return "part:Control Card/Mic Boost/volume";
    return std::string("device:") + e.endpointId + "/volume";
  }
  // The levels the control holds now, per channel.
  std::vector<float> Levels(const VolumeExport& e) {
    const auto levels = e.partLevel ? PartControls("Mic Boost")["volume"]["channels"]
                                    : EndpointVolumeState(e.endpointId)["channels"];
    return levels.get<std::vector<float>>();
  }
  float Maximum(const VolumeExport& e) {
    return e.partLevel ? 30.0f : EndpointVolumeState(e.endpointId)["max"].get<float>();
  }
  float Minimum(const VolumeExport& e) {
    return e.partLevel ? -10.0f : EndpointVolumeState(e.endpointId)["min"].get<float>();
  }
  std::size_t PlatformCalls() { return system().Trace().size(); }
};

TEST_F(VolumeControlsTest, NothingBoundReportsUnboundOrMissingWithoutPlatformCalls) {
  system().SetTracing(true);
  for (const VolumeExport& e : kExports) {
    int status = -1;
    EXPECT_EQ(e.get(&status), 0) << e.name;
    EXPECT_EQ(status, e.virtualPair ? 1 : 3) << e.name;
    status = -1;
    EXPECT_EQ(e.set(40, &status), 0) << e.name;
    EXPECT_EQ(status, e.virtualPair ? 1 : 3) << e.name;
  }
  mixer().deviceBound = true;
  for (const VolumeExport& e : kExports) {
    int status = -1;
    EXPECT_EQ(e.set(40, &status), 0) << e.name;
    EXPECT_EQ(status, 1) << e.name;
  }
  EXPECT_EQ(PlatformCalls(), 0u);
}

TEST_F(VolumeControlsTest, SetAppliesOneLevelAndReadsBack) {
  for (const VolumeExport& e : kExports) {
    SCOPED_TRACE(e.name);
    Rebind(e);
    int status = -1;
    EXPECT_EQ(e.set(75, &status), 75);
    EXPECT_EQ(status, 0);
    const float expected = PercentToLevel(75, Minimum(e), Maximum(e));
    for (float level : Levels(e)) EXPECT_EQ(level, expected);
    // 74 at a 0 dB maximum; the float steps differ with the maximum.
    EXPECT_EQ(e.get(&status), LevelToPercent(expected, Maximum(e)));
    EXPECT_EQ(status, 0);

    // 0 is the minimum, except for the line recording volume.
    EXPECT_EQ(e.set(0, &status), 0);
    EXPECT_EQ(status, 0);
    const float zero = e.zeroMeansMaxMinus40 ? Maximum(e) - 40.0f : Minimum(e);
    EXPECT_EQ(Levels(e)[0], zero);
  }
}

TEST_F(VolumeControlsTest, FailuresReportStatusTwoWithEachSettersResult) {
  const struct Failure {
    const char* what;
    const char* object;  // null: the export's control
    const char* op;      // null: the export's setter
    int channel;         // the one channel that fails, or -1 for all
    int percent;
    bool onlyPerChannel;  // the failure matters only where the count is used
  } failures[] = {
      {"set fails", nullptr, nullptr, -1, 40, false},
      {"range fails", nullptr, "Get*Range", -1, 40, false},
      {"count fails", nullptr, "GetChannelCount", -1, 40, true},
      {"channel 0 fails, channel 1 succeeds", nullptr, nullptr, 0, 40, true},
      {"negative percentage", "none", "none", -1, -5, false},
  };
  for (const VolumeExport& e : kExports) {
    for (const Failure& f : failures) {
      SCOPED_TRACE(std::string(e.name) + ": " + f.what);
      Rebind(e);
      const std::vector<float> before = Levels(e);
      sim::FaultRule rule{f.object ? f.object : Object(e), f.op ? f.op : e.setOp};
      if (f.channel >= 0) rule.channel = f.channel;
      system().AddFault(rule);
      int status = -1;
      const int result = e.set(f.percent, &status);
      if (f.onlyPerChannel && !e.perChannel) {
        EXPECT_EQ(status, 0);
        EXPECT_EQ(result, f.percent);
      } else {
        EXPECT_EQ(status, 2);
        EXPECT_EQ(result, e.failureReturnsPercent ? f.percent : 0);
      }
      if (f.percent < 0) {
        EXPECT_EQ(Levels(e), before);
        EXPECT_EQ(PlatformCalls(), 0u);
      }
    }
  }
}

TEST_F(VolumeControlsTest, SetAnsweredWithFalseOrInvalidFunction) {
  for (const VolumeExport& e : kExports) {
    for (HRESULT answer : {platform::kS_FALSE, platform::kHrInvalidFunction}) {
      SCOPED_TRACE(std::string(e.name) + " " + std::to_string(answer));
      Rebind(e);
      system().AddFault({Object(e), e.setOp, answer});
      int status = -1;
      const int result = e.set(30, &status);
      // S_FALSE means nothing had to change; only the microphone monitor
      // takes ERROR_INVALID_FUNCTION as success.
      const bool succeeds = answer == platform::kS_FALSE || std::string(e.name) == "MicPlayBack";
      EXPECT_EQ(status, succeeds ? 0 : 2);
      EXPECT_EQ(result, succeeds || e.failureReturnsPercent ? 30 : 0);
    }
  }
}

TEST_F(VolumeControlsTest, GetterCountsOnlyOkAsARead) {
  for (const VolumeExport& e : kExports) {
    for (HRESULT answer : {platform::kS_FALSE, platform::kE_FAIL}) {
      SCOPED_TRACE(e.name);
      Rebind(e);
      system().AddFault({Object(e), "Get*Level", answer});
      int status = -1;
      EXPECT_EQ(e.get(&status), 0);
      EXPECT_EQ(status, 2);
    }
  }
}

TEST_F(VolumeControlsTest, GetterScalesAgainstTheControlsOwnMaximum) {
  // The microphone's range tops out at +12 dB, and it sits at 0 dB.
  Bind(kExports[3]);
  int status = -1;
  EXPECT_EQ(GetMicRecordVolume(&status), 25);
  EXPECT_EQ(status, 0);
}

TEST_F(VolumeControlsTest, NullStatusPointerIsNotWritten) {
  Bind(kExports[0]);
  EXPECT_EQ(SetMasterVolume(50, nullptr), 50);
  EXPECT_EQ(GetMasterVolume(nullptr), 50);
}

}  // namespace
}  // namespace velto::testing
