#include <cmath>
#include <limits>
#include <tuple>

#include "sim_fixture.h"

namespace velto::sim::testing {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

class EndpointVolumeTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    volume_ = Volume(kSpeakers);
  }
  void TearDown() override {
    volume_.Reset();
    SimTest::TearDown();
  }
  std::pair<float, float> Channels() {
    float left = 0, right = 0;
    EXPECT_EQ(volume_->GetChannelVolumeLevel(0, &left), kS_OK);
    EXPECT_EQ(volume_->GetChannelVolumeLevel(1, &right), kS_OK);
    return {left, right};
  }
  Ref<EndpointVolume> volume_;
};

TEST_F(EndpointVolumeTest, ReportsRangeAndChannels) {
  float min = 0, max = 1, step = 0;
  ASSERT_EQ(volume_->GetVolumeRange(&min, &max, &step), kS_OK);
  EXPECT_EQ(std::make_tuple(min, max, step), std::make_tuple(-65.25f, 0.0f, 0.75f));
  std::uint32_t count = 0;
  ASSERT_EQ(volume_->GetChannelCount(&count), kS_OK);
  EXPECT_EQ(count, 2u);
}

TEST_F(EndpointVolumeTest, RefusesLevelsOutsideTheRangeAndNaN) {
  const float refused[] = {0.0864273906f, std::nextafter(-65.25f, -100.0f), kNaN, kInf, -kInf};
  for (float level : refused) {
    EXPECT_EQ(volume_->SetMasterVolumeLevel(level), kE_INVALIDARG) << level;
    EXPECT_EQ(volume_->SetChannelVolumeLevel(0, level), kE_INVALIDARG) << level;
  }
  EXPECT_EQ(Channels(), std::make_pair(-10.0f, -10.0f));
  EXPECT_EQ(volume_->SetMasterVolumeLevel(0.0f), kS_OK);
  EXPECT_EQ(volume_->SetChannelVolumeLevel(1, -65.25f), kS_OK);
  EXPECT_EQ(Channels(), std::make_pair(0.0f, -65.25f));
}

TEST_F(EndpointVolumeTest, MasterSetsEveryChannelAndReadsAsTheLoudest) {
  ASSERT_EQ(volume_->SetMasterVolumeLevel(-6.02059984f), kS_OK);
  EXPECT_EQ(Channels(), std::make_pair(-6.02059984f, -6.02059984f));
  ASSERT_EQ(volume_->SetChannelVolumeLevel(0, -30.0f), kS_OK);
  float master = 0;
  ASSERT_EQ(volume_->GetMasterVolumeLevel(&master), kS_OK);
  EXPECT_EQ(master, -6.02059984f);
  ASSERT_EQ(volume_->SetChannelVolumeLevel(1, -40.0f), kS_OK);
  ASSERT_EQ(volume_->GetMasterVolumeLevel(&master), kS_OK);
  EXPECT_EQ(master, -30.0f);
}

TEST_F(EndpointVolumeTest, ChannelOutOfRangeIsInvalid) {
  float level = 123;
  EXPECT_EQ(volume_->GetChannelVolumeLevel(2, &level), kE_INVALIDARG);
  EXPECT_EQ(level, 123);
  EXPECT_EQ(volume_->SetChannelVolumeLevel(2, -1.0f), kE_INVALIDARG);
  EXPECT_EQ(volume_->SetChannelVolumeLevel(UINT32_MAX, -1.0f), kE_INVALIDARG);
}

TEST_F(EndpointVolumeTest, MuteHoldsTheValueAsWrittenAndAnswersSFalseWhenUnchanged) {
  std::int32_t mute = -1;
  EXPECT_EQ(volume_->SetMute(0), kS_FALSE);
  EXPECT_EQ(volume_->SetMute(5), kS_OK);
  ASSERT_EQ(volume_->GetMute(&mute), kS_OK);
  EXPECT_EQ(mute, 5);
  EXPECT_EQ(volume_->SetMute(5), kS_FALSE);
  EXPECT_EQ(volume_->SetMute(1), kS_OK);
  ASSERT_EQ(volume_->GetMute(&mute), kS_OK);
  EXPECT_EQ(mute, 1);
  EXPECT_EQ(volume_->SetMute(0), kS_OK);
  ASSERT_EQ(volume_->GetMute(&mute), kS_OK);
  EXPECT_EQ(mute, 0);
}

class PartControlTest : public SimTest {};

