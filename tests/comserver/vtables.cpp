// Each COM method forwards to the simulated object's method of the same
// meaning; the simulation decides the result, applies its fault rules and
// traces the call. Methods the library has no business calling answer
// E_NOTIMPL and are reported as problems.
#include "vtables.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "interface_ids.h"
#include "platform/sim/tracked_memory.h"

namespace velto::comtest {

namespace {

using U32 = std::uint32_t;
using I32 = std::int32_t;

Server& S() { return Server::Get(); }

ServerObject& Enter(Face* self, const char* method) {
  S().Count(self, method);
  return *self->object;
}

// Hands the simulation's object to the client as its `iid` face and passes
// the call's result on. Like the simulation, an output is written only when
// there is an object to give or the call failed.
template <class Out>
HRESULT Give(HRESULT hr, p::Ref<Out>& ref, const GUID& iid, void** out,
             const GUID* activatedAs = nullptr) {
  if (ref) {
    *out = S().Hand(ref.Get(), iid, activatedAs);
    ref.Reset();  // Hand took the client's own reference
  } else if (hr < 0) {
    *out = nullptr;
  }
  return hr;
}

// A task-memory copy of the simulation's string, which goes back to it.
HRESULT GiveString(HRESULT hr, p::TaskString& text, LPWSTR* out) {
  if (!text) {
    if (hr < 0) *out = nullptr;
    return hr;
  }
  std::size_t length = 0;
  while (text.Get()[length]) ++length;
  auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc((length + 1) * sizeof(WCHAR)));
  if (copy) std::memcpy(copy, text.Get(), (length + 1) * sizeof(WCHAR));
  *out = copy;
  return hr;
}

U32* AsU32(UINT* value) { return reinterpret_cast<U32*>(value); }
I32* AsI32(BOOL* value) { return reinterpret_cast<I32*>(value); }

// --- IUnknown -------------------------------------------------------------------

}  // namespace

ULONG STDMETHODCALLTYPE ServerAddRef(Face* self) { return Enter(self, "AddRef").AddRef(); }
ULONG STDMETHODCALLTYPE ServerRelease(Face* self) { return Enter(self, "Release").Release(); }

HRESULT STDMETHODCALLTYPE ServerQueryInterface(Face* self, REFIID iid, void** out) {
  ServerObject& object = Enter(self, "QueryInterface");
  if (!out) return E_POINTER;
  // A connector's part is the simulation's QueryPart: it counts and can fail.
  if (object.IsConnectorFace(self) && IsEqualGUID(iid, kIID_IPart)) {
    p::Ref<p::Part> part;
    return Give(object.Sim().connector->QueryPart(part), part, kIID_IPart, out);
  }
  if (IsEqualGUID(iid, kIID_IUnknown)) {
    ServerObject& identity = S().IdentityOf(object);
    identity.Grant();
    *out = identity.Primary();
    return S_OK;
  }
  Face* face = object.FaceFor(iid);
  *out = face;
  if (!face) return E_NOINTERFACE;
  object.AddRef();
  return S_OK;
}

