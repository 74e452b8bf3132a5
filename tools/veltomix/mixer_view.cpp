#include "mixer_view.h"

#include <cmath>
#include <sstream>

#include "mixer_controls.h"
#include "text.h"

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

// How far along its range the reading lies, when it has a range.
std::optional<double> Fraction(const ControlInfo& control, const Reading& reading) {
  switch (control.kind) {
    case ControlKind::Percent:
      return reading.value / 100.0;
    case ControlKind::Tone:
      if (!reading.range) return std::nullopt;
      return (reading.level - reading.range->first) /
             (reading.range->second - reading.range->first);
    case ControlKind::Boost:
      if (!reading.range) return std::nullopt;
      return (reading.value - reading.range->first) /
             (reading.range->second - reading.range->first);
    case ControlKind::Switch:
      return std::nullopt;
  }
  return std::nullopt;
}

std::string ControlLine(const Palette& palette, const ControlInfo& control) {
  const Reading reading = control.Read();
  std::string line = "  " + PadRight(control.name, kLabelWidth);
  if (reading.status == 1) return line + palette.Yellow("not found") + "\n";
  if (reading.status != 0) return line + palette.Red("cannot be read") + "\n";
  if (control.kind == ControlKind::Switch)
    return line + (reading.value ? palette.Green("on") : palette.Dim("off")) + "\n";
  const auto fraction = Fraction(control, reading);
  line += fraction ? Bar(palette, *fraction) : std::string(kBarWidth + 2, ' ');
  std::string value = DescribeReading(control, Reading{0, reading.value, reading.level, {}, {}});
  line += " " + std::string(value.size() < 7 ? 7 - value.size() : 0, ' ') + value;
  if (reading.muted) line += "  " + (*reading.muted ? palette.Red("muted") : "unmuted");
  return line + "\n";
}

std::string DeviceSection(const Palette& palette, BoundEndpoint device, const std::string& name) {
  std::string section = palette.Bold(PadRight(DeviceTitle(device), kTitleWidth));
  if (name.empty()) return section + palette.Dim("not bound") + "\n";
  section += name + "\n";
  for (const ControlInfo& control : Controls()) {
    if (control.device == device) section += ControlLine(palette, control);
  }
  return section;
}

}  // namespace

std::string RenderShow(bool color, const std::string& virtualName) {
  const Palette palette(color);
  std::ostringstream out;
  int status = 0;
  GetMasterVolume(&status);
  const bool deviceBound = status != 3;
  if (!deviceBound)
    out << "Nothing is bound: `veltomix open --default show` binds the default devices.\n";
  const BoundNames names = deviceBound ? ReadBoundNames() : BoundNames{};
  for (BoundEndpoint device :
       {BoundEndpoint::Playback, BoundEndpoint::Microphone, BoundEndpoint::LineIn})
    out << DeviceSection(palette, device, names.Of(device));
  int virtualStatus = 0;
  GetVirtualVolume(&virtualStatus);
  const bool virtualBound = virtualStatus != 1;
  out << DeviceSection(palette, BoundEndpoint::Virtual,
                       virtualBound ? (virtualName.empty() ? "(bound)" : virtualName) : "");
  return out.str();
}

}  // namespace veltomix
