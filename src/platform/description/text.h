// Text conversions shared by the description reader and writer, the simulated
// system and veltomix: UTF-8 as descriptions hold it, UTF-16 as the platform
// hands it out, and numbers as both write them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace velto::description {

// Nullopt when `text` is not well-formed UTF-8.
std::optional<std::u16string> Utf8ToUtf16(const std::string& text);

// UTF-16 code units as UTF-8. An unpaired surrogate, which UTF-8 cannot
// carry, becomes U+FFFD and clears `*exact` when given.
std::string Utf16ToUtf8(const char16_t* text, std::size_t length, bool* exact = nullptr);
inline std::string Utf16ToUtf8(const std::u16string& text) {
  return Utf16ToUtf8(text.data(), text.size());
}

// The fewest digits that read back as the same float.
std::string FormatFloat(float value);

}  // namespace velto::description
