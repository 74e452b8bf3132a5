// Putting every bound control back to the value binding read from it.
#pragma once

#include "core/mixer_state.h"

namespace velto {

// Writes each saved value that binding really read back to its control,
// unchanged, through the set calls of that control's own setter. Skips a
// control whose slot is empty or whose value was never read, and does
// nothing once no device is bound. Reports nothing.
void RestoreSavedValues(MixerState& state);

}  // namespace velto
