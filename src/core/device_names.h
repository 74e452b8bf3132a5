// Reading an endpoint's friendly name, shared by lookup and listing.
#pragma once

#include <optional>
#include <string>

#include "platform/platform.h"

namespace velto {

// The friendly name of `device`, narrowed by low bytes (NarrowBstr), or
// nothing when it cannot be read (no property store, no value, no BSTR).
// Lookup and listing both pass such an endpoint over, so that every id the
// host is shown is one that binds.
std::optional<std::string> ReadFriendlyName(platform::Platform& platform, platform::Device& device);

}  // namespace velto
