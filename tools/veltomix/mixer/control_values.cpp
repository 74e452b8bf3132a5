#include "mixer/control_values.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "calls/call_script.h"
#include "mixer/control_messages.h"
#include "platform/description/text.h"

namespace veltomix {

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// `text` without `suffix` (compared without case) when it ends in it.
std::string WithoutSuffix(const std::string& text, const std::string& suffix) {
  if (text.size() <= suffix.size()) return text;
  const std::string tail = Lower(text.substr(text.size() - suffix.size()));
  return tail == suffix ? text.substr(0, text.size() - suffix.size()) : text;
}

std::optional<long> WholeNumber(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || errno == ERANGE || value < INT32_MIN || value > INT32_MAX)
    return std::nullopt;
  return value;
}

std::optional<double> Decimal(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<int> SwitchState(const std::string& text) {
  const std::string word = Lower(text);
  for (const char* on : {"on", "1", "true", "yes"}) {
    if (word == on) return 1;
  }
  for (const char* off : {"off", "0", "false", "no"}) {
    if (word == off) return 0;
  }
  return std::nullopt;
}

// "+5" and "-5" change a value by that much, "=-3" sets it: the sign alone
// makes a change relative, as mixers take it.
struct Signed {
  std::string number;
  bool relative = false;
};

Signed SplitSign(const std::string& text) {
  if (!text.empty() && text[0] == '=') return {text.substr(1), false};
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) return {text, true};
  return {text, false};
}

}  // namespace

SetValue ParseValue(const ControlInfo& control, const std::string& text) {
  const char* name = control.name;
  const std::string example = std::string(" `set ") + name;
  const Signed split = SplitSign(text);
  SetValue parsed;
  parsed.relative = split.relative;
  switch (control.kind) {
    case ControlKind::Percent: {
      const auto percent = WholeNumber(WithoutSuffix(split.number, "%"));
      const bool inRange = percent && (split.relative || (*percent >= 0 && *percent <= 100));
      if (!inRange)
        throw UsageError(std::string(name) + " takes a whole percentage from 0 to 100, e.g." +
                         example + " 40`, or a change, e.g." + example + " +5`, not '" + text +
                         "'");
      parsed.value = static_cast<int>(*percent);
      break;
    }
    case ControlKind::Tone: {
      const auto level = Decimal(WithoutSuffix(split.number, "db"));
      if (!level)
        throw UsageError(std::string(name) + " takes decibels, e.g." + example + " 4.5`, " +
                         example.substr(1) + " =-3` or a change," + example + " +1.5dB`, not '" +
                         text + "'");
      parsed.level = *level;
      break;
    }
    case ControlKind::Boost: {
      const auto level = WholeNumber(WithoutSuffix(split.number, "db"));
      if (!level)
        throw UsageError(std::string(name) + " takes whole decibels, e.g." + example +
                         " 20` or a change," + example + " +10`, not '" + text + "'");
      parsed.value = static_cast<int>(*level);
      break;
    }
    case ControlKind::Switch: {
      const auto state = SwitchState(text);
      if (!state)
        throw UsageError(std::string(name) + " is a switch: type" + example + " on` or" + example +
                         " off`, not '" + text + "'");
      parsed.value = *state;
      break;
    }
  }
  return parsed;
}

std::string RangeText(const ControlInfo& control, const Reading& reading) {
  switch (control.kind) {
    case ControlKind::Percent:
      return "0 to 100%";
    case ControlKind::Tone:
    case ControlKind::Boost: {
      if (!reading.range) return "its range (which the card does not report)";
      std::string text = SignedDb(reading.range->min) + " to " + SignedDb(reading.range->max);
      if (reading.range->step > 0)
        text += " in steps of " +
                velto::description::FormatFloat(static_cast<float>(reading.range->step)) + " dB";
      return text;
    }
    case ControlKind::Switch:
      return "on or off";
  }
  return {};
}

Span SettableSpan(const ControlInfo& control, const Reading& reading) {
  if (control.kind == ControlKind::Percent) return {};
  if (!reading.range) return {-1e9, 1e9};
  return {reading.range->min, reading.range->max};
}

double ChangeUnit(const ControlInfo& control, const Reading& reading) {
  if (control.kind != ControlKind::Tone) return 1;
  return reading.range && reading.range->step > 0 ? reading.range->step : 0.5;
}

SetValue TargetValue(const ControlInfo& control, const SetValue& wanted, const Reading& current) {
  const ControlKind kind = control.kind;
  if (kind == ControlKind::Switch) return wanted;
  const bool level = kind == ControlKind::Tone;
  const double asked = level ? wanted.level : wanted.value;
  const double now = level ? current.level : current.value;
  const auto [lowest, highest] = SettableSpan(control, current);
  double target = wanted.relative ? now + asked : asked;
  if (wanted.relative) {
    target = std::fmin(std::fmax(target, lowest), highest);
  } else if (target < lowest || target > highest) {
    const std::string shown = level                        ? SignedDb(asked)
                              : kind == ControlKind::Boost ? std::to_string(wanted.value) + " dB"
                                                           : std::to_string(wanted.value) + "%";
    throw UsageError(std::string(control.name) + " takes " + RangeText(control, current) +
                     ", not " + shown);
  }
  SetValue absolute;
  absolute.level = target;
  absolute.value = static_cast<int>(std::lround(target));
  return absolute;
}

}  // namespace veltomix
