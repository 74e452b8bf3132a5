#include "platform/tracing/trace_text.h"

#include <charconv>
#include <cstdio>

namespace velto::platform::tracing {

std::string Float(float value) {
  char buffer[32];
  const auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, written.ptr);
}

std::string PointerText(const void* address) {
  if (!address) return "null";
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%p", address);
  return buffer;
}

std::string Quoted(const char* text, std::size_t length) { return platform::Quoted(text, length); }

std::string Quoted(const WChar* text, std::size_t length) { return platform::Quoted(text, length); }

std::string Quoted(const WChar* text) {
  if (!text) return "null";
  std::size_t length = 0;
  while (text[length] != 0) ++length;
  return Quoted(text, length);
}

std::string Join(std::initializer_list<std::string> pieces) {
  std::string out;
  for (const std::string& piece : pieces) {
    if (piece.empty()) continue;
    if (!out.empty()) out += ' ';
    out += piece;
  }
  return out;
}

}  // namespace velto::platform::tracing
