#include "cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iostream>
#include <sstream>

#include "call_output.h"
#include "export_table.h"
#include "files.h"
#include "library_exports.h"
#include "mixer_controls.h"
#include "mixer_view.h"
#include "platform/tracing/tracing_platform.h"
#include "text.h"
#include "veltosound.h"

#ifdef VELTOMIX_HAVE_SIM
#include "platform/sim/sim_system.h"
#endif

namespace veltomix {

namespace {

#ifndef VELTOMIX_VERSION
#define VELTOMIX_VERSION "unknown"
#endif

struct Options {
  std::string systemFile;
  bool json = false;
  bool trace = false;
  std::string dumpSystem;
  std::string stateFile;
  bool refs = false;
  std::string scriptFile;
  bool listExports = false;
  std::string library;
  std::string hostCom = "none";
  bool version = false;
  std::vector<std::string> callWords;
};

// The options that go before the first step, as `--help` lists them.
const std::vector<std::string>& GlobalOptions() {
  static const std::vector<std::string> names = {
      "--system", "--json",    "--trace",    "--dump-system",  "--state",   "--refs",
      "--script", "--library", "--host-com", "--list-exports", "--version", "--help"};
  return names;
}

bool IsGlobalOption(const std::string& word) {
  const std::string name = word.substr(0, word.find('='));
  const auto& names = GlobalOptions();
  return std::find(names.begin(), names.end(), name) != names.end();
}

bool IsStepName(const std::string& word) { return FindCommand(word) || FindExport(word); }

// What the user may have meant by a word that is no step: "" when nothing fits.
std::string Hint(const std::string& word) {
  if (FindControl(word))
    return " (" + word + " is a control: `get " + word + "` or `set " + word + " VALUE`)";
  std::vector<std::string> steps;
  for (const CommandSpec& spec : FriendlyCommands()) steps.emplace_back(spec.name);
  for (const ExportInfo& info : Exports()) steps.emplace_back(info.name);
  const std::string nearest = Nearest(word, steps);
  if (!nearest.empty()) return " (did you mean " + nearest + "?)";
  std::vector<std::string> controls;
  for (const ControlInfo& control : Controls()) controls.emplace_back(control.name);
  const std::string control = Nearest(word, controls);
  if (!control.empty()) return " (did you mean `get " + control + "`?)";
  return {};
}

std::string UnknownStep(const std::string& word) {
  const std::string message = "command line: unknown command or export '" + word + "'";
  const std::string hint = Hint(word);
  if (!hint.empty()) return message + hint;
  if (IsGlobalOption(word))
    return message + " (" + word +
           " is an option of veltomix: options go before the first "
           "call or command, e.g. `veltomix " +
           word + " ...`)";
  const std::string option = Nearest(word.substr(0, word.find('=')), GlobalOptions());
  if (word.rfind("-", 0) == 0 && !option.empty())
    return "command line: unknown option '" + word + "' (did you mean " + option + "?)";
  if (word.rfind("--", 0) == 0)
    return message + " (options go before the first call or command, e.g. `veltomix " + word +
           " ...`, or belong to the command before it)";
  return message + " (veltomix --help lists the commands, --list-exports the exports)";
}

// The words of one command, from after its name up to the next step's name.
// A word right after an option that takes a value is that value, whatever it
// spells.
std::vector<std::string> CommandWords(CLI::App& app, const std::vector<std::string>& words,
                                      std::size_t* index) {
  std::vector<std::string> mine;
  std::size_t i = *index;
  while (i < words.size() && !IsStepName(words[i])) {
    const std::string& word = words[i++];
    mine.push_back(word);
    const CLI::Option* option = word.rfind("-", 0) == 0 && word.find('=') == std::string::npos
                                    ? app.get_option_no_throw(word)
                                    : nullptr;
    if (option && option->get_expected_min() > 0 && i < words.size()) mine.push_back(words[i++]);
  }
  *index = i;
  return mine;
}

// Why a command was given words it does not take: a global option after it,
// a misspelt option of its own, or a misspelt step.
std::string ExtrasHint(const CommandSpec& spec, const std::vector<std::string>& args) {
  std::string hint;
  for (const std::string& word : args) {
    if (IsGlobalOption(word)) {
      hint += " (" + word +
              " is an option of veltomix and goes before the first command: "
              "`veltomix " +
              word + " " + spec.name + " ...`)";
    } else if (word.rfind("-", 0) == 0) {
      const std::string nearest = Nearest(word.substr(0, word.find('=')), CommandOptions(spec));
      if (!nearest.empty()) hint += " (did you mean " + nearest + "?)";
    } else {
      hint += Hint(word);
    }
  }
  return hint;
}

std::unique_ptr<Command> ParseCommand(const CommandSpec& spec,
                                      const std::vector<std::string>& words, std::size_t* index) {
  CLI::App app{spec.summary, spec.name};
  app.footer(std::string("Usage: veltomix [OPTIONS] ... ") + spec.synopsis + " ...");
  std::unique_ptr<Command> command = spec.define(app);
  std::vector<std::string> args = CommandWords(app, words, index);
  std::reverse(args.begin(), args.end());  // CLI11 takes them last first
  try {
    app.parse(args);
  } catch (const CLI::CallForHelp&) {
    throw HelpRequested{app.help()};
  } catch (const CLI::ParseError& error) {
    std::string message = std::string(spec.name) + ": " + error.what();
    if (dynamic_cast<const CLI::ExtrasError*>(&error)) message += ExtrasHint(spec, args);
    throw UsageError(message + " (`veltomix " + spec.name + " --help` shows its usage)");
  }
  command->Check();
  return command;
}

std::vector<Call> ScriptCalls(const Options& options, std::istream& in) {
  if (options.scriptFile.empty()) return {};
  if (options.scriptFile == "-") return ParseScript(in, "<stdin>");
  std::string problem;
  const auto text = ReadWholeFile(options.scriptFile, &problem);
  if (!text) throw UsageError(problem);
  std::istringstream script(*text);
  return ParseScript(script, options.scriptFile);
}

void PrintExports(std::ostream& out) {
  for (const ExportInfo& info : Exports()) {
    out << info.ordinal << "\t" << info.name;
    for (InputType type : info.inputs) {
      switch (type) {
        case InputType::Int:
          out << " INT";
          break;
        case InputType::Index:
          out << " INDEX";
          break;
        case InputType::Level:
          out << " LEVEL";
          break;
        case InputType::Text:
          out << " TEXT";
          break;
      }
    }
    out << "\n";
  }
}

#ifdef VELTOMIX_HAVE_SIM
// The simulated system for the run: from --state FILE when it exists, else
// --system FILE, else the sample.
class SystemRun {
 public:
  explicit SystemRun(const Options& options) {
    const bool fromState = !options.stateFile.empty() && FileExists(options.stateFile);
    if (fromState) {
      velto::sim::Install(velto::sim::SimSystem::FromFile(options.stateFile));
    } else if (!options.systemFile.empty()) {
      velto::sim::Install(velto::sim::SimSystem::FromFile(options.systemFile));
    }
  }

