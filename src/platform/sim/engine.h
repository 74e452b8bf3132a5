// The simulation behind SimSystem: the world loaded from a description, the
// objects that clients hold, and the accounting, fault and trace machinery
// that every call passes through.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <variant>
#include <vector>

#include "platform/description/model.h"
#include "platform/platform.h"
#include "platform/sim/sim_system.h"
#include "platform/sim/tracked_memory.h"

namespace velto::sim {

using Engine = SimSystem::Engine;
using description::AdapterState;
using description::Description;
using description::EndpointState;
using description::kLevelKeys;
using description::kLevelKinds;
using description::kSwitchKeys;
using description::kSwitchKinds;
using description::LevelState;
using description::PartState;
using description::Rounding;
using platform::HRESULT;

// What fault rules can aim at in one call, besides its object and operation,
// and where a rule's `output` goes.
struct CallArgs {
  CallArgs() = default;
  CallArgs(std::nullopt_t) {}
  CallArgs(std::uint32_t onChannel) : channel(onChannel) {}
  static CallArgs Index(std::uint32_t value) {
    CallArgs args;
    args.index = value;
    return args;
  }
  static CallArgs Interface(const char* name) {
    CallArgs args;
    args.interfaceName = name;
    return args;
  }
  static CallArgs Flow(std::int32_t value) {
    CallArgs args;
    args.flow = value;
    return args;
  }
  template <class Value>
  static CallArgs Output(Value* value) {
    CallArgs args;
    args.output = value;
    return args;
  }

  std::optional<std::uint32_t> channel;
  std::optional<std::uint32_t> index;
  const char* interfaceName = nullptr;
  std::optional<std::int32_t> flow;
  std::optional<std::string> id;  // UTF-8
  std::variant<std::monostate, std::uint32_t*, float*, std::int32_t*> output;
};

// What takes an object away when the system changes under its clients.
enum class Tie {
  System,    // the enumerator and collections: never
  Device,    // an endpoint's IMMDevice and property store: its removal
  Endpoint,  // its volume, topology and connector: removal, or a change to another state
  Adapter,   // an adapter's objects: the last of its joined endpoints going that way
};

// What every simulated object shares: its path (for faults, trace and
// reports) and its count of client references. Objects live as long as the
// engine, so a stale client pointer never reaches freed memory; a call on an
// object without references is reported instead.
class ObjectBase {
 public:
  ObjectBase(Engine& engine, std::string path) : engine_(engine), path_(std::move(path)) {}
  virtual ~ObjectBase() = default;
  ObjectBase& operator=(const ObjectBase&) = delete;

  Engine& Owner() const { return engine_; }
  const std::string& Path() const { return path_; }
  // The object a fresh copy stands for (itself, for one that is none): what
  // COM's identity rule makes of both.
  const ObjectBase& Original() const { return original_ ? *original_ : *this; }
  long Refs() const { return refs_; }
  // The reference an out-parameter hands to the client.
  void Grant() { ++refs_; }
  // `index` is the endpoint's or the adapter's, by position in the world.
  void TieTo(Tie tie, std::size_t index) {
    tie_ = tie;
    tieIndex_ = index;
  }
  Tie TiedTo() const { return tie_; }
  std::size_t TieIndex() const { return tieIndex_; }

 protected:
  // A fresh copy: the same part of the world, its own count of references.
  ObjectBase(const ObjectBase& original)
      : engine_(original.engine_),
        path_(original.path_),
        tie_(original.tie_),
        tieIndex_(original.tieIndex_),
        original_(&original.Original()) {}

  unsigned long CountAddRef();
  unsigned long CountRelease();

  // IPart::GetName and GetSubType, for every kind of part.
  HRESULT AnswerName(const std::u16string& text, platform::TaskString& name);
  HRESULT AnswerSubType(const platform::Guid& value, platform::Guid* subtype);

