#include "mixer/mixer_view.h"

#include <cmath>
#include <sstream>

#include "common/exit_status.h"
#include "common/text.h"
#include "mixer/control_messages.h"
#include "mixer/mixer_controls.h"

namespace veltomix {

namespace {

constexpr int kBarWidth = 20;
constexpr std::size_t kTitleWidth = 12;
constexpr std::size_t kLabelWidth = 17;

class Palette {
 public:
  explicit Palette(bool color) : color_(color) {}
  std::string Bold(const std::string& text) const { return Paint("1", text); }
  std::string Green(const std::string& text) const { return Paint("32", text); }
  std::string Red(const std::string& text) const { return Paint("31", text); }
  std::string Yellow(const std::string& text) const { return Paint("33", text); }
  std::string Dim(const std::string& text) const { return Paint("2", text); }

 private:
  std::string Paint(const char* code, const std::string& text) const {
    if (!color_ || text.empty()) return text;
    return std::string("\x1b[") + code + "m" + text + "\x1b[0m";
  }
  bool color_;
};

std::string Bar(const Palette& palette, double fraction) {
  const long filled = std::lround(std::fmin(std::fmax(fraction, 0.0), 1.0) * kBarWidth);
  return "[" + palette.Green(std::string(static_cast<std::size_t>(filled), '#')) +
         palette.Dim(std::string(static_cast<std::size_t>(kBarWidth - filled), '-')) + "]";
}

// Where a level lies along its range, 0 to kBarWidth columns.
long Column(double level, const ValueRange& range) {
  const double fraction = (level - range.min) / (range.max - range.min);
  return std::lround(std::fmin(std::fmax(fraction, 0.0), 1.0) * kBarWidth);
}

// A tone control cuts or boosts: its bar grows from the 0 dB mark, '|', to
// the level, either way.
std::string ToneBar(const Palette& palette, double level, const ValueRange& range) {
  const long zero = Column(0, range);
  const long at = Column(level, range);
  std::string bar = "[";
  for (long column = 0; column < kBarWidth; ++column) {
    const bool filled = level < 0 ? column >= at && column < zero : column >= zero && column < at;
    if (filled) {
      bar += palette.Green("#");
    } else {
      bar += column == zero ? "|" : palette.Dim("-");
    }
  }
  return bar + "]";
}

// The bar of a reading, or blanks when it has no range to draw along.
std::string ValueBar(const Palette& palette, const ControlInfo& control, const Reading& reading) {
  const std::string none(kBarWidth + 2, ' ');
  switch (control.kind) {
    case ControlKind::Percent:
      return Bar(palette, reading.value / 100.0);
    case ControlKind::Tone:
      if (!reading.range) return none;
      if (reading.range->min < 0 && reading.range->max > 0)
        return ToneBar(palette, reading.level, *reading.range);
      return Bar(palette, Column(reading.level, *reading.range) / double(kBarWidth));
    case ControlKind::Boost:
      if (!reading.range) return none;
      return Bar(palette, Column(reading.value, *reading.range) / double(kBarWidth));
    case ControlKind::Switch:
      return none;
  }
  return none;
}

std::string MuteText(const Palette& palette, const Reading& reading) {
  if (!reading.muted) return {};
  return "  " + (*reading.muted ? palette.Red("muted") : "unmuted");
}

std::string ControlLine(const Palette& palette, const ControlInfo& control,
                        const Reading& reading) {
  std::string line = "  " + PadRight(control.name, kLabelWidth);
  // A volume that cannot be read may still have a mute that can.
  if (reading.status == 1)
    return line + palette.Yellow("not found") + MuteText(palette, reading) + "\n";
  if (reading.status != 0)
    return line + palette.Red("cannot be read") + MuteText(palette, reading) + "\n";
  if (control.kind == ControlKind::Switch)
    return line + (reading.value ? palette.Green("on") : palette.Dim("off")) + "\n";
  line += ValueBar(palette, control, reading);
  const std::string value = DescribeValue(control, reading);
  line += " " + std::string(value.size() < 7 ? 7 - value.size() : 0, ' ') + value;
  return line + MuteText(palette, reading) + "\n";
}

std::string DeviceSection(const Palette& palette, const DeviceView& view) {
  std::string section = palette.Bold(PadRight(DeviceTitle(view.device), kTitleWidth));
  if (view.name.empty()) return section + palette.Dim("not bound") + "\n";
  section += view.name + "\n";
  for (const auto& [control, reading] : view.controls)
    section += ControlLine(palette, *control, reading);
  return section;
}

std::string NameOf(BoundEndpoint device, const BoundNames& names,
                   const std::map<BoundEndpoint, std::string>& chosenNames) {
  if (!names.Of(device).empty()) return names.Of(device);
  const auto chosen = chosenNames.find(device);
  if (chosen != chosenNames.end()) return chosen->second;
  return VolumeOf(device).Read().status == 0 ? "(bound)" : "";
}

}  // namespace

std::vector<DeviceView> ReadMixer(const std::map<BoundEndpoint, std::string>& chosenNames) {
  const BoundNames names = ReadBoundNames();
  std::vector<DeviceView> mixer;
  for (BoundEndpoint device : {BoundEndpoint::Playback, BoundEndpoint::Microphone,
                               BoundEndpoint::LineIn, BoundEndpoint::Virtual}) {
    DeviceView view{device, NameOf(device, names, chosenNames), {}};
    for (const ControlInfo& control : Controls()) {
      if (!view.name.empty() && control.device == device)
        view.controls.emplace_back(&control, control.Read());
    }
    mixer.push_back(std::move(view));
  }
  return mixer;
}

std::string RenderShow(const std::vector<DeviceView>& mixer, bool color) {
  const Palette palette(color);
  std::ostringstream out;
  if (ShowExit(mixer) == kExitNothingBound)
    out << "Nothing is bound: `veltomix open --default show` binds the default devices.\n";
  for (const DeviceView& view : mixer) out << DeviceSection(palette, view);
  return out.str();
}

nlohmann::ordered_json ShowJson(const std::vector<DeviceView>& mixer) {
  nlohmann::ordered_json devices = nlohmann::ordered_json::array();
  for (const DeviceView& view : mixer) {
    nlohmann::ordered_json device{{"device", DeviceTitle(view.device)},
                                  {"name", view.name.empty() ? nlohmann::ordered_json(nullptr)
                                                             : nlohmann::ordered_json(view.name)},
                                  {"controls", nlohmann::ordered_json::array()}};
    for (const auto& [control, reading] : view.controls) {
      device["controls"].push_back(ReadingJson(*control, reading));
    }
    devices.push_back(std::move(device));
  }
  return {{"command", "show"}, {"devices", std::move(devices)}, {"exit", ShowExit(mixer)}};
}

int ShowExit(const std::vector<DeviceView>& mixer) {
  bool anyBound = false;
  for (const DeviceView& view : mixer) {
    anyBound = anyBound || !view.name.empty();
    for (const auto& [control, reading] : view.controls) {
      if (reading.status == 2) return kExitPlatform;
    }
  }
  return anyBound ? kExitOk : kExitNothingBound;
}

}  // namespace veltomix
