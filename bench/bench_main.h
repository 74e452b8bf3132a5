// The start-up every benchmark program here shares: `--quick` picked out of
// the arguments, the repetitions of all benchmarks interleaved at random (so
// that a burst of load on a shared machine falls on all of them alike),
// Google Benchmark's own options passed on, and one exit status: 2 for an
// argument nobody knows, 1 when a benchmark reported an error, else 0.
#pragma once

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace velto::bench {

struct CommandLine {
  bool quick = false;
  std::vector<char*> args;  // for Google Benchmark, the program's name first
};

// The arguments from `first` on (the ones before it are the program's own).
inline CommandLine ReadCommandLine(int argc, char** argv, int first = 1) {
  static char interleave[] = "--benchmark_enable_random_interleaving=true";
  CommandLine line{false, {argv[0], interleave}};
  for (int i = first; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quick") == 0) {
      line.quick = true;
    } else {
      line.args.push_back(argv[i]);
    }
  }
  return line;
}

// Google Benchmark's table, noting whether any run reported an error. The
// programs' own reporters add their tables to it.
class Reporter : public benchmark::ConsoleReporter {
 public:
  // Counters inline: with the repetitions interleaved a tabular header would
  // be printed again whenever the set of counters changes.
  Reporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Color : OO_None) {}
  bool Failed() const { return failed_; }

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) failed_ = failed_ || run.error_occurred;
    ConsoleReporter::ReportRuns(runs);
  }

 private:
  bool failed_ = false;
};

// Runs what was registered; the exit status.
inline int RunBenchmarks(CommandLine& line, Reporter& reporter) {
  int count = static_cast<int>(line.args.size());
  benchmark::Initialize(&count, line.args.data());
  if (benchmark::ReportUnrecognizedArguments(count, line.args.data())) return 2;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return reporter.Failed() ? 1 : 0;
}

}  // namespace velto::bench
