#include "core/mixer_state.h"

#include <cstring>

#include "core/control_table.h"

namespace velto {

void ResetMixerState() { Mixer() = MixerState{}; }

void ReleaseBoundControls(MixerState& state) {
  for (const ControlRow* row : kReleaseOrder) {
    WithSlot(state, *row, [](auto& slot) { slot.Reset(); });
  }
}

void SettleComHold(MixerState& state) {
  bool holdsAny = false;
  for (const ControlRow& row : kControls) {
    WithSlot(state, row, [&](auto& slot) { holdsAny = holdsAny || static_cast<bool>(slot); });
  }
  if (!holdsAny) state.comHold.Give();
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
