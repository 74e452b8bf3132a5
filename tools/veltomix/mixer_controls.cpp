#include "mixer_controls.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "call_output.h"
#include "call_script.h"
#include "exit_status.h"
#include "platform/description/text.h"
#include "text.h"

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

std::string ReadName(char* buffer) { return BytesAsCodePoints(buffer); }

ControlInfo Percent(const char* name, BoundEndpoint device, const char* description,
                    int(VELTO_CALL* get)(int*), int(VELTO_CALL* set)(int, int*),
                    int(VELTO_CALL* getMute)(int*) = nullptr,
                    int(VELTO_CALL* setMute)(int, int*) = nullptr) {
  return {name,
          ControlKind::Percent,
          device,
          description,
          getMute != nullptr,
          get,
          set,
          nullptr,
          nullptr,
          getMute,
          setMute};
}

ControlInfo Tone(const char* name, const char* description, int(VELTO_CALL* get)(double*, int*),
                 int(VELTO_CALL* set)(double, int*)) {
  return {name,
          ControlKind::Tone,
          BoundEndpoint::Playback,
          description,
          false,
          nullptr,
          nullptr,
          get,
          set,
          nullptr,
          nullptr};
}

ControlInfo Switch(const char* name, BoundEndpoint device, const char* description,
                   int(VELTO_CALL* get)(int*), int(VELTO_CALL* set)(int, int*)) {
  return {
      name,   ControlKind::Switch, device, description, false, get, set, nullptr, nullptr, nullptr,
      nullptr};
}

}  // namespace

const EndpointWords& WordsFor(BoundEndpoint device) {
  static const EndpointWords kWords[] = {
      {.role = "playback", .option = "--playback", .word = "playback"},
      {.role = "microphone", .option = "--mic", .word = "microphone"},
      {.role = "line in", .option = "--line", .word = "line-in"},
      {.role = "virtual", .option = "--virtual", .word = "virtual"},
  };
  return kWords[static_cast<int>(device)];
}

const std::vector<ControlInfo>& Controls() {
  static const std::vector<ControlInfo> table = {
      Percent("master", BoundEndpoint::Playback,
              "the playback endpoint's volume (percent) and mute", GetMasterVolume, SetMasterVolume,
              GetMasterMute, SetMasterMute),
      Percent("line-monitor", BoundEndpoint::Playback,
              "the line input heard through the speakers (percent) and its mute", GetLinePlayBack,
              SetLinePlayBack, GetLinePlayBackMute, SetLinePlayBackMute),
      Percent("mic-monitor", BoundEndpoint::Playback,
              "the microphone heard through the speakers (percent) and its mute", GetMicPlayBack,
              SetMicPlayBack, GetMicPlayBackMute, SetMicPlayBackMute),
      Tone("bass", "bass tone control (dB)", GetBass, SetBass),
      Tone("treble", "treble tone control (dB)", GetTreble, SetTreble),
      Tone("midrange", "midrange tone control (dB)", GetMidRange, SetMidRange),
      Percent("mic-record", BoundEndpoint::Microphone,
              "the microphone's recording volume (percent)", GetMicRecordVolume,
              SetMicRecordVolume),
      Switch("mic-boost", BoundEndpoint::Microphone, "the microphone boost switch (on/off)",
             GetMicBoost, SetMicBoost),
      ControlInfo{"mic-boost-level", ControlKind::Boost, BoundEndpoint::Microphone,
                  "the microphone boost slider (whole dB)", false, GetMicSliderBoost,
                  SetMicSliderBoost, nullptr, nullptr, nullptr, nullptr},
      Percent("line-record", BoundEndpoint::LineIn, "the line input's recording volume (percent)",
              GetLineRecordVolume, SetLineRecordVolume),
      Switch("line-agc", BoundEndpoint::LineIn, "the line input's automatic gain control (on/off)",
             GetNoMonitor, SetNoMonitor),
      Percent("virtual", BoundEndpoint::Virtual, "the virtual endpoint's volume (percent) and mute",
              GetVirtualVolume, SetVirtualVolume, GetVirtualMute, SetVirtualMute),
  };
  return table;
}

