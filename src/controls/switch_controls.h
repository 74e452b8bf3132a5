// The twelve two-state exports.
#pragma once

#include "controls/control_rows.h"

namespace velto {

// Writes the state binding saved back to the control with SetMute or
// SetEnabled, in the form the row asks for.
void RestoreSwitch(MixerState& state, const SwitchRow<EndpointVolume>& row);
void RestoreSwitch(MixerState& state, const SwitchRow<MuteControl>& row);
void RestoreSwitch(MixerState& state, const SwitchRow<SwitchControl>& row);

}  // namespace velto
