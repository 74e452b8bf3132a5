// What the MinGW-w64 10 Core Audio headers get wrong in their interface
// declarations. The ids are not taken from the headers at all (com_ids.h).
#pragma once

// clang-format off
#include <windows.h>
#include <unknwn.h>
#include <wtypes.h>
// clang-format on

namespace velto::coreaudio {

// The vtable of IAudioAutoGainControl and of IAudioLoudness. devicetopology.h
// declares IAudioAutoGainControl's two methods as GetEnabled(BOOL, LPCGUID)
// and GetMute(BOOL*), which would call the getter with the setter's
// arguments; both interfaces are called through this declaration instead.
struct OnOffControl : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetEnabled(BOOL* enabled) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetEnabled(BOOL enabled, LPCGUID eventContext) = 0;
};

}  // namespace velto::coreaudio
