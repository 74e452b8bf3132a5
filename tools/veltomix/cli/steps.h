// Splitting the command line into steps: export calls and friendly commands
// in any mix, each checked before the first one runs.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "calls/call_script.h"
#include "commands/commands.h"

namespace veltomix {

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

}  // namespace veltomix
