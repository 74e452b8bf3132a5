// `topology --why CONTROL`: runs binding's own walk again on the bound
// endpoint, watched, and tells what it reported at each step (what was looked
// at, which name did not match, which interface was not offered), so that a
// card author can see where the search for a control stopped.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "mixer/mixer_controls.h"
#include "platform/platform.h"
#include "why/why_steps.h"

namespace veltomix {

// The endpoints `open` chose, by role, with their ids. The library names
// only whole bindings, and under --library the linked core bound nothing.
struct ChosenEndpoints {
  const std::map<BoundEndpoint, std::string>& names;
  const std::map<BoundEndpoint, std::string>& ids;
};

// Explains how binding searches for `control` on the endpoint bound for its
// device: the very endpoint binding found, by its id (the record's, else
// the one `open` chose), never one found again by its name.
WhyReport ExplainControl(velto::platform::Platform& platform, const ControlInfo& control,
                         const ChosenEndpoints& chosen);

}  // namespace veltomix
