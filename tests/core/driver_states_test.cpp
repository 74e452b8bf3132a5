// The mixer on states real drivers produce: controls without channels or with
// more channels claimed than served, an endpoint master apart from its
// channels, switch values other than 0 and 1, aimed failures and Windows-1252
// text outside ASCII.
#include <gtest/gtest.h>

#include <string>

#include "core/endpoint_lookup.h"
#include "mixer_fixture.h"
#include "platform/description/text.h"
#include "topology_support.h"

namespace velto::testing {
namespace {

sim::FaultRule AtIndex(sim::FaultRule rule, std::uint32_t index) {
  rule.index = index;
  return rule;
}
sim::FaultRule ForInterface(sim::FaultRule rule, const char* iid) {
  rule.interfaceName = iid;
  return rule;
}

using DriverStateTest = MixerTest;

TEST_F(DriverStateTest, VolumesReadTheLevelTheirRulesName) {
  // The master export reads channel 0, the recording volumes the endpoint's
  // master; a driver whose master differs from its channels tells them apart.
  json description = Sample();
  EndpointById(description, sample::kSpeakers)["volume"]["channels"] = {-20.0, 0.0};
  EndpointById(description, sample::kLineIn)["volume"]["max"] = 0.0;
  EndpointById(description, sample::kLineIn)["volume"]["channels"] = {0.0, 0.0};
  EndpointById(description, sample::kLineIn)["volume"]["master"] = -20.0;
  BindSample(description);
  int status = -1;
  EXPECT_EQ(GetMasterVolume(&status), 10);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(GetLineRecordVolume(&status), 10);
  EXPECT_EQ(status, 0);
}

TEST_F(DriverStateTest, RecordingVolumeKeepsTheBalanceTheMasterVolumeLevels) {
  json description = Sample();
  EndpointById(description, sample::kLineIn)["volume"]["channels"] = {0.0, -6.0};
  EndpointById(description, sample::kSpeakers)["volume"]["channels"] = {-10.0, -16.0};
  BindSample(description);
  int status = -1;
  // max 30 dB: 10 % is 20 dB below it, one platform call moves both channels.
  EXPECT_EQ(SetLineRecordVolume(10, &status), 10);
  EXPECT_EQ(EndpointVolumeState(sample::kLineIn)["channels"], json({10.0, 4.0}));
  // The master export sets every channel to one level, as its rules say.
  EXPECT_EQ(SetMasterVolume(10, &status), 10);
  EXPECT_EQ(EndpointVolumeState(sample::kSpeakers)["channels"], json({-20.0, -20.0}));
}

TEST_F(DriverStateTest, ChannelCountsTheControlCannotServe) {
  const struct {
    const char* what;
    const char* object;  // whose GetChannelCount answers `count`
    std::uint32_t count;
    int (*set)(int, int*);
    int result;  // with status 2
  } cases[] = {
      {"master volume without channels", "device:*/volume", 0, SetMasterVolume, 50},
      {"master volume claiming four", "device:*/volume", 4, SetMasterVolume, 50},
      {"line monitor without channels", "part:*/line-in-volume/volume", 0, SetLinePlayBack, 0},
      {"line monitor claiming four", "part:*/line-in-volume/volume", 4, SetLinePlayBack, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BindSample(Sample());
    sim::FaultRule claim(c.object, "GetChannelCount", platform::kS_OK);
    claim.output = c.count;
    system().AddFault(claim);
    int status = -1;
    EXPECT_EQ(c.set(50, &status), c.result);
    EXPECT_EQ(status, 2);
    system().ClearFaults();
    CloseSoundCard(0);
  }
}

TEST_F(DriverStateTest, ToneBandWithoutChannelsSetsNothingAndSucceeds) {
  json description = Sample();
  PartById(description, "tone")["controls"]["bass"]["channels"] = json::array();
  BindSample(description);
  int status = -1;
  EXPECT_EQ(SetBass(3.0, &status), 0);
  EXPECT_EQ(status, 0);
  double level = 1;
  EXPECT_EQ(GetBass(&level, &status), 1) << "channel 0 does not exist";
  EXPECT_EQ(status, 2);
  EXPECT_EQ(level, 0.0);
}

TEST_F(DriverStateTest, SwitchValuesOfFiveAreReadAndRestoredByTheirRules) {
  json description = Sample();
  EndpointById(description, sample::kSpeakers)["volume"]["mute"] = 5;
  PartById(description, "mic-mute")["controls"]["mute"] = 5;
  PartById(description, "line-agc")["controls"]["agc"] = 5;
  BindSample(description);
  int status = -1;
  EXPECT_EQ(GetMasterMute(&status), 5);
  EXPECT_EQ(GetMicPlayBackMute(&status), 5);
  EXPECT_EQ(GetNoMonitor(&status), 5);
  SetMasterMute(0, &status);
  SetMicPlayBackMute(0, &status);
  SetNoMonitor(0, &status);
  CloseSoundCard(1);
  json now = state();
  // The master mute goes back as 0 or 1, the part switches as they were read.
  EXPECT_EQ(EndpointById(now, sample::kSpeakers)["volume"]["mute"], true);
  EXPECT_EQ(PartById(now, "mic-mute")["controls"]["mute"], 5);
  EXPECT_EQ(PartById(now, "line-agc")["controls"]["agc"], 5);
}

TEST_F(DriverStateTest, AFailureAimedAtOneEndpointFailsOnlyThatEndpoint) {
  const struct {
    const char* what;
    sim::FaultRule fault;
    int listed[2];  // GetPlayBackDevice results for indices 0 and 1
    int open;       // OpenSoundCard of the digital output
  } cases[] = {
      {"second Item only",
       AtIndex(sim::FaultRule("collection:render", "Item", platform::kE_FAIL), 1),
       {0, -1},
       1},
      {"its endpoint volume only",
       ForInterface(sim::FaultRule("device:" + std::string(sample::kDigital), "Activate",
                                   platform::kE_NOINTERFACE),
                    "IAudioEndpointVolume"),
       {0, 0},
       1},
      {"its name only",
       sim::FaultRule("device:" + std::string(sample::kDigital) + "/properties", "GetValue",
                      platform::kE_FAIL),
       {0, -1},
       1},
      {"its id copy only",
       sim::FaultRule("device:" + std::string(sample::kDigital), "CoTaskMemAlloc", 0),
       {0, -1},
       1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    UseSystem(sim::SimSystem::Sample());
    system().AddFault(c.fault);
    for (unsigned index = 0; index < 2; ++index) {
      char name[256] = "untouched";
      char id[256] = "untouched";
      EXPECT_EQ(GetPlayBackDevice(index, name, id), c.listed[index]) << index;
      if (c.listed[index] != 0) {
        EXPECT_STREQ(name, "untouched");
        EXPECT_STREQ(id, "untouched");
      }
    }
    EXPECT_EQ(OpenSoundCard("a3e91b57", "", ""), c.open);
    EXPECT_EQ(OpenSoundCard("4f6a2c1e", "", ""), 0) << "the others still bind";
    CloseSoundCard(0);
  }
}

TEST_F(DriverStateTest, ACountTheCollectionCannotServe) {
  sim::FaultRule claim("collection:capture", "GetCount", platform::kS_OK);
  claim.output = 5;
  system().AddFault(claim);
  int count = -1;
  EXPECT_EQ(GetNumberRecordDevices(&count), 0);
  EXPECT_EQ(count, 5);
  char name[256] = "untouched";
  char id[256] = "untouched";
  EXPECT_EQ(GetRecordDevice(3, name, id), -1) << "Item 3 does not exist";
  EXPECT_STREQ(name, "untouched");
  EXPECT_EQ(GetRecordDevice(7, name, id), 5);
  EXPECT_EQ(OpenSoundCard("", "no such id", ""), 3);
}

// Every byte 0x80..0x9F, the five Windows-1252 leaves undefined included, as
// the characters the ANSI page gives them.
const char16_t kHighCp1252[] =
    u"\u20ac\u0081\u201a\u0192\u201e\u2026\u2020\u2021\u02c6\u2030\u0160\u2039\u0152\u008d\u017d"
    u"\u008f\u0090\u2018\u2019\u201c\u201d\u2022\u2013\u2014\u02dc\u2122\u0161\u203a\u0153\u009d"
    u"\u017e\u0178";

TEST_F(DriverStateTest, WindowsCp1252HighBytesGoBothWays) {
  std::string bytes;
  for (int b = 0x80; b <= 0x9F; ++b) bytes += static_cast<char>(b);
  const std::u16string high(kHighCp1252);
  json description = Sample();
  json& digital = EndpointById(description, sample::kDigital);
  digital["id"] = description::Utf16ToUtf8(u"{0.0.0.00000000}.{" + high + u"}");
  digital["name"] = description::Utf16ToUtf8(high);
  UseSystemJson(description);

  char name[256] = {};
  char id[256] = {};
  ASSERT_EQ(GetPlayBackDevice(1, name, id), 0);
  EXPECT_EQ(std::string(id), "{0.0.0.00000000}.{" + bytes + "}") << "through the ANSI page";
  std::string lowBytes;
  for (char16_t unit : high) lowBytes += static_cast<char>(unit & 0xFF);
  EXPECT_EQ(std::string(name), lowBytes) << "names keep the low byte";

  // The listed id, and any piece of it, finds the endpoint again.
  for (const std::string& search : {std::string(id), bytes.substr(13, 9), bytes}) {
    ASSERT_EQ(Lookup(search.c_str(), platform::DataFlow::Render), 0);
    EXPECT_EQ(*mixer().lastFoundName, lowBytes);
  }
}

}  // namespace
}  // namespace velto::testing
