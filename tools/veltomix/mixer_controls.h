// The mixer's controls by plain names, read and written through the
// library's exports only.
#pragma once

#include <nlohmann/json.hpp>
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

// How messages and options name a bound endpoint.
struct EndpointWords {
  const char* role;    // "line in", as `open` reports a binding
  const char* option;  // "--line", the option of `open` that binds it
  const char* word;    // "line-in", as one word in hints
};
const EndpointWords& WordsFor(BoundEndpoint device);

struct ControlInfo;

const std::vector<ControlInfo>& Controls();
const ControlInfo* FindControl(const std::string& name);
// "master, line-monitor, ..." for messages; with `withMute`, only the
// controls that have a mute.
std::string ControlNames(bool withMute = false);
// " (did you mean master?)" for a misspelt control name, else "".
std::string DidYouMeanControl(const std::string& name);

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

// A value given to `set`, checked against the control's kind. A relative
// value is a change from the current one.
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
  bool hasMute;

  Reading Read() const;
  // Sets the value (and nothing else); returns the setter's status.
  int Write(const SetValue& value) const;
  // Mutes or unmutes; returns the setter's status.
  int WriteMute(bool mute) const;

  // Parses what `set` was given; throws UsageError saying what to type.
  SetValue Parse(const std::string& text) const;
  // The absolute value to write for `wanted`, given the current reading: a
  // relative change is applied and kept inside the range, an absolute value
  // outside the range is refused (UsageError naming the range).
  SetValue Target(const SetValue& wanted, const Reading& current) const;
  // The range `set` accepts, as text: "0 to 100%", "-12 to +12 dB".
  std::string RangeText(const Reading& reading) const;

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

// The exit status for a control's StatusCode (kExit... in commands.h).
int StatusExit(const ControlInfo& control, int status);

// The one-line value of a reading: "31%  unmuted", "+3 dB", "on".
std::string DescribeReading(const ControlInfo& control, const Reading& reading);
// The value alone, without the mute: "31%", "+3 dB", "on".
std::string DescribeValue(const ControlInfo& control, const Reading& reading);
// Decibels as the card holds them (a 32-bit float), signed: "+4.7 dB", "0 dB".
std::string SignedDb(double level);

// The reading under the text's keys: control, value, unit, muted; or the
// status when it could not be read.
nlohmann::ordered_json ReadingJson(const ControlInfo& control, const Reading& reading);
// "not found", "platform call failed", "no device bound".
const char* StatusWord(int status);

}  // namespace veltomix
