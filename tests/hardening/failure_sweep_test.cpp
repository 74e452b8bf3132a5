// Every platform call an export makes, failed in turn: for each scenario the
// export runs once cleanly (with the trace on, to learn its calls) and then
// once per call k with call k answering E_FAIL, S_FALSE, for writes
// ERROR_INVALID_FUNCTION and, for calls that hand out an object, S_OK with no
// object (which counts as failed, as S_FALSE does). After each run: the outcome is one the failure
// rules allow, nothing was misused, COM is balanced, a failure left the bound
// controls as they were, and closing leaves no reference behind.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "generated_systems.h"
#include "host_calls.h"
#include "outcome_rules.h"
#include "platform/readable.h"
#include "platform_checks.h"

namespace velto::hardening {
namespace {

namespace p = platform;

// Sites failed across the whole run, for the summary at the end.
std::set<std::string>& FailedSites() {
  static std::set<std::string> sites;
  return sites;
}
std::size_t& FailedRuns() {
  static std::size_t runs = 0;
  return runs;
}

class SweepSummary : public ::testing::Environment {
 public:
  void TearDown() override {
    if (FailedRuns() == 0) return;
    std::printf("failure sweep: %zu runs, %zu distinct call sites (object path + operation)\n",
                FailedRuns(), FailedSites().size());
  }
};
const auto* const kSummary = ::testing::AddGlobalTestEnvironment(new SweepSummary);

struct Scenario {
  std::string label;
  bool bindFirst;
  const HostCall* call;
  Inputs inputs;
};

std::vector<Scenario> BindingScenarios(const TestSystem& system) {
  const HostCall& open = HostCallNamed("OpenSoundCard");
  const HostCall& defaults = HostCallNamed("OpenDefaultDevices");
  const HostCall& close = HostCallNamed("CloseSoundCard");
  const HostCall& openVirtual = HostCallNamed("OpenVirtual_1");
  return {
      {"fresh", false, &open, Texts(system.playback, system.mic, system.line)},
      {"rebind", true, &open, Texts(system.playback, "", system.line)},
      {"fresh", false, &defaults, {}},
      {"rebind", true, &defaults, {}},
      {"restore", true, &close, Value(1)},
      {"no restore", true, &close, Value(0)},
      {"fresh", false, &openVirtual, Texts(system.virtualEndpoint)},
      {"rebind", true, &openVirtual, Texts(system.virtualEndpoint)},
      {"bound", true, &HostCallNamed("CloseVirtual_1"), {}},
  };
}

std::vector<Scenario> EnumerationScenarios() {
  std::vector<Scenario> scenarios = {
      {"", false, &HostCallNamed("GetNumberPlayDevices"), {}},
      {"", false, &HostCallNamed("GetNumberRecordDevices"), {}},
      {"bound", true, &HostCallNamed("GetDeviceNames"), {}},
  };
  for (const char* name : {"GetPlayBackDevice", "GetRecordDevice"}) {
    for (std::uint32_t index = 0; index < 4; ++index)
      scenarios.push_back(
          {"index " + std::to_string(index), false, &HostCallNamed(name), Index(index)});
  }
  return scenarios;
}

std::vector<Scenario> ControlScenarios() {
  std::vector<Scenario> scenarios;
  for (const HostCall& call : AllHostCalls()) {
    auto add = [&](const std::string& label, Inputs in) {
      scenarios.push_back({label, true, &call, std::move(in)});
    };
    switch (call.family) {
      case Family::VolumeSet:
        add("50", Value(50));
        add("0", Value(0));
        break;
      case Family::SwitchSet:
        add("on", Value(1));
        add("off", Value(0));
        break;
      case Family::ToneSet:
        add("2.5 dB", ToneLevel(2.5));
        break;
      case Family::BoostSet:
        add("20 dB", Value(20));
        break;
      case Family::VolumeGet:
      case Family::SwitchGet:
      case Family::ToneGet:
      case Family::EqRange:
      case Family::BoostGet:
      case Family::BoostDetails:
        add("", {});
        break;
      default:
        break;
    }
  }
  return scenarios;
}

// The same calls with every pointer the host passes null: a failure path
// must not write through one either.
std::vector<Scenario> NullPointerScenarios() {
  std::vector<Scenario> scenarios = EnumerationScenarios();
  for (Scenario& control : ControlScenarios()) scenarios.push_back(std::move(control));
  for (Scenario& scenario : scenarios) {
    scenario.label += " null pointers";
    scenario.inputs.nullPointers = ~0u;
  }
  return scenarios;
}

// The status every control getter reports now: a failed call must not have
// released or replaced a bound control.
std::vector<std::int32_t> ControlStatuses() {
  std::vector<std::int32_t> statuses;
  for (const HostCall& call : AllHostCalls()) {
    if (call.family == Family::VolumeGet || call.family == Family::SwitchGet ||
        call.family == Family::ToneGet || call.family == Family::BoostGet) {
      statuses.push_back(call({}).status);
    }
  }
  statuses.push_back(HostCallNamed("GetEQRange")({}).result);
  return statuses;
}

bool HandsOutObject(const std::string& op) {
  static const std::string kOps =
      " CreateDeviceEnumerator EnumAudioEndpoints GetDefaultAudioEndpoint GetDevice Item Activate "
      "OpenPropertyStore GetConnector GetConnectedTo QueryPart GetPart EnumPartsIncoming "
      "EnumPartsOutgoing GetTopologyObject ";
  return kOps.find(" " + op + " ") != std::string::npos;
}

class FailureSweep : public ::testing::TestWithParam<std::tuple<int, int>> {
 protected:
  static std::vector<TestSystem> Systems() {
    std::vector<TestSystem> systems = {SampleSystem()};
    for (TestSystem& shaped : ShapedSystems()) systems.push_back(std::move(shaped));
    for (std::uint32_t seed : {7u, 1234u}) {
      SeededChooser chooser(seed);
      TestSystem random = RandomSystem(chooser, RandomOptions{});
      random.name = "random-" + std::to_string(seed);
      systems.push_back(std::move(random));
    }
    return systems;
  }

