#include "platform/tracing/trace_text.h"

#include <charconv>
#include <cstdio>
#include <type_traits>

namespace velto::platform::tracing {

namespace {

bool PlainAscii(std::uint32_t unit) {
  return unit >= 0x20 && unit < 0x7F && unit != '"' && unit != '\\';
}

template <class Char>
std::string QuotedUnits(const Char* text, std::size_t length, const char* escape) {
  std::string out = "\"";
  for (std::size_t i = 0; i < length; ++i) {
    const auto unit = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<Char>>(text[i]));
    if (PlainAscii(unit)) {
      out += static_cast<char>(unit);
      continue;
    }
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, escape, static_cast<unsigned>(unit));
    out += buffer;
  }
  return out + "\"";
}

}  // namespace

std::string Hex(std::uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%X", static_cast<unsigned>(value));
  return buffer;
}

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

std::string Quoted(const char* text, std::size_t length) {
  return QuotedUnits(text, length, "\\x%02X");
}

std::string Quoted(const WChar* text, std::size_t length) {
  return QuotedUnits(text, length, "\\u%04X");
}

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
