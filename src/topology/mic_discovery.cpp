// The microphone boost lies somewhere downstream of the adapter's microphone
// connector: a switch if there is one, otherwise a level.
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
int FindBoostPart(CallBudget& callBudget, PartsList& start,
                  const std::function<bool(Part&)>& activate) {
  StepBudget budget(callBudget);
  for (ListCursor cursor(start);;) {
    const std::uint32_t count = PartCount(*cursor).value_or(0);
    if (count == 0) return 1;
    for (std::uint32_t i = 0; i < count; ++i) {
      if (!budget.Take()) return 1;
      Ref<Part> part = PartAt(*cursor, i);
      if (part && SearchWords{{"boost", 6}, {"+2", 3}, {"agc", 4}}.Match(*part) && activate(*part))
        return 0;
    }
    Ref<Part> last = PartAt(*cursor, count - 1);
    if (!last || !cursor.MoveTo(Outgoing(*last))) return 1;
  }
}

// Either on/off interface will do; both are used only through GetEnabled and
// SetEnabled.
int FindBoostSwitch(CallBudget& budget, PartsList& list, Ref<SwitchControl>& target) {
  return FindBoostPart(budget, list, [&](Part& part) {
    return ActivateInto(part, SwitchInterface::AudioAutoGainControl, target) ||
           ActivateInto(part, SwitchInterface::AudioLoudness, target);
  });
}

int FindBoostLevel(CallBudget& budget, PartsList& list, Ref<LevelControl>& target) {
  return FindBoostPart(budget, list, [&](Part& part) {
    return ActivateInto(part, LevelInterface::AudioVolumeLevel, target);
  });
}

// The first microphone connector with a boost control ends the walk.
ConnectorVisit BindBoost(MixerState& state, CallBudget& budget, PartsList& fed) {
  if (FindBoostSwitch(budget, fed, state.micBoostSwitch) == 0) {
    RecordEnabled(*state.micBoostSwitch, state.savedMicBoostSwitch);
    return ConnectorVisit::Finished;
  }
  if (FindBoostLevel(budget, fed, state.micBoostLevel) == 0) {
    RecordLevel(*state.micBoostLevel, state.savedMicBoostLevel);
    return ConnectorVisit::Finished;
  }
  return ConnectorVisit::Next;
}

}  // namespace

Discovery DiscoverMicCaptureControls(MixerState& state, CallBudget& budget, const char* searchText,
                                     DataFlow flow) {
  return Guarded(Discovery::Failed, [&] {
    return WalkCaptureConnectors(state, budget, searchText, flow, state.micEndpoint,
                                 state.savedMicRecordLevel, "mic",
                                 [&](PartsList& fed) { return BindBoost(state, budget, fed); });
  });
}

}  // namespace velto
