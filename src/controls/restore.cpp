#include "controls/restore.h"

#include <type_traits>

#include "controls/boost_slider.h"
#include "controls/control_rows.h"
#include "controls/switch_controls.h"
#include "controls/tone_controls.h"
#include "controls/volume_controls.h"
#include "core/control_table.h"

namespace velto {

namespace {

template <class Control>
constexpr bool kHasLevel =
    std::is_same_v<Control, EndpointVolume> || std::is_same_v<Control, LevelControl>;
template <class Control>
constexpr bool kHasState = !std::is_same_v<Control, LevelControl>;

// A level is written the way its unit's setter writes it; a row's parts
// sit only on slots whose interface has them, or the table does not compile.
void RestoreLevel(MixerState& state, const ControlRow& row) {
  std::visit(
      [&](auto member) {
        using Control = typename SlotTarget<decltype(member)>::type;
        if constexpr (kHasLevel<Control>) {
          const LevelPart& level = row.level;
          if constexpr (std::is_same_v<Control, LevelControl>) {
            if (level.unit == LevelUnit::Decibels) {
              return RestoreTone(state, {member, level.saved, level.successResult});
            }
            if (level.unit == LevelUnit::WholeDecibels) {
              return RestoreBoost(state, {member, level.saved});
            }
          }
          RestoreVolume(state, VolumeRow<Control>{member, level.saved, level.volume});
        }
      },
      row.slot);
}

void RestoreState(MixerState& state, const ControlRow& row) {
  std::visit(
      [&](auto member) {
        using Control = typename SlotTarget<decltype(member)>::type;
        if constexpr (kHasState<Control>) {
          RestoreSwitch(state, SwitchRow<Control>{member, row.state.saved, row.state.rules});
        }
      },
      row.slot);
}

constexpr bool PartsFitTheirSlots() {
  for (const ControlRow& row : kControls) {
    const bool level = row.level.unit != LevelUnit::None;
    const bool onOff = row.state.get != nullptr;
    const bool levelSlot = row.slot.index() <= 1;  // EndpointVolume, LevelControl
    const bool stateSlot = row.slot.index() != 1;
    if ((level && !levelSlot) || (onOff && !stateSlot)) return false;
  }
  return true;
}
static_assert(PartsFitTheirSlots(), "a level on a slot without one, or a switch on a level");

}  // namespace

// Each step is skipped when no device is bound, its control is missing or
// binding could not read its value; a step that fails does not stop the
// later ones.
void RestoreSavedValues(MixerState& state) {
  for (const RestoreStep& step : kRestoreOrder) {
    if (step.part == RestorePart::Level) {
      RestoreLevel(state, *step.row);
    } else {
      RestoreState(state, *step.row);
    }
  }
}

}  // namespace velto
