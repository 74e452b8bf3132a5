#include "platform/tracing/traced_objects.h"

#include <utility>

#include "platform/node_types.h"
#include "platform/tracing/trace_text.h"
#include "platform/tracing/tracing_platform.h"

namespace velto::platform::tracing {

namespace {

std::string Clsctx(std::uint32_t clsctx) { return "clsctx=" + HexText(clsctx, 1); }
std::string Channel(std::uint32_t channel) { return "channel=" + Number(channel); }
std::string Index(std::uint32_t index) { return "index=" + Number(index); }
std::string Level(const float& level) { return Float(level); }
std::string Count(const std::uint32_t& count) { return Number(count); }
std::string Flag(const std::int32_t& flag) { return Number(flag); }
std::string SubType(const Guid& subtype) { return SubTypeText(subtype); }

// Holds as many references to the wrapped object as it has itself: each
// AddRef and Release is forwarded, and the last Release deletes the wrapper
// after forwarding.
template <class Interface>
class Forwarding : public Interface {
 public:
  Forwarding(TracingPlatform& tracer, Interface* wrapped, const char* interfaceName)
      : tracer_(tracer),
        wrapped_(wrapped),
        identity_(wrapped->Identity()),
        name_(tracer.Hold(interfaceName, identity_)) {}
  // The wrapped object may be gone by now: only its identity, kept from the
  // start, is left to give back.
  virtual ~Forwarding() { tracer_.Let(identity_); }
  Forwarding(const Forwarding&) = delete;
  Forwarding& operator=(const Forwarding&) = delete;

  unsigned long AddRef() final {
    const unsigned long count = ReferenceCount::Add(*wrapped_);
    ++refs_;
    Report("AddRef", {}, std::nullopt, "refs=" + Number(count));
    return count;
  }
  unsigned long Release() final {
    const unsigned long count = ReferenceCount::Release(*wrapped_);
    Report("Release", {}, std::nullopt, "refs=" + Number(count));
    if (--refs_ == 0) delete this;
    return count;
  }
  const void* Identity() const final { return wrapped_->Identity(); }
  const std::string& Name() const { return name_; }

 protected:
  Interface& Wrapped() const { return *wrapped_; }
  TracingPlatform& Tracer() const { return tracer_; }

  void Report(const char* method, std::string args, std::optional<HRESULT> result,
              std::string outputs = {}) const {
    tracer_.Report(TracedCall{name_, method, std::move(args), result, std::move(outputs)});
  }
  HRESULT Done(const char* method, std::string args, HRESULT hr, std::string outputs = {}) const {
    Report(method, std::move(args), hr, std::move(outputs));
    return hr;
  }

