// How arguments and outputs read in a trace. Text is shown as ASCII: other
// characters as \xNN (narrow) or \uNNNN (UTF-16), so a trace line stays one
// unambiguous line whatever the platform hands back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "platform/platform.h"
#include "platform/readable.h"

namespace velto::platform::tracing {

std::string Float(float value);
std::string PointerText(const void* address);
std::string Quoted(const char* text, std::size_t length);
std::string Quoted(const WChar* text, std::size_t length);
// Up to the terminator; "null" for a null pointer.
std::string Quoted(const WChar* text);

// "name=value" when the call succeeded and wrote through `out`, else nothing.
template <class T, class Show>
std::string Written(const char* name, const T* out, HRESULT hr, Show show) {
  if (hr != kS_OK || !out) return {};
  return std::string(name) + "=" + show(*out);
}

inline std::string Number(std::int64_t value) { return std::to_string(value); }

// Joins non-empty pieces with single spaces.
std::string Join(std::initializer_list<std::string> pieces);

}  // namespace velto::platform::tracing
