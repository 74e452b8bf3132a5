// Hostile arguments for every export: null at every pointer, huge and
// non-ASCII search texts, indices past every end, extreme percentages and
// states, tone levels that are not numbers or not finite, restore flags with
// only high bits set. Every host buffer sits in front of a canary, so a byte
// written past the 255 a host provides fails the test.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "core/mixer_state.h"
#include "generated_systems.h"
#include "host_calls.h"
#include "outcome_rules.h"
#include "platform_checks.h"
#include "veltosound.h"

namespace velto::hardening {
namespace {

class BadInputTest : public ::testing::Test {
 protected:
  void SetUp() override { Use(SampleSystem()); }
  void TearDown() override { EXPECT_EQ(Join(LeftAfterClosing(sim::Installed())), ""); }

  sim::SimSystem& Use(const TestSystem& system) {
    system_ = system;
    return InstallFresh(system_);
  }
  sim::SimSystem& Bound() {
    sim::SimSystem& system = InstallFresh(system_);
    BindAll(system_);
    return system;
  }
  // Runs `call` and checks the ties between its result, status and outputs.
  Outcome Run(const HostCall& call, const Inputs& in) {
    const Outcome outcome = call(in);
    EXPECT_EQ(Join(CheckReport(call, in, outcome)), "") << call.name;
    EXPECT_EQ(Join(PlatformMisuse(sim::Installed())), "") << call.name;
    return outcome;
  }

