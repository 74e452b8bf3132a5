#include "text.h"

namespace veltomix {

namespace {

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

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
