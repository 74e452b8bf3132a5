// The library's id table against the SDK's values: the same names, the same
// values, nothing missing and nothing extra.
#include "platform/coreaudio/com_ids.h"
#include "platform/node_types.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "check_lines.h"
#include "guid_text.h"
#include "sdk_ids.h"

namespace {

namespace ids = velto::coreaudio::ids;
using velto::comtest::kSdkIds;
using velto::comtest::SdkGuid;

bool Same(const GUID& table, const SdkGuid& sdk) {
  return table.Data1 == sdk.data1 && table.Data2 == sdk.data2 && table.Data3 == sdk.data3 &&
         std::memcmp(table.Data4, sdk.data4, sizeof sdk.data4) == 0;
}

velto::testing::CheckLines checks;

void Check(bool ok, const std::string& what) { checks.Expect(ok, what); }

const velto::comtest::SdkId* FindSdk(const char* name) {
  for (const auto& sdk : kSdkIds) {
    if (std::strcmp(sdk.name, name) == 0) return &sdk;
  }
  return nullptr;
}

}  // namespace

int main() {
  for (const ids::NamedId& entry : ids::kAll) {
    const auto* sdk = FindSdk(entry.name);
    Check(sdk != nullptr, std::string(entry.name) + " is an SDK id the test knows");
    if (sdk)
      Check(Same(*entry.guid, sdk->guid),
            std::string(entry.name) + " = " + velto::comtest::GuidText(*entry.guid));
  }
  for (const auto& sdk : kSdkIds) {
    bool inTable = false;
    for (const ids::NamedId& entry : ids::kAll)
      inTable = inTable || std::strcmp(entry.name, sdk.name) == 0;
    Check(inTable, std::string(sdk.name) + " is in the table");
  }
  for (const auto& sdk : velto::comtest::kNodeTypeIds) {
    const char* name = velto::platform::NodeTypeName(
        {sdk.guid.data1, sdk.guid.data2, sdk.guid.data3,
         {sdk.guid.data4[0], sdk.guid.data4[1], sdk.guid.data4[2], sdk.guid.data4[3],
          sdk.guid.data4[4], sdk.guid.data4[5], sdk.guid.data4[6], sdk.guid.data4[7]}});
    Check(name && std::strcmp(name, sdk.name) == 0,
          std::string(sdk.name) + " has the SDK's value in the library's node types");
  }
  Check(ids::kPkeyDeviceFriendlyName.pid == velto::comtest::kFriendlyNamePid,
        "PKEY_Device_FriendlyName property id");
  std::printf("%d failures\n", checks.failed());
  return checks.failed() == 0 ? 0 : 1;
}
