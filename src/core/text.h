// String handling shared by lookup, enumeration and the topology walks.
#pragma once

#include <string>

#include "platform/platform.h"

namespace velto {

// Widens a narrow text through the ANSI code page into a fresh BSTR of
// lstrlenA + 1 characters, the terminator included. A null text counts as
// empty. An empty Bstr means the allocation or the conversion failed.
platform::Bstr Widen(platform::Platform& platform, const char* text);
// The same for a text whose widened length (terminator included) is known,
// so its length need not be asked for.
platform::Bstr Widen(platform::Platform& platform, const char* text, int length);

// Folds 'A' to 'Z' into 'a' to 'z' in place; every other code unit stays.
void LowerAsciiInPlace(platform::WChar* text);

// True when `needle` occurs anywhere in `haystack` (both NUL-terminated).
bool ContainsText(const platform::WChar* haystack, const platform::WChar* needle);

// Keeps the low byte of each UTF-16 code unit, without consulting any code
// page. An embedded NUL ends the narrow text at that point.
std::string NarrowBstr(platform::Platform& platform, const platform::WChar* text);

}  // namespace velto
