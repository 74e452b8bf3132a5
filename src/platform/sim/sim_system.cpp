#include "platform/sim/sim_system.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "platform/description/reader.h"
#include "platform/description/text.h"
#include "platform/description/writer.h"
#include "platform/readable.h"
#include "platform/sim/code_page.h"
#include "platform/sim/engine.h"
#include "platform/sim/objects.h"

namespace velto::sim {

namespace p = platform;
using nlohmann::json;

extern const char* const kSampleSystemJson;  // generated from sample_system.json

namespace {

const std::string kCom = "com";
// Larger BSTRs "cannot be allocated", as a real heap would refuse them.
constexpr std::uint32_t kMaxBstrLength = 1u << 24;

std::string Pointer(const void* address) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%p", address);
  return buffer;
}

std::string InjectedMark(bool injected) { return injected ? " (injected)" : ""; }

std::string PrintableWide(const p::WChar* text, std::size_t length) {
  return p::InQuotes(description::Utf16ToUtf8(text, length));
}

}  // namespace

// --- Loading and dumping -------------------------------------------------------------------

SimSystem::SimSystem(std::unique_ptr<Engine> engine) : engine_(std::move(engine)) {
  engine_->owner = this;
}

SimSystem::~SimSystem() = default;

std::unique_ptr<SimSystem> SimSystem::FromJson(const json& description,
                                               const std::string& sourceName) {
  return Build(description::ParseDescription(description, sourceName));
}

std::unique_ptr<SimSystem> SimSystem::FromFile(const std::string& path) {
  return Build(description::ReadDescriptionFile(path));
}

namespace {

std::u16string WideOrThrow(const std::string& text, const std::string& what) {
  auto wide = description::Utf8ToUtf16(text);
  if (!wide) throw DescriptionError("model: " + what + " is not valid UTF-8");
  return std::move(*wide);
}

void CompleteModel(description::Description& model) {
  for (description::AdapterState& adapter : model.adapters) {
    for (description::PartState& part : adapter.parts)
      part.wideName = WideOrThrow(part.name, "part name");
    for (const auto& [from, to] : adapter.links) {
      if (from >= adapter.parts.size() || to >= adapter.parts.size())
        throw DescriptionError("model: a link of " + adapter.name + " out of range");
    }
  }
  for (description::EndpointState& endpoint : model.endpoints) {
    endpoint.wideName = WideOrThrow(endpoint.name, "endpoint name");
    endpoint.wideId = WideOrThrow(endpoint.id, "endpoint id");
    const auto& joined = endpoint.connector;
    if (joined && (joined->adapter >= model.adapters.size() ||
                   joined->part >= model.adapters[joined->adapter].parts.size()))
      throw DescriptionError("model: the connector of " + endpoint.id + " out of range");
  }
}

}  // namespace

std::unique_ptr<SimSystem> SimSystem::FromModel(description::Description model) {
  CompleteModel(model);
  return Build(std::move(model));
}

std::unique_ptr<SimSystem> SimSystem::Sample() {
  return Build(description::ReadDescription(kSampleSystemJson, "sample_system.json"));
}

std::unique_ptr<SimSystem> SimSystem::Build(description::Description description) {
  auto engine = std::make_unique<Engine>(std::move(description));
  const char* fresh = std::getenv("VELTOSOUND_FRESH_OBJECTS");
  engine->freshObjects = fresh && std::strcmp(fresh, "1") == 0;
  return std::unique_ptr<SimSystem>(new SimSystem(std::move(engine)));
}

json SimSystem::Dump() const {
  Description current = engine_->world;
  for (std::size_t i = current.endpoints.size(); i-- > 0;) {
    if (engine_->removed[i]) current.endpoints.erase(current.endpoints.begin() + i);
  }
  current.faults = engine_->RemainingFaults();
  return json(description::DescriptionToJson(current));
}

// --- Accounting ------------------------------------------------------------------------------

long SimSystem::LiveReferences() const {
  long total = 0;
  for (const auto& object : engine_->objects) total += object->Refs();
  return total;
}

