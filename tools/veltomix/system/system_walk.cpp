#include "system/system_walk.h"

#include <map>
#include <set>
#include <unordered_map>

#include "calls/call_output.h"
#include "platform/com_scope.h"
#include "platform/description/text.h"
#include "platform/readable.h"
#include "system/walk_names.h"
#include "system/walk_readings.h"

namespace veltomix {

namespace p = velto::platform;
using description::PartPlace;
using p::HRESULT;
using p::Ref;

namespace {

// Both flows at once (eAll), and every device state.
constexpr auto kAllFlows = static_cast<p::DataFlow>(2);
constexpr std::uint32_t kAllStates = p::kDeviceStateActive | p::kDeviceStateDisabled |
                                     p::kDeviceStateNotPresent | p::kDeviceStateUnplugged;
constexpr std::uint32_t kStates[] = {p::kDeviceStateActive, p::kDeviceStateDisabled,
                                     p::kDeviceStateNotPresent, p::kDeviceStateUnplugged};

std::string TaskText(const p::TaskString& text) {
  if (!text) return {};
  std::size_t length = 0;
  while (text.Get()[length]) ++length;
  return description::Utf16ToUtf8(text.Get(), length);
}

std::string DeviceId(p::Device& device) {
  p::TaskString id;
  if (device.GetId(id) != p::kS_OK) return {};
  return TaskText(id);
}

struct Collected {
  Ref<p::Device> device;
  std::string id;
};

class Walker {
 public:
  Walker(p::Platform& platform, const std::vector<HeldControl>& held)
      : platform_(platform), values_(model_.warnings, held) {}

  SystemModel Run() {
    const HRESULT created = platform_.CreateDeviceEnumerator(p::kClsctxInprocServer, enumerator_);
    if (created != p::kS_OK || !enumerator_)
      throw WalkError("cannot create the device enumerator (" + p::HexText(created) + ")");
    std::vector<Collected> devices = Collect(kAllFlows, kAllStates, true);
    const std::set<std::string> render = Ids(Collect(p::DataFlow::Render, kAllStates, false));
    std::map<std::string, std::uint32_t> states;
    for (std::uint32_t state : kStates) {
      for (const std::string& id : Ids(Collect(kAllFlows, state, false))) states[id] = state;
    }
    const std::string defaults[] = {DefaultId(p::DataFlow::Render),
                                    DefaultId(p::DataFlow::Capture)};
    for (Collected& item : devices) {
      WalkedEndpoint endpoint;
      endpoint.id = item.id;
      endpoint.flow = render.count(item.id) ? p::DataFlow::Render : p::DataFlow::Capture;
      endpoint.state = states.count(item.id) ? states[item.id] : p::kDeviceStateActive;
      endpoint.isDefault = defaults[static_cast<int>(endpoint.flow)] == item.id;
      ReadEndpoint(*item.device, endpoint);
      model_.endpoints.push_back(std::move(endpoint));
    }
    NameParts(model_);
    NameAdapters(model_);
    model_.controlIdentityStable = values_.IdentityStable();
    return std::move(model_);
  }

 private:
  void Warn(std::string text) { model_.warnings.push_back(std::move(text)); }

  std::vector<Collected> Collect(p::DataFlow flow, std::uint32_t states, bool required) {
    Ref<p::DeviceCollection> collection;
    const HRESULT listed = enumerator_->EnumAudioEndpoints(flow, states, collection);
    std::uint32_t count = 0;
    const HRESULT counted = collection ? collection->GetCount(&count) : listed;
    if (listed != p::kS_OK || counted != p::kS_OK) {
      const std::string problem = "cannot list the endpoints (EnumAudioEndpoints " +
                                  p::HexText(listed) + ", GetCount " + p::HexText(counted) + ")";
      if (required) throw WalkError(problem);
      Warn(problem);
      return {};
    }
    std::vector<Collected> items;
    for (std::uint32_t i = 0; i < count; ++i) {
      Collected item;
      if (collection->Item(i, item.device) != p::kS_OK || !item.device) {
        if (required) Warn("endpoint " + std::to_string(i) + " cannot be fetched; left out");
        continue;
      }
      item.id = DeviceId(*item.device);
      if (item.id.empty()) {
        if (required) Warn("endpoint " + std::to_string(i) + " has no readable id; left out");
        continue;
      }
      items.push_back(std::move(item));
    }
    return items;
  }

  static std::set<std::string> Ids(const std::vector<Collected>& items) {
    std::set<std::string> ids;
    for (const Collected& item : items) ids.insert(item.id);
    return ids;
  }