namespace {

// --- IMMDeviceEnumerator, IMMDeviceCollection, IMMDevice, IPropertyStore ------------

HRESULT STDMETHODCALLTYPE EnumAudioEndpoints(Face* self, int flow, DWORD mask, void** out) {
  p::Ref<p::DeviceCollection> devices;
  return Give(Enter(self, "EnumAudioEndpoints")
                  .Sim()
                  .enumerator->EnumAudioEndpoints(static_cast<p::DataFlow>(flow), mask, devices),
              devices, kIID_IMMDeviceCollection, out);
}

HRESULT STDMETHODCALLTYPE GetDefaultAudioEndpoint(Face* self, int flow, int role, void** out) {
  p::Ref<p::Device> device;
  return Give(Enter(self, "GetDefaultAudioEndpoint")
                  .Sim()
                  .enumerator->GetDefaultAudioEndpoint(static_cast<p::DataFlow>(flow),
                                                       static_cast<p::Role>(role), device),
              device, kIID_IMMDevice, out);
}

HRESULT STDMETHODCALLTYPE GetDevice(Face* self, LPCWSTR id, void** out) {
  p::Ref<p::Device> device;
  return Give(Enter(self, "GetDevice")
                  .Sim()
                  .enumerator->GetDevice(reinterpret_cast<const p::WChar*>(id), device),
              device, kIID_IMMDevice, out);
}

const IMMDeviceEnumeratorVtbl kEnumeratorVtbl = {
    .EnumAudioEndpoints = EnumAudioEndpoints,
    .GetDefaultAudioEndpoint = GetDefaultAudioEndpoint,
    .GetDevice = GetDevice,
};

HRESULT STDMETHODCALLTYPE CollectionGetCount(Face* self, UINT* count) {
  return Enter(self, "GetCount").Sim().collection->GetCount(AsU32(count));
}

HRESULT STDMETHODCALLTYPE CollectionItem(Face* self, UINT index, void** out) {
  p::Ref<p::Device> device;
  return Give(Enter(self, "Item").Sim().collection->Item(index, device), device, kIID_IMMDevice,
              out);
}

const IMMDeviceCollectionVtbl kCollectionVtbl = {
    .GetCount = CollectionGetCount,
    .Item = CollectionItem,
};

HRESULT STDMETHODCALLTYPE DeviceActivate(Face* self, REFIID iid, DWORD clsctx, PROPVARIANT*,
                                         void** out) {
  p::Device& device = *Enter(self, "Activate").Sim().device;
  if (IsEqualGUID(iid, kIID_IDeviceTopology)) {
    p::Ref<p::DeviceTopology> topology;
    return Give(device.Activate(clsctx, topology), topology, kIID_IDeviceTopology, out);
  }
  if (IsEqualGUID(iid, kIID_IAudioEndpointVolume)) {
    p::Ref<p::EndpointVolume> volume;
    return Give(device.Activate(clsctx, volume), volume, kIID_IAudioEndpointVolume, out);
  }
  *out = nullptr;
  S().TraceUnknownId(self, "Activate", iid, E_NOINTERFACE);
  return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE OpenPropertyStore(Face* self, DWORD access, void** out) {
  p::Ref<p::PropertyStore> store;
  return Give(Enter(self, "OpenPropertyStore").Sim().device->OpenPropertyStore(access, store),
              store, kIID_IPropertyStore, out);
}

HRESULT STDMETHODCALLTYPE GetId(Face* self, LPWSTR* out) {
  p::TaskString id;
  return GiveString(Enter(self, "GetId").Sim().device->GetId(id), id, out);
}

const IMMDeviceVtbl kDeviceVtbl = {
    .Activate = DeviceActivate,
    .OpenPropertyStore = OpenPropertyStore,
    .GetId = GetId,
};

// The simulation's PROPVARIANT, as a real one whose string the client frees
// with PropVariantClear.
void CopyVariant(sim::SimSystem& system, p::PropVariantData& simulated, PROPVARIANT* value) {
  if (sim::VariantType(simulated) != sim::kVtLpwstr) return;
  p::Bstr text;
  system.PropVariantToBSTR(simulated, text);
  const std::uint32_t length = text ? system.SysStringLen(text.Get()) : 0;
  auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc((length + 1) * sizeof(WCHAR)));
  if (copy && length) std::memcpy(copy, text.Get(), length * sizeof(WCHAR));
  if (copy) copy[length] = 0;
  value->vt = VT_LPWSTR;
  value->pwszVal = copy;
}

HRESULT STDMETHODCALLTYPE GetValue(Face* self, const PROPERTYKEY& key, PROPVARIANT* value) {
  p::PropertyStore& store = *Enter(self, "GetValue").Sim().store;
  if (!IsEqualGUID(key.fmtid, kPKEY_Device_FriendlyName_Fmtid) || key.pid != kFriendlyNamePid) {
    S().TraceUnknownId(self, "GetValue", key.fmtid, E_INVALIDARG);
    return E_INVALIDARG;
  }
  p::PropVariantData simulated;
  const HRESULT hr =
      store.GetValue(p::PropertyKey::DeviceFriendlyName, value ? &simulated : nullptr);
  sim::SimSystem& system = *S().System();
  if (SUCCEEDED(hr)) CopyVariant(system, simulated, value);
  system.PropVariantClear(&simulated);
  return hr;
}

const IPropertyStoreVtbl kStoreVtbl = {
    .GetValue = GetValue,
};

// --- IAudioEndpointVolume --------------------------------------------------------

p::EndpointVolume& Volume(Face* self, const char* method) {
  return *Enter(self, method).Sim().volume;
}

HRESULT STDMETHODCALLTYPE VolumeGetChannelCount(Face* self, UINT* count) {
  return Volume(self, "GetChannelCount").GetChannelCount(AsU32(count));
}
HRESULT STDMETHODCALLTYPE SetMasterVolumeLevel(Face* self, float levelDb, LPCGUID) {
  return Volume(self, "SetMasterVolumeLevel").SetMasterVolumeLevel(levelDb);
}
HRESULT STDMETHODCALLTYPE GetMasterVolumeLevel(Face* self, float* levelDb) {
  return Volume(self, "GetMasterVolumeLevel").GetMasterVolumeLevel(levelDb);
}
HRESULT STDMETHODCALLTYPE SetChannelVolumeLevel(Face* self, UINT channel, float levelDb, LPCGUID) {
  return Volume(self, "SetChannelVolumeLevel").SetChannelVolumeLevel(channel, levelDb);
}
HRESULT STDMETHODCALLTYPE GetChannelVolumeLevel(Face* self, UINT channel, float* levelDb) {
  return Volume(self, "GetChannelVolumeLevel").GetChannelVolumeLevel(channel, levelDb);
}
HRESULT STDMETHODCALLTYPE VolumeSetMute(Face* self, BOOL mute, LPCGUID) {
  return Volume(self, "SetMute").SetMute(mute);
}
HRESULT STDMETHODCALLTYPE VolumeGetMute(Face* self, BOOL* mute) {
  return Volume(self, "GetMute").GetMute(AsI32(mute));
}
HRESULT STDMETHODCALLTYPE GetVolumeRange(Face* self, float* minDb, float* maxDb, float* stepDb) {
  return Volume(self, "GetVolumeRange").GetVolumeRange(minDb, maxDb, stepDb);
}

const IAudioEndpointVolumeVtbl kVolumeVtbl = {
    .GetChannelCount = VolumeGetChannelCount,
    .SetMasterVolumeLevel = SetMasterVolumeLevel,
    .GetMasterVolumeLevel = GetMasterVolumeLevel,
    .SetChannelVolumeLevel = SetChannelVolumeLevel,
    .GetChannelVolumeLevel = GetChannelVolumeLevel,
    .SetMute = VolumeSetMute,
    .GetMute = VolumeGetMute,
    .GetVolumeRange = GetVolumeRange,
};

// --- IDeviceTopology, IConnector, IPart, IPartsList -------------------------------

HRESULT STDMETHODCALLTYPE GetConnectorCount(Face* self, UINT* count) {
  return Enter(self, "GetConnectorCount").Sim().topology->GetConnectorCount(AsU32(count));
}

HRESULT STDMETHODCALLTYPE GetConnector(Face* self, UINT index, void** out) {
  p::Ref<p::Connector> connector;
  return Give(Enter(self, "GetConnector").Sim().topology->GetConnector(index, connector), connector,
              kIID_IConnector, out);
}

const IDeviceTopologyVtbl kTopologyVtbl = {
    .GetConnectorCount = GetConnectorCount,
    .GetConnector = GetConnector,
};

HRESULT STDMETHODCALLTYPE GetConnectedTo(Face* self, void** out) {
  p::Ref<p::Connector> other;
  return Give(Enter(self, "GetConnectedTo").Sim().connector->GetConnectedTo(other), other,
              kIID_IConnector, out);
}

const IConnectorVtbl kConnectorVtbl = {
    .GetConnectedTo = GetConnectedTo,
};

HRESULT STDMETHODCALLTYPE GetName(Face* self, LPWSTR* out) {
  p::TaskString name;
  return GiveString(Enter(self, "GetName").Sim().part->GetName(name), name, out);
}

HRESULT STDMETHODCALLTYPE GetSubType(Face* self, GUID* out) {
  p::Guid subtype;
  const HRESULT hr = Enter(self, "GetSubType").Sim().part->GetSubType(out ? &subtype : nullptr);
  if (out && hr == S_OK) {
    *out = {subtype.data1, subtype.data2, subtype.data3, {}};
    std::memcpy(out->Data4, subtype.data4, sizeof out->Data4);
  }
  return hr;
}

HRESULT STDMETHODCALLTYPE EnumPartsIncoming(Face* self, void** out) {
  p::Ref<p::PartsList> parts;
  return Give(Enter(self, "EnumPartsIncoming").Sim().part->EnumPartsIncoming(parts), parts,
              kIID_IPartsList, out);
}

HRESULT STDMETHODCALLTYPE EnumPartsOutgoing(Face* self, void** out) {
  p::Ref<p::PartsList> parts;
  return Give(Enter(self, "EnumPartsOutgoing").Sim().part->EnumPartsOutgoing(parts), parts,
              kIID_IPartsList, out);
}

HRESULT STDMETHODCALLTYPE GetTopologyObject(Face* self, void** out) {
  p::Ref<p::DeviceTopology> topology;
  return Give(Enter(self, "GetTopologyObject").Sim().part->GetTopologyObject(topology), topology,
              kIID_IDeviceTopology, out);
}

// Activates one kind of part control as `iid`, one of the server's own ids.
template <class Control, class Kind>
HRESULT ActivateControl(p::Part& part, DWORD clsctx, Kind kind, const GUID& iid, void** out) {
  p::Ref<Control> control;
  return Give(part.Activate(kind, clsctx, control), control, iid, out, &iid);
}

HRESULT STDMETHODCALLTYPE PartActivate(Face* self, DWORD clsctx, REFIID iid, void** out) {
  p::Part& part = *Enter(self, "Activate").Sim().part;
  using L = p::LevelInterface;
  using Sw = p::SwitchInterface;
  if (IsEqualGUID(iid, kIID_IAudioVolumeLevel))
    return ActivateControl<p::LevelControl>(part, clsctx, L::AudioVolumeLevel,
                                            kIID_IAudioVolumeLevel, out);
  if (IsEqualGUID(iid, kIID_IAudioBass))
    return ActivateControl<p::LevelControl>(part, clsctx, L::AudioBass, kIID_IAudioBass, out);
  if (IsEqualGUID(iid, kIID_IAudioTreble))
    return ActivateControl<p::LevelControl>(part, clsctx, L::AudioTreble, kIID_IAudioTreble, out);
  if (IsEqualGUID(iid, kIID_IAudioMidrange))
    return ActivateControl<p::LevelControl>(part, clsctx, L::AudioMidrange, kIID_IAudioMidrange,
                                            out);
  if (IsEqualGUID(iid, kIID_IAudioAutoGainControl))
    return ActivateControl<p::SwitchControl>(part, clsctx, Sw::AudioAutoGainControl,
                                             kIID_IAudioAutoGainControl, out);
  if (IsEqualGUID(iid, kIID_IAudioLoudness))
    return ActivateControl<p::SwitchControl>(part, clsctx, Sw::AudioLoudness, kIID_IAudioLoudness,
                                             out);
  if (IsEqualGUID(iid, kIID_IAudioMute))
    return ActivateControl<p::MuteControl>(part, clsctx, p::MuteInterface::AudioMute,
                                           kIID_IAudioMute, out);
  *out = nullptr;
  S().TraceUnknownId(self, "Activate", iid, E_NOINTERFACE);
  return E_NOINTERFACE;
}

const IPartVtbl kPartVtbl = {
    .GetName = GetName,
    .GetSubType = GetSubType,
    .EnumPartsIncoming = EnumPartsIncoming,
    .EnumPartsOutgoing = EnumPartsOutgoing,
    .GetTopologyObject = GetTopologyObject,
    .Activate = PartActivate,
};

HRESULT STDMETHODCALLTYPE PartsGetCount(Face* self, UINT* count) {
  return Enter(self, "GetCount").Sim().parts->GetCount(AsU32(count));
}

HRESULT STDMETHODCALLTYPE GetPart(Face* self, UINT index, void** out) {
  p::Ref<p::Part> part;
  return Give(Enter(self, "GetPart").Sim().parts->GetPart(index, part), part, kIID_IPart, out);
}

const IPartsListVtbl kPartsListVtbl = {
    .GetCount = PartsGetCount,
    .GetPart = GetPart,
};

// --- Part controls ------------------------------------------------------------------

p::LevelControl& Level(Face* self, const char* method) { return *Enter(self, method).Sim().level; }

HRESULT STDMETHODCALLTYPE LevelGetChannelCount(Face* self, UINT* count) {
  return Level(self, "GetChannelCount").GetChannelCount(AsU32(count));
}
HRESULT STDMETHODCALLTYPE GetLevelRange(Face* self, UINT channel, float* minDb, float* maxDb,
                                        float* stepDb) {
  return Level(self, "GetLevelRange").GetLevelRange(channel, minDb, maxDb, stepDb);
}
HRESULT STDMETHODCALLTYPE GetLevel(Face* self, UINT channel, float* levelDb) {
  return Level(self, "GetLevel").GetLevel(channel, levelDb);
}
HRESULT STDMETHODCALLTYPE SetLevel(Face* self, UINT channel, float levelDb, LPCGUID) {
  return Level(self, "SetLevel").SetLevel(channel, levelDb);
}

const IPerChannelDbLevelVtbl kLevelVtbl = {
    .GetChannelCount = LevelGetChannelCount,
    .GetLevelRange = GetLevelRange,
    .GetLevel = GetLevel,
    .SetLevel = SetLevel,
};

HRESULT STDMETHODCALLTYPE MuteSetMute(Face* self, BOOL mute, LPCGUID) {
  return Enter(self, "SetMute").Sim().mute->SetMute(mute);
}
HRESULT STDMETHODCALLTYPE MuteGetMute(Face* self, BOOL* mute) {
  return Enter(self, "GetMute").Sim().mute->GetMute(AsI32(mute));
}

const IAudioMuteVtbl kMuteVtbl = {
    .SetMute = MuteSetMute,
    .GetMute = MuteGetMute,
};

HRESULT STDMETHODCALLTYPE GetEnabled(Face* self, BOOL* enabled) {
  return Enter(self, "GetEnabled").Sim().onOff->GetEnabled(AsI32(enabled));
}
HRESULT STDMETHODCALLTYPE SetEnabled(Face* self, BOOL enabled, LPCGUID) {
  return Enter(self, "SetEnabled").Sim().onOff->SetEnabled(enabled);
}

const IOnOffVtbl kOnOffVtbl = {
    .GetEnabled = GetEnabled,
    .SetEnabled = SetEnabled,
};

const char* LevelName(const GUID& iid) {
  if (IsEqualGUID(iid, kIID_IAudioBass)) return "IAudioBass";
  if (IsEqualGUID(iid, kIID_IAudioTreble)) return "IAudioTreble";
  if (IsEqualGUID(iid, kIID_IAudioMidrange)) return "IAudioMidrange";
  return "IAudioVolumeLevel";
}

}  // namespace

