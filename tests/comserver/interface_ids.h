// The server's ids, from the SDK list the tests share (sdk_ids.h).
#pragma once

// clang-format off
#include <windows.h>
// clang-format on

#include "sdk_ids.h"

namespace velto::comtest {

constexpr bool SameName(const char* a, const char* b) {
  for (; *a && *a == *b; ++a, ++b) {
  }
  return *a == *b;
}

constexpr GUID ToGuid(const SdkGuid& g) {
  return GUID{g.data1,
              g.data2,
              g.data3,
              {g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6],
               g.data4[7]}};
}

constexpr GUID Sdk(const char* name) {
  for (const SdkId& id : kSdkIds) {
    if (SameName(id.name, name)) return ToGuid(id.guid);
  }
  for (const SdkId& id : kServerOnlyIds) {
    if (SameName(id.name, name)) return ToGuid(id.guid);
  }
  throw "no such SDK id";  // a compile-time error where it is used
}

inline constexpr GUID kCLSID_MMDeviceEnumerator = Sdk("CLSID_MMDeviceEnumerator");
inline constexpr GUID kIID_IUnknown = Sdk("IID_IUnknown");
inline constexpr GUID kIID_IClassFactory = Sdk("IID_IClassFactory");
inline constexpr GUID kIID_IMMDeviceEnumerator = Sdk("IID_IMMDeviceEnumerator");
inline constexpr GUID kIID_IMMDeviceCollection = Sdk("IID_IMMDeviceCollection");
inline constexpr GUID kIID_IMMDevice = Sdk("IID_IMMDevice");
inline constexpr GUID kIID_IPropertyStore = Sdk("IID_IPropertyStore");
inline constexpr GUID kIID_IAudioEndpointVolume = Sdk("IID_IAudioEndpointVolume");
inline constexpr GUID kIID_IDeviceTopology = Sdk("IID_IDeviceTopology");
inline constexpr GUID kIID_IConnector = Sdk("IID_IConnector");
inline constexpr GUID kIID_IPart = Sdk("IID_IPart");
inline constexpr GUID kIID_IPartsList = Sdk("IID_IPartsList");
inline constexpr GUID kIID_IPerChannelDbLevel = Sdk("IID_IPerChannelDbLevel");
inline constexpr GUID kIID_IAudioVolumeLevel = Sdk("IID_IAudioVolumeLevel");
inline constexpr GUID kIID_IAudioBass = Sdk("IID_IAudioBass");
inline constexpr GUID kIID_IAudioTreble = Sdk("IID_IAudioTreble");
inline constexpr GUID kIID_IAudioMidrange = Sdk("IID_IAudioMidrange");
inline constexpr GUID kIID_IAudioMute = Sdk("IID_IAudioMute");
inline constexpr GUID kIID_IAudioAutoGainControl = Sdk("IID_IAudioAutoGainControl");
inline constexpr GUID kIID_IAudioLoudness = Sdk("IID_IAudioLoudness");
inline constexpr GUID kPKEY_Device_FriendlyName_Fmtid = Sdk("PKEY_Device_FriendlyName");

}  // namespace velto::comtest