  std::string DefaultId(p::DataFlow flow) {
    Ref<p::Device> device;
    if (enumerator_->GetDefaultAudioEndpoint(flow, p::Role::Console, device) != p::kS_OK || !device)
      return {};
    return DeviceId(*device);
  }

  void ReadName(p::Device& device, WalkedEndpoint& endpoint) {
    Ref<p::PropertyStore> store;
    if (device.OpenPropertyStore(p::kStgmRead, store) != p::kS_OK || !store) return;
    p::PropVariant value(platform_);
    const p::HRESULT read = store->GetValue(p::PropertyKey::DeviceFriendlyName, value.Data());
    if (read != p::kS_OK && read != p::kINPLACE_S_TRUNCATED) return;
    p::Bstr text;
    if (platform_.PropVariantToBSTR(value.data(), text) != p::kS_OK || !text) return;
    const std::uint32_t length = platform_.SysStringLen(text.Get());
    bool exact = true;
    endpoint.name = description::Utf16ToUtf8(text.Get(), length, &exact);
    if (!exact)
      Warn("the name of endpoint " + endpoint.id +
           " holds an unpaired surrogate, "
           "written as U+FFFD");
    std::string narrow;
    for (std::uint32_t i = 0; i < length && text.Get()[i] != 0; ++i)
      narrow += static_cast<char>(text.Get()[i] & 0xFF);
    endpoint.hostName = BytesAsCodePoints(narrow);
  }

  void ReadEndpoint(p::Device& device, WalkedEndpoint& endpoint) {
    ReadName(device, endpoint);
    Ref<p::EndpointVolume> volume;
    if (device.Activate(p::kClsctxInprocServer, volume) == p::kS_OK && volume) {
      endpoint.volume = values_.ReadEndpointVolume(*volume, endpoint);
      values_.NoteHeld(SameObject(volume), endpoint.heldAs);
    }
    Ref<p::DeviceTopology> topology;
    endpoint.hasTopology = device.Activate(p::kClsctxAll, topology) == p::kS_OK && topology;
    if (endpoint.hasTopology) endpoint.connector = JoinedConnector(*topology);
  }

  std::optional<PartPlace> JoinedConnector(p::DeviceTopology& endpointTopology) {
    Ref<p::Connector> ours;
    Ref<p::Connector> theirs;
    Ref<p::Part> part;
    Ref<p::DeviceTopology> adapter;
    if (endpointTopology.GetConnector(0, ours) != p::kS_OK || !ours ||
        ours->GetConnectedTo(theirs) != p::kS_OK || !theirs ||
        theirs->QueryPart(part) != p::kS_OK || !part ||
        part->GetTopologyObject(adapter) != p::kS_OK || !adapter)
      return std::nullopt;
    const std::size_t a = AdapterIndex(std::move(adapter));
    return PartPlace{a, PartIndex(a, std::move(part), true)};
  }

  std::size_t AdapterIndex(Ref<p::DeviceTopology> topology) {
    const auto known = adapterIndex_.find(SameObject(topology));
    if (known != adapterIndex_.end()) return known->second;
    const std::size_t a = model_.adapters.size();
    adapterIndex_.emplace(SameObject(topology), a);
    adapterObjects_.push_back(topology);
    partObjects_.emplace_back();
    partIndex_.emplace_back();
    model_.adapters.emplace_back();
    WalkAdapter(a, *topology);
    return a;
  }

  // The connectors in their order, then every part linked to them, so that a
  // part's index never depends on which endpoint led to the adapter.
  void WalkAdapter(std::size_t a, p::DeviceTopology& topology) {
    std::uint32_t count = 0;
    if (topology.GetConnectorCount(&count) != p::kS_OK) {
      Warn("an adapter's connectors cannot be counted; its parts are left out");
      return;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
      Ref<p::Part> part = ConnectorPart(topology, i);
      if (part) PartIndex(a, std::move(part), true);
    }
    CheckPartIdentity(topology, count);
    for (std::size_t k = 0; k < model_.adapters[a].parts.size(); ++k) {
      FollowLinks(a, k, true);
      FollowLinks(a, k, false);
    }
  }

  static Ref<p::Part> FetchConnectorPart(p::DeviceTopology& topology, std::uint32_t index) {
    Ref<p::Connector> connector;
    Ref<p::Part> part;
    if (topology.GetConnector(index, connector) != p::kS_OK || !connector ||
        connector->QueryPart(part) != p::kS_OK)
      return nullptr;
    return part;
  }

