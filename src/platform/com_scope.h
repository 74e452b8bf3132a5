#pragma once

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

}  // namespace velto::platform
