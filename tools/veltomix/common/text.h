// Text helpers shared by the friendly commands, the walk and its writers.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace veltomix {

// Whether `text` contains `piece`, letters A to Z compared without case and
// everything else exactly: the library's own rule for search texts.
bool ContainsFolded(const std::string& text, const std::string& piece);

// A lower-case id made of a name's letters and digits, runs of anything else
// becoming one '-' ("Line In Volume" -> "line-in-volume"); "part" when
// nothing is left.
std::string Slug(const std::string& name);

// Pads `text` with spaces to `width` columns, counting UTF-8 sequences as
// one column each.
std::string PadRight(const std::string& text, std::size_t width);
std::size_t Columns(const std::string& text);

// The candidate closest to `word` (letters compared without case, a swap of
// two neighbours counting as one edit), when it is close enough to be what
// was meant: one edit for a short word, two for a longer one. Empty if none is.
std::string Nearest(const std::string& word, const std::vector<std::string>& candidates);

}  // namespace veltomix
