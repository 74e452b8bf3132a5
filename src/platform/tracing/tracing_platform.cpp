#include "platform/tracing/tracing_platform.h"

#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#include "platform/readable.h"
#include "platform/tracing/trace_text.h"
#include "platform/tracing/traced_objects.h"

namespace velto::platform::tracing {

std::string FormatCall(const TracedCall& call) {
  std::string line = call.object + " " + call.method + "(" + call.args + ")";
  if (call.result) line += " -> " + ResultName(*call.result);
  if (!call.outputs.empty()) line += (call.result ? " " : " -> ") + call.outputs;
  return line;
}

// --- The forwarding platform ------------------------------------------------------------------

TracingPlatform::TracingPlatform(Platform& wrapped, TraceSink sink)
    : wrapped_(wrapped), sink_(std::move(sink)) {}

std::string TracingPlatform::Hold(const char* interfaceName, const void* identity) {
  const auto [it, added] = held_.emplace(identity, Held{lastNumber_ + 1, 0});
  if (added) ++lastNumber_;
  ++it->second.wrappers;
  return std::string(interfaceName) + "#" + std::to_string(it->second.number);
}

void TracingPlatform::Let(const void* identity) {
  const auto it = held_.find(identity);
  if (it != held_.end() && --it->second.wrappers == 0) held_.erase(it);
}

void TracingPlatform::Report(TracedCall call) const {
  if (sink_) sink_(call);
}

void TracingPlatform::Com(const char* method, std::string args, std::optional<HRESULT> result,
                          std::string outputs) const {
  Report(TracedCall{"com", method, std::move(args), result, std::move(outputs)});
}

HRESULT TracingPlatform::CoInitialize() {
  const HRESULT hr = wrapped_.CoInitialize();
  Com("CoInitialize", {}, hr);
  return hr;
}

void TracingPlatform::CoUninitialize() {
  wrapped_.CoUninitialize();
  Com("CoUninitialize", {}, std::nullopt);
}

HRESULT TracingPlatform::CoIncrementMTAUsage(void** cookie) {
  const HRESULT hr = wrapped_.CoIncrementMTAUsage(cookie);
  Com("CoIncrementMTAUsage", {}, hr);
  return hr;
}

HRESULT TracingPlatform::CoDecrementMTAUsage(void* cookie) {
  const HRESULT hr = wrapped_.CoDecrementMTAUsage(cookie);
  Com("CoDecrementMTAUsage", {}, hr);
  return hr;
}

HRESULT TracingPlatform::CreateDeviceEnumerator(std::uint32_t clsctx, Ref<DeviceEnumerator>& out) {
  const DeviceEnumerator* before = out.Get();
  const HRESULT hr = wrapped_.CreateDeviceEnumerator(clsctx, out);
  Com("CreateDeviceEnumerator", "clsctx=" + HexText(clsctx, 1), hr,
      WrapEnumerator(*this, out, before));
  return hr;
}

void TracingPlatform::CoTaskMemFree(void* memory) {
  wrapped_.CoTaskMemFree(memory);
  Com("CoTaskMemFree", PointerText(memory), std::nullopt);
}

WChar* TracingPlatform::SysAllocStringLen(const WChar* source, std::uint32_t length) {
  WChar* text = wrapped_.SysAllocStringLen(source, length);
  Com("SysAllocStringLen",
      Join({source ? Quoted(source, length) : "source=null", "length=" + Number(length)}),
      std::nullopt, PointerText(text));
  return text;
}

void TracingPlatform::SysFreeString(WChar* text) {
  wrapped_.SysFreeString(text);
  Com("SysFreeString", PointerText(text), std::nullopt);
}

std::uint32_t TracingPlatform::SysStringLen(const WChar* text) {
  const std::uint32_t length = wrapped_.SysStringLen(text);
  Com("SysStringLen", PointerText(text), std::nullopt, Number(length));
  return length;
}

HRESULT TracingPlatform::PropVariantToBSTR(const PropVariantData& value, Bstr& out) {
  const WChar* before = out.Get();
  const HRESULT hr = wrapped_.PropVariantToBSTR(value, out);
  // Freed through this platform from now on, so the trace shows it.
  if (out && out.Get() != before) out = Bstr(this, out.Detach());
  Com("PropVariantToBSTR", PointerText(&value), hr,
      out.Get() != before ? PointerText(out.Get()) + " " + Quoted(out.Get()) : "");
  return hr;
}

HRESULT TracingPlatform::PropVariantClear(PropVariantData* value) {
  const HRESULT hr = wrapped_.PropVariantClear(value);
  Com("PropVariantClear", PointerText(value), hr);
  return hr;
}

int TracingPlatform::LstrlenA(const char* text) {
  const int length = wrapped_.LstrlenA(text);
  Com("LstrlenA", text ? Quoted(text, length > 0 ? length : 0) : "null", std::nullopt,
      Number(length));
  return length;
}

namespace {

// The text a Windows conversion reads: up to and including the terminator
// for -1, else `length` units; nothing for a length it refuses.
template <class Char>
std::string SourceText(const Char* source, int length) {
  if (!source || length == 0 || length < -1) return "(no text)";
  std::size_t units = static_cast<std::size_t>(length);
  if (length == -1) {
    units = 0;
    while (source[units] != 0) ++units;
    ++units;
  }
  return Quoted(source, units);
}

}  // namespace

int TracingPlatform::MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags,
                                         const char* source, int sourceBytes, WChar* dest,
                                         int destChars) {
  const int written =
      wrapped_.MultiByteToWideChar(codePage, flags, source, sourceBytes, dest, destChars);
  Com("MultiByteToWideChar",
      Join({"codePage=" + Number(codePage), "flags=" + HexText(flags, 1),
            SourceText(source, sourceBytes), "bytes=" + Number(sourceBytes),
            "destChars=" + Number(destChars)}),
      std::nullopt, Number(written));
  return written;
}

int TracingPlatform::WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags,
                                         const WChar* source, int sourceChars, char* dest,
                                         int destBytes) {
  const int written =
      wrapped_.WideCharToMultiByte(codePage, flags, source, sourceChars, dest, destBytes);
  Com("WideCharToMultiByte",
      Join({"codePage=" + Number(codePage), "flags=" + HexText(flags, 1),
            SourceText(source, sourceChars), "chars=" + Number(sourceChars),
            "destBytes=" + Number(destBytes)}),
      std::nullopt, Number(written));
  return written;
}

// --- Installing a tracer for the process ---------------------------------------------------

namespace {

TracingPlatform& TracerFor(Platform& backend) {
  // Never destroyed, see TraceScope.
  static auto* const tracers = new std::vector<TracingPlatform*>();
  for (TracingPlatform* tracer : *tracers) {
    if (&tracer->Wrapped() == &backend) return *tracer;
  }
  tracers->push_back(new TracingPlatform(backend, {}));
  return *tracers->back();
}

}  // namespace

TraceScope::TraceScope(Platform& backend, TraceSink sink) : tracer_(TracerFor(backend)) {
  tracer_.SetSink(std::move(sink));
  previous_ = InstallPlatform(&tracer_);
}

TraceScope::~TraceScope() {
  InstallPlatform(previous_);
  tracer_.SetSink({});
}

}  // namespace velto::platform::tracing
