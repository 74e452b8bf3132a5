// The one test of a platform call that hands out an object.
#pragma once

#include "platform/platform.h"

namespace velto::platform {

// Whether a call that hands out an object did so: S_OK and the object. The
// code alone does not tell: servers answer S_OK or S_FALSE with no object, and
// Wine's CoCreateInstance turns a class factory's S_FALSE into S_OK.
template <class T>
bool Obtained(HRESULT hr, const Ref<T>& object) {
  return hr == kS_OK && object;
}

}  // namespace velto::platform
