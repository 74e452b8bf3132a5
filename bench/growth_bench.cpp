// OpenSoundCard as a card grows: cards of about 10^2, 10^3 and 10^4 parts in
// which the playback walk searches every input of the output mixer and the
// capture walks examine every adapter connector.
#include <map>
#include <string>

#include "bench_support.h"
#include "generated_systems.h"
#include "platform_checks.h"
#include "veltosound.h"

namespace velto::bench {

namespace {

struct Card {
  hardening::TestSystem system;
  std::size_t parts;
};

const Card& CardOf(std::size_t parts) {
  static std::map<std::size_t, Card> cards;
  auto found = cards.find(parts);
  if (found == cards.end()) {
    hardening::TestSystem system = hardening::ScaledCard(parts);
    const std::size_t count = system.description["adapters"][0]["parts"].size();
    found = cards.emplace(parts, Card{std::move(system), count}).first;
  }
  return found->second;
}

void OpenScaled(benchmark::State& state) {
  const Card& card = CardOf(static_cast<std::size_t>(state.range(0)));
  const hardening::TestSystem& system = card.system;
  sim::SimSystem& installed = hardening::InstallFresh(system);
  auto open = [&system] {
    const int result =
        OpenSoundCard(system.playback.c_str(), system.mic.c_str(), system.line.c_str());
    CloseSoundCard(0);
    return result;
  };
  if (open() != 0) {
    state.SkipWithError("the scaled card did not bind completely");
    return;
  }
  ReportCalls(state, LogCalls(installed, open));
  state.counters["parts"] = static_cast<double>(card.parts);
  for (auto _ : state) benchmark::DoNotOptimize(open());
}

// The worst topology a binding can meet: every search of every walk would
// run to its own bound; the call's shared budget stops them all.
void OpenHostile(benchmark::State& state) {
  static const hardening::TestSystem system = hardening::HostileCard(4096);
  sim::SimSystem& installed = hardening::InstallFresh(system);
  auto open = [] {
    const int result = OpenSoundCard(system.playback.c_str(), system.mic.c_str(), "");
    CloseSoundCard(0);
    return result;
  };
  ReportCalls(state, LogCalls(installed, open));
  for (auto _ : state) benchmark::DoNotOptimize(open());
}

}  // namespace

void RegisterGrowthBenchmarks() {
  Configure(benchmark::RegisterBenchmark("Hostile/OpenSoundCard+CloseSoundCard", OpenHostile))
      ->Unit(benchmark::kMillisecond);
  Configure(benchmark::RegisterBenchmark("Growth/OpenSoundCard+CloseSoundCard", OpenScaled))
      ->Arg(100)
      ->Arg(1000)
      ->Arg(10000)
      ->Unit(benchmark::kMicrosecond);
}

}  // namespace velto::bench
