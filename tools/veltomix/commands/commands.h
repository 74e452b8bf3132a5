// The friendly commands: list, open, get, set, mute, unmute, show, topology,
// capture, close. Each is a small CLI11 app of its own, so each has --help;
// they chain with each other and with raw export calls in one invocation.
#pragma once

#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "common/exit_status.h"
#include "mixer/mixer_controls.h"

namespace CLI {
class App;
}

namespace veltomix {

// What the commands of one invocation share.
struct Session {
  std::ostream& out;
  std::ostream& err;
  bool color = false;  // `show` colours by default (a terminal that takes colour)
  bool json = false;   // one JSON document per command on `out`
  // The endpoints `open` chose, by role, even where binding failed after the
  // endpoint was found; the exports report a name only for a whole binding,
  // and none for the virtual endpoint.
  std::map<BoundEndpoint, std::string> chosenNames;
  // Their ids: what `topology --why` walks when the linked core did not bind
  // them itself (under --library).
  std::map<BoundEndpoint, std::string> chosenIds;

  // A command's JSON document, on one line.
  void Emit(const nlohmann::ordered_json& document) const;
  // Says why `command` could not do its work: on err, and under --json as
  // the command's document. Returns `exit`.
  int Fail(const std::string& command, const std::string& problem, int exit) const;
};

class Command {
 public:
  virtual ~Command() = default;
  // What CLI11 cannot check; throws UsageError. Runs before any step runs.
  virtual void Check() {}
  // Does the work; returns kExitOk, or another exit status when it could not
  // do what was asked (having said why on session.err).
  virtual int Run(Session& session) = 0;
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

// The options a command declares ("--playback", ...), for completion and hints.
std::vector<std::string> CommandOptions(const CommandSpec& spec);

// The overview printed under `veltomix --help`.
std::string CommandsHelp();

}  // namespace veltomix
