// What the user may have meant: hints for a word that is no step, for words
// a command does not take, and for a misspelt option.
#pragma once

#include <string>
#include <vector>

#include "commands/commands.h"

namespace veltomix {

// The message for a word where a command or an export call should start.
std::string UnknownStep(const std::string& word);

// Why a command was given words it does not take: a global option after it,
// a misspelt option of its own, or a misspelt step.
std::string ExtrasHint(const CommandSpec& spec, const std::vector<std::string>& args);

// " (did you mean --json?)" for a word before the first step that looks like
// an option but is none; else "".
std::string GlobalOptionHint(const std::vector<std::string>& args);

}  // namespace veltomix
