// The vtables of the interfaces the test server implements, slot by slot as
// the public IDL declares them (Windows SDK mmdeviceapi.idl,
// endpointvolume.idl, devicetopology.idl, propsys.idl, unknwn.idl). Written
// out here, not taken from the MinGW-w64 headers, so that a header's mistake
// cannot hide the same mistake in the library.
//
// Every method receives the Face its client called through.
#pragma once

// clang-format off
#include <windows.h>
#include <wtypes.h>
#include <propidl.h>
// clang-format on

namespace velto::comtest {

class ServerObject;

// What a client's interface pointer points at: the vtable, then the object.
struct Face {
  const void* vtbl;
  ServerObject* object;
  const char* name;  // the interface, for the call counts
};

template <unsigned N>
struct MethodName {
  constexpr MethodName(const char (&text)[N]) {
    for (unsigned i = 0; i < N; ++i) chars[i] = text[i];
  }
  char chars[N];
};

// The server's answer to a method the library has no business calling:
// E_NOTIMPL, and the call reported as a problem. Every slot starts as one, so
// a vtable names only the methods the server implements.
HRESULT ReportUnexpected(Face* self, const char* method);
template <MethodName kMethod, class... Args>
HRESULT STDMETHODCALLTYPE Unexpected(Face* self, Args...) {
  return ReportUnexpected(self, kMethod.chars);
}

#define VELTO_COM_METHOD(name, ...) \
  HRESULT(STDMETHODCALLTYPE* name)(Face*, ##__VA_ARGS__) = &Unexpected<#name>

// The IUnknown of every face but the class factory's.
HRESULT STDMETHODCALLTYPE ServerQueryInterface(Face* self, REFIID iid, void** out);
ULONG STDMETHODCALLTYPE ServerAddRef(Face* self);
ULONG STDMETHODCALLTYPE ServerRelease(Face* self);

#define VELTO_IUNKNOWN_SLOTS                                                                \
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(Face*, REFIID, void**) = ServerQueryInterface; \
  ULONG(STDMETHODCALLTYPE* AddRef)(Face*) = ServerAddRef;                                   \
  ULONG(STDMETHODCALLTYPE* Release)(Face*) = ServerRelease

struct IClassFactoryVtbl {
  VELTO_IUNKNOWN_SLOTS;
  VELTO_COM_METHOD(CreateInstance, IUnknown*, REFIID, void**);
  VELTO_COM_METHOD(LockServer, BOOL);
};

struct IMMDeviceEnumeratorVtbl {
  VELTO_IUNKNOWN_SLOTS;
  VELTO_COM_METHOD(EnumAudioEndpoints, int dataFlow, DWORD stateMask, void** devices);
  VELTO_COM_METHOD(GetDefaultAudioEndpoint, int dataFlow, int role, void** endpoint);
  VELTO_COM_METHOD(GetDevice, LPCWSTR id, void** device);
  VELTO_COM_METHOD(RegisterEndpointNotificationCallback, void* client);
  VELTO_COM_METHOD(UnregisterEndpointNotificationCallback, void* client);
};

struct IMMDeviceCollectionVtbl {
  VELTO_IUNKNOWN_SLOTS;
  VELTO_COM_METHOD(GetCount, UINT* count);
  VELTO_COM_METHOD(Item, UINT index, void** device);
};

struct IMMDeviceVtbl {
  VELTO_IUNKNOWN_SLOTS;
  VELTO_COM_METHOD(Activate, REFIID iid, DWORD clsctx, PROPVARIANT* params, void** out);
  VELTO_COM_METHOD(OpenPropertyStore, DWORD access, void** store);
  VELTO_COM_METHOD(GetId, LPWSTR* id);
  VELTO_COM_METHOD(GetState, DWORD* state);
};

struct IPropertyStoreVtbl {
  VELTO_IUNKNOWN_SLOTS;
  VELTO_COM_METHOD(GetCount, DWORD* count);
  VELTO_COM_METHOD(GetAt, DWORD index, PROPERTYKEY* key);
  VELTO_COM_METHOD(GetValue, const PROPERTYKEY& key, PROPVARIANT* value);
  VELTO_COM_METHOD(SetValue, const PROPERTYKEY& key, const PROPVARIANT& value);
  VELTO_COM_METHOD(Commit);
};

struct IAudioEndpointVolumeVtbl {
  VELTO_IUNKNOWN_SLOTS;
  VELTO_COM_METHOD(RegisterControlChangeNotify, void* notify);
  VELTO_COM_METHOD(UnregisterControlChangeNotify, void* notify);
  VELTO_COM_METHOD(GetChannelCount, UINT* count);
  VELTO_COM_METHOD(SetMasterVolumeLevel, float levelDb, LPCGUID context);
  VELTO_COM_METHOD(SetMasterVolumeLevelScalar, float level, LPCGUID context);
  VELTO_COM_METHOD(GetMasterVolumeLevel, float* levelDb);
  VELTO_COM_METHOD(GetMasterVolumeLevelScalar, float* level);
  VELTO_COM_METHOD(SetChannelVolumeLevel, UINT channel, float levelDb, LPCGUID context);
  VELTO_COM_METHOD(SetChannelVolumeLevelScalar, UINT channel, float level, LPCGUID context);
  VELTO_COM_METHOD(GetChannelVolumeLevel, UINT channel, float* levelDb);
  VELTO_COM_METHOD(GetChannelVolumeLevelScalar, UINT channel, float* level);
  VELTO_COM_METHOD(SetMute, BOOL mute, LPCGUID context);
  VELTO_COM_METHOD(GetMute, BOOL* mute);
  VELTO_COM_METHOD(GetVolumeStepInfo, UINT* step, UINT* stepCount);
  VELTO_COM_METHOD(VolumeStepUp, LPCGUID context);
  VELTO_COM_METHOD(VolumeStepDown, LPCGUID context);
  VELTO_COM_METHOD(QueryHardwareSupport, DWORD* mask);
  VELTO_COM_METHOD(GetVolumeRange, float* minDb, float* maxDb, float* incrementDb);
};

struct IDeviceTopologyVtbl {
  VELTO_IUNKNOWN_SLOTS;
  VELTO_COM_METHOD(GetConnectorCount, UINT* count);
  VELTO_COM_METHOD(GetConnector, UINT index, void** connector);
  VELTO_COM_METHOD(GetSubunitCount, UINT* count);
  VELTO_COM_METHOD(GetSubunit, UINT index, void** subunit);
  VELTO_COM_METHOD(GetPartById, UINT id, void** part);
  VELTO_COM_METHOD(GetDeviceId, LPWSTR* id);
  VELTO_COM_METHOD(GetSignalPath, void* from, void* to, BOOL rejectMixed, void** parts);
};

struct IConnectorVtbl {
  VELTO_IUNKNOWN_SLOTS;
  VELTO_COM_METHOD(GetType, int* type);
  VELTO_COM_METHOD(GetDataFlow, int* flow);
  VELTO_COM_METHOD(ConnectTo, void* other);
  VELTO_COM_METHOD(Disconnect);
  VELTO_COM_METHOD(IsConnected, BOOL* connected);
  VELTO_COM_METHOD(GetConnectedTo, void** other);
  VELTO_COM_METHOD(GetConnectorIdConnectedTo, LPWSTR* id);
  VELTO_COM_METHOD(GetDeviceIdConnectedTo, LPWSTR* id);
};

struct IPartVtbl {
  VELTO_IUNKNOWN_SLOTS;
  VELTO_COM_METHOD(GetName, LPWSTR* name);
  VELTO_COM_METHOD(GetLocalId, UINT* id);
  VELTO_COM_METHOD(GetGlobalId, LPWSTR* id);
  VELTO_COM_METHOD(GetPartType, int* type);
  VELTO_COM_METHOD(GetSubType, GUID* subType);
  VELTO_COM_METHOD(GetControlInterfaceCount, UINT* count);
  VELTO_COM_METHOD(GetControlInterface, UINT index, void** description);
  VELTO_COM_METHOD(EnumPartsIncoming, void** parts);
  VELTO_COM_METHOD(EnumPartsOutgoing, void** parts);
  VELTO_COM_METHOD(GetTopologyObject, void** topology);
  VELTO_COM_METHOD(Activate, DWORD clsctx, REFIID iid, void** out);
  VELTO_COM_METHOD(RegisterControlChangeCallback, REFGUID iid, void* notify);
  VELTO_COM_METHOD(UnregisterControlChangeCallback, void* notify);
};

struct IPartsListVtbl {
  VELTO_IUNKNOWN_SLOTS;
  VELTO_COM_METHOD(GetCount, UINT* count);
  VELTO_COM_METHOD(GetPart, UINT index, void** part);
};

// IAudioVolumeLevel, IAudioBass, IAudioMidrange and IAudioTreble add nothing.
struct IPerChannelDbLevelVtbl {
  VELTO_IUNKNOWN_SLOTS;
  VELTO_COM_METHOD(GetChannelCount, UINT* count);
  VELTO_COM_METHOD(GetLevelRange, UINT channel, float* minDb, float* maxDb, float* stepDb);
  VELTO_COM_METHOD(GetLevel, UINT channel, float* levelDb);
  VELTO_COM_METHOD(SetLevel, UINT channel, float levelDb, LPCGUID context);
  VELTO_COM_METHOD(SetLevelUniform, float levelDb, LPCGUID context);
  VELTO_COM_METHOD(SetLevelAllChannels, float* levelsDb, ULONG count, LPCGUID context);
};

struct IAudioMuteVtbl {
  VELTO_IUNKNOWN_SLOTS;
  VELTO_COM_METHOD(SetMute, BOOL mute, LPCGUID context);
  VELTO_COM_METHOD(GetMute, BOOL* mute);
};

// IAudioAutoGainControl and IAudioLoudness.
struct IOnOffVtbl {
  VELTO_IUNKNOWN_SLOTS;
  VELTO_COM_METHOD(GetEnabled, BOOL* enabled);
  VELTO_COM_METHOD(SetEnabled, BOOL enabled, LPCGUID context);
};

#undef VELTO_IUNKNOWN_SLOTS
#undef VELTO_COM_METHOD

}  // namespace velto::comtest
