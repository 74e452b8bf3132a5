#include "common/files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace veltomix {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string Reason(const char* doing, const std::string& path, int error) {
  return std::string("cannot ") + doing + " " + path + ": " + std::strerror(error);
}

// Writes and closes; the close is where a full disk may first show.
int WriteAndClose(File file, const std::string& text) {
  const bool written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
  int error = written ? 0 : errno;
  if (std::fclose(file.release()) != 0 && error == 0) error = errno;
  return error;
}

}  // namespace

std::string WriteWholeFile(const std::string& path, const std::string& text, bool replace) {
  const std::string target = replace ? path + ".partial" : path;
  File file(std::fopen(target.c_str(), "wb"));
  if (!file) return Reason("write", path, errno);
  if (const int error = WriteAndClose(std::move(file), text)) {
    if (replace) std::remove(target.c_str());
    return Reason("write", path, error);
  }
  if (!replace) return {};
#ifdef _WIN32
  std::remove(path.c_str());  // rename does not replace an existing file there
#endif
  if (std::rename(target.c_str(), path.c_str()) != 0) {
    const int error = errno;
    std::remove(target.c_str());
    return Reason("write", path, error);
  }
  return {};
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::string* problem) {
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    *problem = Reason("read", path, errno);
    return std::nullopt;
  }
  std::string text;
  char buffer[65536];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) text.append(buffer, got);
  if (std::ferror(file.get())) {
    *problem = Reason("read", path, errno);
    return std::nullopt;
  }
  return text;
}

bool FileExists(const std::string& path) { return File(std::fopen(path.c_str(), "rb")) != nullptr; }

}  // namespace veltomix