 private:
  TracingPlatform& tracer_;
  Interface* wrapped_;
  const void* identity_;
  std::string name_;
  unsigned long refs_ = 1;
};

// When the wrapped call put a new object into `out`, puts a forwarding one
// in its place and returns its name for the trace.
template <class Wrapper, class T>
std::string Wrap(TracingPlatform& tracer, Ref<T>& out, const T* before, const char* interfaceName) {
  if (!out || out.Get() == before) return {};
  Ref<T> wrapped = Ref<T>::Adopt(out.Detach());
  auto* wrapper = new Wrapper(tracer, wrapped.Get(), interfaceName);
  wrapped.Detach();  // the wrapper holds it now
  out = Ref<T>::Adopt(wrapper);
  return "out=" + wrapper->Name();
}

// Calls `call(out)` on the wrapped object and wraps what it handed out.
template <class Wrapper, class T, class Call>
std::pair<HRESULT, std::string> Fetch(TracingPlatform& tracer, Ref<T>& out,
                                      const char* interfaceName, Call&& call) {
  const T* before = out.Get();
  const HRESULT hr = call(out);
  return {hr, Wrap<Wrapper>(tracer, out, before, interfaceName)};
}

// Re-owns a string the wrapped call handed out, so that it is freed through
// the tracer (and so traced) and from there through the wrapped platform.
std::string Adopt(TracingPlatform& tracer, TaskString& out, const WChar* before) {
  if (!out || out.Get() == before) return {};
  out = TaskString(&tracer, out.Detach());
  return "text=" + Quoted(out.Get());
}

// --- Controls -----------------------------------------------------------------------------

class TracedLevel final : public Forwarding<LevelControl> {
 public:
  using Forwarding::Forwarding;
  HRESULT GetChannelCount(std::uint32_t* count) override {
    const HRESULT hr = Wrapped().GetChannelCount(count);
    return Done("GetChannelCount", {}, hr, Written("count", count, hr, Count));
  }
  HRESULT GetLevelRange(std::uint32_t channel, float* minDb, float* maxDb, float* stepDb) override {
    const HRESULT hr = Wrapped().GetLevelRange(channel, minDb, maxDb, stepDb);
    return Done("GetLevelRange", Channel(channel), hr,
                Join({Written("min", minDb, hr, Level), Written("max", maxDb, hr, Level),
                      Written("step", stepDb, hr, Level)}));
  }
  HRESULT GetLevel(std::uint32_t channel, float* levelDb) override {
    const HRESULT hr = Wrapped().GetLevel(channel, levelDb);
    return Done("GetLevel", Channel(channel), hr, Written("level", levelDb, hr, Level));
  }
  HRESULT SetLevel(std::uint32_t channel, float levelDb) override {
    const HRESULT hr = Wrapped().SetLevel(channel, levelDb);
    return Done("SetLevel", Join({Channel(channel), "level=" + Float(levelDb)}), hr);
  }
};

class TracedMute final : public Forwarding<MuteControl> {
 public:
  using Forwarding::Forwarding;
  HRESULT SetMute(std::int32_t mute) override {
    return Done("SetMute", "mute=" + Number(mute), Wrapped().SetMute(mute));
  }
  HRESULT GetMute(std::int32_t* mute) override {
    const HRESULT hr = Wrapped().GetMute(mute);
    return Done("GetMute", {}, hr, Written("mute", mute, hr, Flag));
  }
};

class TracedSwitch final : public Forwarding<SwitchControl> {
 public:
  using Forwarding::Forwarding;
  HRESULT GetEnabled(std::int32_t* enabled) override {
    const HRESULT hr = Wrapped().GetEnabled(enabled);
    return Done("GetEnabled", {}, hr, Written("enabled", enabled, hr, Flag));
  }
  HRESULT SetEnabled(std::int32_t enabled) override {
    return Done("SetEnabled", "enabled=" + Number(enabled), Wrapped().SetEnabled(enabled));
  }
};

class TracedEndpointVolume final : public Forwarding<EndpointVolume> {
 public:
  using Forwarding::Forwarding;
  HRESULT GetChannelCount(std::uint32_t* count) override {
    const HRESULT hr = Wrapped().GetChannelCount(count);
    return Done("GetChannelCount", {}, hr, Written("count", count, hr, Count));
  }
  HRESULT SetMasterVolumeLevel(float levelDb) override {
    return Done("SetMasterVolumeLevel", "level=" + Float(levelDb),
                Wrapped().SetMasterVolumeLevel(levelDb));
  }
  HRESULT SetChannelVolumeLevel(std::uint32_t channel, float levelDb) override {
    return Done("SetChannelVolumeLevel", Join({Channel(channel), "level=" + Float(levelDb)}),
                Wrapped().SetChannelVolumeLevel(channel, levelDb));
  }
  HRESULT GetMasterVolumeLevel(float* levelDb) override {
    const HRESULT hr = Wrapped().GetMasterVolumeLevel(levelDb);
    return Done("GetMasterVolumeLevel", {}, hr, Written("level", levelDb, hr, Level));
  }
  HRESULT GetChannelVolumeLevel(std::uint32_t channel, float* levelDb) override {
    const HRESULT hr = Wrapped().GetChannelVolumeLevel(channel, levelDb);
    return Done("GetChannelVolumeLevel", Channel(channel), hr,
                Written("level", levelDb, hr, Level));
  }
  HRESULT SetMute(std::int32_t mute) override {
    return Done("SetMute", "mute=" + Number(mute), Wrapped().SetMute(mute));
  }
  HRESULT GetMute(std::int32_t* mute) override {
    const HRESULT hr = Wrapped().GetMute(mute);
    return Done("GetMute", {}, hr, Written("mute", mute, hr, Flag));
  }
  HRESULT GetVolumeRange(float* minDb, float* maxDb, float* incrementDb) override {
    const HRESULT hr = Wrapped().GetVolumeRange(minDb, maxDb, incrementDb);
    return Done("GetVolumeRange", {}, hr,
                Join({Written("min", minDb, hr, Level), Written("max", maxDb, hr, Level),
                      Written("increment", incrementDb, hr, Level)}));
  }
};

// --- Topology -----------------------------------------------------------------------------

class TracedPart;

class TracedPartsList final : public Forwarding<PartsList> {
 public:
  using Forwarding::Forwarding;
  HRESULT GetCount(std::uint32_t* count) override {
    const HRESULT hr = Wrapped().GetCount(count);
    return Done("GetCount", {}, hr, Written("count", count, hr, Count));
  }
  HRESULT GetPart(std::uint32_t index, Ref<Part>& part) override;
};

class TracedDeviceTopology;

class TracedPart final : public Forwarding<Part> {
 public:
  using Forwarding::Forwarding;
  HRESULT GetName(TaskString& name) override {
    const WChar* before = name.Get();
    const HRESULT hr = Wrapped().GetName(name);
    return Done("GetName", {}, hr, Adopt(Tracer(), name, before));
  }
  HRESULT GetSubType(Guid* subtype) override {
    const HRESULT hr = Wrapped().GetSubType(subtype);
    return Done("GetSubType", {}, hr, Written("subtype", subtype, hr, SubType));
  }
  HRESULT EnumPartsIncoming(Ref<PartsList>& parts) override {
    const auto [hr, handed] = Fetch<TracedPartsList>(
        Tracer(), parts, "IPartsList",
        [&](Ref<PartsList>& out) { return Wrapped().EnumPartsIncoming(out); });
    return Done("EnumPartsIncoming", {}, hr, handed);
  }
  HRESULT EnumPartsOutgoing(Ref<PartsList>& parts) override {
    const auto [hr, handed] = Fetch<TracedPartsList>(
        Tracer(), parts, "IPartsList",
        [&](Ref<PartsList>& out) { return Wrapped().EnumPartsOutgoing(out); });
    return Done("EnumPartsOutgoing", {}, hr, handed);
  }
  HRESULT GetTopologyObject(Ref<DeviceTopology>& topology) override;
  HRESULT Activate(LevelInterface iid, std::uint32_t clsctx, Ref<LevelControl>& out) override {
    return ActivateAs<TracedLevel>(InterfaceName(iid), clsctx, out, iid);
  }
  HRESULT Activate(SwitchInterface iid, std::uint32_t clsctx, Ref<SwitchControl>& out) override {
    return ActivateAs<TracedSwitch>(InterfaceName(iid), clsctx, out, iid);
  }
  HRESULT Activate(MuteInterface iid, std::uint32_t clsctx, Ref<MuteControl>& out) override {
    return ActivateAs<TracedMute>(kMuteInterfaceName, clsctx, out, iid);
  }