const ControlInfo* FindControl(const std::string& name) {
  for (const ControlInfo& control : Controls()) {
    if (name == control.name) return &control;
  }
  return nullptr;
}

std::string ControlNames(bool withMute) {
  std::string names;
  for (const ControlInfo& control : Controls()) {
    if (!withMute || control.hasMute)
      names += (names.empty() ? "" : ", ") + std::string(control.name);
  }
  return names;
}

std::string DidYouMeanControl(const std::string& name) {
  std::vector<std::string> names;
  for (const ControlInfo& control : Controls()) names.emplace_back(control.name);
  const std::string nearest = Nearest(name, names);
  return nearest.empty() ? "" : " (did you mean " + nearest + "?)";
}

const char* DeviceTitle(BoundEndpoint device) {
  switch (device) {
    case BoundEndpoint::Playback:
      return "Playback";
    case BoundEndpoint::Microphone:
      return "Microphone";
    case BoundEndpoint::LineIn:
      return "Line in";
    case BoundEndpoint::Virtual:
      return "Virtual";
  }
  return "";
}

Reading ControlInfo::Read() const {
  Reading reading;
  switch (kind) {
    case ControlKind::Percent:
    case ControlKind::Switch:
      reading.value = getInt(&reading.status);
      break;
    case ControlKind::Tone: {
      getLevel(&reading.level, &reading.status);
      double min = 0, max = 0, step = 0;
      if (GetEQRange(&min, &max, &step) == 0 && max > min)
        reading.range = ValueRange{min, max, step};
      break;
    }
    case ControlKind::Boost: {
      reading.value = getInt(&reading.status);
      int status = 0, min = 0, max = 0, step = 0;
      if (GetMicSliderDetails(&status, &min, &max, &step) == 0 && max > min)
        reading.range = ValueRange{static_cast<double>(min), static_cast<double>(max),
                                   static_cast<double>(step)};
      break;
    }
  }
  // The mute is read even when the volume cannot be: on a platform where
  // one works and the other does not, each reports for itself.
  if (hasMute) {
    const int muted = getMute(&reading.muteStatus);
    if (reading.muteStatus == 0) reading.muted = muted;
  }
  return reading;
}

int ControlInfo::Write(const SetValue& value) const {
  int status = 0;
  if (kind == ControlKind::Tone) {
    setLevel(value.level, &status);
  } else {
    setInt(value.value, &status);
  }
  return status;
}

int ControlInfo::WriteMute(bool mute) const {
  int status = 0;
  setMute(mute ? 1 : 0, &status);
  return status;
}

