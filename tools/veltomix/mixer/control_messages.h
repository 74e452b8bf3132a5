// How a control's reading and status read in messages and in JSON.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "mixer/mixer_controls.h"

namespace veltomix {

// Why a control could not be read or set, as a sentence that says what to
// type instead.
std::string StatusProblem(const ControlInfo& control, int status);

// The exit status for a control's StatusCode (kExit... in exit_status.h).
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