  void SetUp() override { system_ = Systems().at(std::get<0>(GetParam())); }

  std::vector<Scenario> Scenarios() const {
    switch (std::get<1>(GetParam())) {
      case 0:
        return BindingScenarios(system_);
      case 1:
        return EnumerationScenarios();
      case 2:
        return ControlScenarios();
      default:
        return NullPointerScenarios();
    }
  }

  void Sweep(const Scenario& scenario) {
    const std::string where = system_.name + ": " + scenario.call->name + " " + scenario.label;
    SCOPED_TRACE(where);
    const auto [baseline, trace] = RunTraced(scenario);
    const std::vector<PlatformCall> calls = FailableCalls(trace);
    EXPECT_EQ(Join(CheckReport(*scenario.call, scenario.inputs, baseline)), "");
    EXPECT_EQ(Join(LeftAfterClosing(sim::Installed())), "");

    for (std::size_t k = 0; k < calls.size(); ++k) {
      std::vector<p::HRESULT> answers = {p::kE_FAIL, p::kS_FALSE};
      if (calls[k].op.rfind("Set", 0) == 0) answers.push_back(p::kHrInvalidFunction);
      if (HandsOutObject(calls[k].op)) answers.push_back(p::kS_OK);
      for (p::HRESULT answer : answers) FailOne(scenario, baseline, calls, k, answer);
    }
  }

 private:
  sim::SimSystem& Prepare(const Scenario& scenario) {
    sim::SimSystem& system = InstallFresh(system_);
    if (scenario.bindFirst) BindAll(system_);
    return system;
  }

  struct Traced {
    Outcome baseline;
    std::vector<sim::TraceEntry> trace;
  };
  // The scenario run once without faults, and every platform call it made.
  Traced RunTraced(const Scenario& scenario) {
    sim::SimSystem& clean = Prepare(scenario);
    clean.SetTracing(true);
    clean.ClearTrace();
    Traced traced{(*scenario.call)(scenario.inputs), {}};
    traced.trace = clean.Trace();
    clean.SetTracing(false);
    return traced;
  }

  static void ExpectAmong(const Outcome& outcome, const std::vector<Outcome>& allowed) {
    bool isAllowed = false;
    std::string expected;
    for (const Outcome& candidate : allowed) {
      isAllowed = isAllowed || candidate == outcome;
      expected += "\n  " + candidate.Describe();
    }
    EXPECT_TRUE(isAllowed) << "got " << outcome.Describe() << ", allowed:" << expected;
  }