TEST_F(PartControlTest, SetLevelClampsIntoTheRange) {
  auto volume = Activated<LevelControl>("Line In Volume", LevelInterface::AudioVolumeLevel);
  const std::pair<float, float> cases[] = {
      {13.0f, 12.0f}, {-100.0f, -34.5f}, {kInf, 12.0f}, {-kInf, -34.5f}, {-6.25f, -6.25f}};
  for (const auto& [asked, stored] : cases) {
    float level = 0;
    EXPECT_EQ(volume->SetLevel(1, asked), kS_OK) << asked;
    ASSERT_EQ(volume->GetLevel(1, &level), kS_OK);
    EXPECT_EQ(level, stored) << asked;
    ASSERT_EQ(volume->GetLevel(0, &level), kS_OK);
    EXPECT_EQ(level, 0.0f) << "the other channel stays";
  }
}

// Line In Volume is -34.5..12 in steps of 1.5; a rule gives each rounding.
TEST_F(PartControlTest, SetLevelLandsOnTheGridAsItsRoundingSays) {
  auto volume = Activated<LevelControl>("Line In Volume", LevelInterface::AudioVolumeLevel);
  using R = description::Rounding;
  const std::tuple<R, float, float> cases[] = {
      {R::Nearest, -6.7f, -6.0f}, {R::Nearest, -6.8f, -7.5f}, {R::Nearest, -6.75f, -7.5f},
      {R::Nearest, -6.0f, -6.0f}, {R::Up, -7.4f, -6.0f},      {R::Up, 11.9f, 12.0f},
      {R::Down, -6.1f, -7.5f},    {R::Down, 11.9f, 10.5f},    {R::Down, 12.0f, 12.0f},
      {R::Down, -40.0f, -34.5f},  {R::Exact, -6.7f, -6.7f}};
  for (const auto& [rounding, asked, stored] : cases) {
    sys_->ClearFaults();
    FaultRule rule("*/volume", "SetLevel");
    rule.rounding = rounding;
    sys_->AddFault(rule);
    float level = 0;
    EXPECT_EQ(volume->SetLevel(0, asked), kS_OK) << asked;
    ASSERT_EQ(volume->GetLevel(0, &level), kS_OK);
    EXPECT_EQ(level, stored) << asked << " rounding " << static_cast<int>(rounding);
  }
}

TEST_F(PartControlTest, NaNAndBadChannelsAreInvalid) {
  auto treble = Activated<LevelControl>("Tone Controls", LevelInterface::AudioTreble);
  float level = 0;
  EXPECT_EQ(treble->SetLevel(0, kNaN), kE_INVALIDARG);
  ASSERT_EQ(treble->GetLevel(0, &level), kS_OK);
  EXPECT_EQ(level, -1.5f);
  EXPECT_EQ(treble->SetLevel(2, 0.0f), kE_INVALIDARG);
  EXPECT_EQ(treble->GetLevel(2, &level), kE_INVALIDARG);
  float min, max, step;
  EXPECT_EQ(treble->GetLevelRange(2, &min, &max, &step), kE_INVALIDARG);
  ASSERT_EQ(treble->GetLevelRange(1, &min, &max, &step), kS_OK);
  EXPECT_EQ(std::make_tuple(min, max, step), std::make_tuple(-12.0f, 12.0f, 1.5f));
  std::uint32_t count = 0;
  ASSERT_EQ(treble->GetChannelCount(&count), kS_OK);
  EXPECT_EQ(count, 2u);
}

TEST_F(PartControlTest, MuteAndSwitchesStoreTheValueAsPassed) {
  auto mute = Activated<MuteControl>("Wave Mute", MuteInterface::AudioMute);
  auto agc = Activated<SwitchControl>("Line AGC", SwitchInterface::AudioAutoGainControl);
  std::int32_t value = 0;
  for (std::int32_t written : {5, 0, -7, 1}) {
    ASSERT_EQ(mute->SetMute(written), kS_OK);
    ASSERT_EQ(mute->GetMute(&value), kS_OK);
    EXPECT_EQ(value, written);
    ASSERT_EQ(agc->SetEnabled(written), kS_OK);
    ASSERT_EQ(agc->GetEnabled(&value), kS_OK);
    EXPECT_EQ(value, written);
  }
}

TEST_F(PartControlTest, TwoActivationsShareOneControl) {
  auto first = Activated<LevelControl>("Tone Controls", LevelInterface::AudioBass);
  auto second = Activated<LevelControl>("Tone Controls", LevelInterface::AudioBass);
  ASSERT_EQ(first->SetLevel(0, 6.0f), kS_OK);
  float level = 0;
  ASSERT_EQ(second->GetLevel(0, &level), kS_OK);
  EXPECT_EQ(level, 6.0f);
}

}  // namespace
}  // namespace velto::sim::testing
