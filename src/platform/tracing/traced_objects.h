// The forwarding objects of a TracingPlatform.
#pragma once

#include <string>

#include "platform/platform.h"

namespace velto::platform::tracing {

class TracingPlatform;

// When the wrapped call put a new enumerator into `out` (anything but
// `before`), puts a forwarding one in its place. Returns the trace's output
// text: the new object's name, or nothing.
std::string WrapEnumerator(TracingPlatform& tracer, Ref<DeviceEnumerator>& out,
                           const DeviceEnumerator* before);

}  // namespace velto::platform::tracing
