#include "mixer_controls.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "call_output.h"
#include "call_script.h"

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

std::string SignedDb(double level) {
  std::string text = ShortestDouble(level);
  if (level > 0) text = "+" + text;
  if (text == "-0") text = "0";
  return text + " dB";
}

const char* OpenOption(BoundEndpoint device) {
  switch (device) {
    case BoundEndpoint::Playback:
      return "--playback";
    case BoundEndpoint::Microphone:
      return "--mic";
    case BoundEndpoint::LineIn:
      return "--line";
    case BoundEndpoint::Virtual:
      return "--virtual";
  }
  return "";
}

const char* DeviceWord(BoundEndpoint device) {
  switch (device) {
    case BoundEndpoint::Playback:
      return "playback";
    case BoundEndpoint::Microphone:
      return "microphone";
    case BoundEndpoint::LineIn:
      return "line-in";
    case BoundEndpoint::Virtual:
      return "virtual";
  }
  return "";
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

std::string ControlNames() {
  std::string names;
  for (const ControlInfo& control : Controls())
    names += (names.empty() ? "" : ", ") + std::string(control.name);
  return names;
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
      if (GetEQRange(&min, &max, &step) == 0 && max > min) reading.range = {min, max};
      break;
    }
    case ControlKind::Boost: {
      reading.value = getInt(&reading.status);
      int status = 0, min = 0, max = 0, step = 0;
      if (GetMicSliderDetails(&status, &min, &max, &step) == 0 && max > min)
        reading.range = {min, max};
      break;
    }
  }
  if (hasMute && reading.status == 0) {
    int status = 0;
    const int muted = getMute(&status);
    if (status == 0) reading.muted = muted;
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

SetValue ControlInfo::Parse(const std::string& text) const {
  const std::string example = std::string(" `set ") + name;
  SetValue parsed;
  switch (kind) {
    case ControlKind::Percent: {
      const auto percent = WholeNumber(WithoutSuffix(text, "%"));
      if (!percent || *percent < 0 || *percent > 100)
        throw UsageError(std::string(name) + " takes a whole percentage from 0 to 100, e.g." +
                         example + " 40`, not '" + text + "'");
      parsed.value = static_cast<int>(*percent);
      break;
    }
    case ControlKind::Tone: {
      const auto level = Decimal(WithoutSuffix(text, "db"));
      if (!level)
        throw UsageError(std::string(name) + " takes decibels, e.g." + example + " -3` or" +
                         example + " 4.5`, not '" + text + "'");
      parsed.level = *level;
      break;
    }
    case ControlKind::Boost: {
      const auto level = WholeNumber(WithoutSuffix(text, "db"));
      if (!level)
        throw UsageError(std::string(name) + " takes whole decibels, e.g." + example +
                         " 20`, not '" + text + "'");
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
  const std::string option = OpenOption(control.device);
  const std::string device = DeviceWord(control.device);
  const std::string bound = ReadBoundNames().Of(control.device);
  if (bound.empty())
    return name + ": no " + device + " endpoint is bound; bind one with `open " + option +
           " ID` (`veltomix list` shows the ids)";
  return name + ": not found on the bound " + device + " endpoint, " + bound +
         " (`veltomix topology` shows what binding found)";
}

std::string DescribeReading(const ControlInfo& control, const Reading& reading) {
  switch (control.kind) {
    case ControlKind::Percent: {
      std::string text = std::to_string(reading.value) + "%";
      if (reading.muted) text += *reading.muted ? "  muted" : "  unmuted";
      return text;
    }
    case ControlKind::Tone:
      return SignedDb(reading.level);
    case ControlKind::Boost:
      return std::to_string(reading.value) + " dB";
    case ControlKind::Switch:
      return reading.value ? "on" : "off";
  }
  return {};
}

}  // namespace veltomix
