// The microphone boost level as a slider in whole decibels.
#pragma once

#include "controls/control_rows.h"

namespace velto {

// Writes the level binding saved back to channel 0, cut to whole decibels.
void RestoreBoost(MixerState& state, const BoostRow& row);

}  // namespace velto
