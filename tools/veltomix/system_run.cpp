#include "system_run.h"

#include <stdexcept>

#include "call_script.h"
#include "files.h"

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

void SystemRun::Finish(const Options&, std::ostream&) {}

#endif

}  // namespace veltomix
