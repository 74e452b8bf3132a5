// The three topology walks that bind an endpoint and find its controls.
//
// Each binds the endpoint named by the search text (its IAudioEndpointVolume
// goes into the endpoint's slot), walks the adapter topology behind it, puts
// every control it finds into its MixerState slot and records the control's
// value at that moment for RestoreSavedValues. Controls bound before a
// failure stay bound. No exception leaves them.
#pragma once

#include "core/mixer_state.h"
#include "platform/platform.h"
#include "topology/walk_observer.h"

namespace velto {

// The walks and searches of one export call share this many steps (parts
// visited), on top of each walk's own bound. A real card's three walks take
// a few hundred; a hostile topology whose every walk runs to its own bound
// would otherwise cost millions of platform calls in one call. A build may
// set a smaller bound (the fuzz build does).
#ifndef VELTO_MAX_CALL_STEPS
#define VELTO_MAX_CALL_STEPS (1 << 16)
#endif
constexpr int kMaxCallSteps = VELTO_MAX_CALL_STEPS;

// What the walks of one export call share: their steps, and the observer
// told about each (none in the exports).
class CallBudget {
 public:
  CallBudget() = default;
  explicit CallBudget(WalkObserver* observer) : observer_(observer) {}

  bool Take() {
    if (left_ == 0) return false;
    --left_;
    return true;
  }
  int Used() const { return kMaxCallSteps - left_; }

  void Tell(const WalkStep& step) const {
    if (observer_) observer_->Step(step);
  }
  bool Watched() const { return observer_ != nullptr; }

 private:
  int left_ = kMaxCallSteps;
  WalkObserver* observer_ = nullptr;
};

// Master volume and mute, bass/treble/midrange on the chain towards the
// output, and the line and microphone monitor levels and mutes.
Discovery DiscoverPlaybackControls(MixerState& state, CallBudget& budget, const char* searchText,
                                   platform::DataFlow flow);

// Line recording volume and the line input's automatic gain control.
Discovery DiscoverLineCaptureControls(MixerState& state, CallBudget& budget, const char* searchText,
                                      platform::DataFlow flow);

// Microphone recording volume and either a boost switch or a boost level.
Discovery DiscoverMicCaptureControls(MixerState& state, CallBudget& budget, const char* searchText,
                                     platform::DataFlow flow);

}  // namespace velto
