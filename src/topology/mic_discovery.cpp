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

constexpr std::array<const char*, 3> kBoostWords{"boost", "+2", "agc"};
// A switch if there is one, otherwise a level.
constexpr ControlId kBoosts[] = {ControlId::MicBoostSwitch, ControlId::MicBoostLevel};

int SearchRanOut(const CallBudget& budget, ControlId control, WalkEnd end) {
  budget.Tell({.event = WalkEvent::Ended, .control = control, .end = end});
  return 1;
}

// Looks at every part of a list in index order for a boost name that
// `activate` accepts, then moves one level downstream by way of the list's
// last part only. Returns 0 when `activate` succeeded, 1 when the walk ran
// out.
int FindBoostPart(CallBudget& callBudget, Part& connector, PartsList& start, ControlId control,
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
      const SearchWords words(kBoostWords, SearchWords::CountedHere{});
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

int FindBoost(MixerState& state, CallBudget& budget, Part& connector, PartsList& list,
              ControlId control) {
  return FindBoostPart(budget, connector, list, control,
                       [&](Part& part) { return BindControl(part, state, control, {budget}); });
}

// The first microphone connector with a boost control ends the walk.
ConnectorVisit BindBoost(MixerState& state, CallBudget& budget, Part& connector, PartsList& fed) {
  for (const ControlId boost : kBoosts) {
    if (FindBoost(state, budget, connector, fed, boost) == 0) {
      RecordSaved(state, boost);
      return ConnectorVisit::Finished;
    }
  }
  return ConnectorVisit::Next;
}

}  // namespace

Discovery DiscoverMicCaptureControls(MixerState& state, CallBudget& budget, const char* searchText,
                                     DataFlow flow) {
  for (const ControlId boost : kBoosts) {
    budget.Tell({.event = WalkEvent::Seeking, .control = boost, .words = kBoostWords});
  }
  return Guarded(Discovery::Failed, [&] {
    return WalkCaptureConnectors(
        state, budget, searchText, flow, ControlId::MicEndpoint, "mic",
        [&](Part& connector, PartsList& fed) { return BindBoost(state, budget, connector, fed); });
  });
}

}  // namespace velto
