// The twelve two-state exports: master, virtual and monitor mutes, the
// microphone boost switch and the line AGC (NoMonitor).
#include "core/mixer_state.h"
#include "controls/control_access.h"
#include "veltosound.h"

namespace velto {

using platform::HRESULT;

namespace {

struct SwitchRules {
  DeviceCheck check;
  // The master mute takes a one-byte boolean in its 32-bit argument.
  bool lowByteOnly;
  // What a failed write reports: the endpoint mutes answer 1, as a missing
  // control does; the others 2.
  Status writeFailure;
  // Some drivers answer ERROR_INVALID_FUNCTION for a monitor mute they did in
  // fact apply.
  bool invalidFunctionIsSuccess;
};

constexpr SwitchRules kMasterMute{DeviceCheck::Required, true, kStatusMissing, false};
constexpr SwitchRules kVirtualMute{DeviceCheck::Skipped, false, kStatusMissing, false};
constexpr SwitchRules kLinePlaybackMute{DeviceCheck::Required, false, kStatusFailed, false};
constexpr SwitchRules kMicPlaybackMute{DeviceCheck::Required, false, kStatusFailed, true};
constexpr SwitchRules kMicBoost{DeviceCheck::Required, false, kStatusFailed, false};
constexpr SwitchRules kNoMonitor{DeviceCheck::Required, false, kStatusFailed, false};

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
int GetSwitch(const Ref<Control>& slot, const SwitchRules& rules, int* status) {
  if (auto stop = PreCheck(rules.check, slot)) return Finish(status, *stop, 0);
  std::int32_t state = 0;
  if (!ReadSucceeded(ReadState(*slot, &state))) return Finish(status, kStatusFailed, 0);
  // The platform's BOOL as it wrote it: any nonzero value means on.
  return Finish(status, kStatusOk, state);
}

template <class Control>
int SetSwitch(const Ref<Control>& slot, const SwitchRules& rules, int state, int* status) {
  if (auto stop = PreCheck(rules.check, slot)) return Finish(status, *stop, 0);
  const std::int32_t passed = rules.lowByteOnly ? (state & 0xFF) : state;
  const Status outcome =
      WriteAccepted(rules, WriteState(*slot, passed)) ? kStatusOk : rules.writeFailure;
  return Finish(status, outcome, 0);
}

}  // namespace

}  // namespace velto

using velto::Mixer;

extern "C" {

int VELTO_CALL GetMasterMute(int* status) {
  return velto::GetSwitch(Mixer().playbackEndpoint, velto::kMasterMute, status);
}
int VELTO_CALL SetMasterMute(int state, int* status) {
  return velto::SetSwitch(Mixer().playbackEndpoint, velto::kMasterMute, state, status);
}
int VELTO_CALL GetVirtualMute(int* status) {
  return velto::GetSwitch(Mixer().virtualEndpoint, velto::kVirtualMute, status);
}
int VELTO_CALL SetVirtualMute(int state, int* status) {
  return velto::SetSwitch(Mixer().virtualEndpoint, velto::kVirtualMute, state, status);
}
int VELTO_CALL GetLinePlayBackMute(int* status) {
  return velto::GetSwitch(Mixer().linePlaybackMute, velto::kLinePlaybackMute, status);
}
int VELTO_CALL SetLinePlayBackMute(int state, int* status) {
  return velto::SetSwitch(Mixer().linePlaybackMute, velto::kLinePlaybackMute, state, status);
}
int VELTO_CALL GetMicPlayBackMute(int* status) {
  return velto::GetSwitch(Mixer().micPlaybackMute, velto::kMicPlaybackMute, status);
}
int VELTO_CALL SetMicPlayBackMute(int state, int* status) {
  return velto::SetSwitch(Mixer().micPlaybackMute, velto::kMicPlaybackMute, state, status);
}
int VELTO_CALL GetMicBoost(int* status) {
  return velto::GetSwitch(Mixer().micBoostSwitch, velto::kMicBoost, status);
}
int VELTO_CALL SetMicBoost(int state, int* status) {
  return velto::SetSwitch(Mixer().micBoostSwitch, velto::kMicBoost, state, status);
}
int VELTO_CALL GetNoMonitor(int* status) {
  return velto::GetSwitch(Mixer().lineAgc, velto::kNoMonitor, status);
}
int VELTO_CALL SetNoMonitor(int state, int* status) {
  return velto::SetSwitch(Mixer().lineAgc, velto::kNoMonitor, state, status);
}

}  // extern "C"
