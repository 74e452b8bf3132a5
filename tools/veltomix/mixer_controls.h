// The mixer's controls by plain names, read and written through the
// library's exports only.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "veltosound.h"

namespace veltomix {

enum class ControlKind {
  Percent,  // a volume, whole percent 0..100
  Tone,     // bass, treble, midrange: decibels
  Boost,    // the microphone boost slider: whole decibels
  Switch,   // on or off
};

enum class BoundEndpoint { Playback, Microphone, LineIn, Virtual };

struct ControlInfo;

const std::vector<ControlInfo>& Controls();
const ControlInfo* FindControl(const std::string& name);
// "master, line-monitor, ..." for messages.
std::string ControlNames();

// One reading of a control, as the exports report it.
struct Reading {
  int status = 0;    // the value's StatusCode: 0 ok, 1 not found, 2 failed, 3 no device bound
  int value = 0;     // percent, whole dB or switch state
  double level = 0;  // decibels of a tone control
  // Its range, for a tone control (GetEQRange) or the boost slider.
  std::optional<std::pair<double, double>> range;
  std::optional<int> muted;  // for a control with a mute, when it could be read
};

// A value given to `set`, checked against the control's kind.
struct SetValue {
  int value = 0;
  double level = 0;
};

struct ControlInfo {
  const char* name;
  ControlKind kind;
  BoundEndpoint device;
  const char* description;
  bool hasMute;

  Reading Read() const;
  // Sets the value (and nothing else); returns the setter's status.
  int Write(const SetValue& value) const;
  // Mutes or unmutes; returns the setter's status.
  int WriteMute(bool mute) const;

  // Parses what `set` was given; throws UsageError saying what to type.
  SetValue Parse(const std::string& text) const;

  // Export pointers, one family per kind (unused ones stay null).
  int(VELTO_CALL* getInt)(int*);
  int(VELTO_CALL* setInt)(int, int*);
  int(VELTO_CALL* getLevel)(double*, int*);
  int(VELTO_CALL* setLevel)(double, int*);
  int(VELTO_CALL* getMute)(int*);
  int(VELTO_CALL* setMute)(int, int*);
};

const char* DeviceTitle(BoundEndpoint device);  // "Playback", "Microphone", ...

// The names GetDeviceNames reports for the bound devices, as UTF-8 (each
// byte a Latin-1 character); empty for a device not bound.
struct BoundNames {
  std::string playback;
  std::string line;
  std::string mic;
  const std::string& Of(BoundEndpoint device) const;
};
BoundNames ReadBoundNames();

// Why a control could not be read or set, as a sentence that says what to
// type instead.
std::string StatusProblem(const ControlInfo& control, int status);

// The one-line value of a reading: "31%  unmuted", "+3 dB", "on".
std::string DescribeReading(const ControlInfo& control, const Reading& reading);

}  // namespace veltomix
