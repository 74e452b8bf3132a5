// The first step of every walk, for tests that take it by hand: from an
// endpoint's topology through its connector 0 to the adapter part joined to it.
#pragma once

#include "platform/platform.h"

namespace velto::testing {

// Null where a step fails.
inline platform::Ref<platform::Part> JoinedPart(platform::DeviceTopology& endpointTopology) {
  platform::Ref<platform::Connector> endpointSide, adapterSide;
  platform::Ref<platform::Part> part;
  if (endpointTopology.GetConnector(0, endpointSide) != platform::kS_OK || !endpointSide ||
      endpointSide->GetConnectedTo(adapterSide) != platform::kS_OK || !adapterSide ||
      adapterSide->QueryPart(part) != platform::kS_OK)
    return nullptr;
  return part;
}

}  // namespace velto::testing
