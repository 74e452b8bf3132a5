// Listing the active endpoints for the host, and handing back the names of
// the bound devices.
#include <algorithm>
#include <optional>
#include <string>

#include "core/active_endpoints.h"
#include "core/device_names.h"
#include "core/export_guard.h"
#include "core/mixer_state.h"
#include "platform/com_scope.h"
#include "platform/obtained.h"
#include "veltosound.h"

namespace velto {

using namespace platform;

namespace {

constexpr int kCountFailed = 1;
constexpr int kDescribeFailed = -1;

// The twins differ only in data flow and in what an index past the end
// reports: the capture twin answers with the count, so a host can read how
// many endpoints there are, but a count of 0 would read as success there.
struct Twin {
  DataFlow flow;
  bool outOfRangeReportsCount;
};
constexpr Twin kPlayback{.flow = DataFlow::Render, .outOfRangeReportsCount = false};
constexpr Twin kRecord{.flow = DataFlow::Capture, .outOfRangeReportsCount = true};

bool IsHighSurrogate(WChar unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

// An id too long for the host's buffer: the longest prefix whose ANSI form
// fits in 254 bytes. Cutting whole characters (never half a surrogate pair
// or half a double-byte character) keeps the text a true piece of the id, so
// it still finds the endpoint as a search text.
std::optional<std::string> HostIdPrefix(Platform& platform, const WChar* id) {
  char temp[kNameBufferSize];
  const std::size_t length = std::char_traits<WChar>::length(id);
  for (std::size_t chars = std::min(length, kNameBufferSize - 1); chars > 0; --chars) {
    if (IsHighSurrogate(id[chars - 1])) continue;
    const int written = platform.WideCharToMultiByte(kCpAcp, 0, id, static_cast<int>(chars), temp,
                                                     static_cast<int>(kNameBufferSize - 1));
    if (written > 0) return std::string(temp, static_cast<std::size_t>(written));
  }
  return std::nullopt;
}

// The id as the host gets it: through the ANSI code page, the same page that
// FindEndpoint widens a search text with, so the text comes back as the id.
std::optional<std::string> HostIdText(Platform& platform, const WChar* id) {
  char temp[kNameBufferSize];
  const int written =
      platform.WideCharToMultiByte(kCpAcp, 0, id, -1, temp, static_cast<int>(sizeof temp));
  // On 0 the buffer holds an unterminated piece of the id; it is never read.
  if (written > 0) return std::string(temp);
  return HostIdPrefix(platform, id);
}

int CountEndpoints(DataFlow flow, int* count) {
  Platform& platform = CurrentPlatform();
  ComScope com(platform);
  const auto endpoints = ActiveEndpoints(platform, flow);
  if (!endpoints) return kCountFailed;
  WriteOut(count, static_cast<int>(endpoints->count));
  return 0;
}

int OutOfRangeResult(const Twin& twin, std::uint32_t count) {
  if (twin.outOfRangeReportsCount && count > 0) return static_cast<int>(count);
  return kDescribeFailed;
}

// Both buffers are written together, and only once every step has succeeded.
// An endpoint whose name cannot be read is not described: FindEndpoint passes
// it over, so its id would not bind.
int DescribeEndpoint(const Twin& twin, std::uint32_t index, char* nameOut, char* idOut) {
  Platform& platform = CurrentPlatform();
  ComScope com(platform);
  Ref<Device> device;
  {
    const auto endpoints = ActiveEndpoints(platform, twin.flow);
    if (!endpoints) return kDescribeFailed;
    if (index >= endpoints->count) return OutOfRangeResult(twin, endpoints->count);
    if (!Obtained(endpoints->devices->Item(index, device), device)) return kDescribeFailed;
  }
  const auto name = ReadFriendlyName(platform, *device);
  if (!name) return kDescribeFailed;
  TaskString id;
  if (device->GetId(id) != kS_OK || !id) return kDescribeFailed;
  const auto idText = HostIdText(platform, id.Get());
  if (!idText) return kDescribeFailed;

  CopyToHostBuffer(nameOut, name->c_str());
  CopyToHostBuffer(idOut, idText->c_str());
  return 0;
}

void CopyDeviceName(char* buffer, const NameBuffer& field) {
  if (field) CopyToHostBuffer(buffer, field->data());
}

}  // namespace

}  // namespace velto

using namespace velto;

extern "C" {

int VELTO_CALL GetNumberPlayDevices(int* count) {
  return GuardedExport(kCountFailed, [&] { return CountEndpoints(kPlayback.flow, count); });
}

int VELTO_CALL GetNumberRecordDevices(int* count) {
  return GuardedExport(kCountFailed, [&] { return CountEndpoints(kRecord.flow, count); });
}

int VELTO_CALL GetPlayBackDevice(unsigned int index, char* name, char* id) {
  return GuardedExport(kDescribeFailed,
                       [&] { return DescribeEndpoint(kPlayback, index, name, id); });
}

int VELTO_CALL GetRecordDevice(unsigned int index, char* name, char* id) {
  return GuardedExport(kDescribeFailed, [&] { return DescribeEndpoint(kRecord, index, name, id); });
}

void VELTO_CALL GetDeviceNames(char* playback, char* line, char* mic) {
  // Refused, it writes no buffer: the host's buffers keep what they held.
  Exported([] {},
           [&] {
             const MixerState& state = Mixer();
             CopyDeviceName(playback, state.playbackDeviceName);
             CopyDeviceName(line, state.lineDeviceName);
             CopyDeviceName(mic, state.micDeviceName);
           });
}

}  // extern "C"
