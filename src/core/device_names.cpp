#include "core/device_names.h"

#include "core/text.h"
#include "platform/obtained.h"

namespace velto {

using namespace platform;

std::optional<std::string> ReadFriendlyName(Platform& platform, Device& device) {
  Ref<PropertyStore> store;
  if (!Obtained(device.OpenPropertyStore(kStgmRead, store), store)) return std::nullopt;
  PropVariant value(platform);
  // INPLACE_S_TRUNCATED still hands over a usable name.
  const HRESULT read = store->GetValue(PropertyKey::DeviceFriendlyName, value.Data());
  if (read != kS_OK && read != kINPLACE_S_TRUNCATED) return std::nullopt;
  Bstr name;
  if (platform.PropVariantToBSTR(value.data(), name) != kS_OK) return std::nullopt;
  return NarrowBstr(platform, name.Get());
}

}  // namespace velto