HRESULT ReportUnexpected(Face* self, const char* method) {
  S().Count(self, method);
  S().Problem(std::string("unexpected call ") + self->name + "::" + method + " on " +
              self->object->Path());
  return E_NOTIMPL;
}

FaceShape ShapeOf(const SimInterfaces& sim, const GUID* activatedAs) {
  if (sim.enumerator)
    return {&kEnumeratorVtbl, "IMMDeviceEnumerator", &kIID_IMMDeviceEnumerator, sim.enumerator};
  if (sim.collection)
    return {&kCollectionVtbl, "IMMDeviceCollection", &kIID_IMMDeviceCollection, sim.collection};
  if (sim.device) return {&kDeviceVtbl, "IMMDevice", &kIID_IMMDevice, sim.device};
  if (sim.store) return {&kStoreVtbl, "IPropertyStore", &kIID_IPropertyStore, sim.store};
  if (sim.volume)
    return {&kVolumeVtbl, "IAudioEndpointVolume", &kIID_IAudioEndpointVolume, sim.volume};
  if (sim.topology) return {&kTopologyVtbl, "IDeviceTopology", &kIID_IDeviceTopology, sim.topology};
  if (sim.part) return {&kPartVtbl, "IPart", &kIID_IPart, sim.part};
  if (sim.connector) return {&kConnectorVtbl, "IConnector", &kIID_IConnector, sim.connector};
  if (sim.parts) return {&kPartsListVtbl, "IPartsList", &kIID_IPartsList, sim.parts};
  if (sim.level) return {&kLevelVtbl, LevelName(*activatedAs), activatedAs, sim.level};
  if (sim.mute) return {&kMuteVtbl, "IAudioMute", &kIID_IAudioMute, sim.mute};
  const bool loudness = IsEqualGUID(*activatedAs, kIID_IAudioLoudness);
  return {&kOnOffVtbl, loudness ? "IAudioLoudness" : "IAudioAutoGainControl", activatedAs,
          sim.onOff};
}

const void* ConnectorVtable() { return &kConnectorVtbl; }

}  // namespace velto::comtest
