// What `set` accepts for a control: parsing the value typed, and turning a
// change or an absolute value into the value to write.
#pragma once

#include <string>

#include "mixer/mixer_controls.h"

namespace veltomix {

// Parses what `set` was given; throws UsageError saying what to type.
SetValue ParseValue(const ControlInfo& control, const std::string& text);

// The absolute value to write for `wanted`, given the current reading: a
// relative change is applied and kept inside the range, an absolute value
// outside the range is refused (UsageError naming the range).
SetValue TargetValue(const ControlInfo& control, const SetValue& wanted, const Reading& current);

// The values `set` can write, from the current reading: 0..100 for a volume,
// the reported range otherwise (unbounded when it could not be read).
struct Span {
  double lowest = 0;
  double highest = 100;
};
Span SettableSpan(const ControlInfo& control, const Reading& reading);

// The change a relative `set` goes on by when the control did not move as far
// as asked: 1 % or 1 dB, the range's step for a tone control.
double ChangeUnit(const ControlInfo& control, const Reading& reading);

// The range `set` accepts, as text: "0 to 100%", "-12 to +12 dB".
std::string RangeText(const ControlInfo& control, const Reading& reading);

}  // namespace veltomix
