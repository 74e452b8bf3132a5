#pragma once

#include <utility>

#include "platform/platform.h"

namespace velto::platform {

// CoInitialize/CoUninitialize around one operation's platform calls. The
// uninitialise is skipped when the initialise did not succeed: a host thread
// already in another apartment answers RPC_E_CHANGED_MODE, and undoing the
// host's own COM initialisation would pull the runtime out from under it.
class ComScope {
 public:
  explicit ComScope(Platform& platform) : platform_(platform) {
    const HRESULT hr = platform_.CoInitialize();
    initialized_ = hr == kS_OK || hr == kS_FALSE;
  }
  ~ComScope() {
    if (initialized_) platform_.CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  Platform& platform_;
  bool initialized_ = false;
};

// One hold on the process's multithreaded apartment (CoIncrementMTAUsage),
// given back by Give or by scope. While it is held, a host thread that never
// initialised COM is in the implicit multithreaded apartment, and the COM
// runtime cannot unload the code behind the objects the library keeps. Where
// the runtime refuses (before Windows 8) nothing is held and all goes on as
// without it.
class MtaHold {
 public:
  MtaHold() = default;
  MtaHold(MtaHold&& other) noexcept
      : platform_(std::exchange(other.platform_, nullptr)),
        cookie_(std::exchange(other.cookie_, nullptr)) {}
  MtaHold& operator=(MtaHold&& other) noexcept {
    if (this != &other) {
      Give();
      platform_ = std::exchange(other.platform_, nullptr);
      cookie_ = std::exchange(other.cookie_, nullptr);
    }
    return *this;
  }
  ~MtaHold() { Give(); }

  // Holds the apartment through `platform`, unless it is held there already.
  // A hold on another platform (a host program swapped it) goes back first.
  void Take(Platform& platform) {
    if (platform_ == &platform) return;
    Give();
    void* cookie = nullptr;
    // Any success that hands a cookie holds the apartment and must be given back.
    if (platform.CoIncrementMTAUsage(&cookie) < 0 || !cookie) return;
    platform_ = &platform;
    cookie_ = cookie;
  }
  void Give() {
    if (Platform* platform = std::exchange(platform_, nullptr)) {
      platform->CoDecrementMTAUsage(std::exchange(cookie_, nullptr));
    }
  }

 private:
  Platform* platform_ = nullptr;
  void* cookie_ = nullptr;
};

}  // namespace velto::platform