namespace {

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

SetValue ControlInfo::Parse(const std::string& text) const {
  const std::string example = std::string(" `set ") + name;
  const Signed split = SplitSign(text);
  SetValue parsed;
  parsed.relative = split.relative;
  switch (kind) {
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

std::string ControlInfo::RangeText(const Reading& reading) const {
  switch (kind) {
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

SetValue ControlInfo::Target(const SetValue& wanted, const Reading& current) const {
  if (kind == ControlKind::Switch) return wanted;
  const bool level = kind == ControlKind::Tone;
  const double asked = level ? wanted.level : wanted.value;
  const double now = level ? current.level : current.value;
  double lowest = 0, highest = 100;
  if (kind != ControlKind::Percent) {
    lowest = current.range ? current.range->min : -1e9;
    highest = current.range ? current.range->max : 1e9;
  }
  double target = wanted.relative ? now + asked : asked;
  if (wanted.relative) {
    target = std::fmin(std::fmax(target, lowest), highest);
  } else if (target < lowest || target > highest) {
    const std::string shown = level                        ? SignedDb(asked)
                              : kind == ControlKind::Boost ? std::to_string(wanted.value) + " dB"
                                                           : std::to_string(wanted.value) + "%";
    throw UsageError(std::string(name) + " takes " + RangeText(current) + ", not " + shown);
  }
  SetValue absolute;
  absolute.level = target;
  absolute.value = static_cast<int>(std::lround(target));
  return absolute;
}

const std::string& BoundNames::Of(BoundEndpoint device) const {
  static const std::string none;
  switch (device) {
    case BoundEndpoint::Playback:
      return playback;
    case BoundEndpoint::Microphone:
      return mic;
    case BoundEndpoint::LineIn:
      return line;
    case BoundEndpoint::Virtual:
      return none;
  }
  return none;
}

BoundNames ReadBoundNames() {
  // GetDeviceNames leaves the buffer of a device never bound untouched.
  char playback[512] = {}, line[512] = {}, mic[512] = {};
  GetDeviceNames(playback, line, mic);
  return {ReadName(playback), ReadName(line), ReadName(mic)};
}

std::string StatusProblem(const ControlInfo& control, int status) {
  const std::string name = control.name;
  switch (status) {
    case 3:
      return "no device is bound: open one first, e.g. `veltomix open --default get " + name + "`";
    case 2:
      return name + ": the platform call failed";
    case 1:
      break;
    default:
      return name + ": status " + std::to_string(status);
  }
  const std::string option = WordsFor(control.device).option;
  const std::string device = WordsFor(control.device).word;
  const std::string bound = ReadBoundNames().Of(control.device);
  if (bound.empty())
    return name + ": no " + device + " endpoint is bound; bind one with `open " + option +
           " ENDPOINT` (`veltomix list` shows them)";
  return name + ": not found on the bound " + device + " endpoint, " + bound +
         " (`veltomix topology` shows what binding found)";
}

int StatusExit(const ControlInfo& control, int status) {
  switch (status) {
    case 0:
      return kExitOk;
    case 3:
      return kExitNothingBound;
    case 1:
      return ReadBoundNames().Of(control.device).empty() ? kExitNothingBound : kExitControlMissing;
    default:
      return kExitPlatform;
  }
}

std::string SignedDb(double level) {
  // The card holds a 32-bit float: its shortest text, not the double's.
  std::string text = velto::description::FormatFloat(static_cast<float>(level));
  if (level > 0) text = "+" + text;
  if (text == "-0") text = "0";
  return text + " dB";
}

std::string DescribeValue(const ControlInfo& control, const Reading& reading) {
  switch (control.kind) {
    case ControlKind::Percent:
      return std::to_string(reading.value) + "%";
    case ControlKind::Tone:
      return SignedDb(reading.level);
    case ControlKind::Boost:
      return std::to_string(reading.value) + " dB";
    case ControlKind::Switch:
      return reading.value ? "on" : "off";
  }
  return {};
}

std::string DescribeReading(const ControlInfo& control, const Reading& reading) {
  std::string text = DescribeValue(control, reading);
  if (reading.muted) text += *reading.muted ? "  muted" : "  unmuted";
  return text;
}

const char* StatusWord(int status) {
  switch (status) {
    case 0:
      return "ok";
    case 1:
      return "not found";
    case 3:
      return "no device bound";
    default:
      return "platform call failed";
  }
}

nlohmann::ordered_json ReadingJson(const ControlInfo& control, const Reading& reading) {
  nlohmann::ordered_json out{{"control", control.name}};
  if (reading.status != 0) {
    out["status"] = StatusWord(reading.status);
    if (reading.muted) out["muted"] = *reading.muted != 0;
    return out;
  }
  switch (control.kind) {
    case ControlKind::Percent:
      out["value"] = reading.value;
      out["unit"] = "%";
      break;
    case ControlKind::Tone:
      out["value"] = std::stod(velto::description::FormatFloat(static_cast<float>(reading.level)));
      out["unit"] = "dB";
      break;
    case ControlKind::Boost:
      out["value"] = reading.value;
      out["unit"] = "dB";
      break;
    case ControlKind::Switch:
      out["value"] = reading.value ? "on" : "off";
      break;
  }
  if (reading.muted) out["muted"] = *reading.muted != 0;
  return out;
}

}  // namespace veltomix