std::vector<std::pair<std::string, long>> SimSystem::LiveReferencesByObject() const {
  std::vector<std::pair<std::string, long>> live;
  std::map<std::string, std::size_t> position;  // collections share a path per flow
  for (const auto& object : engine_->objects) {
    if (object->Refs() == 0) continue;
    const auto [it, added] = position.emplace(object->Path(), live.size());
    if (added) {
      live.emplace_back(object->Path(), object->Refs());
    } else {
      live[it->second].second += object->Refs();
    }
  }
  return live;
}

std::vector<std::string> SimSystem::Problems() const { return engine_->problems; }

std::size_t SimSystem::LiveMtaUsages() const { return engine_->mtaUsages.size(); }
void SimSystem::SetFreshObjects(bool on) { engine_->freshObjects = on; }
void SimSystem::SetApartmentChecks(bool on) { engine_->checkApartments = on; }

int SimSystem::ComInitDepth() const {
  int depth = 0;
  for (const auto& [thread, threadDepth] : engine_->comDepth) depth += threadDepth;
  return depth;
}

std::size_t SimSystem::LiveTaskStrings() const { return engine_->taskMemory.Live(); }
std::size_t SimSystem::LiveBstrs() const { return engine_->bstrs.Live(); }
std::size_t SimSystem::LivePropVariants() const { return engine_->propVariants.Live(); }
std::uint64_t SimSystem::CallCount() const { return engine_->callCount; }

// --- Trace and faults ------------------------------------------------------------------------

void SimSystem::SetTracing(bool on) { engine_->tracing = on; }
void SimSystem::SetTraceSink(std::function<void(const TraceEntry&)> sink) {
  engine_->sink = std::move(sink);
}
const std::vector<TraceEntry>& SimSystem::Trace() const { return engine_->trace; }
void SimSystem::ClearTrace() { engine_->trace.clear(); }

void SimSystem::AddFault(FaultRule rule) { engine_->faults.push_back({std::move(rule), 0}); }
void SimSystem::ClearFaults() { engine_->faults.clear(); }

bool SimSystem::RemoveEndpoint(const std::string& id) { return engine_->RemoveEndpoint(id); }
bool SimSystem::SetEndpointState(const std::string& id, std::uint32_t state) {
  return engine_->SetEndpointState(id, state);
}
bool SimSystem::SetDefaultEndpoint(const std::string& id) {
  return engine_->SetDefaultEndpoint(id);
}

// --- The COM runtime -------------------------------------------------------------------------

p::HRESULT SimSystem::CoInitialize() {
  int& depth = engine_->comDepth[std::this_thread::get_id()];
  const p::HRESULT result = engine_->Call(
      nullptr, kCom, "CoInitialize", std::nullopt,
      [&]() -> p::HRESULT { return depth > 0 ? p::kS_FALSE : p::kS_OK; },
      [](bool) { return std::string(); });
  // An injected failure leaves the thread as it was; RPC_E_CHANGED_MODE says
  // it was in an apartment of the host's already.
  const std::thread::id thread = std::this_thread::get_id();
  if (result == p::kS_OK || result == p::kS_FALSE) {
    ++depth;
    engine_->initRefused.erase(thread);
  } else if (result == p::kRPC_E_CHANGED_MODE) {
    engine_->hostApartments.insert(thread);
  } else {
    engine_->initRefused.insert(thread);
  }
  return result;
}

void SimSystem::CoUninitialize() {
  int& depth = engine_->comDepth[std::this_thread::get_id()];
  if (depth > 0) {
    --depth;
  } else {
    engine_->Problem("CoUninitialize without a matching successful CoInitialize");
  }
  if (engine_->tracing)
    engine_->Record(kCom, "CoUninitialize", "-> depth " + std::to_string(depth), 0, false);
}

p::HRESULT SimSystem::CoIncrementMTAUsage(void** cookie) {
  bool granted = false;
  const p::HRESULT result = engine_->Call(
      nullptr, kCom, "CoIncrementMTAUsage", std::nullopt,
      [&]() -> p::HRESULT {
        if (!cookie) return p::kE_POINTER;
        const std::uintptr_t handle = ++engine_->lastMtaCookie;
        engine_->mtaUsages.insert(handle);
        *cookie = reinterpret_cast<void*>(handle);
        granted = true;
        return p::kS_OK;
      },
      [](bool) { return std::string(); });
  if (result < 0 && cookie) *cookie = nullptr;
  engine_->mtaRefused = !granted;
  return result;
}

