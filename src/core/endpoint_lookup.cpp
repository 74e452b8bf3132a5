#include "core/endpoint_lookup.h"

#include "core/active_endpoints.h"
#include "core/device_names.h"
#include "core/text.h"
#include "platform/com_scope.h"
#include "platform/obtained.h"

namespace velto {

using namespace platform;

namespace {

bool IdContains(const TaskString& id, const WChar* foldedSearch) {
  std::u16string folded(id.Get());
  LowerAsciiInPlace(folded.data());
  return ContainsText(folded.c_str(), foldedSearch);
}

}  // namespace

std::optional<FoundEndpoint> FindEndpoint(const char* searchText, DataFlow flow) {
  Platform& platform = CurrentPlatform();
  ComScope com(platform);
  const auto endpoints = ActiveEndpoints(platform, flow);
  if (!endpoints) return std::nullopt;

  Bstr search = Widen(platform, searchText);
  if (!search) return std::nullopt;
  LowerAsciiInPlace(search.Get());

  for (std::uint32_t i = 0; i < endpoints->count; ++i) {
    Ref<Device> device;
    if (endpoints->devices->Item(i, device) != kS_OK || !device) continue;
    TaskString id;
    if (device->GetId(id) != kS_OK || !id || !IdContains(id, search.Get())) continue;
    auto name = ReadFriendlyName(platform, *device);
    if (!name) continue;
    return FoundEndpoint{std::move(id), std::move(*name)};
  }
  return std::nullopt;
}

void KeepFound(MixerState& state, std::string name) {
  state.lastFoundName = std::make_unique<std::string>(std::move(name));
  state.deviceBound = true;
}

std::string IdSearchText(const WChar* id, std::size_t limit) {
  std::string text;
  for (std::size_t i = 0; i < limit && id[i] && id[i] <= 0xFF; ++i) {
    text += static_cast<char>(id[i]);
  }
  return text;
}

Activation ActivateEndpoint(MixerState& state, const char* searchText,
                            Ref<DeviceTopology>& topology, ControlId endpoint, DataFlow flow) {
  std::optional<FoundEndpoint> found = FindEndpoint(searchText, flow);
  if (!found) return Activation::NotFound;
  KeepFound(state, std::move(found->name));
  const ControlRow& row = RowOf(endpoint);
  if (row.endpoint != BoundEndpoint::Virtual) {
    state.foundIds[static_cast<std::size_t>(row.endpoint)] = IdSearchText(found->id.Get());
  }
  Ref<EndpointVolume>& volume = state.*std::get<Ref<EndpointVolume> MixerState::*>(row.slot);

  Platform& platform = CurrentPlatform();
  ComScope com(platform);
  Ref<Device> device;
  {
    Ref<DeviceEnumerator> enumerator;
    if (!Obtained(platform.CreateDeviceEnumerator(kClsctxInprocServer, enumerator), enumerator)) {
      return Activation::DeviceUnavailable;
    }
    const HRESULT got = enumerator->GetDevice(found->id.Get(), device);
    // Nothing reads the id text after this; the marker itself stays set.
    found->id.Reset();
    if (got != kS_OK || !device) return Activation::DeviceUnavailable;
  }
  // Before anything activated can be kept: the walk and the controls run
  // after this call's CoUninitialize, maybe on a thread without COM.
  state.comHold.Take(platform);

  Ref<DeviceTopology> foundTopology;
  const bool topologyActivated =
      Obtained(device->Activate(kClsctxAll, foundTopology), foundTopology);
  if (topologyActivated) topology = std::move(foundTopology);

  Ref<EndpointVolume> foundVolume;
  if (device->Activate(kClsctxInprocServer, foundVolume) != kS_OK || !foundVolume) {
    return Activation::NoEndpointVolume;
  }
  volume = std::move(foundVolume);
  return topologyActivated ? Activation::Activated : Activation::NoTopology;
}

}  // namespace velto
