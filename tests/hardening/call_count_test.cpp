// The platform calls each export makes on the sample card, against the
// fewest its rules need: no export may make a call the rules do not ask for,
// and none may skip one they do. Calls returning an HRESULT and the string,
// memory and COM functions (lstrlenA, SysAllocStringLen, CoTaskMemFree,
// CoUninitialize, ...) are counted apart; reference counting is not counted.
//
// How the larger numbers come about on the sample (docs/performance.md has
// the derivation): OpenVirtual_1 passes over the speakers (Item, GetId) and
// finds the digital output (Item, GetId, four calls for its name), then
// activates it (CoInitialize, CreateDeviceEnumerator, GetDevice,
// CoIncrementMTAUsage, two Activate), inside two COM brackets.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "generated_systems.h"
#include "host_calls.h"
#include "platform_checks.h"

namespace velto::hardening {
namespace {

struct Counted {
  std::uint64_t failable = 0;   // calls returning an HRESULT
  std::uint64_t functions = 0;  // string, memory and COM functions
};

Counted CountCalls(sim::SimSystem& system, const HostCall& call, const Inputs& in) {
  system.ClearTrace();
  system.SetTracing(true);
  call(in);
  system.SetTracing(false);
  Counted counted;
  for (const sim::TraceEntry& entry : system.Trace()) {
    if (entry.hasResult) {
      ++counted.failable;
    } else if (entry.op != "AddRef" && entry.op != "Release") {
      ++counted.functions;
    }
  }
  system.ClearTrace();
  return counted;
}

struct Row {
  const char* call;
  bool bound;
  Inputs inputs;
  std::uint64_t failable;
  std::uint64_t functions;
};

// gtest would print a row's bytes, padding included.
void PrintTo(const Row& row, std::ostream* out) { *out << row.call; }

// On the bound sample: a range or channel-count query, then one call per
// channel (two everywhere on the sample), or a single read or write. The
// sample's microphone has a boost level, not a switch: the switch pair makes
// no call.
const Row kControlRows[] = {
    {"GetMasterVolume", true, {}, 2, 0},
    {"SetMasterVolume", true, Value(50), 4, 0},
    {"GetLinePlayBack", true, {}, 2, 0},
    {"SetLinePlayBack", true, Value(50), 4, 0},
    {"GetMicPlayBack", true, {}, 2, 0},
    {"SetMicPlayBack", true, Value(50), 4, 0},
    {"GetLineRecordVolume", true, {}, 2, 0},
    {"SetLineRecordVolume", true, Value(50), 3, 0},
    {"GetMicRecordVolume", true, {}, 2, 0},
    {"SetMicRecordVolume", true, Value(50), 3, 0},
    {"GetVirtualVolume", true, {}, 2, 0},
    {"SetVirtualVolume", true, Value(50), 4, 0},
    {"GetMasterMute", true, {}, 1, 0},
    {"SetMasterMute", true, Value(1), 1, 0},
    {"GetVirtualMute", true, {}, 1, 0},
    {"SetVirtualMute", true, Value(1), 1, 0},
    {"GetLinePlayBackMute", true, {}, 1, 0},
    {"SetLinePlayBackMute", true, Value(1), 1, 0},
    {"GetMicPlayBackMute", true, {}, 1, 0},
    {"SetMicPlayBackMute", true, Value(1), 1, 0},
    {"GetMicBoost", true, {}, 0, 0},
    {"SetMicBoost", true, Value(1), 0, 0},
    {"GetNoMonitor", true, {}, 1, 0},
    {"SetNoMonitor", true, Value(1), 1, 0},
    {"GetBass", true, {}, 1, 0},
    {"SetBass", true, ToneLevel(2), 3, 0},
    {"GetTreble", true, {}, 1, 0},
    {"SetTreble", true, ToneLevel(2), 3, 0},
    {"GetMidRange", true, {}, 1, 0},
    {"SetMidRange", true, ToneLevel(2), 3, 0},
    {"GetEQRange", true, {}, 1, 0},
    {"GetMicSliderBoost", true, {}, 1, 0},
    {"GetMicSliderDetails", true, {}, 1, 0},
    {"SetMicSliderBoost", true, Value(20), 1, 0},
};

// Listing: a COM bracket (CoInitialize, CoUninitialize), the enumerator, the
// collection and its count; for one endpoint also Item, four calls for the
// name (OpenPropertyStore, GetValue, PropVariantToBSTR, PropVariantClear,
// with SysStringLen and SysFreeString), GetId with WideCharToMultiByte and
// CoTaskMemFree.
const Row kBindingRows[] = {
    {"GetNumberPlayDevices", false, {}, 4, 1},
    {"GetNumberRecordDevices", false, {}, 4, 1},
    {"GetPlayBackDevice", false, Index(0), 10, 5},
    {"GetPlayBackDevice", false, Index(2), 4, 1},
    {"GetRecordDevice", false, Index(1), 10, 5},
    {"GetDeviceNames", true, {}, 0, 0},
    {"OpenVirtual_1", false, Texts("a3e91b57"), 18, 10},
    {"CloseVirtual_1", true, {}, 0, 0},
    {"CloseSoundCard", true, Value(0), 0, 0},
    // Each saved value goes back through its setter's writes, without the
    // range queries a percentage would need. On the sample (no boost switch):
    // master, monitor and tone levels a channel count and two writes (6 x 3),
    // mutes, switches, record levels and the boost level one write (7 x 1).
    {"CloseSoundCard", true, Value(1), 25, 0},
    // The walks, call by call: docs/performance.md.
    {"OpenSoundCard", false, Texts("4f6a2c1e", "6b8e3f2a", "d1f5a9c3"), 187, 181},
    {"OpenDefaultDevices", false, {}, 149, 142},
};

class CallCountTest : public ::testing::TestWithParam<Row> {};

TEST_P(CallCountTest, NoCallBeyondTheRules) {
  const Row& row = GetParam();
  const TestSystem sample = SampleSystem();
  sim::SimSystem& system = InstallFresh(sample);
  if (row.bound) BindAll(sample);
  const Counted counted = CountCalls(system, HostCallNamed(row.call), row.inputs);
  EXPECT_EQ(counted.failable, row.failable) << row.call << ": calls returning an HRESULT";
  EXPECT_EQ(counted.functions, row.functions) << row.call << ": string, memory and COM functions";
  EXPECT_TRUE(LeftAfterClosing(system).empty());
}

// Unbound, no control export touches the platform.
TEST(CallCountUnbound, ControlsMakeNoCall) {
  const TestSystem sample = SampleSystem();
  sim::SimSystem& system = InstallFresh(sample);
  for (const Row& row : kControlRows) {
    if (std::string(row.call).find("Virtual") != std::string::npos) continue;
    const Counted counted = CountCalls(system, HostCallNamed(row.call), row.inputs);
    EXPECT_EQ(counted.failable + counted.functions, 0u) << row.call;
  }
}

std::string RowName(const ::testing::TestParamInfo<Row>& info) {
  return std::string(info.param.call) + "_" + std::to_string(info.index);
}

INSTANTIATE_TEST_SUITE_P(Controls, CallCountTest, ::testing::ValuesIn(kControlRows), RowName);
INSTANTIATE_TEST_SUITE_P(Binding, CallCountTest, ::testing::ValuesIn(kBindingRows), RowName);

}  // namespace
}  // namespace velto::hardening
