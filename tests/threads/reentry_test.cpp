// A COM call made inside an export may pump an apartment thread's messages
// and let the host call an export again on that thread, in the middle of a
// walk. Every export so entered must answer its failure at once: no platform
// call, no change to the binding, no deadlock on the lock its own thread
// holds.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/mixer_state.h"
#include "host_calls.h"
#include "platform/sim/sim_system.h"
#include "veltosound.h"

namespace velto::hardening {
namespace {

// What a refused call answers, by family: the export's failure, with the
// status of a platform call that could not be made; no other output written.
Outcome Refused(const HostCall& call, const Inputs& inputs) {
  Outcome refused;
  const ControlRules& rules = call.rules;
  switch (call.family) {
    case Family::Open:
      refused.result = 1 ^ 3 ^ 6;
      break;
    case Family::OpenDefaults:
    case Family::OpenVirtual:
    case Family::Count:
      refused.result = 1;
      break;
    case Family::Close:
    case Family::CloseVirtual:
      refused.result = 0;
      break;
    case Family::Describe:
      refused.result = -1;
      break;
    case Family::Names:
      break;
    case Family::EqRange:
      refused.result = 2;
      break;
    case Family::SwitchSet:
      refused = {.result = 0, .status = rules.writeFailure};
      break;
    case Family::VolumeSet:
      refused = {.result = rules.failureReturnsValue ? inputs.value : 0, .status = 2};
      break;
    case Family::ToneGet:
    case Family::ToneSet:
    case Family::BoostDetails:
    case Family::BoostSet:
      refused = {.result = 1, .status = 2};
      break;
    default:
      refused = {.result = 0, .status = 2};
      break;
  }
  return refused;
}

Inputs HostInputs() {
  Inputs inputs;
  inputs.texts = {"4f6a2c1e", "6b8e3f2a", "d1f5a9c3"};
  inputs.value = 40;
  inputs.level = 3;
  return inputs;
}

struct OpenRun {
  int openResult;
  nlohmann::json platformState;
  long references;
};

// OpenSoundCard on the sample card; when `reenterAt` is set, every export is
// called again from inside the platform call with that trace number.
OpenRun OpenWithReentry(std::optional<std::uint64_t> reenterAt, std::vector<std::string>& faults) {
  ResetMixerState();
  sim::Install(sim::SimSystem::Sample());
  sim::SimSystem& system = sim::Installed();
  OpenVirtual_1("a3e91b57");
  bool inside = false;
  system.SetTracing(true);
  system.SetTraceSink([&](const sim::TraceEntry& entry) {
    if (inside) faults.push_back("a re-entered export called " + entry.op);
    if (inside || !reenterAt || entry.seq != *reenterAt) return;
    inside = true;
    for (const HostCall& call : AllHostCalls()) {
      const Inputs inputs = HostInputs();
      const Outcome got = call(inputs);
      if (got != Refused(call, inputs)) {
        faults.push_back(std::string(call.name) + " re-entered answered " + got.Describe());
      }
    }
    inside = false;
  });
  const Inputs inputs = HostInputs();
  const int result =
      OpenSoundCard(inputs.texts[0].c_str(), inputs.texts[1].c_str(), inputs.texts[2].c_str());
  system.SetTraceSink(nullptr);
  OpenRun run{result, system.Dump(), system.LiveReferences()};
  CloseSoundCard(0);
  CloseVirtual_1();
  return run;
}

TEST(Reentry, EveryExportEnteredInsideAWalkIsRefusedAndChangesNothing) {
  std::vector<std::string> faults;
  const OpenRun clean = OpenWithReentry(std::nullopt, faults);
  ASSERT_EQ(clean.openResult, 0);
  // Early in the playback walk, and deep in the last (line) walk.
  for (const std::uint64_t at : {5u, 150u}) {
    const OpenRun reentered = OpenWithReentry(at, faults);
    EXPECT_EQ(reentered.openResult, clean.openResult) << "re-entered at call " << at;
    EXPECT_EQ(reentered.platformState, clean.platformState) << "re-entered at call " << at;
    EXPECT_EQ(reentered.references, clean.references) << "re-entered at call " << at;
  }
  EXPECT_TRUE(faults.empty()) << ::testing::PrintToString(faults);
}

}  // namespace
}  // namespace velto::hardening
