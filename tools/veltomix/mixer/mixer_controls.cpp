#include "mixer/mixer_controls.h"

#include <algorithm>

#include "calls/call_output.h"
#include "calls/export_table.h"
#include "common/text.h"

namespace veltomix {

namespace p = velto::platform;
using velto::HeldSlot;

const std::array<EndpointRow, 4>& EndpointRows() {
  static const std::array<EndpointRow, 4> rows = {{
      {.device = BoundEndpoint::Playback,
       .title = "Playback",
       .role = "playback",
       .option = "--playback",
       .word = "playback",
       .topic = "playback",
       .flow = p::DataFlow::Render,
       .volume = "master",
       .nameSlot = "playback",
       .openHelp = "bind an active playback endpoint"},
      {.device = BoundEndpoint::Microphone,
       .title = "Microphone",
       .role = "microphone",
       .option = "--mic",
       .word = "microphone",
       .topic = "mic",
       .flow = p::DataFlow::Capture,
       .volume = "mic-record",
       .nameSlot = "mic",
       .openHelp = "bind a recording endpoint as the microphone"},
      {.device = BoundEndpoint::LineIn,
       .title = "Line in",
       .role = "line in",
       .option = "--line",
       .word = "line-in",
       .topic = "line",
       .flow = p::DataFlow::Capture,
       .volume = "line-record",
       .nameSlot = "line",
       .openHelp = "bind a recording endpoint as the line input"},
      {.device = BoundEndpoint::Virtual,
       .title = "Virtual",
       .role = "virtual",
       .option = "--virtual",
       .word = "virtual",
       .topic = "virtual",
       .flow = p::DataFlow::Render,
       .volume = "virtual",
       .nameSlot = nullptr,
       .openHelp = "bind a playback endpoint as the virtual one"},
  }};
  return rows;
}

const EndpointRow& RowOf(BoundEndpoint device) {
  return EndpointRows()[static_cast<std::size_t>(device)];
}

const std::vector<ControlInfo>& Controls() {
  static const std::vector<ControlInfo> table = {
      {.name = "master",
       .kind = ControlKind::Percent,
       .device = BoundEndpoint::Playback,
       .description = "the playback endpoint's volume (percent) and mute",
       .get = "GetMasterVolume",
       .set = "SetMasterVolume",
       .getMute = "GetMasterMute",
       .setMute = "SetMasterMute",
       .held = HeldSlot::PlaybackEndpoint},
      {.name = "line-monitor",
       .kind = ControlKind::Percent,
       .device = BoundEndpoint::Playback,
       .description = "the line input heard through the speakers (percent) and its mute",
       .get = "GetLinePlayBack",
       .set = "SetLinePlayBack",
       .getMute = "GetLinePlayBackMute",
       .setMute = "SetLinePlayBackMute",
       .held = HeldSlot::LinePlaybackLevel,
       .heldMute = HeldSlot::LinePlaybackMute},
      {.name = "mic-monitor",
       .kind = ControlKind::Percent,
       .device = BoundEndpoint::Playback,
       .description = "the microphone heard through the speakers (percent) and its mute",
       .get = "GetMicPlayBack",
       .set = "SetMicPlayBack",
       .getMute = "GetMicPlayBackMute",
       .setMute = "SetMicPlayBackMute",
       .held = HeldSlot::MicPlaybackLevel,
       .heldMute = HeldSlot::MicPlaybackMute},
      {.name = "bass",
       .kind = ControlKind::Tone,
       .device = BoundEndpoint::Playback,
       .description = "bass tone control (dB)",
       .get = "GetBass",
       .set = "SetBass",
       .held = HeldSlot::Bass},
      {.name = "treble",
       .kind = ControlKind::Tone,
       .device = BoundEndpoint::Playback,
       .description = "treble tone control (dB)",
       .get = "GetTreble",
       .set = "SetTreble",
       .held = HeldSlot::Treble},
      {.name = "midrange",
       .kind = ControlKind::Tone,
       .device = BoundEndpoint::Playback,
       .description = "midrange tone control (dB)",
       .get = "GetMidRange",
       .set = "SetMidRange",
       .held = HeldSlot::Midrange},
      {.name = "mic-record",
       .kind = ControlKind::Percent,
       .device = BoundEndpoint::Microphone,
       .description = "the microphone's recording volume (percent)",
       .get = "GetMicRecordVolume",
       .set = "SetMicRecordVolume",
       .held = HeldSlot::MicEndpoint},
      {.name = "mic-boost",
       .kind = ControlKind::Switch,
       .device = BoundEndpoint::Microphone,
       .description = "the microphone boost switch (on/off)",
       .get = "GetMicBoost",
       .set = "SetMicBoost",
       .held = HeldSlot::MicBoostSwitch},
      {.name = "mic-boost-level",
       .kind = ControlKind::Boost,
       .device = BoundEndpoint::Microphone,
       .description = "the microphone boost slider (whole dB)",
       .get = "GetMicSliderBoost",
       .set = "SetMicSliderBoost",
       .held = HeldSlot::MicBoostLevel},
      {.name = "line-record",
       .kind = ControlKind::Percent,
       .device = BoundEndpoint::LineIn,
       .description = "the line input's recording volume (percent)",
       .get = "GetLineRecordVolume",
       .set = "SetLineRecordVolume",
       .held = HeldSlot::LineEndpoint},
      {.name = "line-agc",
       .kind = ControlKind::Switch,
       .device = BoundEndpoint::LineIn,
       .description = "the line input's automatic gain control (on/off)",
       .get = "GetNoMonitor",
       .set = "SetNoMonitor",
       .held = HeldSlot::LineAgc},
      {.name = "virtual",
       .kind = ControlKind::Percent,
       .device = BoundEndpoint::Virtual,
       .description = "the virtual endpoint's volume (percent) and mute",
       .get = "GetVirtualVolume",
       .set = "SetVirtualVolume",
       .getMute = "GetVirtualMute",
       .setMute = "SetVirtualMute",
       .held = HeldSlot::VirtualEndpoint},
  };
  return table;
}

const ControlInfo* FindControl(const std::string& name) {
  for (const ControlInfo& control : Controls()) {
    if (name == control.name) return &control;
  }
  return nullptr;
}

const ControlInfo& VolumeOf(BoundEndpoint device) { return *FindControl(RowOf(device).volume); }

std::string ControlNames(bool withMute) {
  std::string names;
  for (const ControlInfo& control : Controls()) {
    if (!withMute || control.HasMute())
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

namespace {

// A status the export did not write reads as `unwritten`.
int Status(const CallResult& call, int unwritten = 0) {
  return static_cast<int>(call.Int("status", unwritten));
}

std::optional<ValueRange> RangeOf(const CallResult& call) {
  const ValueRange range{call.Real("min", call.Int("min")), call.Real("max", call.Int("max")),
                         call.Real("step", call.Int("step"))};
  if (range.max > range.min) return range;
  return std::nullopt;
}

}  // namespace

Reading ControlInfo::Read() const {
  Reading reading;
  const CallResult got = CallExport(get);
  reading.status = Status(got);
  switch (kind) {
    case ControlKind::Percent:
    case ControlKind::Switch:
      reading.value = got.result.value_or(0);
      break;
    case ControlKind::Tone: {
      reading.level = got.Real("level");
      const CallResult range = CallExport("GetEQRange");
      if (range.result == 0) reading.range = RangeOf(range);
      break;
    }
    case ControlKind::Boost: {
      reading.value = got.result.value_or(0);
      const CallResult details = CallExport("GetMicSliderDetails");
      if (details.result == 0) reading.range = RangeOf(details);
      break;
    }
  }
  // The mute is read even when the volume cannot be: on a platform where
  // one works and the other does not, each reports for itself.
  if (HasMute()) {
    const CallResult mute = CallExport(getMute);
    reading.muteStatus = Status(mute, reading.muteStatus);
    if (reading.muteStatus == 0) reading.muted = mute.result.value_or(0);
  }
  return reading;
}

int ControlInfo::Write(const SetValue& value) const {
  const Argument argument =
      kind == ControlKind::Tone ? Argument(value.level) : Argument(std::int32_t{value.value});
  return Status(CallExport(set, {argument}));
}

int ControlInfo::WriteMute(bool mute) const {
  return Status(CallExport(setMute, {std::int32_t{mute ? 1 : 0}}));
}

const std::vector<std::string>& HeldLabels() {
  static const std::vector<std::string> labels = [] {
    std::vector<std::string> all;
    for (const ControlInfo& control : Controls()) {
      all.emplace_back(control.name);
      if (control.heldMute) all.push_back(std::string(control.name) + " mute");
    }
    return all;
  }();
  return labels;
}

namespace {

std::string LabelOf(HeldSlot slot) {
  for (const ControlInfo& control : Controls()) {
    if (control.held == slot) return control.name;
    if (control.heldMute == slot) return std::string(control.name) + " mute";
  }
  return {};
}

std::size_t LabelOrder(const std::string& label) {
  const auto& labels = HeldLabels();
  return static_cast<std::size_t>(std::find(labels.begin(), labels.end(), label) - labels.begin());
}

}  // namespace

std::vector<HeldControl> HeldByMixer() {
  std::vector<HeldControl> held;
  for (const velto::HeldObject& object : velto::HeldObjects())
    held.push_back({object.identity, LabelOf(object.slot)});
  std::stable_sort(held.begin(), held.end(), [](const HeldControl& a, const HeldControl& b) {
    return LabelOrder(a.label) < LabelOrder(b.label);
  });
  return held;
}

BoundNames ReadBoundNames() {
  // GetDeviceNames leaves the buffer of a device never bound untouched.
  const CallResult call = CallExport("GetDeviceNames");
  BoundNames bound;
  for (const EndpointRow& row : EndpointRows()) {
    if (row.nameSlot)
      bound.names[static_cast<std::size_t>(row.device)] =
          BytesAsCodePoints(call.Text(row.nameSlot));
  }
  return bound;
}

}  // namespace veltomix
