// The Core Audio objects behind the platform interface.
#pragma once

#include "platform/platform.h"

namespace velto::coreaudio {

// CoCreateInstance of the MMDevice enumerator, handed over as the platform's
// DeviceEnumerator.
platform::HRESULT CreateDeviceEnumerator(std::uint32_t clsctx,
                                         platform::Ref<platform::DeviceEnumerator>& out);

}  // namespace velto::coreaudio
