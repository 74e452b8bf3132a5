// What the MinGW-w64 10 Core Audio headers lack or get wrong. Everything
// else is taken from the SDK headers, with __uuidof for the identifiers.
#pragma once

// clang-format off
#include <windows.h>
#include <unknwn.h>
#include <wtypes.h>
// clang-format on

namespace velto::coreaudio {

// devicetopology.h has no IAudioMidrange.
inline constexpr IID kIidAudioMidrange = {
    0x5e54b6d7, 0xb44b, 0x40d9, {0x9a, 0x9e, 0xe6, 0x91, 0xd9, 0xce, 0x6e, 0xdf}};

// functiondiscoverykeys_devpkey.h only declares it unless INITGUID is set,
// and INITGUID would define every GUID of every header in this unit.
inline constexpr PROPERTYKEY kPkeyDeviceFriendlyName = {
    {0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 14};

// The vtable of IAudioAutoGainControl and of IAudioLoudness. devicetopology.h
// declares IAudioAutoGainControl's two methods as GetEnabled(BOOL, LPCGUID)
// and GetMute(BOOL*), which would call the getter with the setter's
// arguments; both interfaces are called through this declaration instead.
struct OnOffControl : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetEnabled(BOOL* enabled) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetEnabled(BOOL enabled, LPCGUID eventContext) = 0;
};

}  // namespace velto::coreaudio
