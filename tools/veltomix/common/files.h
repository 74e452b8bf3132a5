// Reading and writing whole files, with the operating system's reason when
// that fails.
#pragma once

#include <optional>
#include <string>

namespace veltomix {

// "" when `text` was written to `path`; otherwise the message to show,
// "cannot write PATH: REASON". With `replace`, the text goes to a file beside
// `path` first and then takes its place, so a failed write leaves the old
// file whole.
std::string WriteWholeFile(const std::string& path, const std::string& text, bool replace = false);

// The file's bytes; nothing, with `*problem` set to "cannot read PATH:
// REASON", when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path, std::string* problem);

bool FileExists(const std::string& path);

}  // namespace veltomix
