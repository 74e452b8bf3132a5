// Every control the record can hold, one row each: its slot and saved
// values, its place in the release and the restore order, the interface
// binding takes it as, the exports that reach it and its name as veltomix
// shows it. Release, restore, the held-objects view, the walks' binding
// steps, the control exports' rules and veltomix's control list are built
// from these rows; what another language keeps (the Python and C# modules,
// the hosts' view in the tests) is checked against them by a test.
//
// A new control is one row here plus the walk step that finds it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <variant>

#include "core/mixer_state.h"

namespace velto {

// One id per row. The walks tell their steps by it, the held-objects view
// names the held objects by it.
enum class ControlId : std::uint8_t {
  None,  // in a walk step: the walk as a whole, no one control
  PlaybackEndpoint,
  LinePlaybackLevel,
  LinePlaybackMute,
  MicPlaybackLevel,
  MicPlaybackMute,
  Bass,
  Treble,
  Midrange,
  MicEndpoint,
  MicBoostSwitch,
  MicBoostLevel,
  LineEndpoint,
  LineAgc,
  VirtualEndpoint,
};

enum Status : std::int32_t {
  kStatusOk = 0,
  kStatusMissing = 1,
  kStatusFailed = 2,
  kStatusUnbound = 3,
};

// Which exports look at the device-bound marker: all but the virtual ones.
enum class DeviceCheck { Required, Skipped };

// --- How a volume in percent is read and written -------------------------------

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

// --- How a mute or switch is written -------------------------------------------

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

// --- The row ---------------------------------------------------------------------

// What a slot holds, by the shape of its interface.
using SlotField = std::variant<Ref<EndpointVolume> MixerState::*, Ref<LevelControl> MixerState::*,
                               Ref<MuteControl> MixerState::*, Ref<SwitchControl> MixerState::*>;

// The interface binding activates a control as. An endpoint's own volume is
// had from the endpoint, not from a part.
enum class EndpointInterface { AudioEndpointVolume };
using BindsAs = std::variant<EndpointInterface, platform::LevelInterface, platform::SwitchInterface,
                             platform::MuteInterface>;

// The unit a level is shown and set in.
enum class LevelUnit { None, Percent, Decibels, WholeDecibels };

constexpr int kNever = -1;

struct LevelPart {
  LevelUnit unit = LevelUnit::None;           // None: the row has no level
  Saved<float> MixerState::*saved = nullptr;  // null: never restored
  int restore = kNever;                       // its step in RestoreSavedValues
  const char* get = nullptr;                  // the exports that read and write it
  const char* set = nullptr;
  VolumeRules volume{};   // for a level in percent
  int successResult = 0;  // for a level in decibels: what its exports answer on success
};

struct StatePart {
  Saved<std::int32_t> MixerState::*saved = nullptr;  // null: never restored
  int restore = kNever;
  const char* get = nullptr;  // null: the row has no mute or switch
  const char* set = nullptr;
  SwitchRules rules{};
};

struct ControlRow {
  ControlId id;
  // As veltomix and `--why` name it; a mute that is a part of its own is
  // "<control> mute", and `muteOf` names the control.
  const char* name;
  BoundEndpoint endpoint;
  const char* description = nullptr;  // veltomix's help line; none for a mute part
  SlotField slot;
  // Its place among the slots OpenSoundCard and CloseSoundCard release: the
  // endpoints first, then the parts, in the order the library has always
  // released them (hosts and drivers see the Release calls in it, and the
  // trace comparisons hold it). kNever: released only by its own export.
  int release;
  BindsAs bindsAs;
  std::optional<BindsAs> orElse = std::nullopt;  // tried when the part does not offer bindsAs
  // The restore steps (`restore` in each part) run the playback binding's
  // levels and mutes, the switches, the tone bands, then the record levels
  // and the boost level last: the order the library has always written
  // them back in, which hosts and traces see.
  LevelPart level{};
  StatePart state{};
  ControlId muteOf = ControlId::None;
};

namespace control_table_rows {

using platform::LevelInterface;
using platform::MuteInterface;
using platform::SwitchInterface;
using E = BoundEndpoint;
using I = ControlId;
using M = MixerState;

// In the order veltomix lists them, each mute after its control.
// clang-format off
inline constexpr auto kRows = std::to_array<ControlRow>({
    {.id = I::PlaybackEndpoint, .name = "master", .endpoint = E::Playback,
     .description = "the playback endpoint's volume (percent) and mute",
     .slot = &M::playbackEndpoint, .release = 0, .bindsAs = EndpointInterface::AudioEndpointVolume,
     .level = {.unit = LevelUnit::Percent, .saved = &M::savedPlaybackLevel, .restore = 0,
               .get = "GetMasterVolume", .set = "SetMasterVolume",
               .volume = {.failureReturnsPercent = true}},
     .state = {.saved = &M::savedPlaybackMute, .restore = 1,
               .get = "GetMasterMute", .set = "SetMasterMute",
               .rules = {.lowByteOnly = true, .writeFailure = kStatusMissing,
                         .restore = RestoreForm::ZeroOrOne}}},
    {.id = I::LinePlaybackLevel, .name = "line-monitor", .endpoint = E::Playback,
     .description = "the line input heard through the speakers (percent) and its mute",
     .slot = &M::linePlaybackLevel, .release = 3, .bindsAs = LevelInterface::AudioVolumeLevel,
     .level = {.unit = LevelUnit::Percent, .saved = &M::savedLinePlaybackLevel, .restore = 2,
               .get = "GetLinePlayBack", .set = "SetLinePlayBack"}},
    {.id = I::LinePlaybackMute, .name = "line-monitor mute", .endpoint = E::Playback,
     .slot = &M::linePlaybackMute, .release = 4, .bindsAs = MuteInterface::AudioMute,
     .state = {.saved = &M::savedLinePlaybackMute, .restore = 3,
               .get = "GetLinePlayBackMute", .set = "SetLinePlayBackMute"},
     .muteOf = I::LinePlaybackLevel},
    {.id = I::MicPlaybackLevel, .name = "mic-monitor", .endpoint = E::Playback,
     .description = "the microphone heard through the speakers (percent) and its mute",
     .slot = &M::micPlaybackLevel, .release = 5, .bindsAs = LevelInterface::AudioVolumeLevel,
     .level = {.unit = LevelUnit::Percent, .saved = &M::savedMicPlaybackLevel, .restore = 4,
               .get = "GetMicPlayBack", .set = "SetMicPlayBack",
               .volume = {.order = QueryOrder::CountThenRange, .invalidFunctionIsSuccess = true}}},
    {.id = I::MicPlaybackMute, .name = "mic-monitor mute", .endpoint = E::Playback,
     .slot = &M::micPlaybackMute, .release = 6, .bindsAs = MuteInterface::AudioMute,
     .state = {.saved = &M::savedMicPlaybackMute, .restore = 5,
               .get = "GetMicPlayBackMute", .set = "SetMicPlayBackMute",
               .rules = {.invalidFunctionIsSuccess = true}},
     .muteOf = I::MicPlaybackLevel},
    {.id = I::Bass, .name = "bass", .endpoint = E::Playback,
     .description = "bass tone control (dB)",
     .slot = &M::bassControl, .release = 9, .bindsAs = LevelInterface::AudioBass,
     .level = {.unit = LevelUnit::Decibels, .saved = &M::savedBass, .restore = 8,
               .get = "GetBass", .set = "SetBass"}},
    {.id = I::Treble, .name = "treble", .endpoint = E::Playback,
     .description = "treble tone control (dB)",
     .slot = &M::trebleControl, .release = 10, .bindsAs = LevelInterface::AudioTreble,
     .level = {.unit = LevelUnit::Decibels, .saved = &M::savedTreble, .restore = 10,
               .get = "GetTreble", .set = "SetTreble"}},
    // The midrange pair answers 1 on success too; hosts read the status.
    {.id = I::Midrange, .name = "midrange", .endpoint = E::Playback,
     .description = "midrange tone control (dB)",
     .slot = &M::midrangeControl, .release = 11, .bindsAs = LevelInterface::AudioMidrange,
     .level = {.unit = LevelUnit::Decibels, .saved = &M::savedMidrange, .restore = 9,
               .get = "GetMidRange", .set = "SetMidRange", .successResult = 1}},
    {.id = I::MicEndpoint, .name = "mic-record", .endpoint = E::Microphone,
     .description = "the microphone's recording volume (percent)",
     .slot = &M::micEndpoint, .release = 1, .bindsAs = EndpointInterface::AudioEndpointVolume,
     .level = {.unit = LevelUnit::Percent, .saved = &M::savedMicRecordLevel, .restore = 11,
               .get = "GetMicRecordVolume", .set = "SetMicRecordVolume",
               .volume = {.read = LevelRead::Master, .apply = Apply::Master,
                          .failureReturnsPercent = true}}},
    // Either on/off interface will do; both are used only through
    // GetEnabled and SetEnabled.
    {.id = I::MicBoostSwitch, .name = "mic-boost", .endpoint = E::Microphone,
     .description = "the microphone boost switch (on/off)",
     .slot = &M::micBoostSwitch, .release = 7, .bindsAs = SwitchInterface::AudioAutoGainControl,
     .orElse = SwitchInterface::AudioLoudness,
     .state = {.saved = &M::savedMicBoostSwitch, .restore = 7,
               .get = "GetMicBoost", .set = "SetMicBoost"}},
    {.id = I::MicBoostLevel, .name = "mic-boost-level", .endpoint = E::Microphone,
     .description = "the microphone boost slider (whole dB)",
     .slot = &M::micBoostLevel, .release = 12, .bindsAs = LevelInterface::AudioVolumeLevel,
     .level = {.unit = LevelUnit::WholeDecibels, .saved = &M::savedMicBoostLevel, .restore = 13,
               .get = "GetMicSliderBoost", .set = "SetMicSliderBoost"}},
    {.id = I::LineEndpoint, .name = "line-record", .endpoint = E::LineIn,
     .description = "the line input's recording volume (percent)",
     .slot = &M::lineEndpoint, .release = 2, .bindsAs = EndpointInterface::AudioEndpointVolume,
     .level = {.unit = LevelUnit::Percent, .saved = &M::savedLineRecordLevel, .restore = 12,
               .get = "GetLineRecordVolume", .set = "SetLineRecordVolume",
               .volume = {.read = LevelRead::Master, .apply = Apply::Master, .zeroMeansOne = true,
                          .failureReturnsPercent = true}}},
    {.id = I::LineAgc, .name = "line-agc", .endpoint = E::LineIn,
     .description = "the line input's automatic gain control (on/off)",
     .slot = &M::lineAgc, .release = 8, .bindsAs = SwitchInterface::AudioAutoGainControl,
     .state = {.saved = &M::savedLineAgc, .restore = 6, .get = "GetNoMonitor", .set = "SetNoMonitor"}},
    {.id = I::VirtualEndpoint, .name = "virtual", .endpoint = E::Virtual,
     .description = "the virtual endpoint's volume (percent) and mute",
     .slot = &M::virtualEndpoint, .release = kNever, .bindsAs = EndpointInterface::AudioEndpointVolume,
     .level = {.unit = LevelUnit::Percent, .get = "GetVirtualVolume", .set = "SetVirtualVolume",
               .volume = {.check = DeviceCheck::Skipped, .failureReturnsPercent = true}},
     .state = {.get = "GetVirtualMute", .set = "SetVirtualMute",
               .rules = {.check = DeviceCheck::Skipped, .writeFailure = kStatusMissing}}},
});
// clang-format on

}  // namespace control_table_rows

inline constexpr const auto& kControls = control_table_rows::kRows;

// The row of `id`. Used where `id` is a constant, a missing row does not
// compile.
constexpr const ControlRow& RowOf(ControlId id) {
  for (const ControlRow& row : kControls) {
    if (row.id == id) return row;
  }
  throw std::logic_error("no row for this control");
}

// --- The orders, as the rows number them -------------------------------------------

// Where each ordered place is taken: every place from 0 up is taken by
// exactly one row, or the table does not compile.
template <std::size_t N, class Place>
constexpr std::array<const ControlRow*, N> Ordered(Place place) {
  std::array<const ControlRow*, N> ordered{};
  // Taken places are kept apart from the pointers: under UBSan, GCC does not
  // take a test of a pointer into the table as a constant expression.
  std::array<bool, N> taken{};
  for (const ControlRow& row : kControls) {
    const int at = place(row);
    if (at == kNever) continue;
    if (at < 0 || at >= static_cast<int>(N) || taken[static_cast<std::size_t>(at)]) {
      throw std::logic_error("two rows share a place, or a place lies past the end");
    }
    taken[static_cast<std::size_t>(at)] = true;
    ordered[static_cast<std::size_t>(at)] = &row;
  }
  for (const bool placed : taken) {
    if (!placed) throw std::logic_error("a place in the order is left empty");
  }
  return ordered;
}

template <class Place>
constexpr std::size_t Placed(Place place) {
  std::size_t count = 0;
  for (const ControlRow& row : kControls) count += place(row) != kNever ? 1 : 0;
  return count;
}

inline constexpr auto kReleasePlace = [](const ControlRow& row) { return row.release; };
inline constexpr auto kReleaseOrder = Ordered<Placed(kReleasePlace)>(kReleasePlace);

// A restore step writes one saved value: a row's level or its state.
enum class RestorePart { Level, State };
struct RestoreStep {
  const ControlRow* row;
  RestorePart part;
};

constexpr std::size_t kRestoreSteps =
    Placed([](const ControlRow& row) { return row.level.restore; }) +
    Placed([](const ControlRow& row) { return row.state.restore; });

constexpr std::array<RestoreStep, kRestoreSteps> RestoreOrder() {
  std::array<RestoreStep, kRestoreSteps> steps{};
  std::array<bool, kRestoreSteps> taken{};
  for (const ControlRow& row : kControls) {
    for (const RestorePart part : {RestorePart::Level, RestorePart::State}) {
      const int at = part == RestorePart::Level ? row.level.restore : row.state.restore;
      if (at == kNever) continue;
      if (at < 0 || at >= static_cast<int>(kRestoreSteps) || taken[static_cast<std::size_t>(at)]) {
        throw std::logic_error("two restore steps share a place, or one lies past the end");
      }
      taken[static_cast<std::size_t>(at)] = true;
      steps[static_cast<std::size_t>(at)] = {&row, part};
    }
  }
  for (const bool was : taken) {
    if (!was) throw std::logic_error("a restore step is left empty");
  }
  return steps;
}
inline constexpr auto kRestoreOrder = RestoreOrder();

// --- Typed access --------------------------------------------------------------------

template <class Member>
struct SlotTarget;
template <class Control>
struct SlotTarget<Ref<Control> MixerState::*> {
  using type = Control;
};

// The interface type of `id`'s slot: EndpointVolume, LevelControl, ...
template <ControlId id>
using SlotControl =
    typename SlotTarget<std::variant_alternative_t<RowOf(id).slot.index(), SlotField>>::type;

// `id`'s slot as a typed member.
template <ControlId id>
constexpr Ref<SlotControl<id>> MixerState::*SlotOf() {
  return std::get<Ref<SlotControl<id>> MixerState::*>(RowOf(id).slot);
}

// Calls `f` with `row`'s slot as a typed reference.
template <class State, class F>
decltype(auto) WithSlot(State& state, const ControlRow& row, F&& f) {
  return std::visit([&](auto member) -> decltype(auto) { return f(state.*member); }, row.slot);
}

}  // namespace velto
