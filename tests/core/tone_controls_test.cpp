#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "control_binding.h"

namespace velto::testing {
namespace {

using Range = std::array<double, 3>;  // minimum, maximum, step

struct BandCase {
  const char* name;
  int (*get)(double*, int*);
  int (*set)(double, int*);
  Ref<LevelControl> MixerState::*slot;
  LevelInterface iid;
  const char* key;  // the part is named as the band
  int successResult;
  double initial;
  double min, max, step;
  Range range() const { return {min, max, step}; }
};

void PrintTo(const BandCase& c, std::ostream* os) { *os << c.name; }

const BandCase kBands[] = {
    {"Bass", GetBass, SetBass, &MixerState::bassControl, LevelInterface::AudioBass, "bass", 0, 1.5,
     -12, 12, 0.5},
    {"Treble", GetTreble, SetTreble, &MixerState::trebleControl, LevelInterface::AudioTreble,
     "treble", 0, 2.5, -6, 6, 1},
    {"Midrange", GetMidRange, SetMidRange, &MixerState::midrangeControl,
     LevelInterface::AudioMidrange, "midrange", 1, -2, -9, 9, 0.25},
};
const BandCase &kBass = kBands[0], &kTreble = kBands[1], &kMidrange = kBands[2];

class ToneTest : public ControlCardTest {
 protected:
  void BindBand(const BandCase& band) {
    BindPartControl(kSpeakers, band.name, band.iid, mixer().*band.slot);
  }
  std::vector<double> Channels(const BandCase& band) {
    return PartControls(band.name)[band.key]["channels"].get<std::vector<double>>();
  }
};

class ToneBandTest : public ToneTest, public ::testing::WithParamInterface<BandCase> {
 protected:
  const BandCase& c() { return GetParam(); }
  void Bind() {
    BindBand(c());
    mixer().deviceBound = true;
  }
};

TEST_P(ToneBandTest, StopsBeforeThePlatformWhenUnboundOrMissing) {
  const struct {
    bool bindSlot, bound;
    int status;
  } cases[] = {{true, false, 3}, {false, false, 3}, {false, true, 1}};
  for (const auto& k : cases) {
    ResetMixerState();
    if (k.bindSlot) BindBand(c());
    mixer().deviceBound = k.bound;
    const auto calls = system().CallCount();
    double level = 99;
    int status = -1;
    EXPECT_EQ(c().get(&level, &status), 1);
    EXPECT_EQ(level, 0.0);  // written before any test
    EXPECT_EQ(status, k.status);
    status = -1;
    EXPECT_EQ(c().set(3, &status), 1);
    EXPECT_EQ(status, k.status);
    EXPECT_EQ(system().CallCount(), calls);
  }
  EXPECT_EQ(Channels(c()), std::vector<double>(2, c().initial));
}

TEST_P(ToneBandTest, GetReadsChannelZero) {
  Bind();
  double level = 99;
  int status = -1;
  EXPECT_EQ(c().get(&level, &status), c().successResult);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(level, c().initial);
  EXPECT_EQ(c().get(nullptr, nullptr), c().successResult);
}

TEST_P(ToneBandTest, FailedOrFalseReadGivesZeroLevel) {
  Bind();
  for (HRESULT answer : {kE_FAIL, kS_FALSE}) {
    system().ClearFaults();
    Fail("GetLevel", answer);
    double level = 99;
    int status = -1;
    EXPECT_EQ(c().get(&level, &status), 1);
    EXPECT_EQ(status, 2);
    EXPECT_EQ(level, 0.0);
  }
}

TEST_P(ToneBandTest, SetWritesEveryChannel) {
  Bind();
  int status = -1;
  EXPECT_EQ(c().set(-1.25, &status), c().successResult);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Channels(c()), std::vector<double>(2, -1.25));
  EXPECT_EQ(c().set(0.5, nullptr), c().successResult);
  EXPECT_EQ(Channels(c()), std::vector<double>(2, 0.5));
}

TEST_P(ToneBandTest, AnyFailedChannelFailsTheSet) {
  Bind();
  for (std::uint32_t failing : {0u, 1u}) {
    system().ClearFaults();
    Fail("SetLevel", kE_FAIL, failing);
    int status = -1;
    EXPECT_EQ(c().set(failing + 1.0, &status), 1);
    EXPECT_EQ(status, 2) << "channel " << failing;
    // The other channel was still written.
    EXPECT_EQ(Channels(c())[1 - failing], failing + 1.0);
  }
}

TEST_P(ToneBandTest, FailedChannelCountWritesNothing) {
  Bind();
  Fail("GetChannelCount", kE_FAIL);
  int status = -1;
  EXPECT_EQ(c().set(1, &status), 1);
  EXPECT_EQ(status, 2);
  EXPECT_EQ(Channels(c()), std::vector<double>(2, c().initial));
}

TEST_P(ToneBandTest, LevelThatIsNotANumberMakesNoCall) {
  Bind();
  const auto calls = system().CallCount();
  int status = -1;
  EXPECT_EQ(c().set(std::numeric_limits<double>::quiet_NaN(), &status), 1);
  EXPECT_EQ(status, 2);
  EXPECT_EQ(system().CallCount(), calls);
}

TEST_P(ToneBandTest, LevelsCrossAsNearestFloat) {
  Bind();
  const double third = 1.0 / 3.0;
  const float nearest = static_cast<float>(third);
  ASSERT_NE(static_cast<double>(nearest), third);
  EXPECT_EQ(c().set(third, nullptr), c().successResult);
  EXPECT_EQ(static_cast<float>(Channels(c())[0]), nearest);
  double level = 0;
  EXPECT_EQ(c().get(&level, nullptr), c().successResult);
  EXPECT_EQ(level, static_cast<double>(nearest));  // widened, not rounded again
}

INSTANTIATE_TEST_SUITE_P(Bands, ToneBandTest, ::testing::ValuesIn(kBands),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ToneTest, NoChannelToSetIsNoFailure) {
  for (const BandCase* band : {&kBass, &kMidrange}) {
    ScriptedLevel& control = ScriptedLevel::Into(mixer().*band->slot);
    mixer().deviceBound = true;
    int status = -1;
    EXPECT_EQ(band->set(1, &status), band->successResult) << band->name;
    EXPECT_EQ(status, 0) << band->name;
    EXPECT_EQ(control.sets, 0);
    (mixer().*band->slot).Reset();
  }
}

struct RangeRead {
  int result;
  double min = -99, max = -99, step = -99;
  Range range() const { return {min, max, step}; }
};
RangeRead ReadRange() {
  RangeRead r{0};
  r.result = GetEQRange(&r.min, &r.max, &r.step);
  return r;
}

TEST_F(ToneTest, WhatAFailedReadLeftBehindNeverReachesTheHost) {
  mixer().deviceBound = true;
  for (HRESULT answer : {kE_FAIL, kS_FALSE}) {
    ScriptedLevel::Into(mixer().bassControl).readAnswer = answer;
    double level = 99;
    EXPECT_EQ(GetBass(&level, nullptr), 1);
    EXPECT_EQ(level, 0.0);
    const RangeRead r = ReadRange();
    EXPECT_EQ(r.result, 2);
    EXPECT_EQ(r.range(), Range{});
  }
}

TEST_F(ToneTest, RangeComesFromBassThenMidrangeThenTreble) {
  const struct {
    std::vector<const BandCase*> bound;
    int result;
    Range range;
  } cases[] = {
      {{&kTreble, &kMidrange, &kBass}, 0, kBass.range()},
      {{&kTreble, &kMidrange}, 0, kMidrange.range()},
      {{&kTreble, &kBass}, 0, kBass.range()},
      {{&kTreble}, 0, kTreble.range()},
      {{}, 1, {0, 0, 0}},
  };
  for (const auto& c : cases) {
    ResetMixerState();
    for (const BandCase* band : c.bound) BindBand(*band);
    mixer().deviceBound = true;
    const RangeRead r = ReadRange();
    EXPECT_EQ(r.result, c.result) << c.bound.size() << " bands";
    EXPECT_EQ(r.range(), c.range);
  }
}

TEST_F(ToneTest, RangeWithoutDeviceOrReadGivesZeros) {
  BindBand(kBass);
  RangeRead r = ReadRange();
  EXPECT_EQ(r.result, 3);
  EXPECT_EQ(r.range(), Range{});

  mixer().deviceBound = true;
  for (HRESULT answer : {kE_FAIL, kS_FALSE}) {
    system().ClearFaults();
    Fail("GetLevelRange", answer);
    r = ReadRange();
    EXPECT_EQ(r.result, 2) << answer;
    EXPECT_EQ(r.range(), Range{});
  }
  system().ClearFaults();
  double max = 0;
  EXPECT_EQ(GetEQRange(nullptr, &max, nullptr), 0);
  EXPECT_EQ(max, 12.0);
}

}  // namespace
}  // namespace velto::testing
