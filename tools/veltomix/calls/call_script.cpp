#include "calls/call_script.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <limits>
#include <sstream>

#include "platform/description/model.h"

namespace veltomix {

namespace {

std::string Describe(InputType type) {
  switch (type) {
    case InputType::Int:
      return "a 32-bit integer";
    case InputType::Index:
      return "an index";
    case InputType::Level:
      return "a level in dB";
    case InputType::Text:
      return "a text";
  }
  return "a value";
}

std::string Signature(const ExportInfo& info) {
  std::string text = info.name;
  for (InputType type : info.inputs) {
    switch (type) {
      case InputType::Int:
        text += " INT";
        break;
      case InputType::Index:
        text += " INDEX";
        break;
      case InputType::Level:
        text += " LEVEL";
        break;
      case InputType::Text:
        text += " TEXT";
        break;
    }
  }
  return text;
}

double ParseLevel(const std::string& text) {
  if (text.empty()) throw UsageError("empty level");
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (*end != '\0') throw UsageError("'" + text + "' is not a level in dB");
  return value;
}

Argument ParseArgument(InputType type, const Word& word) {
  switch (type) {
    case InputType::Int:
    case InputType::Index:
      if (word.quoted) throw UsageError("\"" + word.text + "\" is quoted, expected a number");
      return ParseInt32(word.text,
                        type == InputType::Index ? DecimalRange::Unsigned : DecimalRange::Signed);
    case InputType::Level:
      if (word.quoted) throw UsageError("\"" + word.text + "\" is quoted, expected a level");
      return ParseLevel(word.text);
    case InputType::Text:
      if (!word.quoted && word.text == "null") return std::optional<std::string>();
      return std::optional<std::string>(word.text);
  }
  throw UsageError("unsupported argument");
}

std::string Suggestion(const std::string& name) {
  auto lower = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  for (const ExportInfo& info : Exports()) {
    if (lower(info.name) == lower(name)) return std::string(" (did you mean ") + info.name + "?)";
  }
  return " (veltomix --list-exports shows them all)";
}

const ExportInfo& ExportNamed(const Word& word, const std::string& where) {
  const ExportInfo* info = word.quoted ? nullptr : FindExport(word.text);
  if (!info)
    throw UsageError(where + ": unknown export '" + word.text + "'" + Suggestion(word.text));
  return *info;
}

Call ParseOneCall(const ExportInfo& info, const std::vector<Word>& words, std::size_t first,
                  const std::string& where) {
  Call call{&info, {}};
  for (std::size_t k = 0; k < info.inputs.size(); ++k) {
    if (first + k >= words.size()) {
      throw UsageError(where + ": " + info.name + " needs " + Describe(info.inputs[k]) +
                       " as argument " + std::to_string(k + 1) + " (usage: " + Signature(info) +
                       ")");
    }
    try {
      call.arguments.push_back(ParseArgument(info.inputs[k], words[first + k]));
    } catch (const UsageError& error) {
      throw UsageError(where + ": " + info.name + " argument " + std::to_string(k + 1) + ": " +
                       error.what() + " (usage: " + Signature(info) + ")");
    }
  }
  return call;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::uint32_t StateNamed(const Word& word, const std::string& where) {
  std::string known;
  for (const auto& named : velto::description::kDeviceStates) {
    if (word.text == named.name) return named.value;
    known += (known.empty() ? "" : ", ") + std::string(named.name);
  }
  throw UsageError(where + ": '" + word.text + "' is no endpoint state (" + known + ")");
}

// `!remove ID`, `!state ID STATE`, `!default ID`; words[0] holds the `!`.
Call ParseSystemChange(const std::vector<Word>& words, const std::string& where) {
  static const char* const kUsage = " (usage: !remove ID, !state ID STATE, !default ID)";
  const std::string verb = words[0].text.substr(1);
  SystemChange change{SystemChange::Kind::Remove, {}, 0, where};
  std::size_t wanted = 2;
  if (verb == "state") {
    change.kind = SystemChange::Kind::State;
    wanted = 3;
  } else if (verb == "default") {
    change.kind = SystemChange::Kind::Default;
  } else if (verb != "remove") {
    throw UsageError(where + ": unknown change '!" + verb + "'" + kUsage);
  }
  if (words.size() != wanted)
    throw UsageError(where + ": !" + verb + " takes " + std::to_string(wanted - 1) +
                     " argument(s), got " + std::to_string(words.size() - 1) + kUsage);
  change.endpointId = words[1].text;
  if (change.kind == SystemChange::Kind::State) change.state = StateNamed(words[2], where);
  return Call{nullptr, {}, std::move(change)};
}

}  // namespace

std::int32_t ParseInt32(const std::string& text, DecimalRange decimal) {
  std::size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative || (!text.empty() && text[0] == '+')) ++i;
  int base = 10;
  if (text.size() > i + 1 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= text.size()) throw UsageError("'" + text + "' is not an integer");
  std::uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const int digit = HexDigit(text[i]);
    if (digit < 0 || digit >= base) throw UsageError("'" + text + "' is not an integer");
    magnitude = magnitude * base + static_cast<unsigned>(digit);
    if (magnitude > 0xFFFFFFFFull) throw UsageError("'" + text + "' does not fit in 32 bits");
  }
  if (negative && magnitude > 0x80000000ull) {
    throw UsageError("'" + text + "' does not fit in 32 bits");
  }
  // Hex gives any 32-bit pattern; a decimal number must fit the parameter.
  if (base == 10 && !negative && decimal == DecimalRange::Signed && magnitude > 0x7FFFFFFFull) {
    throw UsageError("'" + text + "' does not fit a 32-bit int (largest 2147483647)");
  }
  const std::uint32_t bits =
      negative ? static_cast<std::uint32_t>(0u - static_cast<std::uint32_t>(magnitude))
               : static_cast<std::uint32_t>(magnitude);
  return static_cast<std::int32_t>(bits);
}

