#include "core/endpoint_lookup.h"

#include "core/device_names.h"
#include "core/mixer_state.h"
#include "core/text.h"
#include "platform/com_scope.h"

namespace velto {

using namespace platform;

namespace {

bool IdContains(const TaskString& id, const WChar* foldedSearch) {
  std::u16string folded(id.Get());
  LowerAsciiInPlace(folded.data());
  return ContainsText(folded.c_str(), foldedSearch);
}

}  // namespace

int FindEndpoint(const char* searchText, DataFlow flow) {
  Platform& platform = CurrentPlatform();
  ComScope com(platform);
  Ref<DeviceEnumerator> enumerator;
  if (platform.CreateDeviceEnumerator(kClsctxInprocServer, enumerator) != kS_OK) {
    return kEndpointNotFound;
  }
  Ref<DeviceCollection> devices;
  if (enumerator->EnumAudioEndpoints(flow, kDeviceStateActive, devices) != kS_OK) {
    return kEndpointNotFound;
  }
  std::uint32_t count = 0;
  if (devices->GetCount(&count) != kS_OK) return kEndpointNotFound;

  Bstr search = Widen(platform, searchText);
  if (!search) return kEndpointNotFound;
  LowerAsciiInPlace(search.Get());

  for (std::uint32_t i = 0; i < count; ++i) {
    Ref<Device> device;
    if (devices->Item(i, device) != kS_OK || !device) continue;
    TaskString id;
    if (device->GetId(id) != kS_OK || !id || !IdContains(id, search.Get())) continue;
    auto name = std::make_unique<std::string>(ReadFriendlyName(platform, *device));

    MixerState& state = Mixer();
    state.lastFoundName = std::move(name);
    state.currentDeviceId = std::move(id);
    state.deviceBound = true;
    ++state.successfulLookups;
    return 0;
  }
  return kEndpointNotFound;
}

int ActivateEndpoint(const char* searchText, Ref<DeviceTopology>& topology,
                     Ref<EndpointVolume>& volume, DataFlow flow) {
  if (FindEndpoint(searchText, flow) != 0) return 1;

  Platform& platform = CurrentPlatform();
  ComScope com(platform);
  MixerState& state = Mixer();
  Ref<Device> device;
  {
    Ref<DeviceEnumerator> enumerator;
    if (platform.CreateDeviceEnumerator(kClsctxInprocServer, enumerator) != kS_OK) return 1;
    const HRESULT found = enumerator->GetDevice(state.currentDeviceId.Get(), device);
    // Nothing reads the id text after this; the marker itself stays set.
    state.currentDeviceId.Reset();
    if (found != kS_OK || !device) return 1;
  }

  Ref<DeviceTopology> foundTopology;
  if (device->Activate(kClsctxAll, foundTopology) == kS_OK) topology = std::move(foundTopology);

  Ref<EndpointVolume> foundVolume;
  if (device->Activate(kClsctxInprocServer, foundVolume) != kS_OK || !foundVolume) return 1;
  volume = std::move(foundVolume);
  return 0;
}

}  // namespace velto
