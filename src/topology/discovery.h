// The three topology walks that bind an endpoint and find its controls.
//
// Each binds the endpoint named by the search text (its IAudioEndpointVolume
// goes into the endpoint's slot), walks the adapter topology behind it, puts
// every control it finds into its MixerState slot and records the control's
// value at that moment for RestoreSavedValues. Each returns 0 when the walk
// completed, found controls or not, and 1 when it failed; controls bound
// before a failure stay bound. No exception leaves them.
#pragma once

#include "platform/platform.h"

namespace velto {

// Master volume and mute, bass/treble/midrange on the chain towards the
// output, and the line and microphone monitor levels and mutes.
int DiscoverPlaybackControls(const char* searchText, platform::DataFlow flow);
// The same; `endpointFound` tells whether the lookup itself succeeded in this
// call (a result of 1 may come from the lookup or from the walk after it).
int DiscoverPlaybackControls(const char* searchText, platform::DataFlow flow, bool& endpointFound);

// Line recording volume and the line input's automatic gain control.
int DiscoverLineCaptureControls(const char* searchText, platform::DataFlow flow);

// Microphone recording volume and either a boost switch or a boost level.
int DiscoverMicCaptureControls(const char* searchText, platform::DataFlow flow);

}  // namespace velto
