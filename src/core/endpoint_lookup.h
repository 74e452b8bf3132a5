// Finding an active endpoint by a search text and activating its interfaces.
#pragma once

#include "platform/platform.h"

namespace velto {

constexpr int kEndpointNotFound = -1;

// Finds the first active endpoint of `flow` whose id contains `searchText`
// (A to Z compared without case). On success (0) lastFoundName holds its
// narrowed friendly name, currentDeviceId its id, and the device-bound marker
// is set; otherwise (-1) the MixerState is unchanged.
int FindEndpoint(const char* searchText, platform::DataFlow flow);

// FindEndpoint, then activates the endpoint's IDeviceTopology into `topology`
// and its IAudioEndpointVolume into `volume`. Returns 0 when the volume was
// activated; the topology may still be empty. Each output is written only by
// an activation that succeeded.
int ActivateEndpoint(const char* searchText, platform::Ref<platform::DeviceTopology>& topology,
                     platform::Ref<platform::EndpointVolume>& volume, platform::DataFlow flow);

}  // namespace velto
