// The friendly commands: list, open, get, set, mute, unmute, show, topology,
// capture, close. Each is a small CLI11 app of its own, so each has --help;
// they chain with each other and with raw export calls in one invocation.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace veltomix {

// What the commands of one invocation share.
struct Session {
  std::ostream& out;
  std::ostream& err;
  bool terminal = false;    // stdout is a terminal: `show` colours by default
  std::string virtualName;  // set by `open --virtual`; no export reports it
};

class Command {
 public:
  virtual ~Command() = default;
  // What CLI11 cannot check; throws UsageError. Runs before any step runs.
  virtual void Check() {}
  // Does the work; false (with the reason on session.err) when it could not
  // do what was asked.
  virtual bool Run(Session& session) = 0;
};

struct CommandSpec {
  const char* name;
  const char* synopsis;
  const char* summary;
  // Declares the command's options and positionals on `app`, bound to the
  // fields of the command it returns.
  std::unique_ptr<Command> (*define)(CLI::App& app);
};

const std::vector<CommandSpec>& FriendlyCommands();
const CommandSpec* FindCommand(const std::string& name);

// The overview printed under `veltomix --help`.
std::string CommandsHelp();

}  // namespace veltomix
