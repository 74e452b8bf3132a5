// What every control getter and setter shares: the checks before any platform
// call, the success rules of reads and writes, and the per-channel write.
#pragma once

#include <cstdint>
#include <optional>

#include "controls/control_rows.h"
#include "core/export_guard.h"
#include "core/mixer_state.h"
#include "platform/platform.h"

namespace velto {

// The status that ends a call before any platform call: no device bound, or
// the slot empty. Empty when the call may go on.
template <class Control>
std::optional<Status> PreCheck(const MixerState& state, DeviceCheck check,
                               const Ref<Control>& slot) {
  if (check == DeviceCheck::Required && !state.deviceBound) return kStatusUnbound;
  if (!slot) return kStatusMissing;
  return std::nullopt;
}

// Writes the status (unless the host passed no pointer) and hands back the
// export's result.
inline int Finish(int* status, Status code, int result) {
  WriteOut(status, static_cast<int>(code));
  return result;
}

// Getters count only S_OK as a read; a write answered S_FALSE ("nothing
// changed") did what was asked.
inline bool ReadSucceeded(platform::HRESULT hr) { return hr == platform::kS_OK; }
inline bool WriteSucceeded(platform::HRESULT hr) {
  return hr == platform::kS_OK || hr == platform::kS_FALSE;
}

// A control export's way in. Refused (re-entered on a thread already inside
// an export), it reports `refusal`, the status of a platform call that failed,
// with the export's failure result.
template <class Body>
int ControlExport(int* status, Status refusal, int failed, Body&& body) {
  return Exported([=] { return Finish(status, refusal, failed); }, [&] { return body(Mixer()); });
}

inline platform::HRESULT SetChannel(EndpointVolume& control, std::uint32_t channel, float db) {
  return control.SetChannelVolumeLevel(channel, db);
}
inline platform::HRESULT SetChannel(LevelControl& control, std::uint32_t channel, float db) {
  return control.SetLevel(channel, db);
}

// The channel count, or nothing when the query failed (callers then write no
// channel at all).
template <class Control>
std::optional<std::uint32_t> ReadChannelCount(Control& control) {
  std::uint32_t count = 0;
  if (control.GetChannelCount(&count) != platform::kS_OK) return std::nullopt;
  return count;
}

// Sets channels 0 to count - 1 to one level, in ascending order, trying every
// channel even after a failure. True only when there was a channel and every
// write succeeded.
template <class Control, class Accept>
bool WriteChannels(Control& control, std::uint32_t count, float levelDb, Accept accepted) {
  bool allWritten = count > 0;
  for (std::uint32_t channel = 0; channel < count; ++channel) {
    if (!accepted(SetChannel(control, channel, levelDb))) allWritten = false;
  }
  return allWritten;
}

template <class Control>
bool WriteChannels(Control& control, std::uint32_t count, float levelDb) {
  return WriteChannels(control, count, levelDb, WriteSucceeded);
}

}  // namespace velto
