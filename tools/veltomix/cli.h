// The veltomix command line: global options, then export calls and friendly
// commands in any mix, all checked before the first one runs.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "call_script.h"
#include "commands.h"

namespace veltomix {

constexpr int kExitOk = 0;
constexpr int kExitCommandFailed = 1;  // a friendly command could not do what was asked
constexpr int kExitUsage = 2;          // nothing ran

// One step of an invocation: an export call or a friendly command.
struct Step {
  std::optional<Call> call;
  std::unique_ptr<Command> command;
};

// A command's --help was asked for: the text to print, and nothing runs.
struct HelpRequested {
  std::string text;
};

// Splits `words` into steps. An export's name takes exactly its inputs; a
// command takes the words up to the next command or export name (a value
// given to one of its options excepted). Throws UsageError or HelpRequested.
std::vector<Step> ParseSteps(const std::vector<std::string>& words);

// The whole program. `args` holds the arguments after the program name;
// `terminal` tells whether `out` is a terminal.
int RunVeltomix(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                bool terminal);

}  // namespace veltomix
