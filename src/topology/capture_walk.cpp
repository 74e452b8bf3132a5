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

// How a pass over the adapter's connectors went.
struct ConnectorPass {
  int result = 0;        // as VisitMatchingConnectors returns it
  bool matched = false;  // a connector was taken
  bool done = false;     // the walk ends here: failed, finished or out of steps
};

// One pass over the adapter's connectors, visiting those `matches` takes.
ConnectorPass VisitConnectors(const CallBudget& callBudget, StepBudget& budget,
                              DeviceTopology& adapter, std::uint32_t count,
                              const std::function<bool(Part&)>& matches,
                              const std::function<ConnectorVisit(Part&, PartsList&)>& visit) {
  ConnectorPass pass;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!budget.Take()) {
      WalkEnds(callBudget, WalkEnd::StepLimit);
      return {.result = 0, .matched = pass.matched, .done = true};
    }
    Ref<Connector> connector;
    if (!Obtained(adapter.GetConnector(i, connector), connector)) {
      return {.result = WalkEnds(callBudget, WalkEnd::ConnectorUnavailable, i), .done = true};
    }
    Ref<Part> part;
    if (!Obtained(connector->QueryPart(part), part)) {
      return {.result = WalkEnds(callBudget, WalkEnd::ConnectorUnavailable, i), .done = true};
    }
    if (!matches(*part)) continue;
    pass.matched = true;
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
        return {.result = 0, .matched = true, .done = true};
      case ConnectorVisit::Failed:
        return {.result = 1, .matched = true, .done = true};
    }
  }
  return pass;
}

}  // namespace

int VisitMatchingConnectors(CallBudget& callBudget, DeviceTopology& adapter, const char* word,
                            WalkCategory category,
                            const std::function<ConnectorVisit(Part&, PartsList&)>& visit) {
  std::uint32_t count = 0;
  if (adapter.GetConnectorCount(&count) != kS_OK) {
    return WalkEnds(callBudget, WalkEnd::ConnectorCountUnreadable);
  }
  const std::array<const char*, 1> words{word};
  StepBudget budget(callBudget);
  const ConnectorPass named = VisitConnectors(
      callBudget, budget, adapter, count,
      [&](Part& part) {
        const NameMatch match = SearchWords{word}.Test(part);
        callBudget.Tell(
            {.event = WalkEvent::NameTested, .part = &part, .words = words, .match = match});
        return match == NameMatch::Matched;
      },
      visit);
  if (named.done || named.matched || count == 0) return named.result;
  callBudget.Tell({.event = WalkEvent::Searching, .words = words, .category = category});
  return VisitConnectors(
             callBudget, budget, adapter, count,
             [&](Part& part) {
               return TestCategory(callBudget, part, category) == NameMatch::Matched;
             },
             visit)
      .result;
}

Discovery WalkCaptureConnectors(MixerState& state, CallBudget& budget, const char* searchText,
                                DataFlow flow, ControlId endpoint, const char* word,
                                WalkCategory category,
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
  return VisitMatchingConnectors(budget, *adapter, word, category, visit) == 0
             ? Discovery::Completed
             : Discovery::Failed;
}

}  // namespace velto
