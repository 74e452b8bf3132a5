// velto_compare_bench: the binding exports of two builds of the library in
// one process, so that what a change costs is a ratio measured in one run,
// under the same load.
//
//   velto_compare_bench BEFORE.so AFTER.so [--quick] [Google Benchmark options]
//
// Each library is loaded on its own (RTLD_LOCAL) and runs on its own
// simulated sample card. bench/compare-with.sh builds a commit's library
// and runs this against the working tree's.
#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_main.h"

namespace {

constexpr const char* kSpeakers = "4f6a2c1e";
constexpr const char* kMicrophone = "6b8e3f2a";
constexpr const char* kLineIn = "d1f5a9c3";

struct Library {
  std::string name;
  int (*openSoundCard)(const char*, const char*, const char*) = nullptr;
  int (*openDefaultDevices)() = nullptr;
  int (*closeSoundCard)(int) = nullptr;
};

template <class Function>
void Bind(void* handle, const char* symbol, Function& function) {
  function = reinterpret_cast<Function>(dlsym(handle, symbol));
  if (!function) throw std::runtime_error(std::string("no export ") + symbol);
}

Library Load(const std::string& name, const char* path) {
  void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND);
  if (!handle) throw std::runtime_error(dlerror());
  Library library{name};
  Bind(handle, "OpenSoundCard", library.openSoundCard);
  Bind(handle, "OpenDefaultDevices", library.openDefaultDevices);
  Bind(handle, "CloseSoundCard", library.closeSoundCard);
  return library;
}

void Register(const Library& library, int repetitions, double minTime) {
  const auto add = [&](const char* what, auto body) {
    benchmark::RegisterBenchmark((library.name + "/" + what).c_str(),
                                 [body](benchmark::State& state) {
                                   for (auto _ : state) body();
                                 })
        ->Repetitions(repetitions)
        ->MinTime(minTime)
        ->ReportAggregatesOnly(true)
        ->ComputeStatistics("min", [](const std::vector<double>& v) {
          return *std::min_element(v.begin(), v.end());
        });
  };
  add("OpenSoundCard+CloseSoundCard", [library] {
    benchmark::DoNotOptimize(library.openSoundCard(kSpeakers, kMicrophone, kLineIn));
    library.closeSoundCard(0);
  });
  add("OpenDefaultDevices+CloseSoundCard", [library] {
    benchmark::DoNotOptimize(library.openDefaultDevices());
    library.closeSoundCard(0);
  });
}

class RatioReporter : public velto::bench::Reporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Aggregate || run.error_occurred) continue;
      Measured& measured = results_[run.run_name.function_name];
      if (run.aggregate_name == "min") {
        measured.cpuMin = run.GetAdjustedCPUTime();
        measured.realMin = run.GetAdjustedRealTime();
      }
      if (run.aggregate_name == "median") measured.cpuMedian = run.GetAdjustedCPUTime();
    }
    Reporter::ReportRuns(runs);
  }

  // On a shared machine the CPU time is the steadier figure: time spent
  // waiting for a core is not the library's.
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-34s %9s %9s %6s %9s %9s %6s %9s %9s %6s\n", "after / before", "cpu min",
                "before", "ratio", "cpu med", "before", "ratio", "real min", "before", "ratio");
    for (const auto& [key, after] : results_) {
      if (key.rfind("after/", 0) != 0) continue;
      const auto found = results_.find("before/" + key.substr(6));
      if (found == results_.end()) continue;
      const Measured& before = found->second;
      std::printf("%-34s %7.2fus %7.2fus %6.3f %7.2fus %7.2fus %6.3f %7.2fus %7.2fus %6.3f\n",
                  key.substr(6).c_str(), after.cpuMin / 1000, before.cpuMin / 1000,
                  after.cpuMin / before.cpuMin, after.cpuMedian / 1000, before.cpuMedian / 1000,
                  after.cpuMedian / before.cpuMedian, after.realMin / 1000, before.realMin / 1000,
                  after.realMin / before.realMin);
    }
  }

 private:
  struct Measured {
    double cpuMin = 0, cpuMedian = 0, realMin = 0;
  };
  std::map<std::string, Measured> results_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s BEFORE.so AFTER.so [--quick] [benchmark options]\n", argv[0]);
    return 2;
  }
  velto::bench::CommandLine line = velto::bench::ReadCommandLine(argc, argv, 3);
  const int repetitions = line.quick ? 3 : 20;
  const double minTime = line.quick ? 0.02 : 0.05;
  try {
    Register(Load("before", argv[1]), repetitions, minTime);
    Register(Load("after", argv[2]), repetitions, minTime);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "velto_compare_bench: %s\n", error.what());
    return 2;
  }
  RatioReporter reporter;
  return velto::bench::RunBenchmarks(line, reporter);
}
