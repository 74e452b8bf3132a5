#include "controls/volume_controls.h"

#include <cmath>

#include "controls/control_access.h"
#include "controls/level_scaling.h"
#include "core/mixer_state.h"
#include "veltosound.h"

namespace velto {

using platform::HRESULT;
using platform::kS_OK;

namespace {

HRESULT QueryRange(EndpointVolume& control, float* minDb, float* maxDb) {
  float increment = 0;
  return control.GetVolumeRange(minDb, maxDb, &increment);
}
HRESULT QueryRange(LevelControl& control, float* minDb, float* maxDb) {
  float step = 0;
  return control.GetLevelRange(0, minDb, maxDb, &step);
}

HRESULT ReadLevel(EndpointVolume& control, LevelRead read, float* levelDb) {
  return read == LevelRead::Master ? control.GetMasterVolumeLevel(levelDb)
                                   : control.GetChannelVolumeLevel(0, levelDb);
}
HRESULT ReadLevel(LevelControl& control, LevelRead, float* levelDb) {
  return control.GetLevel(0, levelDb);
}

template <class Accept>
bool ApplyLevel(EndpointVolume& control, Apply apply, std::uint32_t channels, float levelDb,
                Accept accepted) {
  if (apply == Apply::Master) return accepted(control.SetMasterVolumeLevel(levelDb));
  return WriteChannels(control, channels, levelDb, accepted);
}
template <class Accept>
bool ApplyLevel(LevelControl& control, Apply, std::uint32_t channels, float levelDb,
                Accept accepted) {
  return WriteChannels(control, channels, levelDb, accepted);
}

auto AcceptFor(const VolumeRules& rules) {
  return [invalidFunctionIsSuccess = rules.invalidFunctionIsSuccess](HRESULT hr) {
    return WriteSucceeded(hr) || (invalidFunctionIsSuccess && hr == platform::kHrInvalidFunction);
  };
}

template <class Control>
int GetVolume(const MixerState& state, const VolumeRow<Control>& row, int* status) {
  const Ref<Control>& slot = state.*row.slot;
  const VolumeRules& rules = row.rules;
  if (auto stop = PreCheck(state, rules.check, slot)) return Finish(status, *stop, 0);
  float minDb = 0, maxDb = 0, levelDb = 0;
  if (QueryRange(*slot, &minDb, &maxDb) != kS_OK) return Finish(status, kStatusFailed, 0);
  if (!ReadSucceeded(ReadLevel(*slot, rules.read, &levelDb))) {
    return Finish(status, kStatusFailed, 0);
  }
  return Finish(status, kStatusOk, LevelToPercent(levelDb, maxDb));
}

template <class Control>
int SetVolume(const MixerState& state, const VolumeRow<Control>& row, int percent, int* status) {
  const Ref<Control>& slot = state.*row.slot;
  const VolumeRules& rules = row.rules;
  if (auto stop = PreCheck(state, rules.check, slot)) return Finish(status, *stop, 0);
  const int failed = rules.failureReturnsPercent ? percent : 0;
  // A negative percentage has no level (its logarithm is not a number).
  if (percent < 0) return Finish(status, kStatusFailed, failed);

  Control& control = *slot;
  float minDb = 0, maxDb = 0;
  std::optional<std::uint32_t> channels;
  if (rules.order == QueryOrder::CountThenRange) channels = ReadChannelCount(control);
  if (QueryRange(control, &minDb, &maxDb) != kS_OK) return Finish(status, kStatusFailed, failed);
  if (rules.order == QueryOrder::RangeThenCount) channels = ReadChannelCount(control);

  const int effective = (percent == 0 && rules.zeroMeansOne) ? 1 : percent;
  const float levelDb = PercentToLevel(effective, minDb, maxDb);
  if (std::isnan(levelDb)) return Finish(status, kStatusFailed, failed);
  if (!ApplyLevel(control, rules.apply, channels.value_or(0), levelDb, AcceptFor(rules))) {
    return Finish(status, kStatusFailed, failed);
  }
  return Finish(status, kStatusOk, percent);
}

template <class Control>
void WriteSavedLevel(MixerState& state, const VolumeRow<Control>& row) {
  Control* control = RestoreTarget(state, row);
  if (!control) return;
  const float levelDb = (state.*row.saved).value;
  std::uint32_t channels = 0;
  if (row.rules.apply == Apply::EveryChannel) {
    auto count = ReadChannelCount(*control);
    if (!count) return;
    channels = *count;
  }
  ApplyLevel(*control, row.rules.apply, channels, levelDb, AcceptFor(row.rules));
}

template <ControlId id>
int VolumeGetter(int* status) {
  static constexpr auto row = VolumeOf<id>();
  return ControlExport(status, kStatusFailed, 0,
                       [&](const MixerState& state) { return GetVolume(state, row, status); });
}

template <ControlId id>
int VolumeSetter(int percent, int* status) {
  static constexpr auto row = VolumeOf<id>();
  return ControlExport(
      status, kStatusFailed, row.rules.failureReturnsPercent ? percent : 0,
      [&](const MixerState& state) { return SetVolume(state, row, percent, status); });
}

}  // namespace

void RestoreVolume(MixerState& state, const VolumeRow<EndpointVolume>& row) {
  WriteSavedLevel(state, row);
}
void RestoreVolume(MixerState& state, const VolumeRow<LevelControl>& row) {
  WriteSavedLevel(state, row);
}

}  // namespace velto

extern "C" {

int VELTO_CALL GetMasterVolume(int* status) {
  return velto::VolumeGetter<velto::ControlId::PlaybackEndpoint>(status);
}
int VELTO_CALL SetMasterVolume(int percent, int* status) {
  return velto::VolumeSetter<velto::ControlId::PlaybackEndpoint>(percent, status);
}
int VELTO_CALL GetLinePlayBack(int* status) {
  return velto::VolumeGetter<velto::ControlId::LinePlaybackLevel>(status);
}
int VELTO_CALL SetLinePlayBack(int percent, int* status) {
  return velto::VolumeSetter<velto::ControlId::LinePlaybackLevel>(percent, status);
}
int VELTO_CALL GetMicPlayBack(int* status) {
  return velto::VolumeGetter<velto::ControlId::MicPlaybackLevel>(status);
}
int VELTO_CALL SetMicPlayBack(int percent, int* status) {
  return velto::VolumeSetter<velto::ControlId::MicPlaybackLevel>(percent, status);
}
int VELTO_CALL GetLineRecordVolume(int* status) {
  return velto::VolumeGetter<velto::ControlId::LineEndpoint>(status);
}
int VELTO_CALL SetLineRecordVolume(int percent, int* status) {
  return velto::VolumeSetter<velto::ControlId::LineEndpoint>(percent, status);
}
int VELTO_CALL GetMicRecordVolume(int* status) {
  return velto::VolumeGetter<velto::ControlId::MicEndpoint>(status);
}
int VELTO_CALL SetMicRecordVolume(int percent, int* status) {
  return velto::VolumeSetter<velto::ControlId::MicEndpoint>(percent, status);
}
int VELTO_CALL GetVirtualVolume(int* status) {
  return velto::VolumeGetter<velto::ControlId::VirtualEndpoint>(status);
}
int VELTO_CALL SetVirtualVolume(int percent, int* status) {
  return velto::VolumeSetter<velto::ControlId::VirtualEndpoint>(percent, status);
}

}  // extern "C"
