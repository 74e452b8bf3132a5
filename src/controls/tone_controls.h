// Bass, treble and midrange.
#pragma once

#include "controls/control_rows.h"

namespace velto {

// Writes the level binding saved back to every channel of the band.
void RestoreTone(MixerState& state, const ToneRow& band);

}  // namespace velto
