#include "commands/walk_output.h"

#include "common/files.h"

namespace veltomix {

std::optional<SystemModel> Walk(Session& session, const char* command,
                                const std::vector<HeldControl>& held, int* exit) {
  try {
    return WalkSystem(velto::platform::CurrentPlatform(), held);
  } catch (const WalkError& error) {
    *exit = session.Fail(command, error.what(), kExitPlatform);
    return std::nullopt;
  }
}

void PrintWarnings(Session& session, const char* command, const SystemModel& model) {
  if (model.warnings.empty()) return;
  std::string line;
  for (const std::string& warning : model.warnings) line += (line.empty() ? "" : "; ") + warning;
  session.err << "veltomix: " << command << ": " << line << "\n";
}

int WriteOutput(Session& session, const char* command, const std::string& path,
                const std::string& text) {
  if (path == "-") {
    session.out << text;
    return kExitOk;
  }
  const std::string problem = WriteWholeFile(path, text);
  return problem.empty() ? kExitOk : session.Fail(command, problem, kExitPlatform);
}

}  // namespace veltomix