  TestSystem system_;
};

// The outcome with pointer parameter `param` passed as null: that output
// keeps its sentinel, and a search text counts as empty.
void ForgetOutput(const HostCall& call, unsigned param, Outcome& outcome) {
  switch (call.family) {
    case Family::ToneGet:
      if (param == 0) outcome.levels[0] = kUnsetLevel;
      if (param == 1) outcome.status = kUnset;
      break;
    case Family::EqRange:
      outcome.levels[param] = kUnsetLevel;
      break;
    case Family::BoostDetails:
      if (param == 0) outcome.status = kUnset;
      if (param > 0) outcome.ints[param - 1] = kUnset;
      break;
    case Family::Count:
      outcome.ints[0] = kUnset;
      break;
    case Family::Describe:
    case Family::Names:
      outcome.texts[param].reset();
      break;
    case Family::Open:
    case Family::OpenVirtual:
      break;
    default:
      outcome.status = kUnset;
      break;
  }
}

bool TakesSearchTexts(const HostCall& call) {
  return call.family == Family::Open || call.family == Family::OpenVirtual;
}

// A null out-pointer is not written and the call otherwise behaves as with
// a valid one; a null search text behaves as the empty text. Checked bound
// and unbound, one null at a time and all at once, on the outcome and on the
// whole state of the sound system afterwards.
TEST_F(BadInputTest, NullAtEveryPointer) {
  for (const HostCall& call : AllHostCalls()) {
    if (call.pointerCount == 0) continue;
    const unsigned all = (1u << call.pointerCount) - 1;
    for (bool bound : {false, true}) {
      std::vector<unsigned> masks;
      for (int param = 0; param < call.pointerCount; ++param) masks.push_back(1u << param);
      if (call.pointerCount > 1) masks.push_back(all);
      for (unsigned mask : masks) {
        SCOPED_TRACE(std::string(call.name) + (bound ? " bound" : " unbound") + ", null mask " +
                     std::to_string(mask));
        Inputs reference = OrdinaryInputs(call, system_);
        Inputs nulled = reference;
        nulled.nullPointers = mask;
        for (unsigned param = 0; param < 3; ++param) {
          if ((mask >> param & 1u) && TakesSearchTexts(call)) reference.texts[param].clear();
        }
        sim::SimSystem& first = bound ? Bound() : InstallFresh(system_);
        Outcome expected = Run(call, reference);
        const nlohmann::json expectedState = first.Dump();
        EXPECT_EQ(Join(LeftAfterClosing(first)), "");

        sim::SimSystem& second = bound ? Bound() : InstallFresh(system_);
        const Outcome actual = Run(call, nulled);
        for (unsigned param = 0; param < static_cast<unsigned>(call.pointerCount); ++param) {
          if (mask >> param & 1u) ForgetOutput(call, param, expected);
        }
        EXPECT_EQ(actual, expected);
        EXPECT_EQ(second.Dump(), expectedState) << "the platform saw a different call";
        EXPECT_EQ(Join(LeftAfterClosing(second)), "");
      }
    }
  }
}

std::vector<std::string> HostileTexts() {
  std::string high;
  for (int byte = 0x80; byte <= 0xFF; ++byte) high += static_cast<char>(byte);
  return {std::string(64 * 1024, 'a'), high, std::string(64 * 1024, '\xFF'),
          std::string(64 * 1024, '{') + "4f6a2c1e"};
}

// A search text that matches nothing fails that binding alone, whatever its
// length or bytes.
TEST_F(BadInputTest, HostileSearchTexts) {
  static const int kFailureCode[] = {1, 3, 6};
  const HostCall& open = HostCallNamed("OpenSoundCard");
  for (const std::string& text : HostileTexts()) {
    SCOPED_TRACE("text of " + std::to_string(text.size()) + " bytes starting " +
                 std::to_string(static_cast<unsigned char>(text[0])));
    for (std::size_t position = 0; position < 3; ++position) {
      Bound();
      Inputs in = OrdinaryInputs(open, system_);
      in.texts[position] = text;
      EXPECT_EQ(Run(open, in).result, kFailureCode[position]) << "position " << position;
      EXPECT_EQ(Join(LeftAfterClosing(sim::Installed())), "");
    }
    Bound();
    Inputs in;
    in.texts[0] = text;
    EXPECT_EQ(Run(HostCallNamed("OpenVirtual_1"), in).result, 1);
    int status = -1;
    GetVirtualVolume(&status);
    EXPECT_EQ(status, 1) << "a failed OpenVirtual_1 leaves no virtual endpoint bound";
  }
}

// An index past the end (-1 is the largest one) writes nothing; the
// recording twin answers with the count, the playback twin with -1.
TEST_F(BadInputTest, IndicesPastTheEnd) {
  const struct {
    const char* call;
    std::uint32_t index;
    int result;
  } rows[] = {
      {"GetPlayBackDevice", 0xFFFFFFFFu, -1},
      {"GetPlayBackDevice", 2, -1},
      {"GetPlayBackDevice", 0x80000000u, -1},
      {"GetRecordDevice", 0xFFFFFFFFu, 2},
      {"GetRecordDevice", 2, 2},
      {"GetRecordDevice", 0x80000000u, 2},
  };
  for (const auto& row : rows) {
    Inputs in;
    in.index = row.index;
    const Outcome outcome = Run(HostCallNamed(row.call), in);
    EXPECT_EQ(outcome.result, row.result) << row.call << " " << row.index;
    EXPECT_FALSE(outcome.texts[0] || outcome.texts[1]) << row.call << " wrote a buffer";
  }
}

// A negative percentage has no level: no platform call, status 2. INT_MAX
// asks for a level far above the maximum: an endpoint refuses it, a part
// clamps it. The result follows each setter's rule either way.
TEST_F(BadInputTest, ExtremePercentages) {
  const struct {
    const char* setter;
    std::int32_t percent;
    std::int32_t status;
    std::int32_t result;
  } rows[] = {
      {"SetMasterVolume", INT_MIN, 2, INT_MIN},
      {"SetMasterVolume", -1, 2, -1},
      {"SetMasterVolume", INT_MAX, 2, INT_MAX},
      {"SetVirtualVolume", INT_MIN, 2, INT_MIN},
      {"SetVirtualVolume", INT_MAX, 2, INT_MAX},
      {"SetMicRecordVolume", INT_MIN, 2, INT_MIN},
      {"SetMicRecordVolume", INT_MAX, 2, INT_MAX},
      {"SetLineRecordVolume", INT_MIN, 2, INT_MIN},
      {"SetLineRecordVolume", INT_MAX, 2, INT_MAX},
      {"SetLinePlayBack", INT_MIN, 2, 0},
      {"SetLinePlayBack", -1, 2, 0},
      {"SetLinePlayBack", INT_MAX, 0, INT_MAX},
      {"SetMicPlayBack", INT_MIN, 2, 0},
      {"SetMicPlayBack", INT_MAX, 0, INT_MAX},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.setter) + " " + std::to_string(row.percent));
    sim::SimSystem& system = Bound();
    const std::uint64_t callsBefore = system.CallCount();
    Inputs in;
    in.value = row.percent;
    const Outcome outcome = Run(HostCallNamed(row.setter), in);
    EXPECT_EQ(outcome.status, row.status);
    EXPECT_EQ(outcome.result, row.result);
    if (row.percent < 0) {
      EXPECT_EQ(system.CallCount(), callsBefore) << "a level that is no number";
    }
  }
}

// Switch states and boost levels are passed through whatever their value,
// and report as an ordinary value does; SetMasterMute keeps only the low byte.
TEST_F(BadInputTest, ExtremeStatesAndBoostLevels) {
  for (const HostCall& call : AllHostCalls()) {
    if (call.family != Family::SwitchSet && call.family != Family::BoostSet) continue;
    Bound();
    Inputs ordinary;
    ordinary.value = 1;
    const std::int32_t expected = Run(call, ordinary).status;
    for (std::int32_t value : {INT_MIN, INT_MAX, -1, 256, 257}) {
      SCOPED_TRACE(std::string(call.name) + " " + std::to_string(value));
      Bound();
      Inputs in;
      in.value = value;
      EXPECT_EQ(Run(call, in).status, expected);
    }
  }
  Bound();
  int status = -1;
  SetMasterMute(256, &status);
  EXPECT_EQ(GetMasterMute(&status), 0) << "256 has a low byte of 0: unmuted";
  SetMasterMute(INT_MAX, &status);
  EXPECT_NE(GetMasterMute(&status), 0) << "INT_MAX has a low byte of 0xFF: muted";
}