p::HRESULT SimSystem::CoDecrementMTAUsage(void* cookie) {
  const auto handle = reinterpret_cast<std::uintptr_t>(cookie);
  const p::HRESULT result = engine_->Call(
      nullptr, kCom, "CoDecrementMTAUsage", std::nullopt,
      [&]() -> p::HRESULT {
        if (engine_->mtaUsages.count(handle) == 1) return p::kS_OK;
        engine_->Problem("CoDecrementMTAUsage of a cookie not handed out or given back already");
        return p::kE_INVALIDARG;
      },
      [](bool) { return std::string(); });
  // Offered back: the client holds it no more, whatever the runtime answered.
  engine_->mtaUsages.erase(handle);
  return result;
}

p::HRESULT SimSystem::CreateDeviceEnumerator(std::uint32_t clsctx,
                                             p::Ref<p::DeviceEnumerator>& out) {
  engine_->CheckApartment(kCom, "CreateDeviceEnumerator");
  const p::HRESULT result = engine_->Call(
      nullptr, kCom, "CreateDeviceEnumerator", std::nullopt,
      [&]() -> p::HRESULT {
        Hand(out, engine_->enumerator);
        return p::kS_OK;
      },
      [&](bool) { return "clsctx=" + p::HexText(clsctx); });
  if (result < 0) out.Reset();
  return result;
}

void SimSystem::CoTaskMemFree(void* memory) {
  const FreeOutcome outcome = engine_->taskMemory.Free(memory);
  if (outcome == FreeOutcome::AlreadyFreed)
    engine_->Problem("double free of task memory " + Pointer(memory));
  if (outcome == FreeOutcome::Unknown)
    engine_->Problem("CoTaskMemFree of memory the platform did not allocate: " + Pointer(memory));
  if (engine_->tracing) engine_->Record(kCom, "CoTaskMemFree", Pointer(memory), 0, false);
}

// --- BSTRs and PROPVARIANTs --------------------------------------------------------------------

bool SimSystem::Injected(const char* op) {
  return !engine_->faults.empty() && engine_->FailsPlainCall(kCom, op);
}

p::WChar* SimSystem::SysAllocStringLen(const p::WChar* source, std::uint32_t length) {
  const bool injected = Injected("SysAllocStringLen");
  p::WChar* text =
      injected || length > kMaxBstrLength ? nullptr : engine_->bstrs.Allocate(source, length);
  if (engine_->tracing)
    engine_->Record(kCom, "SysAllocStringLen",
                    "length=" + std::to_string(length) + (source ? "" : " source=null") + " -> " +
                        Pointer(text) + InjectedMark(injected),
                    0, false);
  return text;
}

void SimSystem::SysFreeString(p::WChar* text) {
  const FreeOutcome outcome = engine_->bstrs.Free(text);
  if (outcome == FreeOutcome::AlreadyFreed)
    engine_->Problem("double free of BSTR " + Pointer(text));
  if (outcome == FreeOutcome::Unknown)
    engine_->Problem("SysFreeString of a pointer that is no BSTR: " + Pointer(text));
  if (engine_->tracing) engine_->Record(kCom, "SysFreeString", Pointer(text), 0, false);
}

std::uint32_t SimSystem::SysStringLen(const p::WChar* text) {
  std::uint32_t length = 0;
  if (text) {
    if (auto live = engine_->bstrs.LiveLength(text)) {
      length = static_cast<std::uint32_t>(*live);
    } else {
      engine_->Problem(
          std::string("SysStringLen of ") +
          (engine_->bstrs.WasFreed(text) ? "a freed BSTR " : "a pointer that is no BSTR ") +
          Pointer(text));
    }
  }
  if (engine_->tracing)
    engine_->Record(kCom, "SysStringLen", Pointer(text) + " -> " + std::to_string(length), 0,
                    false);
  return length;
}

