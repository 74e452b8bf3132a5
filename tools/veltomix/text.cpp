#include "text.h"

namespace veltomix {

namespace {

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

bool IsHigh(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLow(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string Utf16ToUtf8(const char16_t* text, std::size_t length, bool* exact) {
  std::string out;
  if (exact) *exact = true;
  for (std::size_t i = 0; i < length; ++i) {
    const char16_t unit = text[i];
    if (IsHigh(unit) && i + 1 < length && IsLow(text[i + 1])) {
      AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                          (static_cast<char32_t>(text[i + 1]) - 0xDC00));
      ++i;
    } else if (IsHigh(unit) || IsLow(unit)) {
      AppendUtf8(out, 0xFFFD);
      if (exact) *exact = false;
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

bool ContainsFolded(const std::string& text, const std::string& piece) {
  if (piece.size() > text.size()) return false;
  for (std::size_t start = 0; start + piece.size() <= text.size(); ++start) {
    std::size_t k = 0;
    while (k < piece.size() && FoldAscii(text[start + k]) == FoldAscii(piece[k])) ++k;
    if (k == piece.size()) return true;
  }
  return false;
}

std::string Slug(const std::string& name) {
  std::string slug;
  bool gap = false;
  for (char c : name) {
    const char folded = FoldAscii(c);
    const bool keep = (folded >= 'a' && folded <= 'z') || (folded >= '0' && folded <= '9');
    if (!keep) {
      gap = !slug.empty();
      continue;
    }
    if (gap) slug += '-';
    gap = false;
    slug += folded;
  }
  return slug.empty() ? "part" : slug;
}

std::size_t Columns(const std::string& text) {
  std::size_t columns = 0;
  for (unsigned char c : text) columns += (c & 0xC0) != 0x80 ? 1 : 0;
  return columns;
}

std::string PadRight(const std::string& text, std::size_t width) {
  const std::size_t columns = Columns(text);
  return columns >= width ? text : text + std::string(width - columns, ' ');
}

}  // namespace veltomix
