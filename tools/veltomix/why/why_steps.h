// The steps a watched walk told, kept for `topology --why` to narrate once
// the walk is over, and how the parts they name are shown.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"
#include "topology/walk_observer.h"

namespace veltomix {

// One step as the walk told it, holding its own references so that names can
// be read once the walk is over: reading them while it runs would add calls
// to the walk's own.
struct Told {
  velto::WalkStep step;
  velto::platform::Ref<velto::platform::Part> part;
  velto::platform::Ref<velto::platform::PartsList> list;
  std::vector<std::string> words;
};

class Recorder : public velto::WalkObserver {
 public:
  void Step(const velto::WalkStep& step) override;
  std::vector<Told> steps;
};

// "a", "b" or "c", each quoted.
std::string Words(const std::vector<std::string>& words);
// The part's name, quoted; or what stands for a name that cannot be read.
std::string Shown(velto::platform::Part* part);
bool Same(const velto::platform::Ref<velto::platform::Part>& a,
          const velto::platform::Ref<velto::platform::Part>& b);
// The parts of `list` after part 0: the ones the line walk never tries.
std::string NeverTried(velto::platform::PartsList* list);

// What `topology --why` tells of one control.
struct WhyReport {
  bool found = false;
  std::vector<std::string> steps;  // what the walk looked at, in order
  std::string stopped;             // the outcome: where it found the control, or where it stopped
  std::string part;  // the name of the part the control was bound on ("" for an endpoint's own)
  int exit = 0;      // kExitOk when found, else kExitControlMissing, ...
};

}  // namespace veltomix
