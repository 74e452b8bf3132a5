#include "controls/volume_controls.h"

#include <cmath>

#include "core/mixer_state.h"
#include "controls/control_access.h"
#include "controls/level_scaling.h"
#include "veltosound.h"

namespace velto {

using platform::HRESULT;
using platform::kS_OK;

namespace {

enum class LevelRead { ChannelZero, Master };
enum class QueryOrder { RangeThenCount, CountThenRange };
enum class Apply { EveryChannel, Master };

struct VolumeRules {
  DeviceCheck check;
  LevelRead read;
  QueryOrder order;
  Apply apply;
  bool zeroMeansOne;           // 0 % sets maximum - 40 dB, not the minimum
  bool failureReturnsPercent;  // the result that goes with status 2
  bool invalidFunctionIsSuccess;
};

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
  // Some drivers answer ERROR_INVALID_FUNCTION for a monitor level they did
  // in fact apply.
  return [invalidFunctionIsSuccess = rules.invalidFunctionIsSuccess](HRESULT hr) {
    return WriteSucceeded(hr) || (invalidFunctionIsSuccess && hr == platform::kHrInvalidFunction);
  };
}

template <class Control>
int GetVolume(const Ref<Control>& slot, const VolumeRules& rules, int* status) {
  if (auto stop = PreCheck(rules.check, slot)) return Finish(status, *stop, 0);
  float minDb = 0, maxDb = 0, levelDb = 0;
  if (QueryRange(*slot, &minDb, &maxDb) != kS_OK) return Finish(status, kStatusFailed, 0);
  if (!ReadSucceeded(ReadLevel(*slot, rules.read, &levelDb))) {
    return Finish(status, kStatusFailed, 0);
  }
  return Finish(status, kStatusOk, LevelToPercent(levelDb, maxDb));
}

template <class Control>
int SetVolume(const Ref<Control>& slot, const VolumeRules& rules, int percent, int* status) {
  if (auto stop = PreCheck(rules.check, slot)) return Finish(status, *stop, 0);
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

constexpr VolumeRules kMaster{DeviceCheck::Required,
                              LevelRead::ChannelZero,
                              QueryOrder::RangeThenCount,
                              Apply::EveryChannel,
                              false,
                              true,
                              false};
constexpr VolumeRules kVirtual{DeviceCheck::Skipped,
                               LevelRead::ChannelZero,
                               QueryOrder::RangeThenCount,
                               Apply::EveryChannel,
                               false,
                               true,
                               false};
constexpr VolumeRules kLineRecord{DeviceCheck::Required,
                                  LevelRead::Master,
                                  QueryOrder::RangeThenCount,
                                  Apply::Master,
                                  true,
                                  true,
                                  false};
constexpr VolumeRules kMicRecord{DeviceCheck::Required,
                                 LevelRead::Master,
                                 QueryOrder::RangeThenCount,
                                 Apply::Master,
                                 false,
                                 true,
                                 false};
constexpr VolumeRules kLinePlayback{DeviceCheck::Required,
                                    LevelRead::ChannelZero,
                                    QueryOrder::RangeThenCount,
                                    Apply::EveryChannel,
                                    false,
                                    false,
                                    false};
constexpr VolumeRules kMicPlayback{DeviceCheck::Required,
                                   LevelRead::ChannelZero,
                                   QueryOrder::CountThenRange,
                                   Apply::EveryChannel,
                                   false,
                                   false,
                                   true};

template <class Control>
bool WriteLevel(const Ref<Control>& slot, const VolumeRules& rules, float levelDb) {
  if (!slot) return false;
  std::uint32_t channels = 0;
  if (rules.apply == Apply::EveryChannel) {
    auto count = ReadChannelCount(*slot);
    if (!count) return false;
    channels = *count;
  }
  return ApplyLevel(*slot, rules.apply, channels, levelDb, AcceptFor(rules));
}

}  // namespace

bool WriteVolumeLevel(VolumeControl control, float levelDb) {
  MixerState& state = Mixer();
  switch (control) {
    case VolumeControl::Master:
      return WriteLevel(state.playbackEndpoint, kMaster, levelDb);
    case VolumeControl::LinePlayback:
      return WriteLevel(state.linePlaybackLevel, kLinePlayback, levelDb);
    case VolumeControl::MicPlayback:
      return WriteLevel(state.micPlaybackLevel, kMicPlayback, levelDb);
    case VolumeControl::LineRecord:
      return WriteLevel(state.lineEndpoint, kLineRecord, levelDb);
    case VolumeControl::MicRecord:
      return WriteLevel(state.micEndpoint, kMicRecord, levelDb);
    case VolumeControl::Virtual:
      return WriteLevel(state.virtualEndpoint, kVirtual, levelDb);
  }
  return false;
}

}  // namespace velto

using velto::Mixer;

extern "C" {

int VELTO_CALL GetMasterVolume(int* status) {
  return velto::GetVolume(Mixer().playbackEndpoint, velto::kMaster, status);
}
int VELTO_CALL SetMasterVolume(int percent, int* status) {
  return velto::SetVolume(Mixer().playbackEndpoint, velto::kMaster, percent, status);
}
int VELTO_CALL GetLinePlayBack(int* status) {
  return velto::GetVolume(Mixer().linePlaybackLevel, velto::kLinePlayback, status);
}
int VELTO_CALL SetLinePlayBack(int percent, int* status) {
  return velto::SetVolume(Mixer().linePlaybackLevel, velto::kLinePlayback, percent, status);
}
int VELTO_CALL GetMicPlayBack(int* status) {
  return velto::GetVolume(Mixer().micPlaybackLevel, velto::kMicPlayback, status);
}
int VELTO_CALL SetMicPlayBack(int percent, int* status) {
  return velto::SetVolume(Mixer().micPlaybackLevel, velto::kMicPlayback, percent, status);
}
int VELTO_CALL GetLineRecordVolume(int* status) {
  return velto::GetVolume(Mixer().lineEndpoint, velto::kLineRecord, status);
}
int VELTO_CALL SetLineRecordVolume(int percent, int* status) {
  return velto::SetVolume(Mixer().lineEndpoint, velto::kLineRecord, percent, status);
}
int VELTO_CALL GetMicRecordVolume(int* status) {
  return velto::GetVolume(Mixer().micEndpoint, velto::kMicRecord, status);
}
int VELTO_CALL SetMicRecordVolume(int percent, int* status) {
  return velto::SetVolume(Mixer().micEndpoint, velto::kMicRecord, percent, status);
}
int VELTO_CALL GetVirtualVolume(int* status) {
  return velto::GetVolume(Mixer().virtualEndpoint, velto::kVirtual, status);
}
int VELTO_CALL SetVirtualVolume(int percent, int* status) {
  return velto::SetVolume(Mixer().virtualEndpoint, velto::kVirtual, percent, status);
}

}  // extern "C"
