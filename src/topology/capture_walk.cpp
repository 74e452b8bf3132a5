#include "topology/capture_walk.h"

#include <array>

#include "core/endpoint_lookup.h"
#include "topology/walk_steps.h"

namespace velto {

using namespace platform;

namespace {

int WalkEnds(const CallBudget& budget, WalkEnd end, std::uint32_t index = 0) {
  budget.Tell({.event = WalkEvent::Ended, .end = end, .count = index});
  return 1;
}

}  // namespace

int VisitMatchingConnectors(CallBudget& callBudget, DeviceTopology& adapter, const char* word,
                            const std::function<ConnectorVisit(Part&, PartsList&)>& visit) {
  std::uint32_t count = 0;
  if (adapter.GetConnectorCount(&count) != kS_OK) {
    return WalkEnds(callBudget, WalkEnd::ConnectorCountUnreadable);
  }
  const std::array<const char*, 1> words{word};
  StepBudget budget(callBudget);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!budget.Take()) {
      WalkEnds(callBudget, WalkEnd::StepLimit);
      break;
    }
    Ref<Connector> connector;
    if (!Obtained(adapter.GetConnector(i, connector), connector)) {
      return WalkEnds(callBudget, WalkEnd::ConnectorUnavailable, i);
    }
    Ref<Part> part;
    if (!Obtained(connector->QueryPart(part), part)) {
      return WalkEnds(callBudget, WalkEnd::ConnectorUnavailable, i);
    }
    const NameMatch match = SearchWords{word}.Test(*part);
    callBudget.Tell(
        {.event = WalkEvent::NameTested, .part = part.Get(), .words = words, .match = match});
    if (match != NameMatch::Matched) continue;
    Ref<PartsList> fed = Outgoing(*part);
    if (!fed) {
      callBudget.Tell(
          {.event = WalkEvent::Ended, .part = part.Get(), .end = WalkEnd::ConnectorFeedsNothing});
      continue;
    }
    switch (visit(*part, *fed)) {
      case ConnectorVisit::Next:
        break;
      case ConnectorVisit::Finished:
        return 0;
      case ConnectorVisit::Failed:
        return 1;
    }
  }
  return 0;
}

Discovery WalkCaptureConnectors(MixerState& state, CallBudget& budget, const char* searchText,
                                DataFlow flow, ControlId endpoint, const char* word,
                                const std::function<ConnectorVisit(Part&, PartsList&)>& visit) {
  const std::array<const char*, 1> words{word};
  budget.Tell({.event = WalkEvent::Seeking, .words = words});
  Ref<DeviceTopology> topology;
  const Activation activation = ActivateEndpoint(state, searchText, topology, endpoint, flow);
  TellActivation(budget, activation, endpoint);
  if (activation == Activation::NotFound) return Discovery::EndpointNotFound;
  if (activation != Activation::Activated) return Discovery::Failed;
  RecordSaved(state, endpoint);
  Ref<DeviceTopology> adapter = AdapterTopology(std::move(topology), budget);
  if (!adapter) return Discovery::Failed;
  return VisitMatchingConnectors(budget, *adapter, word, visit) == 0 ? Discovery::Completed
                                                                     : Discovery::Failed;
}

}  // namespace velto
