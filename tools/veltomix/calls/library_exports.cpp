#include "calls/library_exports.h"

#include <stdexcept>
#include <unordered_map>

#ifdef _WIN32
// clang-format off
#include <windows.h>
#include <objbase.h>
// clang-format on
#else
#include <dlfcn.h>
#endif

namespace veltomix {

namespace {

// The loaded library's exports by name; empty while none is in use.
std::unordered_map<std::string, void*>& Loaded() {
  static std::unordered_map<std::string, void*> exports;
  return exports;
}

#ifdef _WIN32
void* OpenLibrary(const std::string& path) { return LoadLibraryA(path.c_str()); }
void* Symbol(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}
// Why the last OpenLibrary failed. A DLL of the other width is the usual
// mistake with two builds side by side: it is named as such.
std::string LoadFailure() {
  const DWORD error = GetLastError();
  if (error != ERROR_BAD_EXE_FORMAT) return " (error " + std::to_string(error) + ")";
  const std::string bits = sizeof(void*) == 8 ? "64" : "32";
  return ": it is not a " + bits + "-bit DLL (error 193, ERROR_BAD_EXE_FORMAT), and this " +
         "veltomix.exe is " + bits + "-bit: use the DLL and veltomix.exe of one width (x86\\ " +
         "or x64\\ of the release archive)";
}
#else
void* OpenLibrary(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }
void* Symbol(void* library, const char* name) { return dlsym(library, name); }
std::string LoadFailure() {
  const char* why = dlerror();
  return why ? std::string(": ") + why : std::string();
}
#endif

}  // namespace

LibraryExports::LibraryExports(const std::string& path, const std::vector<const char*>& names) {
  void* library = OpenLibrary(path);
  if (!library) throw std::runtime_error("cannot load library " + path + LoadFailure());
  std::unordered_map<std::string, void*> exports;
  for (const char* name : names) {
    void* address = Symbol(library, name);
    if (!address) throw std::runtime_error(path + " has no export " + name);
    exports.emplace(name, address);
  }
  Loaded() = std::move(exports);
}

LibraryExports::~LibraryExports() { Loaded().clear(); }

void* LibraryExport(const char* name) {
  const auto& exports = Loaded();
  if (exports.empty()) return nullptr;
  const auto it = exports.find(name);
  return it == exports.end() ? nullptr : it->second;
}

#ifdef _WIN32
HostCom::HostCom(const std::string& mode) {
  if (mode == "none") return;
  if (mode != "sta" && mode != "mta") throw std::runtime_error("--host-com takes none, sta or mta");
  const DWORD model = mode == "sta" ? COINIT_APARTMENTTHREADED : COINIT_MULTITHREADED;
  initialized_ = SUCCEEDED(CoInitializeEx(nullptr, model));
  if (!initialized_) throw std::runtime_error("CoInitializeEx failed for --host-com " + mode);
}
HostCom::~HostCom() {
  if (initialized_) CoUninitialize();
}
#else
HostCom::HostCom(const std::string& mode) {
  if (mode != "none") throw std::runtime_error("--host-com sta and mta need Windows");
}
HostCom::~HostCom() = default;
#endif

}  // namespace veltomix
