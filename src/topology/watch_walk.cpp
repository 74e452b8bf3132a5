#include "core/mixer_state.h"
#include "topology/discovery.h"
#include "topology/walk_observer.h"

namespace velto {

Discovery WatchWalk(WalkRole role, const char* searchText, WalkObserver& observer) {
  // A record of the walk's own: what it binds is released when it returns.
  MixerState scratch;
  CallBudget budget(&observer);
  switch (role) {
    case WalkRole::Playback:
      return DiscoverPlaybackControls(scratch, budget, searchText, platform::DataFlow::Render);
    case WalkRole::Microphone:
      return DiscoverMicCaptureControls(scratch, budget, searchText, platform::DataFlow::Capture);
    case WalkRole::LineIn:
      return DiscoverLineCaptureControls(scratch, budget, searchText, platform::DataFlow::Capture);
  }
  return Discovery::Failed;
}

}  // namespace velto
