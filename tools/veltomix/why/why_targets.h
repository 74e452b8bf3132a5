// What `topology --why` asks of binding's walk for one control, taken from
// the control's row, so that a new row is told like the others of its kind.
#pragma once

#include <string>

#include "mixer/mixer_controls.h"
#include "topology/walk_observer.h"

namespace veltomix {

// How a walk looks for a control.
enum class Search {
  EndpointOwn,    // the endpoint's own volume
  OutputChain,    // a tone band on the chain in front of the output
  MonitorBranch,  // a level on a named branch, with a mute of its own
  LineConnector,  // two parts downstream of a line connector
  BoostPart,      // a named part downstream of a microphone connector
};

struct Target {
  const char* control;
  velto::WalkRole role;
  velto::ControlId slot;
  velto::ControlId mute = velto::ControlId::None;
  Search search;
};

// The walk that binds a device's controls.
velto::WalkRole RoleOf(BoundEndpoint device);
// How the walk looks for the control held in slot `id`.
Search SearchOf(velto::ControlId id);
Target TargetOf(const ControlInfo& control);

// "IAudioAutoGainControl or IAudioLoudness": what binding asks a part for.
std::string Offered(velto::ControlId id, const char* between = " or ");

}  // namespace veltomix
