#include "core/active_endpoints.h"

namespace velto {

using namespace platform;

std::optional<EndpointList> ActiveEndpoints(Platform& platform, DataFlow flow) {
  EndpointList list;
  {
    Ref<DeviceEnumerator> enumerator;
    if (platform.CreateDeviceEnumerator(kClsctxInprocServer, enumerator) != kS_OK || !enumerator) {
      return std::nullopt;
    }
    if (enumerator->EnumAudioEndpoints(flow, kDeviceStateActive, list.devices) != kS_OK ||
        !list.devices) {
      return std::nullopt;
    }
  }
  if (list.devices->GetCount(&list.count) != kS_OK) return std::nullopt;
  return list;
}

}  // namespace velto