  void FailOne(const Scenario& scenario, const Outcome& baseline,
               const std::vector<PlatformCall>& calls, std::size_t k, p::HRESULT answer) {
    const PlatformCall& site = calls[k];
    SCOPED_TRACE("call " + std::to_string(k) + " " + site.Site() + "(" + site.args + ") answers " +
                 p::ResultName(answer) + (answer == p::kS_OK ? " with no object" : ""));
    sim::SimSystem& system = Prepare(scenario);
    const bool control = IsControl(scenario.call->family);
    const std::vector<std::int32_t> before =
        control ? ControlStatuses() : std::vector<std::int32_t>{};
    const std::uint64_t callsBefore = system.CallCount();

    system.AddFault(sim::FaultRule("*", "*", answer, std::nullopt, k, 1));
    const Outcome outcome = (*scenario.call)(scenario.inputs);
    system.ClearFaults();
    ASSERT_GT(system.CallCount(), callsBefore + k) << "the failed call was never made";
    FailedSites().insert(site.Site());
    ++FailedRuns();

    EXPECT_EQ(Join(PlatformMisuse(system)), "");
    EXPECT_EQ(Join(CheckReport(*scenario.call, scenario.inputs, outcome)), "");
    const std::vector<Outcome> allowed =
        AllowedUnderFailure(*scenario.call, scenario.inputs, baseline, calls, k, answer);
    ExpectAmong(outcome, allowed);
    if (control) {
      EXPECT_EQ(ControlStatuses(), before) << "a failure changed the bound controls";
    }
    const std::size_t uncleared = site.op == "PropVariantClear" ? 1 : 0;
    EXPECT_EQ(Join(LeftAfterClosing(system, uncleared)), "");
  }

  TestSystem system_;

 protected:
  // Every allocation and conversion that answers no HRESULT, failed in turn.
  void SweepPlainCalls(const Scenario& scenario) {
    const std::string where = system_.name + ": " + scenario.call->name + " " + scenario.label;
    SCOPED_TRACE(where);
    const auto [baseline, trace] = RunTraced(scenario);
    const std::vector<PlatformCall> calls = FailableCalls(trace);
    std::map<std::pair<std::string, std::string>, std::uint64_t> seen;
    for (std::size_t position = 0; position < trace.size(); ++position) {
      const auto failure = PlainFailureAt(trace, position);
      if (!failure) continue;
      const sim::TraceEntry& entry = trace[position];
      const char* op = PlainOperation(entry);
      const std::uint64_t earlier = seen[{entry.object, op}]++;
      FailPlain(scenario, baseline, calls, *failure,
                sim::FaultRule(entry.object, op, p::kE_FAIL, std::nullopt, earlier, 1));
    }
  }

 private:
  void FailPlain(const Scenario& scenario, const Outcome& baseline,
                 const std::vector<PlatformCall>& calls, const PlainFailure& failure,
                 const sim::FaultRule& rule) {
    SCOPED_TRACE(rule.op + " on " + rule.object + " #" + std::to_string(rule.after + 1));
    sim::SimSystem& system = Prepare(scenario);
    system.AddFault(rule);
    const Outcome outcome = (*scenario.call)(scenario.inputs);
    ASSERT_EQ(system.Dump()["faults"][0]["times"], 0) << "the call was never made";
    system.ClearFaults();
    FailedSites().insert(rule.object + " " + rule.op);
    ++FailedRuns();

    EXPECT_EQ(Join(PlatformMisuse(system)), "");
    EXPECT_EQ(Join(CheckReport(*scenario.call, scenario.inputs, outcome)), "");
    const bool lostWord = failure.mayBeHarmless && rule.op != "WideCharToMultiByte";
    std::vector<Outcome> allowed =
        lostWord ? AllowedUnderLostWord(*scenario.call, scenario.inputs, baseline, calls,
                                        failure.equivalent)
                 : AllowedUnderFailure(*scenario.call, scenario.inputs, baseline, calls,
                                       failure.equivalent, p::kE_FAIL);
    if (failure.mayBeHarmless) allowed.push_back(baseline);
    ExpectAmong(outcome, allowed);
    EXPECT_EQ(Join(LeftAfterClosing(system)), "");
  }
};

TEST_P(FailureSweep, CallsWithoutAnHresultFailedInTurn) {
  for (const Scenario& scenario : Scenarios()) {
    SweepPlainCalls(scenario);
    if (HasFatalFailure()) return;
  }
}

TEST_P(FailureSweep, EveryCallFailedInTurn) {
  for (const Scenario& scenario : Scenarios()) {
    Sweep(scenario);
    if (HasFatalFailure()) return;
  }
}

std::string SweepName(const ::testing::TestParamInfo<std::tuple<int, int>>& info) {
  static const char* const kSystems[] = {"Sample",         "CrossedPaths", "DeadEnds",
                                         "BrokenBindings", "Random7",      "Random1234"};
  static const char* const kGroups[] = {"Binding", "Enumeration", "Controls", "NullPointers"};
  return std::string(kSystems[std::get<0>(info.param)]) + "_" + kGroups[std::get<1>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(AllSystems, FailureSweep,
                         ::testing::Combine(::testing::Range(0, 6), ::testing::Range(0, 4)),
                         SweepName);

}  // namespace
}  // namespace velto::hardening
