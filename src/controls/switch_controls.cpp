// The twelve two-state exports: master, virtual and monitor mutes, the
// microphone boost switch and the line AGC (NoMonitor).
#include "controls/switch_controls.h"

#include "controls/control_access.h"
#include "core/mixer_state.h"
#include "veltosound.h"

namespace velto {

using platform::HRESULT;

namespace {

// The two on/off shapes: a mute (endpoint volume or IAudioMute) and an
// enabled flag (IAudioAutoGainControl or IAudioLoudness).
HRESULT ReadState(EndpointVolume& control, std::int32_t* state) { return control.GetMute(state); }
HRESULT ReadState(MuteControl& control, std::int32_t* state) { return control.GetMute(state); }
HRESULT ReadState(SwitchControl& control, std::int32_t* state) { return control.GetEnabled(state); }
HRESULT WriteState(EndpointVolume& control, std::int32_t state) { return control.SetMute(state); }
HRESULT WriteState(MuteControl& control, std::int32_t state) { return control.SetMute(state); }
HRESULT WriteState(SwitchControl& control, std::int32_t state) { return control.SetEnabled(state); }

bool WriteAccepted(const SwitchRules& rules, HRESULT hr) {
  return WriteSucceeded(hr) ||
         (rules.invalidFunctionIsSuccess && hr == platform::kHrInvalidFunction);
}

template <class Control>
int GetSwitch(const MixerState& state, const SwitchRow<Control>& row, int* status) {
  const Ref<Control>& slot = state.*row.slot;
  if (auto stop = PreCheck(state, row.rules.check, slot)) return Finish(status, *stop, 0);
  std::int32_t value = 0;
  if (!ReadSucceeded(ReadState(*slot, &value))) return Finish(status, kStatusFailed, 0);
  // The platform's BOOL as it wrote it: any nonzero value means on.
  return Finish(status, kStatusOk, value);
}

template <class Control>
int SetSwitch(const MixerState& state, const SwitchRow<Control>& row, int value, int* status) {
  const Ref<Control>& slot = state.*row.slot;
  const SwitchRules& rules = row.rules;
  if (auto stop = PreCheck(state, rules.check, slot)) return Finish(status, *stop, 0);
  const std::int32_t passed = rules.lowByteOnly ? (value & 0xFF) : value;
  const Status outcome =
      WriteAccepted(rules, WriteState(*slot, passed)) ? kStatusOk : rules.writeFailure;
  return Finish(status, outcome, 0);
}

template <class Control>
void WriteSavedSwitch(MixerState& state, const SwitchRow<Control>& row) {
  Control* control = RestoreTarget(state, row);
  if (!control) return;
  const std::int32_t saved = (state.*row.saved).value;
  WriteState(*control, row.rules.restore == RestoreForm::ZeroOrOne ? (saved ? 1 : 0) : saved);
}

template <ControlId id>
int SwitchGetter(int* status) {
  static constexpr auto row = SwitchOf<id>();
  return ControlExport(status, kStatusFailed, 0,
                       [&](const MixerState& state) { return GetSwitch(state, row, status); });
}

template <ControlId id>
int SwitchSetter(int value, int* status) {
  static constexpr auto row = SwitchOf<id>();
  return ControlExport(status, row.rules.writeFailure, 0, [&](const MixerState& state) {
    return SetSwitch(state, row, value, status);
  });
}

}  // namespace

void RestoreSwitch(MixerState& state, const SwitchRow<EndpointVolume>& row) {
  WriteSavedSwitch(state, row);
}
void RestoreSwitch(MixerState& state, const SwitchRow<MuteControl>& row) {
  WriteSavedSwitch(state, row);
}
void RestoreSwitch(MixerState& state, const SwitchRow<SwitchControl>& row) {
  WriteSavedSwitch(state, row);
}

}  // namespace velto

extern "C" {

int VELTO_CALL GetMasterMute(int* status) {
  return velto::SwitchGetter<velto::ControlId::PlaybackEndpoint>(status);
}
int VELTO_CALL SetMasterMute(int state, int* status) {
  return velto::SwitchSetter<velto::ControlId::PlaybackEndpoint>(state, status);
}
int VELTO_CALL GetVirtualMute(int* status) {
  return velto::SwitchGetter<velto::ControlId::VirtualEndpoint>(status);
}
int VELTO_CALL SetVirtualMute(int state, int* status) {
  return velto::SwitchSetter<velto::ControlId::VirtualEndpoint>(state, status);
}
int VELTO_CALL GetLinePlayBackMute(int* status) {
  return velto::SwitchGetter<velto::ControlId::LinePlaybackMute>(status);
}
int VELTO_CALL SetLinePlayBackMute(int state, int* status) {
  return velto::SwitchSetter<velto::ControlId::LinePlaybackMute>(state, status);
}
int VELTO_CALL GetMicPlayBackMute(int* status) {
  return velto::SwitchGetter<velto::ControlId::MicPlaybackMute>(status);
}
int VELTO_CALL SetMicPlayBackMute(int state, int* status) {
  return velto::SwitchSetter<velto::ControlId::MicPlaybackMute>(state, status);
}
int VELTO_CALL GetMicBoost(int* status) {
  return velto::SwitchGetter<velto::ControlId::MicBoostSwitch>(status);
}
int VELTO_CALL SetMicBoost(int state, int* status) {
  return velto::SwitchSetter<velto::ControlId::MicBoostSwitch>(state, status);
}
int VELTO_CALL GetNoMonitor(int* status) {
  return velto::SwitchGetter<velto::ControlId::LineAgc>(status);
}
int VELTO_CALL SetNoMonitor(int state, int* status) {
  return velto::SwitchSetter<velto::ControlId::LineAgc>(state, status);
}

}  // extern "C"