Call ParseCallAt(const std::vector<Word>& words, std::size_t first, const std::string& where,
                 std::size_t* next) {
  const ExportInfo& info = ExportNamed(words[first], where);
  *next = first + 1 + info.inputs.size();
  return ParseOneCall(info, words, first + 1, where);
}

std::vector<Word> SplitScriptLine(const std::string& line) {
  std::vector<Word> words;
  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
      continue;
    }
    if (c == '#') break;
    Word word;
    if (c != '"') {
      while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])) &&
             line[i] != '#') {
        word.text += line[i++];
      }
      words.push_back(std::move(word));
      continue;
    }
    word.quoted = true;
    ++i;
    bool closed = false;
    while (i < line.size()) {
      char ch = line[i++];
      if (ch == '"') {
        closed = true;
        break;
      }
      if (ch != '\\') {
        word.text += ch;
        continue;
      }
      if (i >= line.size()) throw UsageError("a backslash ends the line");
      ch = line[i++];
      switch (ch) {
        case 'n':
          word.text += '\n';
          break;
        case 't':
          word.text += '\t';
          break;
        case 'r':
          word.text += '\r';
          break;
        case '0':
          word.text += '\0';
          break;
        case '\\':
          word.text += '\\';
          break;
        case '"':
          word.text += '"';
          break;
        case 'x': {
          const int high = i < line.size() ? HexDigit(line[i]) : -1;
          const int low = i + 1 < line.size() ? HexDigit(line[i + 1]) : -1;
          if (high < 0 || low < 0) throw UsageError("\\x needs two hex digits");
          word.text += static_cast<char>(high * 16 + low);
          i += 2;
          break;
        }
        default:
          throw UsageError(std::string("unknown escape \\") + ch);
      }
    }
    if (!closed) throw UsageError("unterminated string");
    words.push_back(std::move(word));
  }
  return words;
}

std::vector<Call> ParseScript(std::istream& script, const std::string& name) {
  std::vector<Call> calls;
  std::string line;
  for (int number = 1; std::getline(script, line); ++number) {
    const std::string where = name + ":" + std::to_string(number);
    std::vector<Word> words;
    try {
      words = SplitScriptLine(line);
    } catch (const UsageError& error) {
      throw UsageError(where + ": " + error.what());
    }
    if (words.empty()) continue;
    if (!words[0].quoted && words[0].text.rfind('!', 0) == 0) {
      calls.push_back(ParseSystemChange(words, where));
      continue;
    }
    const ExportInfo& info = ExportNamed(words[0], where);
    if (words.size() != 1 + info.inputs.size()) {
      throw UsageError(where + ": " + info.name + " takes " + std::to_string(info.inputs.size()) +
                       " argument(s), got " + std::to_string(words.size() - 1) +
                       " (usage: " + Signature(info) + ")");
    }
    calls.push_back(ParseOneCall(info, words, 1, where));
  }
  return calls;
}

}  // namespace veltomix
