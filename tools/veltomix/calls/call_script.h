// Turning command-line words and script lines into export calls.
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "calls/export_table.h"

namespace veltomix {

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A script's `!` line: the simulated sound system changes between two calls
// (`!remove ID`, `!state ID STATE`, `!default ID`).
struct SystemChange {
  enum class Kind { Remove, State, Default };
  Kind kind;
  std::string endpointId;
  std::uint32_t state = 0;  // for Kind::State, as the platform counts it
  std::string where;        // script and line, for the report
};

// An export call, or (with `change` set and no `info`) a change of the system.
struct Call {
  const ExportInfo* info;
  std::vector<Argument> arguments;
  std::optional<SystemChange> change;
};

// A word from the command line or a script. Quoted words are always texts;
// a bare `null` is a null pointer where a text is expected.
struct Word {
  std::string text;
  bool quoted = false;
};

// The one call whose export's name is words[first]; `*next` receives the
// index of the word after its last argument.
Call ParseCallAt(const std::vector<Word>& words, std::size_t first, const std::string& where,
                 std::size_t* next);

// Calls from a script: one call per line, `#` starts a comment, texts in
// double quotes with C escapes and \xNN for any byte; a line that starts
// with `!` changes the simulated system.
std::vector<Call> ParseScript(std::istream& script, const std::string& name);

// Splits one script line into words (exposed for tests).
std::vector<Word> SplitScriptLine(const std::string& line);

// 32-bit two's complement from decimal or 0x hex; -5 and 0xFFFFFF01 both fit.
// How far a decimal number may go: an int parameter ends at 2147483647, an
// index at 4294967295.
enum class DecimalRange { Signed, Unsigned };
std::int32_t ParseInt32(const std::string& text, DecimalRange decimal = DecimalRange::Signed);

}  // namespace veltomix
