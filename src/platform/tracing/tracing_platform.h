// A platform in front of another one that reports every call made through it.
//
// Every call is forwarded unchanged, and every object the wrapped platform
// hands out is handed on inside a forwarding object of the same interface, so
// calls on it are reported too. A forwarding object holds exactly as many
// references to the wrapped one as it has itself, and answers Identity for
// it. Strings and PROPVARIANTs are freed through the wrapped platform, which
// allocated them.
//
// Not thread-safe: like the library, it expects one call at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>

#include "platform/platform.h"

namespace velto::platform::tracing {

// One call as it returned.
struct TracedCall {
  // "com" for the runtime and the string functions, else the object's
  // interface and its number while held ("IMMDevice#3").
  std::string object;
  const char* method = "";
  std::string args;
  std::optional<HRESULT> result;  // none for calls that return no HRESULT
  std::string outputs;            // what the call handed back, if anything
};

using TraceSink = std::function<void(const TracedCall&)>;

// object method(args) -> RESULT outputs
std::string FormatCall(const TracedCall& call);

class TracingPlatform final : public Platform {
 public:
  TracingPlatform(Platform& wrapped, TraceSink sink);
  TracingPlatform(const TracingPlatform&) = delete;
  TracingPlatform& operator=(const TracingPlatform&) = delete;

  Platform& Wrapped() const { return wrapped_; }
  // An empty sink silences the trace; forwarding goes on.
  void SetSink(TraceSink sink) { sink_ = std::move(sink); }

  // For the forwarding objects. An object keeps its number while a
  // forwarding object for it lives; after that its identity may be reused
  // (a Windows heap address is), and it is numbered afresh.
  std::string Hold(const char* interfaceName, const void* identity);
  void Let(const void* identity);
  void Report(TracedCall call) const;

  HRESULT CoInitialize() override;
  void CoUninitialize() override;
  HRESULT CoIncrementMTAUsage(void** cookie) override;
  HRESULT CoDecrementMTAUsage(void* cookie) override;
  HRESULT CreateDeviceEnumerator(std::uint32_t clsctx, Ref<DeviceEnumerator>& out) override;
  void CoTaskMemFree(void* memory) override;
  WChar* SysAllocStringLen(const WChar* source, std::uint32_t length) override;
  void SysFreeString(WChar* text) override;
  std::uint32_t SysStringLen(const WChar* text) override;
  HRESULT PropVariantToBSTR(const PropVariantData& value, Bstr& out) override;
  HRESULT PropVariantClear(PropVariantData* value) override;
  int LstrlenA(const char* text) override;
  int MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* source,
                          int sourceBytes, WChar* dest, int destChars) override;
  int WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags, const WChar* source,
                          int sourceChars, char* dest, int destBytes) override;

 private:
  void Com(const char* method, std::string args, std::optional<HRESULT> result,
           std::string outputs = {}) const;

  Platform& wrapped_;
  TraceSink sink_;
  struct Held {
    unsigned number;
    unsigned wrappers;
  };
  std::unordered_map<const void*, Held> held_;
  unsigned lastNumber_ = 0;
};

// Puts a tracer in front of `backend` for the process while it lives, and
// takes it away again (its sink dropped) when it ends. The tracer itself is
// never destroyed: a binding may hold objects and strings it handed out long
// after the scope. A later scope over the same backend reuses it, so those
// objects report to the later sink.
class TraceScope {
 public:
  TraceScope(Platform& backend, TraceSink sink);
  ~TraceScope();
  TraceScope(const TraceScope&) = delete;
  TraceScope& operator=(const TraceScope&) = delete;

 private:
  TracingPlatform& tracer_;
  Platform* previous_;
};

}  // namespace velto::platform::tracing
