// The simulated sound system: the platform the library runs on outside
// Windows. It answers every platform call from a description of endpoints and
// adapter topologies (docs/sound-system-format.md), keeps account of every
// reference, string and PROPVARIANT handed out, can fail any HRESULT call on
// demand, and can trace what was called.
//
// Not thread-safe: like the library, it expects one call at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/description/model.h"
#include "platform/platform.h"

namespace velto::sim {

// Descriptions and fault rules belong to the description library; the
// simulation's users know them by these names too.
using description::DescriptionError;
using description::FaultRule;

struct TraceEntry {
  std::uint64_t seq;
  std::string object;
  std::string op;
  std::string args;
  platform::HRESULT result;
  bool hasResult;  // false for calls that return no HRESULT
};

class SimSystem : public platform::Platform {
 public:
  // Both throw DescriptionError and return nothing half-loaded.
  static std::unique_ptr<SimSystem> FromJson(const nlohmann::json& description,
                                             const std::string& sourceName);
  static std::unique_ptr<SimSystem> FromFile(const std::string& path);
  // From a model built in memory (the fuzzer makes one per run, and JSON would
  // cost more than the run). The wide texts are filled in here; a name that is
  // not UTF-8 or a link, connector or adapter index out of range throws.
  static std::unique_ptr<SimSystem> FromModel(description::Description model);
  // The sound system built into the library.
  static std::unique_ptr<SimSystem> Sample();

  ~SimSystem() override;
  SimSystem(const SimSystem&) = delete;
  SimSystem& operator=(const SimSystem&) = delete;

  // The current state in the description format; FromJson(Dump()) gives an
  // equal system.
  nlohmann::json Dump() const;

  // --- Accounting ---
  long LiveReferences() const;
  std::vector<std::pair<std::string, long>> LiveReferencesByObject() const;
  std::vector<std::string> Problems() const;
  int ComInitDepth() const;
  // CoIncrementMTAUsage cookies not given back.
  std::size_t LiveMtaUsages() const;
  std::size_t LiveTaskStrings() const;
  std::size_t LiveBstrs() const;
  std::size_t LivePropVariants() const;
  // HRESULT-returning platform calls made so far.
  std::uint64_t CallCount() const;

  // --- Trace ---
  void SetTracing(bool on);
  void SetTraceSink(std::function<void(const TraceEntry&)> sink);
  const std::vector<TraceEntry>& Trace() const;
  void ClearTrace();

  // --- Faults ---
  void AddFault(FaultRule rule);
  void ClearFaults();

  // A new object, with its own reference count, for every object handed out
  // (as Windows may hand out for each GetPart, GetConnectedTo, Activate, ...);
  // Identity() still tells the part or control behind it. On from the start
  // when VELTOSOUND_FRESH_OBJECTS is 1.
  void SetFreshObjects(bool on);
  // Whether a call on an object from a thread in no apartment (by the
  // simulated CoInitialize and CoIncrementMTAUsage) is a problem; on unless a
  // real COM runtime stands in front and checks for itself.
  void SetApartmentChecks(bool on);

  // --- Changes while clients are bound ---
  // From then on every call on the endpoint's objects (device, property
  // store, volume, topology, connector) answers AUDCLNT_E_DEVICE_INVALIDATED,
  // and so do an adapter's parts, lists and controls once every endpoint
  // joined to it has gone or was never active. References are still released
  // as before. Each returns false when no endpoint (a removed one counts as
  // none) has `id`.
  //
  // Removed: in no list, unknown to GetDevice; a default passes to the first
  // active endpoint of the flow.
  bool RemoveEndpoint(const std::string& id);
  // Disabled, unplugged, ... (kDeviceState*): listed by that state; the
  // device and its property store still answer, its volume, topology and
  // connector do not until it is active again.
  bool SetEndpointState(const std::string& id, std::uint32_t state);
  // The default endpoint of its flow, for every role.
  bool SetDefaultEndpoint(const std::string& id);

  // --- platform::Platform ---
  platform::HRESULT CoInitialize() override;
  void CoUninitialize() override;
  platform::HRESULT CoIncrementMTAUsage(void** cookie) override;
  platform::HRESULT CoDecrementMTAUsage(void* cookie) override;
  platform::HRESULT CreateDeviceEnumerator(std::uint32_t clsctx,
                                           platform::Ref<platform::DeviceEnumerator>& out) override;
  void CoTaskMemFree(void* memory) override;
  platform::WChar* SysAllocStringLen(const platform::WChar* source, std::uint32_t length) override;
  void SysFreeString(platform::WChar* text) override;
  std::uint32_t SysStringLen(const platform::WChar* text) override;
  platform::HRESULT PropVariantToBSTR(const platform::PropVariantData& value,
                                      platform::Bstr& out) override;
  platform::HRESULT PropVariantClear(platform::PropVariantData* value) override;
  int LstrlenA(const char* text) override;
  int MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* source,
                          int sourceBytes, platform::WChar* dest, int destChars) override;
  int WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags,
                          const platform::WChar* source, int sourceChars, char* dest,
                          int destBytes) override;

  struct Engine;  // the simulation itself, private to the backend

 private:
  explicit SimSystem(std::unique_ptr<Engine> engine);
  static std::unique_ptr<SimSystem> Build(description::Description description);
  // Whether a fault rule fails this call of the string functions.
  bool Injected(const char* op);
  std::unique_ptr<Engine> engine_;
};

// Makes `system` the current platform. The previous one is destroyed unless
// clients still hold references or allocations from it.
void Install(std::unique_ptr<SimSystem> system);
// The current platform. On first use: the description the VELTOSOUND_SYSTEM
// environment variable names, else the built-in sample.
SimSystem& Installed();
// Takes the current platform back, for a caller that has made sure the
// library holds nothing of it: unlike a retired system, it is never kept
// alive for the library's sake (a platform that failed a PropVariantClear
// keeps its payload, which would keep a retired system for good). A fuzz run
// ends this way, so that each run frees all it allocated.
std::unique_ptr<SimSystem> Uninstall();

}  // namespace velto::sim
