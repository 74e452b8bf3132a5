// `topology --why CONTROL`: walks the bound endpoint's topology again, read
// only, by the rules binding follows, and tells at each step what was looked
// at and why the search went on, so that a card author can see where the
// search for a control stopped.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "mixer_controls.h"
#include "platform/platform.h"

namespace veltomix {

struct WhyReport {
  bool found = false;
  std::vector<std::string> steps;  // what the walk looked at, in order
  std::string stopped;             // the outcome: where it found the control, or where it stopped
  int exit = 0;                    // kExitOk when found, else kExitControlMissing, ...
};

// Explains how binding searches for `control` on the endpoint bound for its
// device. `chosenNames` names endpoints that `open` chose but whose binding
// failed; the library names only whole bindings.
WhyReport ExplainControl(velto::platform::Platform& platform, const ControlInfo& control,
                         const std::map<BoundEndpoint, std::string>& chosenNames);

}  // namespace veltomix
