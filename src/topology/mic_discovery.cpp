// The microphone boost lies somewhere downstream of the adapter's microphone
// connector: a switch if there is one, otherwise a level.
#include <array>
#include <functional>

#include "core/export_guard.h"
#include "core/mixer_state.h"
#include "topology/capture_walk.h"
#include "topology/discovery.h"
#include "topology/walk_steps.h"

namespace velto {

using namespace platform;

namespace {

// Looks at every part of a list in index order for a boost name that
// `activate` accepts, then moves one level downstream by way of the list's
// last part only. Returns 0 when `activate` succeeded, 1 when the walk ran
// out.
constexpr std::array<const char*, 3> kBoostWords{"boost", "+2", "agc"};

int SearchRanOut(const CallBudget& budget, WalkControl control, WalkEnd end) {
  budget.Tell({.event = WalkEvent::Ended, .control = control, .end = end});
  return 1;
}

int FindBoostPart(CallBudget& callBudget, Part& connector, PartsList& start, WalkControl control,
                  const std::function<bool(Part&)>& activate) {
  callBudget.Tell({.event = WalkEvent::Searching,
                   .control = control,
                   .part = &connector,
                   .words = kBoostWords});
  StepBudget budget(callBudget);
  for (ListCursor cursor(start);;) {
    const std::uint32_t count = PartCount(*cursor).value_or(0);
    if (count == 0) return SearchRanOut(callBudget, control, WalkEnd::SearchRanOut);
    for (std::uint32_t i = 0; i < count; ++i) {
      if (!budget.Take()) return SearchRanOut(callBudget, control, WalkEnd::StepLimit);
      Ref<Part> part = PartAt(*cursor, i);
      if (!part) continue;
      // The words are given back after the activation, not before: the
      // platform sees the same calls in the same order as it always has.
      const SearchWords words{{"boost", 6}, {"+2", 3}, {"agc", 4}};
      const NameMatch match = words.Test(*part);
      callBudget.Tell({.event = WalkEvent::NameTested,
                       .control = control,
                       .part = part.Get(),
                       .words = kBoostWords,
                       .match = match});
      if (match == NameMatch::Matched && activate(*part)) return 0;
    }
    Ref<Part> last = PartAt(*cursor, count - 1);
    if (!last || !cursor.MoveTo(Outgoing(*last))) {
      return SearchRanOut(callBudget, control, WalkEnd::SearchRanOut);
    }
  }
}

// Either on/off interface will do; both are used only through GetEnabled and
// SetEnabled.
int FindBoostSwitch(CallBudget& budget, Part& connector, PartsList& list,
                    Ref<SwitchControl>& target) {
  constexpr WalkControl kSwitch = WalkControl::MicBoostSwitch;
  return FindBoostPart(budget, connector, list, kSwitch, [&](Part& part) {
    return ActivateInto(part, SwitchInterface::AudioAutoGainControl, target, {budget, kSwitch}) ||
           ActivateInto(part, SwitchInterface::AudioLoudness, target, {budget, kSwitch});
  });
}

int FindBoostLevel(CallBudget& budget, Part& connector, PartsList& list,
                   Ref<LevelControl>& target) {
  constexpr WalkControl kLevel = WalkControl::MicBoostLevel;
  return FindBoostPart(budget, connector, list, kLevel, [&](Part& part) {
    return ActivateInto(part, LevelInterface::AudioVolumeLevel, target, {budget, kLevel});
  });
}

// The first microphone connector with a boost control ends the walk.
ConnectorVisit BindBoost(MixerState& state, CallBudget& budget, Part& connector, PartsList& fed) {
  if (FindBoostSwitch(budget, connector, fed, state.micBoostSwitch) == 0) {
    RecordEnabled(*state.micBoostSwitch, state.savedMicBoostSwitch);
    return ConnectorVisit::Finished;
  }
  if (FindBoostLevel(budget, connector, fed, state.micBoostLevel) == 0) {
    RecordLevel(*state.micBoostLevel, state.savedMicBoostLevel);
    return ConnectorVisit::Finished;
  }
  return ConnectorVisit::Next;
}

}  // namespace

Discovery DiscoverMicCaptureControls(MixerState& state, CallBudget& budget, const char* searchText,
                                     DataFlow flow) {
  return Guarded(Discovery::Failed, [&] {
    return WalkCaptureConnectors(
        state, budget, searchText, flow, state.micEndpoint, state.savedMicRecordLevel, "mic",
        [&](Part& connector, PartsList& fed) { return BindBoost(state, budget, connector, fed); });
  });
}

}  // namespace velto
