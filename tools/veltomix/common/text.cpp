#include "common/text.h"

#include <algorithm>

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

namespace {

// Edits (insert, delete, replace, swap of neighbours) from `a` to `b`.
std::size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t cost = FoldAscii(a[i - 1]) == FoldAscii(b[j - 1]) ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && FoldAscii(a[i - 1]) == FoldAscii(b[j - 2]) &&
          FoldAscii(a[i - 2]) == FoldAscii(b[j - 1]))
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[a.size()][b.size()];
}

}  // namespace

std::string Nearest(const std::string& word, const std::vector<std::string>& candidates) {
  const std::size_t allowed = word.size() <= 3 ? 1 : 2;
  std::string best;
  std::size_t bestDistance = allowed + 1;
  for (const std::string& candidate : candidates) {
    const std::size_t distance = EditDistance(word, candidate);
    if (distance < bestDistance) {
      best = candidate;
      bestDistance = distance;
    }
  }
  return best;
}

}  // namespace veltomix