  // A script's `!` line; an id no endpoint has is the script's fault.
  static int Change(const SystemChange& change, std::ostream& err) {
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

  // Throws std::runtime_error naming the file and the system's reason.
  void Finish(const Options& options, std::ostream& out) {
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

 private:
  static void Write(const std::string& path, const std::string& text) {
    const std::string problem = WriteWholeFile(path, text, true);
    if (!problem.empty()) throw std::runtime_error(problem);
  }
};
#else
class SystemRun {
 public:
  explicit SystemRun(const Options& options) {
    if (!options.systemFile.empty() || options.refs || !options.dumpSystem.empty() ||
        !options.stateFile.empty()) {
      throw UsageError(
          "--system, --state, --refs and --dump-system work on the simulated sound system only");
    }
  }
  static int Change(const SystemChange& change, std::ostream& err) {
    err << "veltomix: " << change.where << ": the system changes only when simulated\n";
    return kExitUsage;
  }
  void Finish(const Options&, std::ostream&) {}
};
#endif

// A library loaded at run time has a platform of its own, which a script's
// `!` line cannot reach.
void CheckChangesReachable(const std::vector<Step>& steps, const Options& options) {
  if (options.library.empty()) return;
  for (const Step& step : steps) {
    if (step.call && step.call->change)
      throw UsageError(step.call->change->where +
                       ": a `!` line needs the linked core, not --library");
  }
}

void DeclareOptions(CLI::App& app, Options& options) {
  app.add_option("--system", options.systemFile, "sound-system description (JSON) to run on")
      ->option_text("FILE.json");
  app.add_flag("--json", options.json,
               "print one JSON document per export call and per command, on one line each");
  app.add_flag("--trace", options.trace, "print every platform call to stderr");
  app.add_option("--dump-system", options.dumpSystem,
                 "write the sound system's state after the calls (- for stdout, one line under "
                 "--json)")
      ->option_text("FILE|-");
  app.add_option("--state", options.stateFile,
                 "run on the system described in FILE if it exists, and write the system's state "
                 "back to FILE afterwards")
      ->option_text("FILE");
  app.add_flag("--refs", options.refs, "print the platform references still held");
  app.add_option("--script", options.scriptFile, "read calls from a script (- for stdin)")
      ->option_text("FILE|-");
  app.add_flag("--list-exports", options.listExports, "list the exports and their arguments");
  app.add_option("--library", options.library,
                 "make export calls through this VeltoSound library, loaded at run time")
      ->option_text("FILE");
  app.add_option("--host-com", options.hostCom,
                 "initialise COM on the calling thread first, as a host may (Windows)")
      ->option_text("none|sta|mta");
  app.add_flag("--version", options.version, "print veltomix's version");
  // No positional of its own: the first word that is not an option, and every
  // word after it, stays in order for ParseSteps.
  app.prefix_command();
}

const char* kDescription =
    "veltomix [OPTIONS] [CALL | COMMAND ...]\n"
    "The VeltoSound mixer from the command line, in one process.\n"
    "A CALL is an export's name followed by its input arguments; out parameters are never\n"
    "arguments. Integers are decimal or 0x hex (32-bit two's complement), levels are\n"
    "decimals, `null` is a null text pointer. Scripts hold one call per line, `#` starts\n"
    "a comment, texts are double-quoted with C escapes and \\xNN; `!remove ID`, `!state ID\n"
    "STATE` and `!default ID` lines change the simulated system. A binding lasts as long as\n"
    "the process: chain the steps in one invocation.";

}  // namespace

std::vector<Step> ParseSteps(const std::vector<std::string>& words) {
  std::vector<Word> asWords;
  for (const std::string& text : words) asWords.push_back({text, false});
  std::vector<Step> steps;
  for (std::size_t i = 0; i < words.size();) {
    Step step;
    if (const CommandSpec* spec = FindCommand(words[i])) {
      ++i;
      step.command = ParseCommand(*spec, words, &i);
    } else if (FindExport(words[i])) {
      step.call = ParseCallAt(asWords, i, "command line", &i);
    } else {
      throw UsageError(UnknownStep(words[i]));
    }
    steps.push_back(std::move(step));
  }
  return steps;
}

bool ColourAllowed(const char* noColor, const char* term) {
  if (noColor && *noColor) return false;
  return !(term && std::string(term) == "dumb");
}

namespace {

// A word before the first step that looks like an option but is none.
std::string GlobalOptionHint(const std::vector<std::string>& args) {
  for (const std::string& word : args) {
    if (word.rfind("-", 0) != 0) break;
    if (IsGlobalOption(word)) continue;
    const std::string nearest = Nearest(word.substr(0, word.find('=')), GlobalOptions());
    if (!nearest.empty()) return " (did you mean " + nearest + "?)";
  }
  return {};
}

const char* kShortUsage =
    "Nothing to show: no default device could be bound.\n"
    "Usage: veltomix [OPTIONS] [CALL | COMMAND ...]\n"
    "  veltomix list                      the endpoints, with their index, name and id\n"
    "  veltomix open --playback 0 show    bind one and show its controls\n"
    "  veltomix --help                    every option and command\n";

// `veltomix` alone: the default devices and their controls, as `show` has them.
int ShowMixer(Session& session) {
  OpenDefaultDevices();
  const std::vector<DeviceView> mixer = ReadMixer(session.chosenNames);
  const int exit = ShowExit(mixer);
  if (exit == kExitNothingBound) {
    if (session.json) return session.Fail("show", "no default device could be bound", exit);
    session.err << kShortUsage;
    return exit;
  }
  if (session.json) {
    session.Emit(ShowJson(mixer));
  } else {
    session.out << RenderShow(mixer, session.color);
  }
  return exit;
}

// A command that throws is a fault of veltomix; it still ends the run cleanly.
int RunCommand(Command& command, Session& session) {
  try {
    return command.Run(session);
  } catch (const std::exception& error) {
    session.err << "veltomix: internal error: " << error.what() << "\n";
    return kExitCommandFailed;
  }
}

// Nothing asked for but the options that pick the system: show the mixer.
bool NothingAsked(const Options& options) {
  return options.callWords.empty() && options.scriptFile.empty() && options.dumpSystem.empty() &&
         !options.refs;
}

}  // namespace

int RunVeltomix(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                bool color) {
  CLI::App app{kDescription, "veltomix"};
  app.footer(CommandsHelp());
  Options options;
  DeclareOptions(app, options);
  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
    const std::vector<std::string> rest = app.remaining();
    options.callWords.insert(options.callWords.end(), rest.begin(), rest.end());
  } catch (const CLI::CallForHelp& help) {
    return app.exit(help, out, err) == 0 ? kExitOk : kExitUsage;
  } catch (const CLI::ParseError& error) {
    err << "veltomix: " << error.what() << GlobalOptionHint(args)
        << " (`veltomix --help` lists the options)\n";
    return kExitUsage;
  }
  if (options.version) {
    out << "veltomix " << VELTOMIX_VERSION << "\n";
    return kExitOk;
  }
  if (options.listExports) {
    PrintExports(out);
    return kExitOk;
  }

