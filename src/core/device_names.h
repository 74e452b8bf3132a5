// Reading an endpoint's friendly name, shared by lookup and listing.
#pragma once

#include <string>

#include "platform/platform.h"

namespace velto {

// The friendly name of `device`, narrowed by low bytes (NarrowBstr). A name
// that cannot be read (no property store, no value, no BSTR) is the empty
// name: the endpoint itself is still usable, so lookup and listing keep it.
std::string ReadFriendlyName(platform::Platform& platform, platform::Device& device);

}  // namespace velto
