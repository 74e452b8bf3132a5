#include "topology/capture_walk.h"

#include "core/endpoint_lookup.h"
#include "topology/walk_steps.h"

namespace velto {

using namespace platform;

int VisitMatchingConnectors(CallBudget& callBudget, DeviceTopology& adapter, const char* word,
                            const std::function<ConnectorVisit(PartsList&)>& visit) {
  std::uint32_t count = 0;
  if (adapter.GetConnectorCount(&count) != kS_OK) return 1;
  StepBudget budget(callBudget);
  for (std::uint32_t i = 0; i < count && budget.Take(); ++i) {
    Ref<Connector> connector;
    if (!Obtained(adapter.GetConnector(i, connector), connector)) return 1;
    Ref<Part> part;
    if (!Obtained(connector->QueryPart(part), part)) return 1;
    if (!SearchWords{word}.Match(*part)) continue;
    Ref<PartsList> fed = Outgoing(*part);
    if (!fed) continue;
    switch (visit(*fed)) {
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
                                DataFlow flow, Ref<EndpointVolume>& slot, Saved<float>& savedLevel,
                                const char* word,
                                const std::function<ConnectorVisit(PartsList&)>& visit) {
  Ref<DeviceTopology> topology;
  const Activation activation = ActivateEndpoint(state, searchText, topology, slot, flow);
  if (activation == Activation::NotFound) return Discovery::EndpointNotFound;
  if (activation != Activation::Activated) return Discovery::Failed;
  RecordMasterLevel(*slot, savedLevel);
  Ref<DeviceTopology> adapter = AdapterTopology(std::move(topology));
  if (!adapter) return Discovery::Failed;
  return VisitMatchingConnectors(budget, *adapter, word, visit) == 0 ? Discovery::Completed
                                                                     : Discovery::Failed;
}

}  // namespace velto
