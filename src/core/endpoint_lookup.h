// Finding an active endpoint by a search text and activating its interfaces.
#pragma once

#include <optional>
#include <string>

#include "core/control_table.h"
#include "core/mixer_state.h"
#include "platform/platform.h"

namespace velto {

// An endpoint a lookup found.
struct FoundEndpoint {
  platform::TaskString id;
  std::string name;  // its friendly name, narrowed
};

// Finds the first active endpoint of `flow` whose id contains `searchText`
// (A to Z compared without case); nothing when none does. It only finds:
// what a binding keeps of the endpoint is its caller's to write.
std::optional<FoundEndpoint> FindEndpoint(const char* searchText, platform::DataFlow flow);

// What every binding keeps of a found endpoint: its name in lastFoundName,
// and the device-bound marker.
void KeepFound(MixerState& state, std::string name);

// An endpoint's id as a search text: code units up to 0xFF become their
// byte, as the C runtime's wcstombs does in its default locale; the first
// unit beyond that ends the text. At most `limit` bytes: a cut id still
// finds its endpoint.
std::string IdSearchText(const platform::WChar* id, std::size_t limit = 255);

// How far ActivateEndpoint got.
enum class Activation {
  Activated,          // endpoint volume and topology both activated
  NotFound,           // no endpoint matched: the MixerState is unchanged
  DeviceUnavailable,  // found, but the device could not be had again by its id
  NoEndpointVolume,   // the endpoint offers no IAudioEndpointVolume
  NoTopology,         // the volume was activated, the topology was not
};

// FindEndpoint and KeepFound (the found id too, in foundIds), then
// activates the endpoint's IDeviceTopology into `topology` and its
// IAudioEndpointVolume into the slot of `endpoint`. Each output is written
// only by an activation that succeeded, so the slot is filled for
// NoTopology too.
Activation ActivateEndpoint(MixerState& state, const char* searchText,
                            platform::Ref<platform::DeviceTopology>& topology, ControlId endpoint,
                            platform::DataFlow flow);

}  // namespace velto
