// Which platform objects and endpoints the record holds, for a host program
// that shows what binding chose (veltomix marks those parts in a topology
// and walks the bound endpoints again). Only
// identities leave here: nothing can call, keep or change a held object
// through this view.
#pragma once

#include <string>
#include <vector>

#include "core/control_table.h"

namespace velto {

struct HeldObject {
  ControlId control;
  const void* identity;  // platform::Unknown::Identity of the object in the slot
};

// The filled slots, in the control table's order.
std::vector<HeldObject> HeldObjects();

// The id of the endpoint bound as `endpoint`, as a text the lookup finds
// that endpoint by again; "" when none was found since the last close (or
// for the virtual endpoint).
std::string FoundEndpointId(BoundEndpoint endpoint);

}  // namespace velto