p::HRESULT SimSystem::PropVariantToBSTR(const p::PropVariantData& value, p::Bstr& out) {
  const std::uint16_t type = VariantType(value);
  const std::uint64_t handle = VariantHandle(value);
  const p::HRESULT result = engine_->Call(
      nullptr, kCom, "PropVariantToBSTR", std::nullopt,
      [&]() -> p::HRESULT {
        const std::u16string empty;
        const std::u16string* text = type == kVtEmpty ? &empty : nullptr;
        if (type == kVtLpwstr) text = engine_->propVariants.LiveText(handle);
        if (!text) {
          engine_->Problem("PropVariantToBSTR of a " +
                           std::string(type == kVtLpwstr ? "cleared" : "malformed") +
                           " PROPVARIANT (type " + std::to_string(type) + ", handle " +
                           std::to_string(handle) + ")");
          return p::kE_INVALIDARG;
        }
        out = p::Bstr(this, engine_->bstrs.Allocate(text->data(), text->size()));
        return p::kS_OK;
      },
      [&](bool) { return "type=" + std::to_string(type) + " handle=" + std::to_string(handle); });
  if (result < 0) out.Reset();
  return result;
}

p::HRESULT SimSystem::PropVariantClear(p::PropVariantData* value) {
  return engine_->Call(
      nullptr, kCom, "PropVariantClear", std::nullopt,
      [&]() -> p::HRESULT {
        if (!value) return p::kE_POINTER;
        const std::uint16_t type = VariantType(*value);
        const std::uint64_t handle = VariantHandle(*value);
        if (type == kVtEmpty) return p::kS_OK;
        if (type != kVtLpwstr) {
          engine_->Problem("PropVariantClear of a malformed PROPVARIANT (type " +
                           std::to_string(type) + ")");
          return p::kE_INVALIDARG;
        }
        const FreeOutcome outcome = engine_->propVariants.Free(handle);
        if (outcome == FreeOutcome::AlreadyFreed)
          engine_->Problem("double free of PROPVARIANT payload " + std::to_string(handle));
        if (outcome == FreeOutcome::Unknown)
          engine_->Problem("PropVariantClear of an unknown PROPVARIANT payload " +
                           std::to_string(handle));
        WriteVariant(*value, kVtEmpty, 0);
        return p::kS_OK;
      },
      [&](bool) {
        if (!value) return std::string("null");
        return "type=" + std::to_string(VariantType(*value)) +
               " handle=" + std::to_string(VariantHandle(*value));
      });
}

// --- Narrow and wide strings -----------------------------------------------------------------

int SimSystem::LstrlenA(const char* text) {
  const int length = text ? static_cast<int>(std::strlen(text)) : 0;
  if (engine_->tracing)
    engine_->Record(
        kCom, "LstrlenA",
        (text ? p::Quoted(text, length) : std::string("null")) + " -> " + std::to_string(length), 0,
        false);
  return length;
}

namespace {

bool IsAnsiCodePage(std::uint32_t codePage) { return codePage == p::kCpAcp || codePage == 1252; }

// The source length a Windows conversion works on: -1 means up to and
// including the terminator; 0 and other negative values are invalid.
template <class Char>
std::optional<std::size_t> SourceLength(const Char* source, int length) {
  if (!source || length == 0 || length < -1) return std::nullopt;
  if (length > 0) return static_cast<std::size_t>(length);
  std::size_t count = 0;
  while (source[count] != 0) ++count;
  return count + 1;
}

// The Windows output contract shared by both directions: size 0 asks for the
// needed size, a buffer too small fails with 0 and nothing is written.
template <class From, class To, class Unit>
int Convert(std::uint32_t codePage, const From* source, int sourceLength, To* dest, int destSize,
            Unit convert) {
  const auto length = SourceLength(source, sourceLength);
  if (!IsAnsiCodePage(codePage) || !length || destSize < 0 || (destSize > 0 && !dest)) return 0;
  if (*length > static_cast<std::size_t>(INT32_MAX)) return 0;
  const int needed = static_cast<int>(*length);
  if (destSize == 0) return needed;
  if (destSize < needed) return 0;
  for (std::size_t i = 0; i < *length; ++i) dest[i] = convert(source[i]);
  return needed;
}

}  // namespace

