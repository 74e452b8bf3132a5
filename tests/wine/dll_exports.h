// VeltoSound.dll loaded at run time: every export as a __stdcall pointer of
// the public header's type, resolved by name.
#pragma once

// clang-format off
#include <windows.h>
// clang-format on

#include <cstring>

#include "veltosound.h"

namespace velto::testing {

// clang-format off
#define VELTO_EXPORT_NAMES(X)                                                                      \
  X(GetMasterVolume) X(SetMasterVolume) X(GetMasterMute) X(SetMasterMute) X(OpenSoundCard)         \
  X(CloseSoundCard) X(SetLinePlayBack) X(SetLinePlayBackMute) X(GetLinePlayBackMute)               \
  X(SetMicPlayBack) X(SetMicPlayBackMute) X(GetMicPlayBackMute) X(SetMicBoost) X(GetMicBoost)      \
  X(GetNoMonitor) X(SetNoMonitor) X(GetLinePlayBack) X(GetMicPlayBack) X(GetEQRange) X(SetBass)    \
  X(GetBass) X(SetTreble) X(GetTreble) X(SetMidRange) X(GetMidRange) X(GetMicRecordVolume)         \
  X(SetMicRecordVolume) X(GetLineRecordVolume) X(SetLineRecordVolume) X(OpenDefaultDevices)        \
  X(GetDeviceNames) X(GetNumberPlayDevices) X(GetNumberRecordDevices) X(GetPlayBackDevice)         \
  X(GetRecordDevice) X(OpenVirtual_1) X(CloseVirtual_1) X(GetVirtualVolume) X(SetVirtualVolume)    \
  X(SetVirtualMute) X(GetVirtualMute) X(GetMicSliderBoost) X(GetMicSliderDetails)       \
  X(SetMicSliderBoost)
// clang-format on

// GetProcAddress hands out every export as the same type; the header gives
// the real one.
template <class Function>
Function FunctionAs(FARPROC address) {
  static_assert(sizeof(Function) == sizeof address);
  Function function;
  std::memcpy(&function, &address, sizeof function);
  return function;
}

struct DllExports {
#define VELTO_DECLARE_POINTER(name) decltype(&::name) name = nullptr;
  VELTO_EXPORT_NAMES(VELTO_DECLARE_POINTER)
#undef VELTO_DECLARE_POINTER

  // True when every export was found.
  bool Resolve(HMODULE module) {
    bool all = true;
#define VELTO_RESOLVE(name)                                         \
  name = FunctionAs<decltype(name)>(GetProcAddress(module, #name)); \
  all = all && name;
    VELTO_EXPORT_NAMES(VELTO_RESOLVE)
#undef VELTO_RESOLVE
    return all;
  }
};

}  // namespace velto::testing
