// The candidate endpoints that listing and lookup both work from, so that an
// endpoint the host sees listed is one that a search text can bind.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/platform.h"

namespace velto {

struct EndpointList {
  platform::Ref<platform::DeviceCollection> devices;
  std::uint32_t count = 0;
};

// The active endpoints of `flow` and their count; nothing when the
// enumerator, the collection or the count cannot be had. The enumerator is
// given back before this returns.
std::optional<EndpointList> ActiveEndpoints(platform::Platform& platform, platform::DataFlow flow);

}  // namespace velto
