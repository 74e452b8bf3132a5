#include "platform/sim/engine.h"

#include <cmath>
#include <cstdio>

#include "platform/readable.h"
#include "platform/sim/objects.h"

namespace velto::sim {
namespace {

// Reports stop here; a client stuck in a loop must not exhaust memory.
constexpr std::size_t kMaxProblems = 10000;

// '*' matches any run of characters, everything else itself.
bool GlobMatch(const std::string& pattern, const char* text) {
  std::size_t p = 0;
  const char* t = text;
  std::size_t starP = std::string::npos;
  const char* starT = nullptr;
  while (*t) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starT = t;
    } else if (p < pattern.size() && pattern[p] == *t) {
      ++p, ++t;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      t = ++starT;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::vector<std::vector<std::size_t>> LinkEnds(const AdapterState& adapter, bool incoming) {
  std::vector<std::vector<std::size_t>> lists(adapter.parts.size());
  for (const auto& [from, to] : adapter.links) {
    if (incoming) {
      lists[to].push_back(from);
    } else {
      lists[from].push_back(to);
    }
  }
  return lists;
}

}  // namespace

// --- Building the world's objects ---------------------------------------------------

Engine::Engine(Description description) : world(std::move(description)) {
  for (const FaultRule& rule : world.faults) faults.push_back({rule, 0});
  world.faults.clear();

  enumerator = Make<EnumeratorObject>("enumerator");

  std::vector<std::vector<PartObject*>> partObjects;
  for (AdapterState& adapter : world.adapters) {
    const std::size_t firstObject = objects.size();
    auto* topology = Make<AdapterTopologyObject>("adapter:" + adapter.name);
    std::vector<PartObject*> parts;
    for (PartState& part : adapter.parts) {
      const std::string path = "part:" + adapter.name + "/" + part.id;
      PartObject* object = Make<PartObject>(path, part, topology);
      for (std::size_t k = 0; k < kLevelKinds; ++k) {
        if (part.levels[k])
          object->levels[k] = Make<LevelControlObject>(path + "/" + kLevelKeys[k], *part.levels[k]);
      }
      if (part.mute) object->mute = Make<MuteControlObject>(path + "/mute", *part.mute);
      for (std::size_t k = 0; k < kSwitchKinds; ++k) {
        if (part.switches[k])
          object->switches[k] =
              Make<SwitchControlObject>(path + "/" + kSwitchKeys[k], *part.switches[k]);
      }
      if (part.isConnector) topology->connectors.push_back(object);
      parts.push_back(object);
    }
    for (const bool incoming : {true, false}) {
      const auto ends = LinkEnds(adapter, incoming);
      for (std::size_t i = 0; i < parts.size(); ++i) {
        if (ends[i].empty()) continue;
        std::vector<PartObject*> list;
        for (std::size_t end : ends[i]) list.push_back(parts[end]);
        auto* listObject = Make<PartsListObject>(
            parts[i]->Path() + (incoming ? "/incoming" : "/outgoing"), std::move(list));
        (incoming ? parts[i]->incoming : parts[i]->outgoing) = listObject;
      }
    }
    partObjects.push_back(std::move(parts));
    for (std::size_t k = firstObject; k < objects.size(); ++k)
      objects[k]->TieTo(Tie::Adapter, partObjects.size() - 1);
  }

  for (EndpointState& endpoint : world.endpoints) {
    const std::size_t firstObject = objects.size();
    const std::string path = "device:" + endpoint.id;
    PartObject* joined = nullptr;
    if (endpoint.connector)
      joined = partObjects[endpoint.connector->adapter][endpoint.connector->part];
    auto* connector = Make<EndpointConnectorObject>(path + "/connector", endpoint, joined);
    // A connector two endpoints share leads back to the first of them.
    if (joined && !joined->joined) joined->joined = connector;
    DeviceObject::Parts parts{};
    parts.store = Make<PropertyStoreObject>(path + "/properties", endpoint);
    if (endpoint.volume) parts.volume = Make<EndpointVolumeObject>(path + "/volume", endpoint);
    if (endpoint.hasTopology)
      parts.topology = Make<EndpointTopologyObject>(path + "/topology", connector);
    connector->topology = parts.topology;
    devices.push_back(Make<DeviceObject>(path, endpoint, parts));
    for (std::size_t k = firstObject; k < objects.size(); ++k)
      objects[k]->TieTo(Tie::Endpoint, devices.size() - 1);
    devices.back()->TieTo(Tie::Device, devices.size() - 1);
    parts.store->TieTo(Tie::Device, devices.size() - 1);
  }
  removed.assign(devices.size(), false);
  wentAway.assign(devices.size(), false);
}

Engine::~Engine() = default;

CollectionObject* Engine::CollectionFor(int flow, std::uint32_t mask) {
  auto& slot = collections[{flow, mask}];
  if (slot) return slot;
  std::vector<DeviceObject*> members;
  for (std::size_t i = 0; i < devices.size(); ++i) {
    if (removed[i]) continue;
    DeviceObject* device = devices[i];
    const EndpointState& endpoint = device->Endpoint();
    const bool flowMatches = flow == 2 || static_cast<int>(endpoint.flow) == flow;
    if (flowMatches && (endpoint.state & mask) != 0) members.push_back(device);
  }
  slot = Make<CollectionObject>(std::string("collection:") + platform::FlowText(flow),
                                std::move(members));
  return slot;
}

// --- Changes while clients hold objects ----------------------------------------------

namespace {

std::optional<std::size_t> EndpointIndex(const Description& world, const std::vector<bool>& removed,
                                         const std::string& id) {
  for (std::size_t i = 0; i < world.endpoints.size(); ++i) {
    if (!removed[i] && world.endpoints[i].id == id) return i;
  }
  return std::nullopt;
}

}  // namespace

// Collections already handed out keep the members they had, as a snapshot
// does; later ones are built afresh.
bool Engine::RemoveEndpoint(const std::string& id) {
  const auto index = EndpointIndex(world, removed, id);
  if (!index) return false;
  removed[*index] = true;
  wentAway[*index] = true;
  collections.clear();
  EndpointState& gone = world.endpoints[*index];
  if (!gone.isDefault) return true;
  // As Windows does, the flow's default passes to another active endpoint.
  gone.isDefault = false;
  for (std::size_t i = 0; i < world.endpoints.size(); ++i) {
    EndpointState& next = world.endpoints[i];
    if (removed[i] || next.flow != gone.flow || next.state != platform::kDeviceStateActive)
      continue;
    next.isDefault = true;
    break;
  }
  return true;
}

bool Engine::SetEndpointState(const std::string& id, std::uint32_t state) {
  const auto index = EndpointIndex(world, removed, id);
  if (!index) return false;
  world.endpoints[*index].state = state;
  wentAway[*index] = state != platform::kDeviceStateActive;
  collections.clear();
  return true;
}

bool Engine::SetDefaultEndpoint(const std::string& id) {
  const auto index = EndpointIndex(world, removed, id);
  if (!index) return false;
  for (EndpointState& endpoint : world.endpoints) {
    if (endpoint.flow == world.endpoints[*index].flow) endpoint.isDefault = false;
  }
  world.endpoints[*index].isDefault = true;
  return true;
}

bool Engine::Invalidated(const ObjectBase& object) const {
  const std::size_t index = object.TieIndex();
  switch (object.TiedTo()) {
    case Tie::System:
      return false;
    case Tie::Device:
      return removed[index];
    case Tie::Endpoint:
      return wentAway[index];
    case Tie::Adapter:
      break;
  }
  // An adapter goes with the last of its joined endpoints that was there: it
  // lives while one of them is active, and a description's own states never
  // take it away.
  bool oneWentAway = false;
  for (std::size_t i = 0; i < world.endpoints.size(); ++i) {
    const auto& connector = world.endpoints[i].connector;
    if (!connector || connector->adapter != index) continue;
    if (!removed[i] && world.endpoints[i].state == platform::kDeviceStateActive) return false;
    oneWentAway = oneWentAway || wentAway[i];
  }
  return oneWentAway;
}

// --- Accounting, faults, trace ---------------------------------------------------------

void Engine::CheckApartment(const std::string& object, const char* op) {
  if (!checkApartments) return;
  const std::thread::id thread = std::this_thread::get_id();
  if (!mtaUsages.empty() || mtaRefused || hostApartments.count(thread) || initRefused.count(thread))
    return;
  const auto depth = comDepth.find(thread);
  if (depth != comDepth.end() && depth->second > 0) return;
  Problem("call outside any COM apartment: " + std::string(op) + " on " + object);
}

void Engine::Problem(std::string text) {
  if (problems.size() < kMaxProblems) {
    problems.push_back(std::move(text));
  } else if (problems.size() == kMaxProblems) {
    problems.push_back("(further problems not recorded)");
  }
}

namespace {

bool Aims(const FaultRule& rule, const CallArgs& args) {
  if (rule.channel && args.channel != rule.channel) return false;
  if (rule.index && args.index != rule.index) return false;
  if (rule.flow && args.flow != rule.flow) return false;
  if (rule.interfaceName && (!args.interfaceName || *rule.interfaceName != args.interfaceName))
    return false;
  return !rule.id || args.id == rule.id;
}

}  // namespace

const FaultRule* Engine::FiringRule(const std::string& object, const char* op,
                                    const CallArgs& args) {
  const FaultRule* firing = nullptr;
  for (ArmedFault& fault : faults) {
    const FaultRule& rule = fault.rule;
    if (!Aims(rule, args)) continue;
    if (!GlobMatch(rule.op, op) || !GlobMatch(rule.object, object.c_str())) continue;
    const std::uint64_t match = ++fault.matches;
    const bool fires = match > rule.after && match - rule.after <= rule.times;
    if (fires && !firing) firing = &rule;
  }
  return firing;
}

bool Engine::FailsPlainCall(const std::string& object, const char* op) {
  bool fails = false;
  for (ArmedFault& fault : faults) {
    const FaultRule& rule = fault.rule;
    if (rule.op != op || !Aims(rule, CallArgs{})) continue;
    if (!GlobMatch(rule.object, object.c_str())) continue;
    const std::uint64_t match = ++fault.matches;
    fails = fails || (match > rule.after && match - rule.after <= rule.times);
  }
  return fails;
}

void Engine::WriteOutput(const CallArgs& args, double value) {
  // Whole outputs wrap as a driver's 32-bit write would; a level beyond them counts as 0.
  const std::int64_t whole = std::abs(value) < 9.2e18 ? static_cast<std::int64_t>(value) : 0;
  if (auto* count = std::get_if<std::uint32_t*>(&args.output)) {
    if (*count) **count = static_cast<std::uint32_t>(whole);
  } else if (auto* level = std::get_if<float*>(&args.output)) {
    if (*level) **level = static_cast<float>(value);
  } else if (auto* state = std::get_if<std::int32_t*>(&args.output)) {
    if (*state) **state = static_cast<std::int32_t>(static_cast<std::uint32_t>(whole));
  }
}

std::vector<FaultRule> Engine::RemainingFaults() const {
  std::vector<FaultRule> rules;
  for (const ArmedFault& fault : faults) {
    FaultRule rule = fault.rule;
    const std::uint64_t passed = std::min(fault.matches, rule.after);
    const std::uint64_t fired = std::min(fault.matches - passed, rule.times);
    rule.after -= passed;
    if (rule.times != UINT64_MAX) rule.times -= fired;
    rules.push_back(std::move(rule));
  }
  return rules;
}

void Engine::Record(const std::string& object, const char* op, std::string args, HRESULT result,
                    bool hasResult) {
  trace.push_back(TraceEntry{++traceSeq, object, op, std::move(args), result, hasResult});
  if (sink) sink(trace.back());
}

// --- Reference counts --------------------------------------------------------------------

unsigned long ObjectBase::CountAddRef() {
  engine_.CheckApartment(path_, "AddRef");
  if (refs_ <= 0) {
    engine_.Problem("use after release: AddRef on " + path_);
    return 0;
  }
  ++refs_;
  if (engine_.tracing) engine_.Record(path_, "AddRef", "-> " + std::to_string(refs_), 0, false);
  return static_cast<unsigned long>(refs_);
}

unsigned long ObjectBase::CountRelease() {
  engine_.CheckApartment(path_, "Release");
  if (refs_ <= 0) {
    engine_.Problem("double release of " + path_);
    return 0;
  }
  --refs_;
  if (engine_.tracing) engine_.Record(path_, "Release", "-> " + std::to_string(refs_), 0, false);
  return static_cast<unsigned long>(refs_);
}

}  // namespace velto::sim