int SimSystem::MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* source,
                                   int sourceBytes, p::WChar* dest, int destChars) {
  const bool injected = Injected("MultiByteToWideChar");
  const int result =
      injected ? 0 : Convert(codePage, source, sourceBytes, dest, destChars, [](char byte) {
        return Cp1252ToWide(static_cast<unsigned char>(byte));
      });
  if (engine_->tracing) {
    const auto length = SourceLength(source, sourceBytes);
    engine_->Record(kCom, "MultiByteToWideChar",
                    "codePage=" + std::to_string(codePage) + " flags=" + p::HexText(flags) + " " +
                        (length ? p::Quoted(source, *length) : std::string("(no text)")) +
                        " bytes=" + std::to_string(sourceBytes) +
                        " destChars=" + std::to_string(destChars) + " -> " +
                        std::to_string(result) + InjectedMark(injected),
                    0, false);
  }
  return result;
}

int SimSystem::WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags,
                                   const p::WChar* source, int sourceChars, char* dest,
                                   int destBytes) {
  const bool injected = Injected("WideCharToMultiByte");
  const int result =
      injected ? 0 : Convert(codePage, source, sourceChars, dest, destBytes, WideToCp1252);
  if (engine_->tracing) {
    const auto length = SourceLength(source, sourceChars);
    engine_->Record(kCom, "WideCharToMultiByte",
                    "codePage=" + std::to_string(codePage) + " flags=" + p::HexText(flags) + " " +
                        (length ? PrintableWide(source, *length) : std::string("(no text)")) +
                        " chars=" + std::to_string(sourceChars) +
                        " destBytes=" + std::to_string(destBytes) + " -> " +
                        std::to_string(result) + InjectedMark(injected),
                    0, false);
  }
  return result;
}

// --- The installed system ------------------------------------------------------------------------

namespace {

// Deliberately never destroyed: clients may hold references in static
// objects whose destructors run after ours would.
SimSystem* installed = nullptr;
std::vector<SimSystem*>* retired = nullptr;

bool InUse(const SimSystem& system) {
  return system.LiveReferences() > 0 || system.LiveTaskStrings() > 0 || system.LiveBstrs() > 0 ||
         system.LivePropVariants() > 0 || system.LiveMtaUsages() > 0;
}

// Frees retired systems that nobody holds anything of any more.
void CollectRetired() {
  if (!retired) return;
  auto& list = *retired;
  for (auto it = list.begin(); it != list.end();) {
    if (InUse(**it)) {
      ++it;
    } else {
      delete *it;
      it = list.erase(it);
    }
  }
}

}  // namespace

void Install(std::unique_ptr<SimSystem> system) {
  if (installed) {
    if (!retired) retired = new std::vector<SimSystem*>();
    retired->push_back(installed);
  }
  installed = system.release();
  CollectRetired();
}

namespace {

// The system a program starts on: the description VELTOSOUND_SYSTEM names,
// else the built-in sample. A description that does not load is reported and
// gives a system without endpoints: a host under test then sees no sound card
// rather than, silently, the sample's.
std::unique_ptr<SimSystem> StartingSystem() {
  const char* path = std::getenv("VELTOSOUND_SYSTEM");
  if (path == nullptr || *path == '\0') return SimSystem::Sample();
  try {
    return SimSystem::FromFile(path);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "veltosound: VELTOSOUND_SYSTEM: %s (running with no sound devices)\n",
                 error.what());
    return SimSystem::FromJson(json::object(), "no devices");
  }
}

}  // namespace

SimSystem& Installed() {
  if (!installed) installed = StartingSystem().release();
  return *installed;
}

std::unique_ptr<SimSystem> Uninstall() {
  std::unique_ptr<SimSystem> system(installed);
  installed = nullptr;
  return system;
}

}  // namespace velto::sim

namespace velto::platform {

Platform& BackendPlatform() { return sim::Installed(); }

}  // namespace velto::platform
