// The six percentage volume controls.
#pragma once

#include "controls/control_rows.h"

namespace velto {

// Writes the level binding saved back to the control, unchanged, with
// exactly the set calls its setter makes (every channel, or the master
// level), skipping the percentage conversion.
void RestoreVolume(MixerState& state, const VolumeRow<EndpointVolume>& row);
void RestoreVolume(MixerState& state, const VolumeRow<LevelControl>& row);

}  // namespace velto
