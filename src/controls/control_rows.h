// Every control the exports reach, one row each: the MixerState slot, the
// value binding saved from it, and the rules its getter, setter and restore
// step follow. A restore step takes the row, so it can only ever pair a
// control's saved value with that same control's writes.
#pragma once

#include <cstdint>
#include <type_traits>

#include "core/mixer_state.h"

namespace velto {

enum Status : std::int32_t {
  kStatusOk = 0,
  kStatusMissing = 1,
  kStatusFailed = 2,
  kStatusUnbound = 3,
};

// Which exports look at the device-bound marker: all but the virtual ones.
enum class DeviceCheck { Required, Skipped };

// --- Volumes in percent -------------------------------------------------------

enum class LevelRead { ChannelZero, Master };
enum class QueryOrder { RangeThenCount, CountThenRange };
enum class Apply { EveryChannel, Master };

struct VolumeRules {
  DeviceCheck check = DeviceCheck::Required;
  LevelRead read = LevelRead::ChannelZero;
  QueryOrder order = QueryOrder::RangeThenCount;
  Apply apply = Apply::EveryChannel;
  bool zeroMeansOne = false;           // 0 % sets maximum - 40 dB, not the minimum
  bool failureReturnsPercent = false;  // the result that goes with status 2
  // Some drivers answer ERROR_INVALID_FUNCTION for a monitor level they did
  // in fact apply.
  bool invalidFunctionIsSuccess = false;
};

template <class Control>
struct VolumeRow {
  Ref<Control> MixerState::*slot;
  Saved<float> MixerState::*saved;  // null: never restored
  VolumeRules rules;
};

inline constexpr VolumeRow<EndpointVolume> kMasterVolume{.slot = &MixerState::playbackEndpoint,
                                                         .saved = &MixerState::savedPlaybackLevel,
                                                         .rules = {.failureReturnsPercent = true}};
inline constexpr VolumeRow<EndpointVolume> kVirtualVolume{
    .slot = &MixerState::virtualEndpoint,
    .saved = nullptr,
    .rules = {.check = DeviceCheck::Skipped, .failureReturnsPercent = true}};
inline constexpr VolumeRow<EndpointVolume> kLineRecordVolume{
    .slot = &MixerState::lineEndpoint,
    .saved = &MixerState::savedLineRecordLevel,
    .rules = {.read = LevelRead::Master,
              .apply = Apply::Master,
              .zeroMeansOne = true,
              .failureReturnsPercent = true}};
inline constexpr VolumeRow<EndpointVolume> kMicRecordVolume{
    .slot = &MixerState::micEndpoint,
    .saved = &MixerState::savedMicRecordLevel,
    .rules = {.read = LevelRead::Master, .apply = Apply::Master, .failureReturnsPercent = true}};
inline constexpr VolumeRow<LevelControl> kLinePlaybackVolume{
    .slot = &MixerState::linePlaybackLevel,
    .saved = &MixerState::savedLinePlaybackLevel,
    .rules = {}};
inline constexpr VolumeRow<LevelControl> kMicPlaybackVolume{
    .slot = &MixerState::micPlaybackLevel,
    .saved = &MixerState::savedMicPlaybackLevel,
    .rules = {.order = QueryOrder::CountThenRange, .invalidFunctionIsSuccess = true}};

// --- Mutes and switches -------------------------------------------------------

// How restore writes a saved switch back.
enum class RestoreForm { AsStored, ZeroOrOne };

struct SwitchRules {
  DeviceCheck check = DeviceCheck::Required;
  // The master mute takes a one-byte boolean in its 32-bit argument.
  bool lowByteOnly = false;
  // What a failed write reports: the endpoint mutes answer 1, as a missing
  // control does; the others 2.
  Status writeFailure = kStatusFailed;
  // Some drivers answer ERROR_INVALID_FUNCTION for a monitor mute they did in
  // fact apply.
  bool invalidFunctionIsSuccess = false;
  RestoreForm restore = RestoreForm::AsStored;
};

template <class Control>
struct SwitchRow {
  Ref<Control> MixerState::*slot;
  Saved<std::int32_t> MixerState::*saved;  // null: never restored
  SwitchRules rules;
};

inline constexpr SwitchRow<EndpointVolume> kMasterMute{
    .slot = &MixerState::playbackEndpoint,
    .saved = &MixerState::savedPlaybackMute,
    .rules = {
        .lowByteOnly = true, .writeFailure = kStatusMissing, .restore = RestoreForm::ZeroOrOne}};
inline constexpr SwitchRow<EndpointVolume> kVirtualMute{
    .slot = &MixerState::virtualEndpoint,
    .saved = nullptr,
    .rules = {.check = DeviceCheck::Skipped, .writeFailure = kStatusMissing}};
inline constexpr SwitchRow<MuteControl> kLinePlaybackMute{
    .slot = &MixerState::linePlaybackMute,
    .saved = &MixerState::savedLinePlaybackMute,
    .rules = {}};
inline constexpr SwitchRow<MuteControl> kMicPlaybackMute{
    .slot = &MixerState::micPlaybackMute,
    .saved = &MixerState::savedMicPlaybackMute,
    .rules = {.invalidFunctionIsSuccess = true}};
inline constexpr SwitchRow<SwitchControl> kMicBoostSwitch{
    .slot = &MixerState::micBoostSwitch, .saved = &MixerState::savedMicBoostSwitch, .rules = {}};
inline constexpr SwitchRow<SwitchControl> kLineAgc{
    .slot = &MixerState::lineAgc, .saved = &MixerState::savedLineAgc, .rules = {}};

// --- Tone ---------------------------------------------------------------------

struct ToneRow {
  Ref<LevelControl> MixerState::*slot;
  Saved<float> MixerState::*saved;
  // The midrange pair answers 1 on success too; hosts read the status.
  int successResult;
};

inline constexpr ToneRow kBass{
    .slot = &MixerState::bassControl, .saved = &MixerState::savedBass, .successResult = 0};
inline constexpr ToneRow kTreble{
    .slot = &MixerState::trebleControl, .saved = &MixerState::savedTreble, .successResult = 0};
inline constexpr ToneRow kMidrange{
    .slot = &MixerState::midrangeControl, .saved = &MixerState::savedMidrange, .successResult = 1};

// --- Microphone boost slider --------------------------------------------------

struct BoostRow {
  Ref<LevelControl> MixerState::*slot;
  Saved<float> MixerState::*saved;
};

inline constexpr BoostRow kMicBoostLevel{.slot = &MixerState::micBoostLevel,
                                         .saved = &MixerState::savedMicBoostLevel};

// The control a restore step writes to: its slot's object when a device is
// bound, the slot is filled and binding read the saved value; else null.
template <class Row>
auto* RestoreTarget(const MixerState& state, const Row& row) {
  using Control = std::remove_reference_t<decltype(*(state.*row.slot))>;
  Control* none = nullptr;
  if (!state.deviceBound || !row.saved || !(state.*row.slot) || !(state.*row.saved).valid) {
    return none;
  }
  return (state.*row.slot).Get();
}

}  // namespace velto
