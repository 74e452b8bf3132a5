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

#include "platform/platform.h"
#include "system/system_model.h"

namespace veltomix {

struct WalkError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Throws WalkError when the endpoints cannot be listed at all, or when the
// platform hands out a new object each time for one and the same part.
SystemModel WalkSystem(platform::Platform& platform, const std::vector<HeldControl>& held = {});

// The id of the system's default endpoint of `flow` (console role), or empty.
std::string DefaultEndpointId(platform::Platform& platform, platform::DataFlow flow);

// The first active endpoint of `flow` whose name the exports report as
// `hostName` (see WalkedEndpoint::hostName): how a bound endpoint is found
// when the platform's objects cannot be compared.
std::optional<std::size_t> FindEndpointByHostName(const SystemModel& model, platform::DataFlow flow,
                                                  const std::string& hostName);

}  // namespace veltomix
