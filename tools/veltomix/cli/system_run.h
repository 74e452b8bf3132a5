// The simulated sound system a run works on: chosen by --system or --state
// before the first step, reported (--refs) and written back (--state,
// --dump-system) after the last. Where the real platform runs, those options
// are a usage error.
#pragma once

#include <ostream>
#include <vector>

#include "calls/call_script.h"
#include "cli/cli_options.h"
#include "cli/steps.h"

namespace veltomix {

class SystemRun {
 public:
  // Installs the system for the run: from --state FILE when it exists, else
  // --system FILE, else the sample. Throws UsageError without a simulator.
  explicit SystemRun(const Options& options);
  // A script's `!` line; an id no endpoint has is the script's fault.
  static int Change(const SystemChange& change, std::ostream& err);
  // Throws std::runtime_error naming the file and the system's reason.
  void Finish(const Options& options, std::ostream& out);
};

// A library loaded at run time has a platform of its own, which a script's
// `!` line cannot reach: throws UsageError for the first such line.
void CheckChangesReachable(const std::vector<Step>& steps, const Options& options);

}  // namespace veltomix
