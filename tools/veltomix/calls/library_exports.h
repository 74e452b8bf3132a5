// Export calls through a VeltoSound library loaded at run time (--library),
// as a host that loads the DLL itself makes them, instead of through the
// core linked into veltomix.
#pragma once

#include <string>
#include <vector>

namespace veltomix {

// While it lives, export calls go to the library at `path`, each of `names`
// resolved up front; afterwards to the linked core again. The library itself
// stays loaded, as a host's would. Throws std::runtime_error when it cannot
// be loaded or lacks an export.
class LibraryExports {
 public:
  LibraryExports(const std::string& path, const std::vector<const char*>& names);
  ~LibraryExports();
  LibraryExports(const LibraryExports&) = delete;
  LibraryExports& operator=(const LibraryExports&) = delete;
};

// The loaded library's export `name`, or null when no library is loaded.
void* LibraryExport(const char* name);

// The export to call: the loaded library's, or the linked one.
template <class F>
F* Via(F* linked, const char* name) {
  void* loaded = LibraryExport(name);
  return loaded ? reinterpret_cast<F*>(loaded) : linked;
}

// COM on the calling thread before the first call, as a host may have it
// (--host-com none|sta|mta), undone when the scope ends. Only Windows has
// COM: elsewhere any mode but none throws std::runtime_error.
class HostCom {
 public:
  explicit HostCom(const std::string& mode);
  ~HostCom();
  HostCom(const HostCom&) = delete;
  HostCom& operator=(const HostCom&) = delete;

 private:
  bool initialized_ = false;
};

}  // namespace veltomix