  template <class Body, class Describe>
  HRESULT Call(const char* op, const CallArgs& args, Body&& body, Describe&& describe);
  // As Call, for operations whose output holder must be empty after a failure.
  template <class Out, class Body, class Describe>
  HRESULT CallOut(const char* op, Out& out, Body&& body, Describe&& describe,
                  const CallArgs& args = {});

  Engine& engine_;

 private:
  std::string path_;
  long refs_ = 0;
  Tie tie_ = Tie::System;
  std::size_t tieIndex_ = 0;
  const ObjectBase* original_ = nullptr;
};

// One simulated COM object offering `Interfaces`; all of them share one count.
template <class... Interfaces>
class SimObject : public Interfaces..., public ObjectBase {
 public:
  using ObjectBase::ObjectBase;
  unsigned long AddRef() override { return CountAddRef(); }
  unsigned long Release() override { return CountRelease(); }
  const void* Identity() const final { return &Original(); }
};

class EnumeratorObject;
class CollectionObject;
class DeviceObject;

struct SimSystem::Engine {
  explicit Engine(Description description);
  ~Engine();

  platform::Platform* owner = nullptr;  // frees what the engine hands out
  Description world;

  std::vector<std::unique_ptr<ObjectBase>> objects;
  EnumeratorObject* enumerator = nullptr;
  std::vector<DeviceObject*> devices;  // by endpoint index
  std::vector<bool> removed;           // by endpoint index: gone from every list
  // By endpoint index: removed, or made other than active, while running (a
  // description's own states invalidate nothing).
  std::vector<bool> wentAway;
  std::map<std::pair<int, std::uint32_t>, CollectionObject*> collections;

  std::vector<std::string> problems;
  std::unordered_map<std::thread::id, int> comDepth;
  // Threads a CoInitialize found in another apartment (RPC_E_CHANGED_MODE):
  // the host's, which stays.
  std::unordered_set<std::thread::id> hostApartments;
  std::set<std::uintptr_t> mtaUsages;  // cookies of CoIncrementMTAUsage not offered back
  std::uintptr_t lastMtaCookie = 0;
  // Where the runtime itself refused (an injected failure of CoInitialize on
  // a thread, of the last CoIncrementMTAUsage), a call outside any apartment
  // is its doing, not the client's: Windows would fail it, and no client
  // could do better. Until the next success.
  std::unordered_set<std::thread::id> initRefused;
  bool mtaRefused = false;
  // A new object, its own count and all, for every object handed out, as
  // Windows may give; VELTOSOUND_FRESH_OBJECTS=1.
  bool freshObjects = false;
  // Off where the real COM runtime checks the apartment (the test server).
  bool checkApartments = true;
  StringTable taskMemory{false};
  StringTable bstrs{true};
  PropVariantTable propVariants;
  std::uint64_t callCount = 0;

  struct ArmedFault {
    FaultRule rule;
    std::uint64_t matches = 0;
  };
  std::vector<ArmedFault> faults;

  bool tracing = false;
  std::function<void(const TraceEntry&)> sink;
  std::vector<TraceEntry> trace;
  std::uint64_t traceSeq = 0;

  template <class Object, class... Args>
  Object* Make(Args&&... args) {
    auto object = std::make_unique<Object>(*this, std::forward<Args>(args)...);
    Object* raw = object.get();
    objects.push_back(std::move(object));
    return raw;
  }

  // The endpoints of `flow` whose state is in `mask`, as one collection object
  // per (flow, mask) until the system changes.
  CollectionObject* CollectionFor(int flow, std::uint32_t mask);

  // Changes while clients hold objects. Each returns false when no endpoint
  // (a removed one counts as none) has that id.
  bool RemoveEndpoint(const std::string& id);
  bool SetEndpointState(const std::string& id, std::uint32_t state);
  bool SetDefaultEndpoint(const std::string& id);
  // Whether calls on `object` answer AUDCLNT_E_DEVICE_INVALIDATED.
  bool Invalidated(const ObjectBase& object) const;

