// The COM runtime and the Windows string functions behind the platform
// interface.
// clang-format off
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <propidl.h>
// clang-format on

#include "platform/coreaudio/adapters.h"
#include "platform/platform.h"

namespace velto::coreaudio {

namespace p = velto::platform;

namespace {

const PROPVARIANT& AsPropVariant(const p::PropVariantData& value) {
  return *reinterpret_cast<const PROPVARIANT*>(value.bytes);
}
const OLECHAR* AsOle(const p::WChar* text) { return reinterpret_cast<const OLECHAR*>(text); }
p::WChar* AsWChar(BSTR text) { return reinterpret_cast<p::WChar*>(text); }

// The string a friendly-name PROPVARIANT holds, as a new BSTR. Windows'
// propsys PropVariantToBSTR gives the same for the types a property store
// hands out for a name; it is not imported because Wine's is a stub that
// ends the process.
HRESULT StringToBstr(const PROPVARIANT& value, BSTR* out) {
  *out = nullptr;
  switch (value.vt) {
    case VT_EMPTY:
      *out = SysAllocStringLen(nullptr, 0);
      break;
    case VT_LPWSTR:
      *out = SysAllocString(value.pwszVal ? value.pwszVal : L"");
      break;
    case VT_BSTR:
      *out = SysAllocStringLen(value.bstrVal, SysStringLen(value.bstrVal));
      break;
    default:
      return DISP_E_TYPEMISMATCH;
  }
  return *out ? S_OK : E_OUTOFMEMORY;
}

// CoIncrementMTAUsage and CoDecrementMTAUsage came with Windows 8: looked up
// when first needed, so that the library still loads on Windows 7.
template <class Function>
Function ComFunction(const char* name) {
  for (const char* module : {"combase.dll", "ole32.dll"}) {
    if (HMODULE loaded = GetModuleHandleA(module)) {
      // Through void (*)(): the one function type GCC lets any other pass.
      if (FARPROC found = GetProcAddress(loaded, name))
        return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
    }
  }
  return nullptr;
}

using IncrementMtaUsage = HRESULT(WINAPI*)(void** cookie);
using DecrementMtaUsage = HRESULT(WINAPI*)(void* cookie);

class CoreAudioPlatform final : public p::Platform {
 public:
  p::HRESULT CoInitialize() override { return ::CoInitialize(nullptr); }
  void CoUninitialize() override { ::CoUninitialize(); }
  p::HRESULT CoIncrementMTAUsage(void** cookie) override {
    static const auto increment = ComFunction<IncrementMtaUsage>("CoIncrementMTAUsage");
    return increment ? increment(cookie) : E_NOTIMPL;
  }
  p::HRESULT CoDecrementMTAUsage(void* cookie) override {
    static const auto decrement = ComFunction<DecrementMtaUsage>("CoDecrementMTAUsage");
    return decrement ? decrement(cookie) : E_NOTIMPL;
  }
  p::HRESULT CreateDeviceEnumerator(std::uint32_t clsctx,
                                    p::Ref<p::DeviceEnumerator>& out) override {
    return coreaudio::CreateDeviceEnumerator(clsctx, out);
  }
  void CoTaskMemFree(void* memory) override { ::CoTaskMemFree(memory); }

  p::WChar* SysAllocStringLen(const p::WChar* source, std::uint32_t length) override {
    return AsWChar(::SysAllocStringLen(AsOle(source), length));
  }
  void SysFreeString(p::WChar* text) override { ::SysFreeString(reinterpret_cast<BSTR>(text)); }
  std::uint32_t SysStringLen(const p::WChar* text) override {
    return ::SysStringLen(const_cast<BSTR>(AsOle(text)));
  }

  p::HRESULT PropVariantToBSTR(const p::PropVariantData& value, p::Bstr& out) override {
    BSTR text = nullptr;
    const HRESULT hr = StringToBstr(AsPropVariant(value), &text);
    p::Bstr owned(this, AsWChar(text));
    if (hr == S_OK) out = std::move(owned);
    return hr;
  }
  p::HRESULT PropVariantClear(p::PropVariantData* value) override {
    return ::PropVariantClear(reinterpret_cast<PROPVARIANT*>(value->bytes));
  }

  int LstrlenA(const char* text) override { return ::lstrlenA(text); }
  int MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* source,
                          int sourceBytes, p::WChar* dest, int destChars) override {
    return ::MultiByteToWideChar(codePage, flags, source, sourceBytes,
                                 reinterpret_cast<LPWSTR>(dest), destChars);
  }
  int WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags, const p::WChar* source,
                          int sourceChars, char* dest, int destBytes) override {
    return ::WideCharToMultiByte(codePage, flags, reinterpret_cast<LPCWSTR>(source), sourceChars,
                                 dest, destBytes, nullptr, nullptr);
  }
};

}  // namespace

}  // namespace velto::coreaudio

namespace velto::platform {

// Never destroyed: the library releases nothing at unload, and a bound
// control may still reach the platform from a host's own teardown.
Platform& BackendPlatform() {
  static Platform* const platform = new coreaudio::CoreAudioPlatform();
  return *platform;
}

}  // namespace velto::platform
