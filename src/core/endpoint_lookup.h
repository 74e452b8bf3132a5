// Finding an active endpoint by a search text and activating its interfaces.
#pragma once

#include "core/mixer_state.h"
#include "platform/platform.h"

namespace velto {

constexpr int kEndpointNotFound = -1;

// Finds the first active endpoint of `flow` whose id contains `searchText`
// (A to Z compared without case). On success (0) lastFoundName holds its
// narrowed friendly name, currentDeviceId its id, and the device-bound marker
// is set; otherwise (-1) the MixerState is unchanged.
int FindEndpoint(MixerState& state, const char* searchText, platform::DataFlow flow);

// How far ActivateEndpoint got.
enum class Activation {
  Activated,          // endpoint volume and topology both activated
  NotFound,           // no endpoint matched: the MixerState is unchanged
  DeviceUnavailable,  // found, but the device could not be had again by its id
  NoEndpointVolume,   // the endpoint offers no IAudioEndpointVolume
  NoTopology,         // the volume was activated, the topology was not
};

// FindEndpoint, then activates the endpoint's IDeviceTopology into `topology`
// and its IAudioEndpointVolume into `volume`. Each output is written only by
// an activation that succeeded, so `volume` is filled for NoTopology too.
Activation ActivateEndpoint(MixerState& state, const char* searchText,
                            platform::Ref<platform::DeviceTopology>& topology,
                            platform::Ref<platform::EndpointVolume>& volume,
                            platform::DataFlow flow);

}  // namespace velto
