#include "core/device_names.h"

#include "core/text.h"

namespace velto {

using namespace platform;

std::string ReadFriendlyName(Platform& platform, Device& device) {
  Ref<PropertyStore> store;
  if (device.OpenPropertyStore(kStgmRead, store) != kS_OK || !store) return {};
  PropVariant value(platform);
  if (store->GetValue(PropertyKey::DeviceFriendlyName, value.Data()) != kS_OK) return {};
  Bstr name;
  if (platform.PropVariantToBSTR(value.data(), name) != kS_OK) return {};
  return NarrowBstr(platform, name.Get());
}

}  // namespace velto
