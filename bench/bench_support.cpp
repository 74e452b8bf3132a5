#include "bench_support.h"

#include <algorithm>

#include "generated_systems.h"
#include "platform_checks.h"
#include "veltosound.h"

namespace velto::bench {

namespace {

Settings& MutableSettings() {
  static Settings settings;
  return settings;
}

Slots& MutableSlots() {
  static Slots slots;
  return slots;
}

double MinOf(const std::vector<double>& values) {
  return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end());
}

}  // namespace

const Settings& CurrentSettings() { return MutableSettings(); }
void UseSettings(const Settings& settings) { MutableSettings() = settings; }
const Slots& BoundSlots() { return MutableSlots(); }

sim::SimSystem& FreshSample() {
  static const hardening::TestSystem sample = hardening::SampleSystem();
  MutableSlots() = {};
  return hardening::InstallFresh(sample);
}

sim::SimSystem& BoundSample() {
  static const hardening::TestSystem sample = hardening::SampleSystem();
  sim::SimSystem& system = hardening::InstallFresh(sample);
  hardening::BindAll(sample);
  MixerState& state = Mixer();
  state.micBoostSwitch = state.lineAgc;
  MutableSlots() = {
      state.playbackEndpoint.Get(), state.virtualEndpoint.Get(),   state.micEndpoint.Get(),
      state.lineEndpoint.Get(),     state.linePlaybackLevel.Get(), state.micPlaybackLevel.Get(),
      state.bassControl.Get(),      state.trebleControl.Get(),     state.midrangeControl.Get(),
      state.micBoostLevel.Get(),    state.linePlaybackMute.Get(),  state.micPlaybackMute.Get(),
      state.lineAgc.Get(),          state.micBoostSwitch.Get()};
  return system;
}

CallLog LogCalls(sim::SimSystem& system, const std::function<void()>& body) {
  system.ClearTrace();
  system.SetTracing(true);
  body();
  system.SetTracing(false);
  CallLog log;
  for (const sim::TraceEntry& entry : system.Trace()) {
    log.sequence.push_back(entry.object + " " + entry.op);
    if (entry.hasResult) {
      ++log.failable;
    } else if (entry.op == "AddRef" || entry.op == "Release") {
      ++log.references;
    } else {
      ++log.functions;
    }
  }
  system.ClearTrace();
  return log;
}

void ReportCalls(benchmark::State& state, const CallLog& log) {
  state.counters["calls"] = log.failable;
  state.counters["functions"] = log.functions;
  state.counters["refs"] = log.references;
}

std::string FirstDifference(const CallLog& a, const CallLog& b) {
  const std::size_t common = std::min(a.sequence.size(), b.sequence.size());
  for (std::size_t i = 0; i < common; ++i) {
    if (a.sequence[i] != b.sequence[i])
      return "call " + std::to_string(i) + ": " + a.sequence[i] + " / " + b.sequence[i];
  }
  if (a.sequence.size() == b.sequence.size()) return {};
  return "lengths " + std::to_string(a.sequence.size()) + " / " + std::to_string(b.sequence.size());
}

benchmark::internal::Benchmark* Configure(benchmark::internal::Benchmark* benchmark) {
  const Settings& settings = CurrentSettings();
  return benchmark->Repetitions(settings.repetitions)
      ->MinTime(settings.minTime)
      ->ReportAggregatesOnly(true)
      ->ComputeStatistics("min", MinOf)
      ->Unit(benchmark::kNanosecond);
}

}  // namespace velto::bench
