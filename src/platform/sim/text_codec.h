// Text conversions the simulated system needs: UTF-8 descriptions to the
// UTF-16 strings the platform hands out, and the ANSI code page (Windows-1252)
// behind MultiByteToWideChar and WideCharToMultiByte.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace velto::sim {

// Nullopt when `text` is not well-formed UTF-8.
std::optional<std::u16string> Utf8ToUtf16(const std::string& text);
std::string Utf16ToUtf8(const std::u16string& text);

platform::WChar Cp1252ToWide(unsigned char byte);
// '?' for a code unit that Windows-1252 cannot represent.
char WideToCp1252(platform::WChar unit);

// Shortest text that reads back as the same float.
std::string FormatFloat(float value);
std::string FormatHex(std::uint32_t value);

}  // namespace velto::sim
