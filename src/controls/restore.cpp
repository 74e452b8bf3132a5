#include "controls/restore.h"

#include "controls/boost_slider.h"
#include "controls/control_rows.h"
#include "controls/switch_controls.h"
#include "controls/tone_controls.h"
#include "controls/volume_controls.h"

namespace velto {

// Each step is skipped when no device is bound, its control is missing or
// binding could not read its value; a step that fails does not stop the
// later ones.
void RestoreSavedValues(MixerState& state) {
  RestoreVolume(state, kMasterVolume);
  RestoreSwitch(state, kMasterMute);
  RestoreVolume(state, kLinePlaybackVolume);
  RestoreSwitch(state, kLinePlaybackMute);
  RestoreVolume(state, kMicPlaybackVolume);
  RestoreSwitch(state, kMicPlaybackMute);
  RestoreSwitch(state, kLineAgc);
  RestoreSwitch(state, kMicBoostSwitch);
  RestoreTone(state, kBass);
  RestoreTone(state, kMidrange);
  RestoreTone(state, kTreble);
  RestoreVolume(state, kMicRecordVolume);
  RestoreVolume(state, kLineRecordVolume);
  RestoreBoost(state, kMicBoostLevel);
}

}  // namespace velto
