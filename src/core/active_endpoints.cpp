#include "core/active_endpoints.h"

#include "platform/obtained.h"

namespace velto {

using namespace platform;

std::optional<EndpointList> ActiveEndpoints(Platform& platform, DataFlow flow) {
  EndpointList list;
  {
    Ref<DeviceEnumerator> enumerator;
    if (!Obtained(platform.CreateDeviceEnumerator(kClsctxInprocServer, enumerator), enumerator) ||
        !Obtained(enumerator->EnumAudioEndpoints(flow, kDeviceStateActive, list.devices),
                  list.devices)) {
      return std::nullopt;
    }
  }
  if (list.devices->GetCount(&list.count) != kS_OK) return std::nullopt;
  return list;
}

}  // namespace velto
