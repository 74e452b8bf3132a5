#include "mixer/mixer_controls.h"

#include "calls/call_output.h"
#include "calls/export_table.h"
#include "common/text.h"

namespace veltomix {

namespace p = velto::platform;

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

namespace {

ControlKind KindOf(const velto::ControlRow& row) {
  switch (row.level.unit) {
    case velto::LevelUnit::Percent:
      return ControlKind::Percent;
    case velto::LevelUnit::Decibels:
      return ControlKind::Tone;
    case velto::LevelUnit::WholeDecibels:
      return ControlKind::Boost;
    case velto::LevelUnit::None:
      break;
  }
  return ControlKind::Switch;
}

// A control as veltomix shows it: its row, with the row of its mute where
// that is a part of its own.
ControlInfo InfoOf(const velto::ControlRow& row) {
  const bool level = row.level.unit != velto::LevelUnit::None;
  ControlInfo info{.name = row.name,
                   .kind = KindOf(row),
                   .device = row.endpoint,
                   .description = row.description,
                   .get = level ? row.level.get : row.state.get,
                   .set = level ? row.level.set : row.state.set,
                   .held = row.id};
  if (level && row.state.get) {
    info.getMute = row.state.get;
    info.setMute = row.state.set;
  }
  for (const velto::ControlRow& mute : velto::kControls) {
    if (mute.muteOf != row.id) continue;
    info.getMute = mute.state.get;
    info.setMute = mute.state.set;
    info.heldMute = mute.id;
  }
  return info;
}

}  // namespace

const std::vector<ControlInfo>& Controls() {
  static const std::vector<ControlInfo> table = [] {
    std::vector<ControlInfo> controls;
    for (const velto::ControlRow& row : velto::kControls) {
      if (row.muteOf == velto::ControlId::None) controls.push_back(InfoOf(row));
    }
    return controls;
  }();
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
    for (const velto::ControlRow& row : velto::kControls) all.emplace_back(row.name);
    return all;
  }();
  return labels;
}

std::vector<HeldControl> HeldByMixer() {
  std::vector<HeldControl> held;
  for (const velto::HeldObject& object : velto::HeldObjects())
    held.push_back({object.identity, velto::RowOf(object.control).name});
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
