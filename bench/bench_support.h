// What every benchmark here shares: the sound system it runs on, the count
// of platform calls per iteration, and the pairing of an export with its
// floor — a hand-written straight-line sequence of the same platform calls
// on the same simulated objects plus the arithmetic the rules require, which
// is what any implementation must pay.
#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <string>
#include <vector>

#include "core/export_guard.h"
#include "core/mixer_state.h"
#include "platform/sim/sim_system.h"

namespace velto {
// The export lock's switch, in the copy of the lock built for the benchmarks
// alone (bench/CMakeLists.txt): off, the exports run without it.
extern bool exportLockOn;
}  // namespace velto

namespace velto::bench {

struct Settings {
  int repetitions = 10;
  double minTime = 0.05;  // seconds per repetition
};
const Settings& CurrentSettings();
void UseSettings(const Settings& settings);

// Raw pointers to the bound controls, for the floors: the same objects the
// exports reach through the MixerState.
struct Slots {
  platform::EndpointVolume* playback = nullptr;
  platform::EndpointVolume* virtualEndpoint = nullptr;
  platform::EndpointVolume* mic = nullptr;
  platform::EndpointVolume* line = nullptr;
  platform::LevelControl* linePlaybackLevel = nullptr;
  platform::LevelControl* micPlaybackLevel = nullptr;
  platform::LevelControl* bass = nullptr;
  platform::LevelControl* treble = nullptr;
  platform::LevelControl* midrange = nullptr;
  platform::LevelControl* boostLevel = nullptr;
  platform::MuteControl* linePlaybackMute = nullptr;
  platform::MuteControl* micPlaybackMute = nullptr;
  platform::SwitchControl* lineAgc = nullptr;
  platform::SwitchControl* boostSwitch = nullptr;
};
const Slots& BoundSlots();

// The sample card, nothing bound.
sim::SimSystem& FreshSample();
// The sample card with playback, microphone, line and the virtual endpoint
// bound. The sample's microphone has a boost level and no switch; the line
// AGC is put in the boost-switch slot too, so the switch pair has a control.
sim::SimSystem& BoundSample();

// The platform calls one run of a body makes, in order, as "object op".
struct CallLog {
  std::vector<std::string> sequence;
  int failable = 0;    // calls returning an HRESULT
  int functions = 0;   // string, memory and COM functions
  int references = 0;  // AddRef and Release
};
CallLog LogCalls(sim::SimSystem& system, const std::function<void()>& body);
void ReportCalls(benchmark::State& state, const CallLog& log);
// Where two sequences part, or empty when they are the same.
std::string FirstDifference(const CallLog& a, const CallLog& b);

using Prepare = sim::SimSystem& (*)();

// Applies the repetitions, the minimum time and the statistics (min and
// median of the repetitions) of the current settings.
benchmark::internal::Benchmark* Configure(benchmark::internal::Benchmark* benchmark);

// A host enters every export through a call, and every export takes the
// export lock; a floor is entered the same way, never inlined into the
// benchmark's loop, and takes the same lock (docs/performance.md says why).
template <class Body>
[[gnu::noinline]] void Enter(Body& body) {
  const ExportCall call;
  body();
}

// A value the compiler cannot see through, so a floor computes what the
// export computes (the logarithm of a percentage it knows, say).
template <class T>
T Opaque(T value) {
  benchmark::DoNotOptimize(value);
  return value;
}

// Registers "Export/<name>" and "Floor/<name>". The floor's benchmark first
// checks that it makes exactly the export's platform calls, in order.
template <class Export, class Floor>
void RegisterPair(const std::string& name, Prepare prepare, Export exported, Floor floor) {
  Configure(benchmark::RegisterBenchmark(("Export/" + name).c_str(),
                                         [prepare, exported](benchmark::State& state) mutable {
                                           sim::SimSystem& system = prepare();
                                           ReportCalls(state, LogCalls(system, exported));
                                           for (auto _ : state) exported();
                                         }));
  Configure(benchmark::RegisterBenchmark(
      ("Floor/" + name).c_str(), [prepare, exported, floor](benchmark::State& state) mutable {
        const CallLog wanted = LogCalls(prepare(), exported);
        sim::SimSystem& system = prepare();
        const CallLog made = LogCalls(system, floor);
        const std::string difference = FirstDifference(wanted, made);
        if (!difference.empty()) {
          state.SkipWithError(("not the export's calls: " + difference).c_str());
          return;
        }
        ReportCalls(state, made);
        for (auto _ : state) Enter(floor);
      }));
}

void RegisterControlBenchmarks();
void RegisterBindingBenchmarks();
void RegisterGrowthBenchmarks();

}  // namespace velto::bench
