#include "platform/coreaudio/adapters.h"

// clang-format off
#include <windows.h>
#include <objbase.h>
#include <mmdeviceapi.h>
#include <endpointvolume.h>
#include <devicetopology.h>
#include <propsys.h>
// clang-format on

#include <cstring>
#include <new>

#include "platform/coreaudio/com_ids.h"
#include "platform/coreaudio/com_ptr.h"
#include "platform/coreaudio/sdk_fixes.h"

namespace velto::coreaudio {

namespace p = velto::platform;
using p::Ref;

namespace {

static_assert(sizeof(PROPVARIANT) <= sizeof(p::PropVariantData));
static_assert(alignof(PROPVARIANT) <= alignof(p::PropVariantData));
static_assert(sizeof(WCHAR) == sizeof(p::WChar));
static_assert(sizeof(BOOL) == sizeof(std::int32_t));
static_assert(sizeof(UINT) == sizeof(std::uint32_t));

// One platform object over one COM interface. The adapter owns exactly one
// COM reference, whatever its own count; the core sees only the adapter.
template <class Base, class Itf>
class Adapter : public Base {
 public:
  using Interface = Itf;
  explicit Adapter(ComPtr<Itf> com) : com_(std::move(com)) {}
  virtual ~Adapter() = default;

  // COM's identity rule: IUnknown of one object is always the same pointer,
  // whichever interface or wrapper it was reached through.
  const void* Identity() const final {
    ComPtr<IUnknown> unknown;
    if (com_->QueryInterface(ids::kIUnknown, unknown.ReceiveVoid()) != S_OK) return com_.Get();
    return unknown.Get();  // still valid: com_ keeps the object alive
  }

