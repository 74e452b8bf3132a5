#include "cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <fstream>
#include <iostream>

#include "call_output.h"
#include "export_table.h"
#include "library_exports.h"
#include "mixer_controls.h"
#include "platform/tracing/tracing_platform.h"

#ifdef VELTOMIX_HAVE_SIM
#include "platform/sim/sim_system.h"
#endif

namespace veltomix {

namespace {

struct Options {
  std::string systemFile;
  bool json = false;
  bool trace = false;
  std::string dumpSystem;
  bool refs = false;
  std::string scriptFile;
  bool listExports = false;
  std::string library;
  std::string hostCom = "none";
  std::vector<std::string> callWords;
};

bool IsStepName(const std::string& word) { return FindCommand(word) || FindExport(word); }

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// What the user may have meant by a word that is no step: "" when nothing fits.
std::string Hint(const std::string& word) {
  for (const CommandSpec& spec : FriendlyCommands()) {
    if (Lower(word) == spec.name) return std::string(" (did you mean ") + spec.name + "?)";
  }
  for (const ExportInfo& info : Exports()) {
    if (Lower(word) == Lower(info.name)) return std::string(" (did you mean ") + info.name + "?)";
  }
  if (FindControl(word))
    return " (" + word + " is a control: `get " + word + "` or `set " + word + " VALUE`)";
  return {};
}

std::string UnknownStep(const std::string& word) {
  const std::string message = "command line: unknown command or export '" + word + "'";
  const std::string hint = Hint(word);
  if (!hint.empty()) return message + hint;
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
    // A misspelt step lands among the previous command's arguments.
    for (const std::string& word : args) {
      if (dynamic_cast<const CLI::ExtrasError*>(&error) && !Hint(word).empty())
        message += Hint(word);
    }
    throw UsageError(message + " (`veltomix " + spec.name + " --help` shows its usage)");
  }
  command->Check();
  return command;
}

std::vector<Call> ScriptCalls(const Options& options, std::istream& in) {
  if (options.scriptFile.empty()) return {};
  if (options.scriptFile == "-") return ParseScript(in, "<stdin>");
  std::ifstream script(options.scriptFile);
  if (!script) throw UsageError("cannot read script " + options.scriptFile);
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
class SystemRun {
 public:
  explicit SystemRun(const Options& options) {
    if (!options.systemFile.empty())
      velto::sim::Install(velto::sim::SimSystem::FromFile(options.systemFile));
  }

  void Finish(const Options& options, std::ostream& out) {
    velto::sim::SimSystem& system = velto::sim::Installed();
    if (options.refs) {
      const long refs = system.LiveReferences();
      out << (options.json ? "{\"refs\":" + std::to_string(refs) + "}"
                           : "refs=" + std::to_string(refs))
          << "\n";
    }
    if (options.dumpSystem.empty()) return;
    const std::string dump = system.Dump().dump(2) + "\n";
    if (options.dumpSystem == "-") {
      out << dump;
      return;
    }
    std::ofstream file(options.dumpSystem);
    file << dump;
    if (!file) throw std::runtime_error("cannot write " + options.dumpSystem);
  }
};
#else
class SystemRun {
 public:
  explicit SystemRun(const Options& options) {
    if (!options.systemFile.empty() || options.refs || !options.dumpSystem.empty()) {
      throw UsageError(
          "--system, --refs and --dump-system work on the simulated sound system only");
    }
  }
  void Finish(const Options&, std::ostream&) {}
};
#endif

void DeclareOptions(CLI::App& app, Options& options) {
  app.add_option("--system", options.systemFile, "sound-system description (JSON) to run on")
      ->option_text("FILE.json");
  app.add_flag("--json", options.json, "print one JSON object per export call");
  app.add_flag("--trace", options.trace, "print every platform call to stderr");
  app.add_option("--dump-system", options.dumpSystem,
                 "write the sound system's state after the calls (- for stdout)")
      ->option_text("FILE|-");
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
    "a comment, texts are double-quoted with C escapes and \\xNN. A binding lasts as long as\n"
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

int RunVeltomix(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                bool terminal) {
  CLI::App app{kDescription, "veltomix"};
  app.footer(CommandsHelp());
  Options options;
  DeclareOptions(app, options);
  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
    const std::vector<std::string> rest = app.remaining();
    options.callWords.insert(options.callWords.end(), rest.begin(), rest.end());
  } catch (const CLI::ParseError& error) {
    return app.exit(error, out, err) == 0 ? kExitOk : kExitUsage;
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

  Session session{out, err, terminal, {}};
  bool allDone = true;
  for (const Step& step : steps) {
    if (step.call) {
      const CallResult result = Invoke(*step.call->info, step.call->arguments);
      out << (options.json ? FormatCallJson(*step.call->info, result)
                           : FormatCallLine(*step.call->info, result))
          << "\n";
    } else {
      allDone = step.command->Run(session) && allDone;
    }
  }
  try {
    run->Finish(options, out);
  } catch (const std::exception& error) {
    err << "veltomix: " << error.what() << "\n";
    return kExitCommandFailed;
  }
  return allDone ? kExitOk : kExitCommandFailed;
}

}  // namespace veltomix
