#include "core/device_names.h"

#include "core/text.h"
#include "platform/obtained.h"

namespace velto {

using namespace platform;

std::optional<std::string> ReadFriendlyName(Platform& platform, Device& device) {
  Ref<PropertyStore> store;
  if (!Obtained(device.OpenPropertyStore(kStgmRead, store), store)) return std::nullopt;
  PropVariant value(platform);
  if (store->GetValue(PropertyKey::DeviceFriendlyName, value.Data()) != kS_OK) return std::nullopt;
  Bstr name;
  if (platform.PropVariantToBSTR(value.data(), name) != kS_OK) return std::nullopt;
  return NarrowBstr(platform, name.Get());
}

}  // namespace velto