  std::vector<Step> steps;
  std::optional<SystemRun> run;
  // In front of whichever backend `run` set up; its end drops the sink, which
  // writes to `err`.
  std::optional<velto::platform::tracing::TraceScope> trace;
  std::optional<LibraryExports> library;
  std::optional<HostCom> hostCom;
  try {
    for (Call& call : ScriptCalls(options, std::cin)) steps.push_back({std::move(call), nullptr});
    for (Step& step : ParseSteps(options.callWords)) steps.push_back(std::move(step));
    CheckChangesReachable(steps, options);
    run.emplace(options);
    if (options.trace) {
      trace.emplace(velto::platform::BackendPlatform(),
                    [&err](const velto::platform::tracing::TracedCall& call) {
                      err << "trace: " << velto::platform::tracing::FormatCall(call) << "\n";
                    });
    }
    if (!options.library.empty()) library.emplace(options.library);
    hostCom.emplace(options.hostCom);
  } catch (const HelpRequested& help) {
    out << help.text;
    return kExitOk;
  } catch (const std::exception& error) {
    err << "veltomix: " << error.what() << "\n";
    return kExitUsage;
  }

  Session session{out, err, color, options.json, {}};
  int exit = NothingAsked(options) ? ShowMixer(session) : kExitOk;
  for (const Step& step : steps) {
    int outcome = kExitOk;
    if (step.call && step.call->change) {
      outcome = SystemRun::Change(*step.call->change, err);
    } else if (step.call) {
      const CallResult result = Invoke(*step.call->info, step.call->arguments);
      out << (options.json ? FormatCallJson(*step.call->info, result)
                           : FormatCallLine(*step.call->info, result))
          << "\n";
    } else {
      outcome = RunCommand(*step.command, session);
    }
    if (exit == kExitOk) exit = outcome;
  }
  try {
    run->Finish(options, out);
  } catch (const std::exception& error) {
    err << "veltomix: " << error.what() << "\n";
    return exit == kExitOk ? kExitPlatform : exit;
  }
  return exit;
}

}  // namespace veltomix
