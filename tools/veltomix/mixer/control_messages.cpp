#include "mixer/control_messages.h"

#include "common/exit_status.h"
#include "platform/description/text.h"

namespace veltomix {

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
  const std::string option = RowOf(control.device).option;
  const std::string device = RowOf(control.device).word;
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
