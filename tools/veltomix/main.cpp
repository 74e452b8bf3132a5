// veltomix: runs any sequence of the library's exports, in one process, on
// the simulated sound system (or, on Windows, on the real one).
#include <fstream>
#include <iostream>
#include <memory>

#include <CLI/CLI.hpp>

#include "call_output.h"
#include "call_script.h"
#include "export_table.h"

#ifdef VELTOMIX_HAVE_SIM
#include "platform/sim/sim_system.h"
#endif

namespace veltomix {
namespace {

constexpr int kUsageExit = 2;

struct Options {
  std::string systemFile;
  bool json = false;
  bool trace = false;
  std::string dumpSystem;
  bool refs = false;
  std::string scriptFile;
  bool listExports = false;
  std::vector<std::string> callWords;
};

std::vector<Call> CollectCalls(const Options& options) {
  std::vector<Call> calls;
  if (!options.scriptFile.empty()) {
    if (options.scriptFile == "-") {
      calls = ParseScript(std::cin, "<stdin>");
    } else {
      std::ifstream script(options.scriptFile);
      if (!script) throw UsageError("cannot read script " + options.scriptFile);
      calls = ParseScript(script, options.scriptFile);
    }
  }
  std::vector<Word> words;
  for (const std::string& text : options.callWords) words.push_back({text, false});
  auto fromArguments = ParseCalls(words, "command line");
  calls.insert(calls.end(), fromArguments.begin(), fromArguments.end());
  return calls;
}

void PrintExports() {
  for (const ExportInfo& info : Exports()) {
    std::cout << info.ordinal << "\t" << info.name;
    for (InputType type : info.inputs) {
      switch (type) {
        case InputType::Int: std::cout << " INT"; break;
        case InputType::Index: std::cout << " INDEX"; break;
        case InputType::Level: std::cout << " LEVEL"; break;
        case InputType::Text: std::cout << " TEXT"; break;
      }
    }
    std::cout << "\n";
  }
}

#ifdef VELTOMIX_HAVE_SIM
void PrepareSystem(const Options& options) {
  if (!options.systemFile.empty()) {
    velto::sim::Install(velto::sim::SimSystem::FromFile(options.systemFile));
  }
  velto::sim::SimSystem& system = velto::sim::Installed();
  if (options.trace) {
    system.SetTraceSink([](const velto::sim::TraceEntry& entry) {
      std::cerr << "trace: " << entry.object << " " << entry.op << "(" << entry.args << ")";
      if (entry.hasResult) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(entry.result));
        std::cerr << " -> " << code;
      }
      std::cerr << "\n";
    });
    system.SetTracing(true);
  }
}

void Finish(const Options& options) {
  velto::sim::SimSystem& system = velto::sim::Installed();
  system.SetTracing(false);
  if (options.refs) {
    const long refs = system.LiveReferences();
    if (options.json) {
      std::cout << "{\"refs\":" << refs << "}\n";
    } else {
      std::cout << "refs=" << refs << "\n";
    }
  }
  if (options.dumpSystem.empty()) return;
  const std::string dump = system.Dump().dump(2) + "\n";
  if (options.dumpSystem == "-") {
    std::cout << dump;
    return;
  }
  std::ofstream file(options.dumpSystem);
  file << dump;
  if (!file) throw std::runtime_error("cannot write " + options.dumpSystem);
}
#else
void PrepareSystem(const Options& options) {
  if (!options.systemFile.empty() || options.trace || options.refs ||
      !options.dumpSystem.empty()) {
    throw UsageError(
        "--system, --trace, --refs and --dump-system work on the simulated sound system only");
  }
}
void Finish(const Options&) {}
#endif

int Run(int argc, char** argv) {
  CLI::App app{
      "veltomix: call the VeltoSound exports in order, in one process.\n"
      "A CALL is an export's name followed by its input arguments; out parameters are never\n"
      "arguments. Integers are decimal or 0x hex (32-bit two's complement), levels are\n"
      "decimals, `null` is a null text pointer. Scripts hold one call per line, `#` starts\n"
      "a comment, texts are double-quoted with C escapes and \\xNN."};
  Options options;
  app.add_option("--system", options.systemFile, "sound-system description (JSON) to run on")
      ->option_text("FILE.json");
  app.add_flag("--json", options.json, "print one JSON object per call");
  app.add_flag("--trace", options.trace, "print every platform call to stderr");
  app.add_option("--dump-system", options.dumpSystem,
                 "write the sound system's state after the calls (- for stdout)")
      ->option_text("FILE|-");
  app.add_flag("--refs", options.refs, "print the platform references still held");
  app.add_option("--script", options.scriptFile, "read calls from a script (- for stdin)")
      ->option_text("FILE|-");
  app.add_flag("--list-exports", options.listExports, "list the exports and their arguments");
  app.add_option("CALL", options.callWords, "export name and arguments, repeated");
  app.prefix_command();
  try {
    app.parse(argc, argv);
    options.callWords.insert(options.callWords.end(), app.remaining().begin(),
                             app.remaining().end());
  } catch (const CLI::ParseError& error) {
    return app.exit(error) == 0 ? 0 : kUsageExit;
  }
  if (options.listExports) {
    PrintExports();
    return 0;
  }

  std::vector<Call> calls;
  try {
    calls = CollectCalls(options);
    PrepareSystem(options);
  } catch (const std::exception& error) {
    std::cerr << "veltomix: " << error.what() << "\n";
    return kUsageExit;
  }

  for (const Call& call : calls) {
    const CallResult result = Invoke(*call.info, call.arguments);
    std::cout << (options.json ? FormatCallJson(*call.info, result)
                               : FormatCallLine(*call.info, result))
              << "\n";
  }
  try {
    Finish(options);
  } catch (const std::exception& error) {
    std::cerr << "veltomix: " << error.what() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace veltomix

int main(int argc, char** argv) { return veltomix::Run(argc, argv); }