 private:
  template <class Wrapper, class T, class Iid>
  HRESULT ActivateAs(const char* interfaceName, std::uint32_t clsctx, Ref<T>& out, Iid iid) {
    const auto [hr, handed] = Fetch<Wrapper>(Tracer(), out, interfaceName, [&](Ref<T>& held) {
      return Wrapped().Activate(iid, clsctx, held);
    });
    return Done("Activate", Join({std::string("iid=") + interfaceName, Clsctx(clsctx)}), hr,
                handed);
  }
};

HRESULT TracedPartsList::GetPart(std::uint32_t index, Ref<Part>& part) {
  const auto [hr, handed] = Fetch<TracedPart>(
      Tracer(), part, "IPart", [&](Ref<Part>& out) { return Wrapped().GetPart(index, out); });
  return Done("GetPart", Index(index), hr, handed);
}

class TracedConnector final : public Forwarding<Connector> {
 public:
  using Forwarding::Forwarding;
  HRESULT GetConnectedTo(Ref<Connector>& other) override {
    const auto [hr, handed] =
        Fetch<TracedConnector>(Tracer(), other, "IConnector",
                               [&](Ref<Connector>& out) { return Wrapped().GetConnectedTo(out); });
    return Done("GetConnectedTo", {}, hr, handed);
  }
  HRESULT QueryPart(Ref<Part>& part) override {
    const auto [hr, handed] = Fetch<TracedPart>(
        Tracer(), part, "IPart", [&](Ref<Part>& out) { return Wrapped().QueryPart(out); });
    return Done("QueryPart", {}, hr, handed);
  }
};

class TracedDeviceTopology final : public Forwarding<DeviceTopology> {
 public:
  using Forwarding::Forwarding;
  HRESULT GetConnectorCount(std::uint32_t* count) override {
    const HRESULT hr = Wrapped().GetConnectorCount(count);
    return Done("GetConnectorCount", {}, hr, Written("count", count, hr, Count));
  }
  HRESULT GetConnector(std::uint32_t index, Ref<Connector>& connector) override {
    const auto [hr, handed] = Fetch<TracedConnector>(
        Tracer(), connector, "IConnector",
        [&](Ref<Connector>& out) { return Wrapped().GetConnector(index, out); });
    return Done("GetConnector", Index(index), hr, handed);
  }
};

HRESULT TracedPart::GetTopologyObject(Ref<DeviceTopology>& topology) {
  const auto [hr, handed] = Fetch<TracedDeviceTopology>(
      Tracer(), topology, kDeviceTopologyName,
      [&](Ref<DeviceTopology>& out) { return Wrapped().GetTopologyObject(out); });
  return Done("GetTopologyObject", {}, hr, handed);
}

// --- Devices ------------------------------------------------------------------------------

class TracedPropertyStore final : public Forwarding<PropertyStore> {
 public:
  using Forwarding::Forwarding;
  // The value is the wrapped platform's PROPVARIANT; PropVariantToBSTR shows
  // its text.
  HRESULT GetValue(PropertyKey key, PropVariantData* value) override {
    const HRESULT hr = Wrapped().GetValue(key, value);
    const char* keyName =
        key == PropertyKey::DeviceFriendlyName ? "PKEY_Device_FriendlyName" : "(unknown)";
    return Done("GetValue", Join({std::string("key=") + keyName, PointerText(value)}), hr);
  }
};

class TracedDevice final : public Forwarding<Device> {
 public:
  using Forwarding::Forwarding;
  HRESULT Activate(std::uint32_t clsctx, Ref<DeviceTopology>& out) override {
    const auto [hr, handed] = Fetch<TracedDeviceTopology>(
        Tracer(), out, kDeviceTopologyName,
        [&](Ref<DeviceTopology>& held) { return Wrapped().Activate(clsctx, held); });
    return Done("Activate", Join({"iid=IDeviceTopology", Clsctx(clsctx)}), hr, handed);
  }
  HRESULT Activate(std::uint32_t clsctx, Ref<EndpointVolume>& out) override {
    const auto [hr, handed] = Fetch<TracedEndpointVolume>(
        Tracer(), out, kEndpointVolumeName,
        [&](Ref<EndpointVolume>& held) { return Wrapped().Activate(clsctx, held); });
    return Done("Activate", Join({"iid=IAudioEndpointVolume", Clsctx(clsctx)}), hr, handed);
  }
  HRESULT OpenPropertyStore(std::uint32_t access, Ref<PropertyStore>& store) override {
    const auto [hr, handed] = Fetch<TracedPropertyStore>(
        Tracer(), store, "IPropertyStore",
        [&](Ref<PropertyStore>& out) { return Wrapped().OpenPropertyStore(access, out); });
    return Done("OpenPropertyStore", "access=" + Number(access), hr, handed);
  }
  HRESULT GetId(TaskString& id) override {
    const WChar* before = id.Get();
    const HRESULT hr = Wrapped().GetId(id);
    return Done("GetId", {}, hr, Adopt(Tracer(), id, before));
  }
};

class TracedDeviceCollection final : public Forwarding<DeviceCollection> {
 public:
  using Forwarding::Forwarding;
  HRESULT GetCount(std::uint32_t* count) override {
    const HRESULT hr = Wrapped().GetCount(count);
    return Done("GetCount", {}, hr, Written("count", count, hr, Count));
  }
  HRESULT Item(std::uint32_t index, Ref<Device>& device) override {
    const auto [hr, handed] =
        Fetch<TracedDevice>(Tracer(), device, "IMMDevice",
                            [&](Ref<Device>& out) { return Wrapped().Item(index, out); });
    return Done("Item", Index(index), hr, handed);
  }
};

const char* FlowName(DataFlow flow) {
  const char* constant =
      flow == DataFlow::Render || flow == DataFlow::Capture ? FlowConstant(flow) : nullptr;
  return constant ? constant : "(invalid)";
}

class TracedEnumerator final : public Forwarding<DeviceEnumerator> {
 public:
  using Forwarding::Forwarding;
  HRESULT EnumAudioEndpoints(DataFlow flow, std::uint32_t stateMask,
                             Ref<DeviceCollection>& devices) override {
    const auto [hr, handed] = Fetch<TracedDeviceCollection>(
        Tracer(), devices, "IMMDeviceCollection", [&](Ref<DeviceCollection>& out) {
          return Wrapped().EnumAudioEndpoints(flow, stateMask, out);
        });
    return Done("EnumAudioEndpoints",
                Join({std::string("flow=") + FlowName(flow), "stateMask=" + HexText(stateMask, 1)}),
                hr, handed);
  }
  HRESULT GetDefaultAudioEndpoint(DataFlow flow, Role role, Ref<Device>& device) override {
    const auto [hr, handed] = Fetch<TracedDevice>(
        Tracer(), device, "IMMDevice",
        [&](Ref<Device>& out) { return Wrapped().GetDefaultAudioEndpoint(flow, role, out); });
    return Done("GetDefaultAudioEndpoint",
                Join({std::string("flow=") + FlowName(flow),
                      "role=" + Number(static_cast<std::int32_t>(role))}),
                hr, handed);
  }
  HRESULT GetDevice(const WChar* id, Ref<Device>& device) override {
    std::string args = "id=" + Quoted(id);  // before the call: it may change what `id` shows
    const auto [hr, handed] =
        Fetch<TracedDevice>(Tracer(), device, "IMMDevice",
                            [&](Ref<Device>& out) { return Wrapped().GetDevice(id, out); });
    return Done("GetDevice", std::move(args), hr, handed);
  }
};

}  // namespace

std::string WrapEnumerator(TracingPlatform& tracer, Ref<DeviceEnumerator>& out,
                           const DeviceEnumerator* before) {
  return Wrap<TracedEnumerator>(tracer, out, before, "IMMDeviceEnumerator");
}

}  // namespace velto::platform::tracing
