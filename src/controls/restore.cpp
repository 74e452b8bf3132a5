#include "controls/restore.h"

#include <cmath>
#include <cstdint>

#include "core/mixer_state.h"
#include "controls/control_access.h"
#include "controls/volume_controls.h"

namespace velto {

namespace {

// One restore step: runs only while a device is bound, the control is there
// and binding read its value.
template <class Control, class T, class Write>
void Restore(const Ref<Control>& slot, const Saved<T>& saved, Write write) {
  if (!Mixer().deviceBound || !slot || !saved.valid) return;
  write(*slot, saved.value);
}

auto VolumeLevel(VolumeControl control) {
  return [control](auto&, float levelDb) { WriteVolumeLevel(control, levelDb); };
}

// Tone levels go back to every channel, as their setters write them.
void WriteToneLevel(LevelControl& control, float levelDb) {
  if (auto channels = ReadChannelCount(control)) WriteChannels(control, *channels, levelDb);
}

void WriteMute(MuteControl& control, std::int32_t mute) { control.SetMute(mute); }

void WriteEnabled(SwitchControl& control, std::int32_t enabled) { control.SetEnabled(enabled); }

// The boost slider works in whole decibels.
void WriteBoostLevel(LevelControl& control, float levelDb) {
  control.SetLevel(0, std::trunc(levelDb));
}

}  // namespace

void RestoreSavedValues() {
  MixerState& s = Mixer();
  Restore(s.playbackEndpoint, s.savedPlaybackLevel, VolumeLevel(VolumeControl::Master));
  Restore(s.playbackEndpoint, s.savedPlaybackMute,
          [](EndpointVolume& endpoint, std::int32_t mute) { endpoint.SetMute(mute ? 1 : 0); });
  Restore(s.linePlaybackLevel, s.savedLinePlaybackLevel, VolumeLevel(VolumeControl::LinePlayback));
  Restore(s.linePlaybackMute, s.savedLinePlaybackMute, WriteMute);
  Restore(s.micPlaybackLevel, s.savedMicPlaybackLevel, VolumeLevel(VolumeControl::MicPlayback));
  Restore(s.micPlaybackMute, s.savedMicPlaybackMute, WriteMute);
  Restore(s.lineAgc, s.savedLineAgc, WriteEnabled);
  Restore(s.micBoostSwitch, s.savedMicBoostSwitch, WriteEnabled);
  Restore(s.bassControl, s.savedBass, WriteToneLevel);
  Restore(s.midrangeControl, s.savedMidrange, WriteToneLevel);
  Restore(s.trebleControl, s.savedTreble, WriteToneLevel);
  Restore(s.micEndpoint, s.savedMicRecordLevel, VolumeLevel(VolumeControl::MicRecord));
  Restore(s.lineEndpoint, s.savedLineRecordLevel, VolumeLevel(VolumeControl::LineRecord));
  Restore(s.micBoostLevel, s.savedMicBoostLevel, WriteBoostLevel);
}

}  // namespace velto