  void Problem(std::string text);
  // A call on an object (or CoCreateInstance) from a thread with no
  // apartment: neither COM of its own nor a held multithreaded apartment.
  void CheckApartment(const std::string& object, const char* op);
  // What `object` hands out: itself, or a fresh copy of it.
  template <class Object>
  Object* Handed(Object* object) {
    if (!freshObjects) return object;
    auto copy = std::make_unique<Object>(*object);
    Object* raw = copy.get();
    objects.push_back(std::move(copy));
    return raw;
  }
  // The first fault rule that fires on this call, counting the call against
  // every rule it matches.
  const FaultRule* FiringRule(const std::string& object, const char* op, const CallArgs& args);
  // Whether a rule fails this call that answers no HRESULT (an allocation or a
  // conversion). Only rules that name the operation exactly reach it, so
  // globs keep counting HRESULT calls alone.
  bool FailsPlainCall(const std::string& object, const char* op);
  // The rules as they stand now: what is left of `after` and `times`.
  std::vector<FaultRule> RemainingFaults() const;
  void Record(const std::string& object, const char* op, std::string args, HRESULT result,
              bool hasResult);
  static void WriteOutput(const CallArgs& args, double value);

  // Every HRESULT call goes through here. `body` does the work and returns the
  // result; `describe(produced)` renders the arguments (and, when the call
  // produced output, the output) for the trace.
  template <class Body, class Describe>
  HRESULT Call(const ObjectBase* object, const std::string& path, const char* op,
               const CallArgs& args, Body&& body, Describe&& describe) {
    ++callCount;
    if (object && object->Refs() <= 0)
      Problem("use after release: " + std::string(op) + " on " + path);
    if (object) CheckApartment(path, op);
    std::optional<HRESULT> injected;
    std::optional<Rounding> rounding;
    if (!faults.empty()) {
      if (const FaultRule* rule = FiringRule(path, op, args)) {
        rounding = rule->rounding;
        if (!rounding) injected = rule->result;
        if (!rounding && rule->output) WriteOutput(args, *rule->output);
      }
    }
    // A success code beyond S_FALSE (INPLACE_S_TRUNCATED) comes with the
    // call's usual output; S_OK and S_FALSE injected come with none.
    const bool withOutput = injected && *injected > platform::kS_FALSE;
    HRESULT result = 0;
    if (injected && !withOutput) {
      result = *injected;
    } else if (object && Invalidated(*object)) {
      result = platform::kAUDCLNT_E_DEVICE_INVALIDATED;
    } else if constexpr (std::is_invocable_v<Body&, std::optional<Rounding>>) {
      result = body(rounding);
    } else {
      result = body();
    }
    const bool produced = result == platform::kS_OK && (!injected || withOutput);
    if (withOutput && result == platform::kS_OK) result = *injected;
    if (tracing) {
      std::string args = describe(produced);
      if (injected) args += args.empty() ? "(injected)" : " (injected)";
      Record(path, op, std::move(args), result, true);
    }
    return result;
  }
};

// Gives the client a new reference to `object` (or to a fresh copy of it)
// through `out`.
template <class Interface, class Object>
void Hand(platform::Ref<Interface>& out, Object* object) {
  Object* given = object->Owner().Handed(object);
  given->Grant();
  out = platform::Ref<Interface>::Adopt(given);
}

template <class Body, class Describe>
HRESULT ObjectBase::Call(const char* op, const CallArgs& args, Body&& body, Describe&& describe) {
  return engine_.Call(this, path_, op, args, std::forward<Body>(body),
                      std::forward<Describe>(describe));
}

template <class Out, class Body, class Describe>
HRESULT ObjectBase::CallOut(const char* op, Out& out, Body&& body, Describe&& describe,
                            const CallArgs& args) {
  const HRESULT result = Call(op, args, std::forward<Body>(body), std::forward<Describe>(describe));
  if (result < 0) out.Reset();
  return result;
}

}  // namespace velto::sim