// NaN is no level and never reaches the platform; an infinite level, or one
// beyond the range of a 32-bit float, reaches it as an infinity, which the
// part clamps to its range.
TEST_F(BadInputTest, ToneLevelsThatAreNotNumbers) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double level;
    std::int32_t status;
    double readBack;  // NaN: the level before the call
  } rows[] = {
      {std::nan(""), 2, std::nan("")},
      {-std::nan(""), 2, std::nan("")},
      {inf, 0, 12.0},
      {-inf, 0, -12.0},
      {1e300, 0, 12.0},
      {-1e300, 0, -12.0},
      {std::numeric_limits<double>::denorm_min(), 0, 0.0},
  };
  const struct {
    const char* setter;
    const char* getter;
  } bands[] = {{"SetBass", "GetBass"}, {"SetTreble", "GetTreble"}, {"SetMidRange", "GetMidRange"}};
  for (const auto& band : bands) {
    for (const auto& row : rows) {
      SCOPED_TRACE(std::string(band.setter) + " " + std::to_string(row.level));
      sim::SimSystem& system = Bound();
      const double before = HostCallNamed(band.getter)({}).levels[0];
      const std::uint64_t callsBefore = system.CallCount();
      Inputs in;
      in.level = row.level;
      EXPECT_EQ(Run(HostCallNamed(band.setter), in).status, row.status);
      if (row.status == 2) {
        EXPECT_EQ(system.CallCount(), callsBefore) << "NaN reached the platform";
      }
      const double after = HostCallNamed(band.getter)({}).levels[0];
      EXPECT_EQ(after, std::isnan(row.readBack) ? before : row.readBack);
    }
  }
}

// Only the low byte of the restore flag counts.
TEST_F(BadInputTest, RestoreFlagsWithHighBits) {
  const struct {
    std::int32_t flag;
    bool restores;
  } rows[] = {{0x100, false},
              {static_cast<std::int32_t>(0xFFFFFF01u), true},
              {static_cast<std::int32_t>(0xFFFFFF00u), false},
              {INT_MIN, false},
              {-1, true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.flag);
    sim::SimSystem& system = Bound();
    int status = -1;
    SetMasterVolume(10, &status);
    ASSERT_EQ(status, 0);
    const std::uint64_t callsBefore = system.CallCount();
    EXPECT_EQ(CloseSoundCard(row.flag), 0);
    EXPECT_EQ(system.CallCount() != callsBefore, row.restores);
    const double channel0 = system.Dump()["endpoints"][0]["volume"]["channels"][0];
    EXPECT_EQ(channel0 == -10.0, row.restores) << "the speakers were bound at -10 dB";
  }
}

// Names and ids longer than a host buffer are cut to 254 characters and a
// NUL, in every export that fills a host buffer.
TEST_F(BadInputTest, LongNamesAndIdsStayInTheHostBuffer) {
  TestSystem longNames = SampleSystem();
  auto& endpoints = longNames.description["endpoints"];
  for (std::size_t i = 0; i < endpoints.size(); ++i) {
    std::string name = endpoints[i]["name"];
    endpoints[i]["name"] = std::string(300, 'N') + name;
    std::string id = endpoints[i]["id"];
    endpoints[i]["id"] = id + std::string(300, static_cast<char>('0' + i));
  }
  Use(longNames);
  for (const char* describe : {"GetPlayBackDevice", "GetRecordDevice"}) {
    for (std::uint32_t index : {0u, 1u}) {
      Inputs in;
      in.index = index;
      const Outcome outcome = Run(HostCallNamed(describe), in);
      ASSERT_EQ(outcome.result, 0) << describe << " " << index;
      EXPECT_EQ(outcome.texts[0]->size(), kHostBufferSize - 1);
      EXPECT_EQ(outcome.texts[1]->size(), kHostBufferSize - 1);
    }
  }
  const HostCall& names = HostCallNamed("GetDeviceNames");
  EXPECT_EQ(
      Run(HostCallNamed("OpenSoundCard"), OrdinaryInputs(HostCallNamed("OpenSoundCard"), system_))
          .result,
      0);
  Outcome bound = Run(names, {});
  for (const auto& text : bound.texts) {
    ASSERT_TRUE(text);
    EXPECT_EQ(text->size(), kHostBufferSize - 1);
  }
  EXPECT_EQ(Run(HostCallNamed("OpenDefaultDevices"), {}).result, 0);
  bound = Run(names, {});
  EXPECT_EQ(bound.texts[0]->size(), kHostBufferSize - 1);
}

}  // namespace
}  // namespace velto::hardening
