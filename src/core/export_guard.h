#pragma once

#include <exception>

namespace velto {

// No exception may cross the C boundary into the host: a failed allocation
// anywhere inside an export is reported as that export's failure result.
template <class Result, class Body>
Result Guarded(Result failure, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return failure;
  }
}

template <class Body>
void GuardedVoid(Body&& body) noexcept {
  try {
    body();
  } catch (...) {
  }
}

}  // namespace velto
