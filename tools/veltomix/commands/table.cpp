#include <CLI/CLI.hpp>

#include "commands/definitions.h"
#include "mixer/mixer_controls.h"

namespace veltomix {

void Session::Emit(const nlohmann::ordered_json& document) const { out << document.dump() << "\n"; }

int Session::Fail(const std::string& command, const std::string& problem, int exit) const {
  err << "veltomix: " << problem << "\n";
  if (json) Emit(nlohmann::ordered_json{{"command", command}, {"error", problem}, {"exit", exit}});
  return exit;
}

const std::vector<CommandSpec>& FriendlyCommands() {
  static const std::vector<CommandSpec> table = {
      {"list", "list [--all]",
       "the active playback and recording endpoints (--all: every state): index, name, id, "
       "default",
       DefineList},
      {"open", "open (--default | [--playback E] [--mic E] [--line E]) [--virtual E]",
       "bind endpoints by index, name or a piece of name or id, or the system's defaults",
       DefineOpen},
      {"get", "get CONTROL", "print a control's value", DefineGet},
      {"set", "set CONTROL VALUE",
       "set a control: percent, dB, or on/off; +N or -N changes it by N", DefineSet},
      {"mute", "mute CONTROL", "mute master, line-monitor, mic-monitor or virtual", DefineMute},
      {"unmute", "unmute CONTROL", "unmute one of them", DefineUnmute},
      {"show", "show [--color WHEN]", "every bound device and control at a glance", DefineShow},
      {"topology", "topology [ENDPOINT] [--format text|dot|json] [--output FILE] [--why CONTROL]",
       "the adapter topology behind an endpoint, with the parts binding chose; --why says where "
       "a control's search stopped",
       DefineTopology},
      {"capture", "capture [--output FILE]",
       "write every endpoint and topology as a sound-system description (JSON)", DefineCapture},
      {"close", "close [--restore]",
       "release the bound devices (and the virtual endpoint), optionally restoring every control",
       DefineClose},
  };
  return table;
}

std::vector<std::string> CommandOptions(const CommandSpec& spec) {
  CLI::App app{spec.summary, spec.name};
  const std::unique_ptr<Command> command = spec.define(app);
  std::vector<std::string> names;
  for (const CLI::Option* option : app.get_options()) {
    for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
  }
  return names;
}

const CommandSpec* FindCommand(const std::string& name) {
  for (const CommandSpec& spec : FriendlyCommands()) {
    if (name == spec.name) return &spec;
  }
  return nullptr;
}

std::string CommandsHelp() {
  std::string help =
      "Commands (each has --help; they chain with each other and with export calls):\n";
  for (const CommandSpec& spec : FriendlyCommands())
    help += std::string("  ") + spec.synopsis + "\n      " + spec.summary + "\n";
  help += "Controls: " + ControlNames() + "\n";
  help += "An ENDPOINT is its index in `list`, its name or a piece of it, or a piece of its id.\n";
  help += "Without arguments veltomix binds the default devices and shows them.\n";
  help += "Example:  veltomix open --default set master 40 mute mic-monitor show\n";
  help +=
      "Exit status: 0 done; 1 a binding failed; 2 usage error (a wrong option, value or endpoint); "
      "3 nothing bound; 4 control missing on the bound device; 5 platform failure (or a file "
      "could not be read or written). The first failing step decides.\n";
  return help;
}

}  // namespace veltomix
