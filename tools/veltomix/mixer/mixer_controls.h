// The mixer's controls and bound endpoints by plain names, one row each,
// read and written through the export table only (so --library reaches them).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/control_table.h"
#include "core/held_objects.h"
#include "platform/platform.h"

namespace veltomix {

enum class ControlKind {
  Percent,  // a volume, whole percent 0..100
  Tone,     // bass, treble, midrange: decibels
  Boost,    // the microphone boost slider: whole decibels
  Switch,   // on or off
};

using velto::BoundEndpoint;

// Everything veltomix says about a bound endpoint.
struct EndpointRow {
  BoundEndpoint device;
  const char* title;   // "Line in", heading its section in `show`
  const char* role;    // "line in", as `open` reports a binding
  const char* option;  // "--line", the option of `open` that binds it
  const char* word;    // "line-in", as one word in hints
  const char* topic;   // "line", how `topology` names the bound endpoint
  velto::platform::DataFlow flow;
  const char* volume;    // the control that is its endpoint volume
  const char* nameSlot;  // GetDeviceNames' output naming it; null: none does
  const char* openHelp;  // what its option of `open` does
};
const std::array<EndpointRow, 4>& EndpointRows();
const EndpointRow& RowOf(BoundEndpoint device);
inline const char* DeviceTitle(BoundEndpoint device) { return RowOf(device).title; }

struct ValueRange {
  double min = 0;
  double max = 0;
  double step = 0;
};

// One reading of a control, as the exports report it.
struct Reading {
  int status = 0;    // the value's StatusCode: 0 ok, 1 not found, 2 failed, 3 no device bound
  int value = 0;     // percent, whole dB or switch state
  double level = 0;  // decibels of a tone control
  // Its range, for a tone control (GetEQRange) or the boost slider.
  std::optional<ValueRange> range;
  std::optional<int> muted;  // for a control with a mute, when it could be read
  int muteStatus = 3;        // the mute's own StatusCode
};

// A value to write: percent, whole dB or switch state in `value`, decibels
// of a tone control in `level`. A relative one is a change from the current.
struct SetValue {
  int value = 0;
  double level = 0;
  bool relative = false;
};

struct ControlInfo {
  const char* name;
  ControlKind kind;
  BoundEndpoint device;
  const char* description;
  // The exports that read and write it, by name; a control without a mute
  // has none for it.
  const char* get;
  const char* set;
  const char* getMute = nullptr;
  const char* setMute = nullptr;
  // Its row of the control table, and the row of its mute where that is a
  // part of its own (an endpoint's mute is its volume's object).
  velto::ControlId held;
  std::optional<velto::ControlId> heldMute;

  bool HasMute() const { return getMute != nullptr; }
  Reading Read() const;
  // Sets the value (and nothing else); returns the setter's status.
  int Write(const SetValue& value) const;
  // Mutes or unmutes; returns the setter's status.
  int WriteMute(bool mute) const;
};

const std::vector<ControlInfo>& Controls();
const ControlInfo* FindControl(const std::string& name);
// The control that is the endpoint's own volume.
const ControlInfo& VolumeOf(BoundEndpoint device);
// "master, line-monitor, ..." for messages; with `withMute`, only the
// controls that have a mute.
std::string ControlNames(bool withMute = false);
// " (did you mean master?)" for a misspelt control name, else "".
std::string DidYouMeanControl(const std::string& name);

// The names under which the record's held objects are shown, in the order a
// summary lists them: the control table's names.
const std::vector<std::string>& HeldLabels();

// A control the mixer holds: its object's identity and its label from
// HeldLabels. Only compared, never called.
struct HeldControl {
  const void* object;
  std::string label;
};
// The controls the linked core holds right now, in HeldLabels' order.
std::vector<HeldControl> HeldByMixer();

// The names GetDeviceNames reports for the bound devices, as UTF-8 (each
// byte a Latin-1 character); empty for a device not bound.
struct BoundNames {
  std::array<std::string, 4> names;
  const std::string& Of(BoundEndpoint device) const {
    return names[static_cast<std::size_t>(device)];
  }
};
BoundNames ReadBoundNames();

}  // namespace veltomix
