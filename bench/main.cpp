// velto_bench: every export against its floor on the sample card, and
// OpenSoundCard as a card grows. After Google Benchmark's own table it prints
// the ratios export/floor (minimum and median of the repetitions) and the
// growth per part.
//
//   velto_bench [--quick] [Google Benchmark options]
//
// --quick: 3 repetitions of at least 0.02 s each, for a check in the test
// command; without it 10 repetitions of at least 0.05 s. Repetitions of all
// benchmarks are interleaved at random, so that a burst of load on a shared
// machine falls on exports and floors alike.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench_main.h"
#include "bench_support.h"

namespace {

// The ratio an export may cost over its floor (both under the export lock).
constexpr double kTargetRatio = 1.05;

struct Measured {
  double min = 0;
  double median = 0;
  double parts = 0;
  double calls = 0;
};

// A floor that does not make its export's calls, or a card that did not
// bind, reports an error and so makes the run fail.
class RatioReporter : public velto::bench::Reporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Aggregate || run.error_occurred) continue;
      const auto& name = run.run_name;
      Measured& measured =
          results_[name.function_name + (name.args.empty() ? "" : "/" + name.args)];
      if (run.aggregate_name == "min") measured.min = run.GetAdjustedRealTime();
      if (run.aggregate_name == "median") measured.median = run.GetAdjustedRealTime();
      if (run.counters.count("parts")) measured.parts = run.counters.at("parts");
      if (run.counters.count("calls")) measured.calls = run.counters.at("calls");
    }
    Reporter::ReportRuns(runs);
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    PrintRatios();
    PrintLockCost();
    PrintGrowth();
  }

 private:
  static std::string Name(const std::string& key, const char* prefix) {
    return key.rfind(prefix, 0) == 0 ? key.substr(std::strlen(prefix)) : std::string();
  }

  void PrintRatios() const {
    std::printf("\n%-40s %6s %10s %10s %7s %10s %10s %7s\n", "export / floor", "calls", "min",
                "floor", "ratio", "median", "floor", "ratio");
    int over = 0;
    for (const auto& [key, exported] : results_) {
      const std::string name = Name(key, "Export/");
      const auto floor = results_.find("Floor/" + name);
      if (name.empty() || floor == results_.end()) continue;
      const double minRatio = exported.min / floor->second.min;
      const double medianRatio = exported.median / floor->second.median;
      const bool isOver = minRatio > kTargetRatio;
      over += isOver;
      std::printf("%-40s %6.0f %8.1fns %8.1fns %7.3f %8.1fns %8.1fns %7.3f%s\n", name.c_str(),
                  exported.calls, exported.min, floor->second.min, minRatio, exported.median,
                  floor->second.median, medianRatio, isOver ? "  over" : "");
    }
    std::printf("%d export(s) over %.2fx their floor (by the minimum)\n", over, kTargetRatio);
  }

  // Each control export with the lock against the same export without it.
  void PrintLockCost() const {
    std::printf("\n%-40s %10s %10s %7s %10s %10s %7s\n", "lock: export / unlocked", "min",
                "unlocked", "ratio", "median", "unlocked", "ratio");
    std::vector<double> ratios;
    for (const auto& [key, unlocked] : results_) {
      const std::string name = Name(key, "Unlocked/");
      const auto locked = results_.find("Export/" + name);
      if (name.empty() || locked == results_.end()) continue;
      const double minRatio = locked->second.min / unlocked.min;
      ratios.push_back(minRatio);
      std::printf("%-40s %8.1fns %8.1fns %7.3f %8.1fns %8.1fns %7.3f\n", name.c_str(),
                  locked->second.min, unlocked.min, minRatio, locked->second.median,
                  unlocked.median, locked->second.median / unlocked.median);
    }
    if (ratios.empty()) return;
    std::sort(ratios.begin(), ratios.end());
    std::printf(
        "lock cost over %zu control exports (by the minimum): median ratio %.3f, "
        "lowest %.3f, highest %.3f\n",
        ratios.size(), ratios[ratios.size() / 2], ratios.front(), ratios.back());
  }

  void PrintGrowth() const {
    std::printf("\n%-48s %8s %8s %12s %12s %10s\n", "growth", "parts", "calls", "min", "median",
                "per part");
    for (const auto& [key, measured] : results_) {
      if (Name(key, "Growth/").empty() || measured.parts == 0) continue;
      std::printf("%-48s %8.0f %8.0f %10.1fus %10.1fus %8.1fns\n", key.c_str(), measured.parts,
                  measured.calls, measured.min, measured.median,
                  measured.min * 1000.0 / measured.parts);
    }
  }

  std::map<std::string, Measured> results_;
};

}  // namespace

int main(int argc, char** argv) {
  velto::bench::CommandLine line = velto::bench::ReadCommandLine(argc, argv);
  velto::bench::Settings settings;
  if (line.quick) settings = {.repetitions = 3, .minTime = 0.02};
  velto::bench::UseSettings(settings);
  velto::bench::RegisterControlBenchmarks();
  velto::bench::RegisterBindingBenchmarks();
  velto::bench::RegisterGrowthBenchmarks();

  RatioReporter reporter;
  return velto::bench::RunBenchmarks(line, reporter);
}
