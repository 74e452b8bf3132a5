#include "core/text.h"

namespace velto {

using platform::WChar;

platform::Bstr Widen(platform::Platform& platform, const char* text) {
  if (!text) text = "";
  return Widen(platform, text, platform.LstrlenA(text) + 1);
}

platform::Bstr Widen(platform::Platform& platform, const char* text, int length) {
  platform::Bstr wide(&platform,
                      platform.SysAllocStringLen(nullptr, static_cast<std::uint32_t>(length)));
  if (!wide) return wide;
  // A conversion that fails leaves the zero-filled string, which as a search
  // text would match every endpoint; no text is safer than the wrong one.
  if (platform.MultiByteToWideChar(platform::kCpAcp, 0, text, length, wide.Get(), length) == 0)
    wide.Reset();
  return wide;
}

void LowerAsciiInPlace(WChar* text) {
  if (!text) return;
  for (; *text; ++text) {
    if (*text >= u'A' && *text <= u'Z') *text = static_cast<WChar>(*text - u'A' + u'a');
  }
}

bool ContainsText(const WChar* haystack, const WChar* needle) {
  if (!haystack || !needle) return false;
  if (!*needle) return true;
  for (; *haystack; ++haystack) {
    const WChar* h = haystack;
    const WChar* n = needle;
    while (*h && *n && *h == *n) ++h, ++n;
    if (!*n) return true;
  }
  return false;
}

std::string NarrowBstr(platform::Platform& platform, const WChar* text) {
  const auto length = static_cast<std::int32_t>(platform.SysStringLen(text));
  std::string narrow;
  if (length <= 0) return narrow;
  narrow.resize(static_cast<std::size_t>(length));
  for (std::int32_t i = 0; i < length; ++i) narrow[i] = static_cast<char>(text[i] & 0xFF);
  return narrow;
}

}  // namespace velto
