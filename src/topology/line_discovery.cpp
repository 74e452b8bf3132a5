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

ConnectorVisit BindLineAgc(MixerState& state, PartsList& fed) {
  Ref<Part> first = PartAt(fed, 0);
  if (!first) return ConnectorVisit::Failed;
  Ref<PartsList> afterFirst;
  const HRESULT outgoing = first->EnumPartsOutgoing(afterFirst);
  // A line input wired straight to the device's edge (a USB line terminal
  // feeding its streaming terminal) has no part to carry a gain control:
  // nothing to bind here, but nothing failed either.
  if (outgoing == kE_NOTFOUND) return ConnectorVisit::Next;
  if (outgoing != kS_OK || !afterFirst) return ConnectorVisit::Failed;
  Ref<Part> second = PartAt(*afterFirst, 0);
  if (!second) return ConnectorVisit::Failed;

  if (ActivateInto(*second, SwitchInterface::AudioAutoGainControl, state.lineAgc)) {
    RecordEnabled(*state.lineAgc, state.savedLineAgc);
  }
  // Every line connector is tried; a later one that has the control wins.
  return ConnectorVisit::Next;
}

}  // namespace

Discovery DiscoverLineCaptureControls(MixerState& state, CallBudget& budget, const char* searchText,
                                      DataFlow flow) {
  return Guarded(Discovery::Failed, [&] {
    return WalkCaptureConnectors(state, budget, searchText, flow, state.lineEndpoint,
                                 state.savedLineRecordLevel, "line",
                                 [&](PartsList& fed) { return BindLineAgc(state, fed); });
  });
}

}  // namespace velto
