#include <array>
#include <fstream>
#include <string>

#include "control_binding.h"

namespace velto::testing {
namespace {

class BoostSliderTest : public ControlCardTest {
 protected:
  void BindBoost() {
    BindPartControl(kMicrophone, "Mic Boost", LevelInterface::AudioVolumeLevel,
                    mixer().micBoostLevel);
    mixer().deviceBound = true;
  }
  // Replaces the boost part's level control before the system is installed.
  void UseBoostLevel(const nlohmann::json& level) {
    nlohmann::json card =
        nlohmann::json::parse(std::ifstream(SystemPath("controls/control_card.json")));
    PartWhere(card, "name", "Mic Boost")["controls"]["volume"] = level;
    UseSystemJson(card);
    BindBoost();
  }
  nlohmann::json BoostChannels() { return PartControls("Mic Boost")["volume"]["channels"]; }
};

struct Details {
  int result, status, min, max, step;
  std::array<int, 3> range() const { return {min, max, step}; }
};
Details ReadDetails() {
  Details d{-9, -9, -9, -9, -9};
  d.result = GetMicSliderDetails(&d.status, &d.min, &d.max, &d.step);
  return d;
}

TEST_F(BoostSliderTest, UnboundOrMissingLeavesRangeUntouched) {
  const struct {
    bool bindSlot, bound;
    int status;
  } cases[] = {{true, false, 3}, {false, false, 3}, {false, true, 1}};
  for (const auto& c : cases) {
    ResetMixerState();
    if (c.bindSlot) BindBoost();
    mixer().deviceBound = c.bound;
    const auto calls = system().CallCount();
    const Details d = ReadDetails();
    EXPECT_EQ(d.result, 1);
    EXPECT_EQ(d.status, c.status);
    EXPECT_EQ(d.range(), (std::array{-9, -9, -9}));
    int status = -1;
    EXPECT_EQ(GetMicSliderBoost(&status), 0);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(SetMicSliderBoost(20, &status), 1);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(system().CallCount(), calls);
  }
  EXPECT_EQ(BoostChannels()[0], 19.5);
}

TEST_F(BoostSliderTest, ReadsWholeDecibelsTruncatedTowardZeroAndNoStepOfZero) {
  const struct {
    float min, max, step, level;
    int wantMin, wantMax, wantStep, wantLevel;
  } cases[] = {
      {0, 30, 10, 19.5f, 0, 30, 10, 19},
      {-10, 30, 0.75f, -2.9f, -10, 30, 1, -2},
      {-10, 30, 0, 5, -10, 30, 0, 5},
      {-12.5f, 12.9f, 1.5f, 12.9f, -12, 12, 1, 12},
  };
  for (const auto& c : cases) {
    UseBoostLevel({{"min", c.min}, {"max", c.max}, {"step", c.step}, {"channels", {c.level, 7}}});
    const Details d = ReadDetails();
    EXPECT_EQ(d.result, 0);
    EXPECT_EQ(d.status, 0);
    EXPECT_EQ(d.range(), (std::array{c.wantMin, c.wantMax, c.wantStep}));
    int status = -1;
    EXPECT_EQ(GetMicSliderBoost(&status), c.wantLevel);
    EXPECT_EQ(status, 0);
    ReleaseBoundControls(mixer());
  }
}

TEST_F(BoostSliderTest, SetWritesChannelZeroOnly) {
  BindBoost();
  for (int level : {20, -7, 0}) {
    int status = -1;
    EXPECT_EQ(SetMicSliderBoost(level, &status), 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(BoostChannels()[0].get<double>(), level);
    EXPECT_EQ(BoostChannels()[1], 7);
  }
}

TEST_F(BoostSliderTest, PlatformFailuresReportStatusTwo) {
  BindBoost();
  for (HRESULT answer : {kE_FAIL, kS_FALSE}) {
    system().ClearFaults();
    Fail("GetLevelRange", answer);
    Fail("GetLevel", answer);
    const Details d = ReadDetails();
    EXPECT_EQ(d.result, 1);
    EXPECT_EQ(d.status, 2);
    EXPECT_EQ(d.range(), (std::array{0, 0, 0}));
    int status = -1;
    EXPECT_EQ(GetMicSliderBoost(&status), 0);
    EXPECT_EQ(status, 2);
  }
  system().ClearFaults();
  Fail("SetLevel", kE_INVALIDARG);
  int status = -1;
  EXPECT_EQ(SetMicSliderBoost(20, &status), 1);
  EXPECT_EQ(status, 2);
  EXPECT_EQ(BoostChannels()[0], 19.5);

  system().ClearFaults();
  Fail("SetLevel", kS_FALSE);
  EXPECT_EQ(SetMicSliderBoost(20, &status), 0);
  EXPECT_EQ(status, 0);
}

TEST_F(BoostSliderTest, WhatAFailedReadLeftBehindNeverReachesTheHost) {
  mixer().deviceBound = true;
  for (HRESULT answer : {kE_FAIL, kS_FALSE}) {
    ScriptedLevel::Into(mixer().micBoostLevel).readAnswer = answer;
    const Details d = ReadDetails();
    EXPECT_EQ(d.result, 1);
    EXPECT_EQ(d.status, 2);
    EXPECT_EQ(d.range(), (std::array{0, 0, 0}));
    EXPECT_EQ(GetMicSliderBoost(nullptr), 0);
  }
}

TEST_F(BoostSliderTest, NullPointersAreSkipped) {
  BindBoost();
  int max = -9;
  EXPECT_EQ(GetMicSliderDetails(nullptr, nullptr, &max, nullptr), 0);
  EXPECT_EQ(max, 30);
  EXPECT_EQ(GetMicSliderBoost(nullptr), 19);
  EXPECT_EQ(SetMicSliderBoost(10, nullptr), 0);
  EXPECT_EQ(BoostChannels()[0], 10);
}

}  // namespace
}  // namespace velto::testing
