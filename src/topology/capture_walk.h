// What the line and the microphone walks share: binding the capture
// endpoint, and visiting the adapter's input connectors by name.
#pragma once

#include <functional>

#include "core/mixer_state.h"
#include "platform/platform.h"
#include "topology/discovery.h"

namespace velto {

// What a visit to one matching connector decides.
enum class ConnectorVisit {
  Next,      // go on with the next connector
  Finished,  // the walk is done, result 0
  Failed,    // the walk is done, result 1
};

// Visits, in index order, every adapter connector whose name contains
// `word`, handing `visit` the connector and the list of parts it feeds; a
// matching connector that feeds nothing is passed over. Returns 0 after the
// last connector, 1 when the count, a connector or its part cannot be had.
int VisitMatchingConnectors(
    CallBudget& budget, platform::DeviceTopology& adapter, const char* word,
    const std::function<ConnectorVisit(platform::Part&, platform::PartsList&)>& visit);

// The capture walk as a whole: binds the capture endpoint into the slot of
// `endpoint`, records its master level (a level that cannot be read does not
// stop the binding), finds the adapter behind it and visits its connectors
// named by `word`. Tells the word first, as the walk starts.
Discovery WalkCaptureConnectors(
    MixerState& state, CallBudget& budget, const char* searchText, platform::DataFlow flow,
    ControlId endpoint, const char* word,
    const std::function<ConnectorVisit(platform::Part&, platform::PartsList&)>& visit);

}  // namespace velto
