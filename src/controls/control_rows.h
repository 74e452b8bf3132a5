// The control exports' view of the control table.
#pragma once

#include <cstdint>
#include <type_traits>

#include "core/control_table.h"
#include "core/mixer_state.h"

namespace velto {

// What the getter, setter and restore step of one control take from its row
// of the control table. A restore step takes the row, so it can only ever
// pair a control's saved value with that same control's writes.

template <class Control>
struct VolumeRow {
  Ref<Control> MixerState::*slot;
  Saved<float> MixerState::*saved;  // null: never restored
  VolumeRules rules;
};

template <class Control>
struct SwitchRow {
  Ref<Control> MixerState::*slot;
  Saved<std::int32_t> MixerState::*saved;  // null: never restored
  SwitchRules rules;
};

struct ToneRow {
  Ref<LevelControl> MixerState::*slot;
  Saved<float> MixerState::*saved;
  int successResult;
};

struct BoostRow {
  Ref<LevelControl> MixerState::*slot;
  Saved<float> MixerState::*saved;
};

template <ControlId id>
constexpr VolumeRow<SlotControl<id>> VolumeOf() {
  static_assert(RowOf(id).level.unit == LevelUnit::Percent);
  return {SlotOf<id>(), RowOf(id).level.saved, RowOf(id).level.volume};
}

template <ControlId id>
constexpr SwitchRow<SlotControl<id>> SwitchOf() {
  static_assert(RowOf(id).state.get != nullptr);
  return {SlotOf<id>(), RowOf(id).state.saved, RowOf(id).state.rules};
}

template <ControlId id>
constexpr ToneRow ToneOf() {
  static_assert(RowOf(id).level.unit == LevelUnit::Decibels);
  return {SlotOf<id>(), RowOf(id).level.saved, RowOf(id).level.successResult};
}

template <ControlId id>
constexpr BoostRow BoostOf() {
  static_assert(RowOf(id).level.unit == LevelUnit::WholeDecibels);
  return {SlotOf<id>(), RowOf(id).level.saved};
}

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
