#include "controls/level_scaling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace velto {
namespace {

struct SetCase {
  int percent;
  float storedDb;
  int readsBack;
};

// Maximum 0 dB, minimum -65.25 dB: the levels are exact 32-bit floats.
TEST(LevelScaling, WorkedValuesAtMaximumZero) {
  const SetCase cases[] = {
      {0, -65.25f, 0},           {1, -40.0f, 1},
      {2, -33.9794006f, 1},      {10, -20.0f, 10},
      {25, -12.0411997f, 25},    {50, -6.02059984f, 50},
      {75, -2.49877477f, 74},    {90, -0.915150046f, 89},
      {99, -0.087296024f, 99},   {100, 0.0f, 100},
      {101, 0.0864273906f, 100},
  };
  for (const SetCase& c : cases) {
    const float stored = PercentToLevel(c.percent, -65.25f, 0.0f);
    EXPECT_EQ(stored, c.storedDb) << "percent " << c.percent;
    EXPECT_EQ(LevelToPercent(stored, 0.0f), c.readsBack) << "percent " << c.percent;
  }
}

TEST(LevelScaling, LevelsReadAtMaximumZero) {
  const std::pair<float, int> cases[] = {{0.0f, 100}, {-1.0f, 89},    {-3.0f, 70},
                                         {-6.0f, 50}, {-10.0f, 31},   {-20.0f, 10},
                                         {-40.0f, 1}, {-40.0001f, 0}, {-60.0f, 0}};
  for (const auto& [level, percent] : cases) {
    EXPECT_EQ(LevelToPercent(level, 0.0f), percent) << "level " << level;
  }
}

TEST(LevelScaling, MaximumAboveZero) {
  EXPECT_EQ(LevelToPercent(0.0f, 12.0f), 25);
  EXPECT_EQ(LevelToPercent(-34.5f, 12.0f), 0);
  EXPECT_EQ(PercentToLevel(0, -34.5f, 12.0f), -34.5f);
  EXPECT_EQ(PercentToLevel(1, -34.5f, 12.0f), -28.0f);
  EXPECT_EQ(PercentToLevel(50, -34.5f, 12.0f), 5.97940016f);
  EXPECT_EQ(PercentToLevel(100, -34.5f, 12.0f), 12.0f);
}

// The 32-bit steps and the truncation make 53 of 1..100 read back one lower.
TEST(LevelScaling, FiftyThreePercentagesReadBackOneLower) {
  int lower = 0;
  for (int percent = 1; percent <= 100; ++percent) {
    const int back = LevelToPercent(PercentToLevel(percent, -65.25f, 0.0f), 0.0f);
    ASSERT_TRUE(back == percent || back == percent - 1) << percent;
    if (back == percent - 1) ++lower;
  }
  EXPECT_EQ(lower, 53);
}

TEST(LevelScaling, OutOfRangeAndNotANumber) {
  EXPECT_TRUE(std::isnan(PercentToLevel(-5, -65.25f, 0.0f)));
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(LevelToPercent(nan, 0.0f), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(LevelToPercent(200.0f, 0.0f), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(LevelToPercent(-std::numeric_limits<float>::infinity(), 0.0f), 0);
}

}  // namespace
}  // namespace velto
