// The microphone boost level as a slider in whole decibels.
#include "controls/boost_slider.h"

#include <limits>

#include "controls/control_access.h"
#include "core/mixer_state.h"
#include "veltosound.h"

namespace velto {

namespace {

constexpr int kSliderFailed = 1;

// Toward zero, as the hardware conversion does; a level that is not a number
// or does not fit gives the most negative int rather than undefined behaviour.
int WholeDecibels(float levelDb) {
  if (!(levelDb >= -2147483648.0f && levelDb < 2147483648.0f)) {
    return std::numeric_limits<int>::min();
  }
  return static_cast<int>(levelDb);
}

int GetBoost(const MixerState& state, int* status) {
  const Ref<LevelControl>& slot = state.*SlotOf<ControlId::MicBoostLevel>();
  if (auto stop = PreCheck(state, DeviceCheck::Required, slot)) return Finish(status, *stop, 0);
  float levelDb = 0;
  if (!ReadSucceeded(slot->GetLevel(0, &levelDb))) return Finish(status, kStatusFailed, 0);
  return Finish(status, kStatusOk, WholeDecibels(levelDb));
}

int GetBoostRange(const MixerState& state, int* status, int* minOut, int* maxOut, int* stepOut) {
  const Ref<LevelControl>& slot = state.*SlotOf<ControlId::MicBoostLevel>();
  if (auto stop = PreCheck(state, DeviceCheck::Required, slot)) {
    return Finish(status, *stop, kSliderFailed);
  }
  float minDb = 0, maxDb = 0, stepDb = 0;
  const bool read = ReadSucceeded(slot->GetLevelRange(0, &minDb, &maxDb, &stepDb));
  // A failed read leaves the locals as the platform happened to leave them;
  // the host gets zeros instead.
  WriteOut(minOut, read ? WholeDecibels(minDb) : 0);
  WriteOut(maxOut, read ? WholeDecibels(maxDb) : 0);
  WriteOut(stepOut, read ? WholeDecibels(stepDb) : 0);
  return read ? Finish(status, kStatusOk, 0) : Finish(status, kStatusFailed, kSliderFailed);
}

int SetBoost(const MixerState& state, int levelDb, int* status) {
  const Ref<LevelControl>& slot = state.*SlotOf<ControlId::MicBoostLevel>();
  if (auto stop = PreCheck(state, DeviceCheck::Required, slot)) {
    return Finish(status, *stop, kSliderFailed);
  }
  if (!WriteSucceeded(slot->SetLevel(0, static_cast<float>(levelDb)))) {
    return Finish(status, kStatusFailed, kSliderFailed);
  }
  return Finish(status, kStatusOk, 0);
}

}  // namespace

// The slider works in whole decibels: the saved level goes back as the whole
// number the getter shows, converted to a float (a saved -0.27 dB is written
// as 0, not as the -0 a truncation kept in floating point gives).
void RestoreBoost(MixerState& state, const BoostRow& row) {
  LevelControl* control = RestoreTarget(state, row);
  if (control) control->SetLevel(0, static_cast<float>(WholeDecibels((state.*row.saved).value)));
}

}  // namespace velto

extern "C" {

int VELTO_CALL GetMicSliderBoost(int* status) {
  return velto::ControlExport(status, velto::kStatusFailed, 0, [&](const velto::MixerState& state) {
    return velto::GetBoost(state, status);
  });
}

int VELTO_CALL GetMicSliderDetails(int* status, int* min, int* max, int* step) {
  return velto::ControlExport(status, velto::kStatusFailed, velto::kSliderFailed,
                              [&](const velto::MixerState& state) {
                                return velto::GetBoostRange(state, status, min, max, step);
                              });
}

int VELTO_CALL SetMicSliderBoost(int level, int* status) {
  return velto::ControlExport(
      status, velto::kStatusFailed, velto::kSliderFailed,
      [&](const velto::MixerState& state) { return velto::SetBoost(state, level, status); });
}

}  // extern "C"
