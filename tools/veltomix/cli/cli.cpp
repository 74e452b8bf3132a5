#include "cli/cli.h"

#include <CLI/CLI.hpp>
#include <cctype>
#include <cstdio>
#include <iostream>
#include <sstream>

#include "calls/call_output.h"
#include "calls/export_table.h"
#include "calls/library_exports.h"
#include "cli/cli_options.h"
#include "cli/step_hints.h"
#include "cli/steps.h"
#include "cli/system_run.h"
#include "commands/definitions.h"
#include "common/files.h"
#include "platform/tracing/tracing_platform.h"

namespace veltomix {

namespace {

#ifndef VELTOMIX_VERSION
#define VELTOMIX_VERSION "unknown"
#endif

std::vector<Call> ScriptCalls(const Options& options, std::istream& in) {
  if (options.scriptFile.empty()) return {};
  if (options.scriptFile == "-") return ParseScript(in, "<stdin>");
  std::string problem;
  const auto text = ReadWholeFile(options.scriptFile, &problem);
  if (!text) throw UsageError(problem);
  std::istringstream script(*text);
  return ParseScript(script, options.scriptFile);
}

std::vector<const char*> ExportNames() {
  std::vector<const char*> names;
  for (const ExportInfo& info : Exports()) names.push_back(info.name);
  return names;
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
  app.add_option(
         "--library", options.library,
         "make export calls and commands go through this VeltoSound library, loaded at run time")
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

bool ColourAllowed(const char* noColor, const char* term) {
  if (noColor && *noColor) return false;
  return !(term && std::string(term) == "dumb");
}

namespace {

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
    return Session{out, err, color, options.json, {}}.Fail(
        "", error.what() + GlobalOptionHint(args) + " (`veltomix --help` lists the options)",
        kExitUsage);
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
    if (!options.library.empty()) library.emplace(options.library, ExportNames());
    hostCom.emplace(options.hostCom);
  } catch (const HelpRequested& help) {
    out << help.text;
    return kExitOk;
  } catch (const std::exception& error) {
    // Under --json a mistake found before anything ran prints its document
    // too, as every failing step does.
    const auto* usage = dynamic_cast<const UsageError*>(&error);
    return Session{out, err, color, options.json, {}}.Fail(usage ? usage->step : "", error.what(),
                                                           kExitUsage);
  }

  Session session{out, err, color, options.json, {}};
  int exit = NothingAsked(options) ? ShowDefaultDevices(session) : kExitOk;
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
