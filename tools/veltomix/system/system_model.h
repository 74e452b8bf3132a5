// What a walk of the sound system finds: every endpoint, the adapters they
// are joined to and the parts in them, with which of the mixer's controls
// each holds. system_walk.h makes one; capture and topology write and draw it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "mixer/mixer_controls.h"
#include "platform/description/model.h"
#include "platform/platform.h"

namespace veltomix {

namespace platform = velto::platform;
namespace description = velto::description;

// A part as the walk found it: what a description holds of it (its id is
// made from the name: the platform shows no part ids), how it is linked, and
// which of the mixer's controls it holds.
struct WalkedPart : description::PartState {
  // Indices into the adapter's parts, in the order of the platform's lists.
  std::vector<std::size_t> incoming;
  std::vector<std::size_t> outgoing;
  // Labels of the mixer's controls that are this part's (see HeldControl).
  std::vector<std::string> heldAs;
};

struct WalkedAdapter {
  std::string name;
  // Connectors first, in the adapter's connector order, then the subunits in
  // the order the walk met them.
  std::vector<WalkedPart> parts;
};

struct WalkedEndpoint : description::EndpointState {
  // The name as the library's exports hand it to hosts (the low byte of each
  // UTF-16 unit), each byte as the code point of the same value, in UTF-8.
  std::string hostName;
  std::vector<std::string> heldAs;
};

struct SystemModel {
  std::vector<WalkedEndpoint> endpoints;  // in the platform's order, all flows
  std::vector<WalkedAdapter> adapters;    // in the order the endpoints reach them
  // Whether a control activated twice is the same object: only then can the
  // mixer's controls be recognised among the parts' (HeldControl).
  bool controlIdentityStable = true;
  // What could not be read, or was changed to fit the description format.
  std::vector<std::string> warnings;
};

// The identity by which the walk tells objects apart (platform::Unknown::
// Identity). On the simulated system every request for one part or control
// yields the same object; a backend that hands out a new object per request
// makes WalkSystem refuse (parts) or leave `heldAs` empty (controls).
template <class T>
const void* SameObject(const platform::Ref<T>& ref) {
  return ref ? ref->Identity() : nullptr;
}

}  // namespace veltomix
