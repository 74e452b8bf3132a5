#include "cli/system_run.h"

#include <stdexcept>

#include "common/exit_status.h"
#include "common/files.h"

#ifdef VELTOMIX_HAVE_SIM
#include "platform/sim/sim_system.h"
#endif

namespace veltomix {

#ifdef VELTOMIX_HAVE_SIM

namespace {

void Write(const std::string& path, const std::string& text) {
  const std::string problem = WriteWholeFile(path, text, true);
  if (!problem.empty()) throw std::runtime_error(problem);
}

}  // namespace

SystemRun::SystemRun(const Options& options) {
  const bool fromState = !options.stateFile.empty() && FileExists(options.stateFile);
  if (fromState) {
    velto::sim::Install(velto::sim::SimSystem::FromFile(options.stateFile));
  } else if (!options.systemFile.empty()) {
    velto::sim::Install(velto::sim::SimSystem::FromFile(options.systemFile));
  }
}

int SystemRun::Change(const SystemChange& change, std::ostream& err) {
  velto::sim::SimSystem& system = velto::sim::Installed();
  bool found = false;
  switch (change.kind) {
    case SystemChange::Kind::Remove:
      found = system.RemoveEndpoint(change.endpointId);
      break;
    case SystemChange::Kind::State:
      found = system.SetEndpointState(change.endpointId, change.state);
      break;
    case SystemChange::Kind::Default:
      found = system.SetDefaultEndpoint(change.endpointId);
      break;
  }
  if (found) return kExitOk;
  err << "veltomix: " << change.where << ": no endpoint has the id " << change.endpointId << "\n";
  return kExitUsage;
}

void SystemRun::Finish(const Options& options, std::ostream& out) {
  velto::sim::SimSystem& system = velto::sim::Installed();
  if (options.refs) {
    const long refs = system.LiveReferences();
    out << (options.json ? "{\"refs\":" + std::to_string(refs) + "}"
                         : "refs=" + std::to_string(refs))
        << "\n";
  }
  const nlohmann::json state = system.Dump();
  if (!options.stateFile.empty()) Write(options.stateFile, state.dump(2) + "\n");
  if (options.dumpSystem.empty()) return;
  if (options.dumpSystem != "-") {
    Write(options.dumpSystem, state.dump(2) + "\n");
  } else if (options.json) {
    // One document on one line, like every other under --json.
    out << nlohmann::ordered_json{{"command", "dump-system"}, {"system", state}}.dump() << "\n";
  } else {
    out << state.dump(2) << "\n";
  }
}

#else

SystemRun::SystemRun(const Options& options) {
  if (!options.systemFile.empty() || options.refs || !options.dumpSystem.empty() ||
      !options.stateFile.empty()) {
    throw UsageError(
        "--system, --state, --refs and --dump-system work on the simulated sound system only");
  }
}

int SystemRun::Change(const SystemChange& change, std::ostream& err) {
  err << "veltomix: " << change.where << ": the system changes only when simulated\n";
  return kExitUsage;
}

void SystemRun::Finish(const Options&, std::ostream&) {}

#endif

void CheckChangesReachable(const std::vector<Step>& steps, const Options& options) {
  if (options.library.empty()) return;
  for (const Step& step : steps) {
    if (step.call && step.call->change)
      throw UsageError(step.call->change->where +
                       ": a `!` line needs the linked core, not --library");
  }
}

}  // namespace veltomix