  Ref<p::Part> ConnectorPart(p::DeviceTopology& topology, std::uint32_t index) {
    Ref<p::Part> part = FetchConnectorPart(topology, index);
    if (!part)
      Warn("connector " + std::to_string(index) + " of an adapter cannot be read; left out");
    return part;
  }

  // Parts met along several paths must be recognised as one; a platform that
  // hands out a fresh object per request would make the walk endless.
  void CheckPartIdentity(p::DeviceTopology& topology, std::uint32_t count) {
    if (count == 0) return;
    Ref<p::Part> first = FetchConnectorPart(topology, 0);
    Ref<p::Part> again = FetchConnectorPart(topology, 0);
    if (first && again && SameObject(first) != SameObject(again))
      throw WalkError(
          "this platform hands out a new object each time a part is asked for, so the parts "
          "of a topology cannot be told apart");
  }

  void FollowLinks(std::size_t a, std::size_t k, bool incoming) {
    Ref<p::PartsList> list;
    p::Part& part = *partObjects_[a][k];
    const HRESULT hr = incoming ? part.EnumPartsIncoming(list) : part.EnumPartsOutgoing(list);
    if (hr != p::kS_OK || !list) return;  // nothing lies that way
    std::uint32_t count = 0;
    if (list->GetCount(&count) != p::kS_OK) {
      Warn("a parts list of \"" + model_.adapters[a].parts[k].name + "\" cannot be counted");
      return;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
      Ref<p::Part> linked;
      if (list->GetPart(i, linked) != p::kS_OK || !linked) {
        Warn("a linked part of \"" + model_.adapters[a].parts[k].name + "\" cannot be fetched");
        continue;
      }
      const std::size_t index = PartIndex(a, std::move(linked), false);
      auto& ends =
          incoming ? model_.adapters[a].parts[k].incoming : model_.adapters[a].parts[k].outgoing;
      ends.push_back(index);
    }
  }

  std::size_t PartIndex(std::size_t a, Ref<p::Part> part, bool connector) {
    auto& objects = partObjects_[a];
    const auto [known, added] = partIndex_[a].emplace(SameObject(part), objects.size());
    if (!added) return known->second;
    WalkedPart model;
    model.isConnector = connector;
    p::TaskString name;
    if (part->GetName(name) == p::kS_OK) model.name = TaskText(name);
    p::Guid subtype;
    if (part->GetSubType(&subtype) == p::kS_OK) model.subtype = subtype;
    values_.ReadControls(*part, model);
    objects.push_back(std::move(part));
    model_.adapters[a].parts.push_back(std::move(model));
    return objects.size() - 1;
  }

  p::Platform& platform_;
  SystemModel model_;
  ValueReader values_;
  Ref<p::DeviceEnumerator> enumerator_;
  // Held until the walk ends, so that no object is freed and its address
  // handed to another while identities are being compared.
  std::vector<Ref<p::DeviceTopology>> adapterObjects_;
  std::vector<std::vector<Ref<p::Part>>> partObjects_;
  // Indices of the objects above by their identity.
  std::unordered_map<const void*, std::size_t> adapterIndex_;
  std::vector<std::unordered_map<const void*, std::size_t>> partIndex_;
};

}  // namespace

SystemModel WalkSystem(p::Platform& platform, const std::vector<HeldControl>& held) {
  // Outlives the walker, so that every object it holds is released inside
  // the COM bracket.
  velto::platform::ComScope com(platform);
  return Walker(platform, held).Run();
}

std::string DefaultEndpointId(p::Platform& platform, p::DataFlow flow) {
  velto::platform::ComScope com(platform);
  Ref<p::DeviceEnumerator> enumerator;
  Ref<p::Device> device;
  if (platform.CreateDeviceEnumerator(p::kClsctxInprocServer, enumerator) != p::kS_OK ||
      !enumerator ||
      enumerator->GetDefaultAudioEndpoint(flow, p::Role::Console, device) != p::kS_OK || !device)
    return {};
  return DeviceId(*device);
}

std::optional<std::size_t> FindEndpointByHostName(const SystemModel& model, p::DataFlow flow,
                                                  const std::string& hostName) {
  for (std::size_t i = 0; i < model.endpoints.size(); ++i) {
    const WalkedEndpoint& endpoint = model.endpoints[i];
    if (endpoint.flow == flow && endpoint.state == p::kDeviceStateActive &&
        endpoint.hostName == hostName)
      return i;
  }
  return std::nullopt;
}

}  // namespace veltomix
