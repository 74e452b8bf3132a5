// The line input's gain control sits two parts downstream of the adapter's
// line connector, following part 0 of each outgoing list.
#include "core/export_guard.h"
#include "core/mixer_state.h"
#include "topology/capture_walk.h"
#include "topology/discovery.h"
#include "topology/walk_steps.h"

namespace velto {

using namespace platform;

namespace {

ConnectorVisit PathTooShort(const CallBudget& budget, Part* first) {
  budget.Tell({.event = WalkEvent::Ended,
               .control = ControlId::LineAgc,
               .part = first,
               .end = WalkEnd::PathTooShort});
  return ConnectorVisit::Failed;
}

ConnectorVisit BindLineAgc(MixerState& state, const CallBudget& budget, PartsList& fed) {
  Ref<Part> first = PartAt(fed, 0);
  if (!first) return PathTooShort(budget, nullptr);
  Ref<PartsList> afterFirst;
  const HRESULT outgoing = first->EnumPartsOutgoing(afterFirst);
  // A line input wired straight to the device's edge (a USB line terminal
  // feeding its streaming terminal) has no part to carry a gain control:
  // nothing to bind here, but nothing failed either.
  if (outgoing == kE_NOTFOUND) {
    budget.Tell({.event = WalkEvent::Ended,
                 .control = ControlId::LineAgc,
                 .part = first.Get(),
                 .end = WalkEnd::LineAtDeviceEdge});
    return ConnectorVisit::Next;
  }
  if (outgoing != kS_OK || !afterFirst) return PathTooShort(budget, first.Get());
  Ref<Part> second = PartAt(*afterFirst, 0);
  if (!second) return PathTooShort(budget, first.Get());

  if (BindControl(*second, state, ControlId::LineAgc, {budget, afterFirst.Get()})) {
    RecordSaved(state, ControlId::LineAgc);
  }
  // Every line connector is tried; a later one that has the control wins.
  return ConnectorVisit::Next;
}

}  // namespace

Discovery DiscoverLineCaptureControls(MixerState& state, CallBudget& budget, const char* searchText,
                                      DataFlow flow) {
  return Guarded(Discovery::Failed, [&] {
    return WalkCaptureConnectors(
        state, budget, searchText, flow, ControlId::LineEndpoint, "line",
        [&](Part&, PartsList& fed) { return BindLineAgc(state, budget, fed); });
  });
}

}  // namespace velto