  unsigned long AddRef() final { return ++refs_; }
  unsigned long Release() final {
    const unsigned long left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  Itf& Com() const { return *com_.Get(); }

 private:
  ComPtr<Itf> com_;
  unsigned long refs_ = 1;
};

// Hands a COM object to the core. Only S_OK with an object hands over; any
// object that came with another result is released with `com`. A success
// code with no object is a failure: a server may answer so, and Wine's
// CoCreateInstance turns a class factory's S_FALSE into S_OK.
template <class AdapterT, class Out>
p::HRESULT HandOver(HRESULT hr, ComPtr<typename AdapterT::Interface> com, Ref<Out>& out) {
  if (!com) return FAILED(hr) ? hr : E_POINTER;
  if (hr != S_OK) return hr;
  auto* adapter = new (std::nothrow) AdapterT(std::move(com));
  if (!adapter) return E_OUTOFMEMORY;
  out = Ref<Out>::Adopt(adapter);
  return hr;
}

// A task-memory string from GetId or GetName. Freed here unless handed over,
// and by this backend in any case, whatever is installed in front of it.
p::HRESULT HandOverString(HRESULT hr, LPWSTR text, p::TaskString& out) {
  p::TaskString owned(&p::BackendPlatform(), reinterpret_cast<p::WChar*>(text));
  if (hr == S_OK) out = std::move(owned);
  return hr;
}

// Calls a getter of the form Method(..., Itf** out) and hands its object over.
template <class AdapterT, class Out, class Call>
p::HRESULT Fetch(Ref<Out>& out, Call&& call) {
  ComPtr<typename AdapterT::Interface> com;
  const HRESULT hr = call(com.Receive());
  return HandOver<AdapterT>(hr, std::move(com), out);
}

// Calls an activation of the form Method(..., void** out).
template <class AdapterT, class Out, class Call>
p::HRESULT FetchVoid(Ref<Out>& out, Call&& call) {
  ComPtr<typename AdapterT::Interface> com;
  const HRESULT hr = call(com.ReceiveVoid());
  return HandOver<AdapterT>(hr, std::move(com), out);
}

// --- Controls ----------------------------------------------------------------

class EndpointVolumeAdapter final : public Adapter<p::EndpointVolume, IAudioEndpointVolume> {
 public:
  using Adapter::Adapter;
  p::HRESULT GetChannelCount(std::uint32_t* count) override {
    return Com().GetChannelCount(reinterpret_cast<UINT*>(count));
  }
  p::HRESULT SetMasterVolumeLevel(float levelDb) override {
    return Com().SetMasterVolumeLevel(levelDb, nullptr);
  }
  p::HRESULT SetChannelVolumeLevel(std::uint32_t channel, float levelDb) override {
    return Com().SetChannelVolumeLevel(channel, levelDb, nullptr);
  }
  p::HRESULT GetMasterVolumeLevel(float* levelDb) override {
    return Com().GetMasterVolumeLevel(levelDb);
  }
  p::HRESULT GetChannelVolumeLevel(std::uint32_t channel, float* levelDb) override {
    return Com().GetChannelVolumeLevel(channel, levelDb);
  }
  p::HRESULT SetMute(std::int32_t mute) override { return Com().SetMute(mute, nullptr); }
  p::HRESULT GetMute(std::int32_t* mute) override {
    return Com().GetMute(reinterpret_cast<BOOL*>(mute));
  }
  p::HRESULT GetVolumeRange(float* minDb, float* maxDb, float* incrementDb) override {
    return Com().GetVolumeRange(minDb, maxDb, incrementDb);
  }
};

// IAudioVolumeLevel, IAudioBass, IAudioTreble and IAudioMidrange add nothing
// to IPerChannelDbLevel, so one adapter serves all four.
class LevelAdapter final : public Adapter<p::LevelControl, IPerChannelDbLevel> {
 public:
  using Adapter::Adapter;
  p::HRESULT GetChannelCount(std::uint32_t* count) override {
    return Com().GetChannelCount(reinterpret_cast<UINT*>(count));
  }
  p::HRESULT GetLevelRange(std::uint32_t channel, float* minDb, float* maxDb,
                           float* stepDb) override {
    return Com().GetLevelRange(channel, minDb, maxDb, stepDb);
  }
  p::HRESULT GetLevel(std::uint32_t channel, float* levelDb) override {
    return Com().GetLevel(channel, levelDb);
  }
  p::HRESULT SetLevel(std::uint32_t channel, float levelDb) override {
    return Com().SetLevel(channel, levelDb, nullptr);
  }
};

class MuteAdapter final : public Adapter<p::MuteControl, IAudioMute> {
 public:
  using Adapter::Adapter;
  p::HRESULT SetMute(std::int32_t mute) override { return Com().SetMute(mute, nullptr); }
  p::HRESULT GetMute(std::int32_t* mute) override {
    return Com().GetMute(reinterpret_cast<BOOL*>(mute));
  }
};

// IAudioAutoGainControl and IAudioLoudness.
class SwitchAdapter final : public Adapter<p::SwitchControl, OnOffControl> {
 public:
  using Adapter::Adapter;
  p::HRESULT GetEnabled(std::int32_t* enabled) override {
    return Com().GetEnabled(reinterpret_cast<BOOL*>(enabled));
  }
  p::HRESULT SetEnabled(std::int32_t enabled) override {
    return Com().SetEnabled(enabled, nullptr);
  }
};

// --- Topology ----------------------------------------------------------------

const IID& LevelIid(p::LevelInterface iid) {
  switch (iid) {
    case p::LevelInterface::AudioBass:
      return ids::kIAudioBass;
    case p::LevelInterface::AudioTreble:
      return ids::kIAudioTreble;
    case p::LevelInterface::AudioMidrange:
      return ids::kIAudioMidrange;
    case p::LevelInterface::AudioVolumeLevel:
      break;
  }
  return ids::kIAudioVolumeLevel;
}

class TopologyAdapter;
class PartsListAdapter;

class PartAdapter final : public Adapter<p::Part, IPart> {
 public:
  using Adapter::Adapter;
  p::HRESULT GetName(p::TaskString& name) override {
    LPWSTR text = nullptr;
    const HRESULT hr = Com().GetName(&text);
    return HandOverString(hr, text, name);
  }
  p::HRESULT GetSubType(p::Guid* subtype) override {
    GUID id{};
    const HRESULT hr = Com().GetSubType(&id);
    if (subtype) {
      *subtype = {.data1 = id.Data1, .data2 = id.Data2, .data3 = id.Data3};
      std::memcpy(subtype->data4, id.Data4, sizeof subtype->data4);
    }
    return hr;
  }
  p::HRESULT EnumPartsIncoming(Ref<p::PartsList>& parts) override;
  p::HRESULT EnumPartsOutgoing(Ref<p::PartsList>& parts) override;
  p::HRESULT GetTopologyObject(Ref<p::DeviceTopology>& topology) override;
  p::HRESULT Activate(p::LevelInterface iid, std::uint32_t clsctx,
                      Ref<p::LevelControl>& out) override {
    return FetchVoid<LevelAdapter>(
        out, [&](void** raw) { return Com().Activate(clsctx, LevelIid(iid), raw); });
  }
  p::HRESULT Activate(p::SwitchInterface iid, std::uint32_t clsctx,
                      Ref<p::SwitchControl>& out) override {
    const IID& wanted = iid == p::SwitchInterface::AudioLoudness ? ids::kIAudioLoudness
                                                                 : ids::kIAudioAutoGainControl;
    return FetchVoid<SwitchAdapter>(
        out, [&](void** raw) { return Com().Activate(clsctx, wanted, raw); });
  }
  p::HRESULT Activate(p::MuteInterface, std::uint32_t clsctx, Ref<p::MuteControl>& out) override {
    return FetchVoid<MuteAdapter>(
        out, [&](void** raw) { return Com().Activate(clsctx, ids::kIAudioMute, raw); });
  }
};

class PartsListAdapter final : public Adapter<p::PartsList, IPartsList> {
 public:
  using Adapter::Adapter;
  p::HRESULT GetCount(std::uint32_t* count) override {
    return Com().GetCount(reinterpret_cast<UINT*>(count));
  }
  p::HRESULT GetPart(std::uint32_t index, Ref<p::Part>& part) override {
    return Fetch<PartAdapter>(part, [&](IPart** raw) { return Com().GetPart(index, raw); });
  }
};

class ConnectorAdapter final : public Adapter<p::Connector, IConnector> {
 public:
  using Adapter::Adapter;
  p::HRESULT GetConnectedTo(Ref<p::Connector>& other) override {
    return Fetch<ConnectorAdapter>(other,
                                   [&](IConnector** raw) { return Com().GetConnectedTo(raw); });
  }
  p::HRESULT QueryPart(Ref<p::Part>& part) override {
    return FetchVoid<PartAdapter>(
        part, [&](void** raw) { return Com().QueryInterface(ids::kIPart, raw); });
  }
};

class TopologyAdapter final : public Adapter<p::DeviceTopology, IDeviceTopology> {
 public:
  using Adapter::Adapter;
  p::HRESULT GetConnectorCount(std::uint32_t* count) override {
    return Com().GetConnectorCount(reinterpret_cast<UINT*>(count));
  }
  p::HRESULT GetConnector(std::uint32_t index, Ref<p::Connector>& connector) override {
    return Fetch<ConnectorAdapter>(
        connector, [&](IConnector** raw) { return Com().GetConnector(index, raw); });
  }
};

p::HRESULT PartAdapter::EnumPartsIncoming(Ref<p::PartsList>& parts) {
  return Fetch<PartsListAdapter>(parts,
                                 [&](IPartsList** raw) { return Com().EnumPartsIncoming(raw); });
}
p::HRESULT PartAdapter::EnumPartsOutgoing(Ref<p::PartsList>& parts) {
  return Fetch<PartsListAdapter>(parts,
                                 [&](IPartsList** raw) { return Com().EnumPartsOutgoing(raw); });
}
p::HRESULT PartAdapter::GetTopologyObject(Ref<p::DeviceTopology>& topology) {
  return Fetch<TopologyAdapter>(
      topology,
      [&](IDeviceTopology** raw) {  // MinGW-w64 spells IPart::GetTopologyObject with a trailing s.
        return Com().GetTopologyObjects(raw);
      });
}

// --- Devices -----------------------------------------------------------------

class PropertyStoreAdapter final : public Adapter<p::PropertyStore, IPropertyStore> {
 public:
  using Adapter::Adapter;
  p::HRESULT GetValue(p::PropertyKey, p::PropVariantData* value) override {
    return Com().GetValue(ids::kPkeyDeviceFriendlyName,
                          reinterpret_cast<PROPVARIANT*>(value->bytes));
  }
};

class DeviceAdapter final : public Adapter<p::Device, IMMDevice> {
 public:
  using Adapter::Adapter;
  p::HRESULT Activate(std::uint32_t clsctx, Ref<p::DeviceTopology>& out) override {
    return FetchVoid<TopologyAdapter>(out, [&](void** raw) {
      return Com().Activate(ids::kIDeviceTopology, clsctx, nullptr, raw);
    });
  }
  p::HRESULT Activate(std::uint32_t clsctx, Ref<p::EndpointVolume>& out) override {
    return FetchVoid<EndpointVolumeAdapter>(out, [&](void** raw) {
      return Com().Activate(ids::kIAudioEndpointVolume, clsctx, nullptr, raw);
    });
  }
  p::HRESULT OpenPropertyStore(std::uint32_t access, Ref<p::PropertyStore>& store) override {
    return Fetch<PropertyStoreAdapter>(
        store, [&](IPropertyStore** raw) { return Com().OpenPropertyStore(access, raw); });
  }
  p::HRESULT GetId(p::TaskString& id) override {
    LPWSTR text = nullptr;
    const HRESULT hr = Com().GetId(&text);
    return HandOverString(hr, text, id);
  }
};

class DeviceCollectionAdapter final : public Adapter<p::DeviceCollection, IMMDeviceCollection> {
 public:
  using Adapter::Adapter;
  p::HRESULT GetCount(std::uint32_t* count) override {
    return Com().GetCount(reinterpret_cast<UINT*>(count));
  }
  p::HRESULT Item(std::uint32_t index, Ref<p::Device>& device) override {
    return Fetch<DeviceAdapter>(device, [&](IMMDevice** raw) { return Com().Item(index, raw); });
  }
};

class DeviceEnumeratorAdapter final : public Adapter<p::DeviceEnumerator, IMMDeviceEnumerator> {
 public:
  using Adapter::Adapter;
  p::HRESULT EnumAudioEndpoints(p::DataFlow flow, std::uint32_t stateMask,
                                Ref<p::DeviceCollection>& devices) override {
    return Fetch<DeviceCollectionAdapter>(devices, [&](IMMDeviceCollection** raw) {
      return Com().EnumAudioEndpoints(static_cast<EDataFlow>(flow), stateMask, raw);
    });
  }
  p::HRESULT GetDefaultAudioEndpoint(p::DataFlow flow, p::Role role,
                                     Ref<p::Device>& device) override {
    return Fetch<DeviceAdapter>(device, [&](IMMDevice** raw) {
      return Com().GetDefaultAudioEndpoint(static_cast<EDataFlow>(flow), static_cast<ERole>(role),
                                           raw);
    });
  }
  p::HRESULT GetDevice(const p::WChar* id, Ref<p::Device>& device) override {
    return Fetch<DeviceAdapter>(device, [&](IMMDevice** raw) {
      return Com().GetDevice(reinterpret_cast<LPCWSTR>(id), raw);
    });
  }
};

}  // namespace

p::HRESULT CreateDeviceEnumerator(std::uint32_t clsctx, Ref<p::DeviceEnumerator>& out) {
  return FetchVoid<DeviceEnumeratorAdapter>(out, [&](void** raw) {
    return CoCreateInstance(ids::kMMDeviceEnumerator, nullptr, clsctx, ids::kIMMDeviceEnumerator,
                            raw);
  });
}

}  // namespace velto::coreaudio
