#include "core/mixer_state.h"

#include <cstring>

namespace velto {

void ResetMixerState() { Mixer() = MixerState{}; }

void ReleaseBoundControls(MixerState& state) {
  state.playbackEndpoint.Reset();
  state.micEndpoint.Reset();
  state.lineEndpoint.Reset();
  state.linePlaybackLevel.Reset();
  state.linePlaybackMute.Reset();
  state.micPlaybackLevel.Reset();
  state.micPlaybackMute.Reset();
  state.micBoostSwitch.Reset();
  state.lineAgc.Reset();
  state.bassControl.Reset();
  state.trebleControl.Reset();
  state.midrangeControl.Reset();
  state.micBoostLevel.Reset();
}

void CopyToHostBuffer(char* buffer, const char* text) {
  if (!buffer) return;
  const std::size_t length = strnlen(text, kNameBufferSize - 1);
  std::memcpy(buffer, text, length);
  buffer[length] = '\0';
}

void RefillDeviceName(MixerState& state, NameBuffer& field) {
  field.reset();
  if (!state.lastFoundName) return;
  field = std::make_unique<std::array<char, kNameBufferSize>>();
  CopyToHostBuffer(field->data(), state.lastFoundName->c_str());
}

}  // namespace velto
