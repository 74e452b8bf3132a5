// Walking a sound system through the platform interface: every endpoint in
// every state, and the adapter topology each one is joined to, with the
// values of every control the parts offer. `capture` writes the result as a
// sound-system description, `topology` draws one adapter of it.
//
// Only platform operations are used, so the walk sees the real card on
// Windows as it sees the simulated one elsewhere. Two objects are taken to be
// the same when the platform hands out the same object for them (see
// SameObject); the walk checks that this holds before it relies on it.
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
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

struct WalkError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Throws WalkError when the endpoints cannot be listed at all, or when the
// platform hands out a new object each time for one and the same part.
SystemModel WalkSystem(platform::Platform& platform, const std::vector<HeldControl>& held = {});

// The adapter's name as Windows puts it at the end of an endpoint's name:
// the whole balanced parenthesised suffix, "Intel(r) 82801 Controller" of
// "Speakers (Intel(r) 82801 Controller)"; empty when there is none.
std::string AdapterNameOf(const std::string& endpointName);

// The identity by which the walk tells objects apart (platform::Unknown::
// Identity). On the simulated system every request for one part or control
// yields the same object; a backend that hands out a new object per request
// makes WalkSystem refuse (parts) or leave `heldAs` empty (controls).
template <class T>
const void* SameObject(const platform::Ref<T>& ref) {
  return ref ? ref->Identity() : nullptr;
}

// `level` as the description format can hold it: a finite range with
// min <= max and a step of no sign; channels outside the range are kept as
// reported, with a warning. Nothing, with a warning, when it cannot be made
// to fit. `what` names the control in warnings.
std::optional<description::LevelState> FitLevel(description::LevelState level,
                                                const std::string& what,
                                                std::vector<std::string>& warnings);

// The id of the system's default endpoint of `flow` (console role), or empty.
std::string DefaultEndpointId(platform::Platform& platform, platform::DataFlow flow);

// The first active endpoint of `flow` whose name the exports report as
// `hostName` (see WalkedEndpoint::hostName): how a bound endpoint is found
// when the platform's objects cannot be compared.
std::optional<std::size_t> FindEndpointByHostName(const SystemModel& model, platform::DataFlow flow,
                                                  const std::string& hostName);

}  // namespace veltomix
