// Bass, treble and midrange in decibels, and their common range.
#include "controls/tone_controls.h"

#include <cmath>

#include "controls/control_access.h"
#include "core/mixer_state.h"
#include "veltosound.h"

namespace velto {

namespace {

constexpr int kToneFailed = 1;

int GetTone(const MixerState& state, const ToneRow& band, double* levelOut, int* status) {
  WriteOut(levelOut, 0.0);
  const Ref<LevelControl>& slot = state.*band.slot;
  if (auto stop = PreCheck(state, DeviceCheck::Required, slot)) {
    return Finish(status, *stop, kToneFailed);
  }
  float levelDb = 0;
  if (!ReadSucceeded(slot->GetLevel(0, &levelDb))) {
    return Finish(status, kStatusFailed, kToneFailed);
  }
  WriteOut(levelOut, static_cast<double>(levelDb));
  return Finish(status, kStatusOk, band.successResult);
}

// Every channel gets the level, even after one has failed; any failed
// channel, or a channel count that cannot be had, fails the call. A control
// that truly has no channel has nothing to set, which is no failure.
Status WriteTone(LevelControl& control, float levelDb) {
  const auto channels = ReadChannelCount(control);
  if (!channels) return kStatusFailed;
  if (*channels == 0) return kStatusOk;
  return WriteChannels(control, *channels, levelDb) ? kStatusOk : kStatusFailed;
}

int SetTone(const MixerState& state, const ToneRow& band, double levelDb, int* status) {
  const Ref<LevelControl>& slot = state.*band.slot;
  if (auto stop = PreCheck(state, DeviceCheck::Required, slot)) {
    return Finish(status, *stop, kToneFailed);
  }
  if (std::isnan(levelDb)) return Finish(status, kStatusFailed, kToneFailed);
  const Status outcome = WriteTone(*slot, static_cast<float>(levelDb));
  return Finish(status, outcome, outcome == kStatusOk ? band.successResult : kToneFailed);
}

// One range serves all three bands: bass first, then midrange, then treble.
const Ref<LevelControl>* RangeSource(const MixerState& state) {
  for (const auto slot :
       {SlotOf<ControlId::Bass>(), SlotOf<ControlId::Midrange>(), SlotOf<ControlId::Treble>()}) {
    if (state.*slot) return &(state.*slot);
  }
  return nullptr;
}

int GetRange(const MixerState& state, double* minOut, double* maxOut, double* stepOut) {
  WriteOut(minOut, 0.0);
  WriteOut(maxOut, 0.0);
  WriteOut(stepOut, 0.0);
  if (!state.deviceBound) return kStatusUnbound;
  const Ref<LevelControl>* source = RangeSource(state);
  if (!source) return kStatusMissing;
  float minDb = 0, maxDb = 0, stepDb = 0;
  if (!ReadSucceeded((*source)->GetLevelRange(0, &minDb, &maxDb, &stepDb))) return kStatusFailed;
  WriteOut(minOut, static_cast<double>(minDb));
  WriteOut(maxOut, static_cast<double>(maxDb));
  WriteOut(stepOut, static_cast<double>(stepDb));
  return kStatusOk;
}

template <ControlId id>
int ToneGetter(double* level, int* status) {
  static constexpr ToneRow band = ToneOf<id>();
  return ControlExport(status, kStatusFailed, kToneFailed, [&](const MixerState& state) {
    return GetTone(state, band, level, status);
  });
}

template <ControlId id>
int ToneSetter(double level, int* status) {
  static constexpr ToneRow band = ToneOf<id>();
  return ControlExport(status, kStatusFailed, kToneFailed, [&](const MixerState& state) {
    return SetTone(state, band, level, status);
  });
}

}  // namespace

// Tone levels go back to every channel, as their setters write them.
void RestoreTone(MixerState& state, const ToneRow& band) {
  LevelControl* control = RestoreTarget(state, band);
  if (!control) return;
  if (auto channels = ReadChannelCount(*control)) {
    WriteChannels(*control, *channels, (state.*band.saved).value);
  }
}

}  // namespace velto

using namespace velto;

extern "C" {

int VELTO_CALL GetBass(double* level, int* status) {
  return ToneGetter<ControlId::Bass>(level, status);
}
int VELTO_CALL SetBass(double level, int* status) {
  return ToneSetter<ControlId::Bass>(level, status);
}
int VELTO_CALL GetTreble(double* level, int* status) {
  return ToneGetter<ControlId::Treble>(level, status);
}
int VELTO_CALL SetTreble(double level, int* status) {
  return ToneSetter<ControlId::Treble>(level, status);
}
int VELTO_CALL GetMidRange(double* level, int* status) {
  return ToneGetter<ControlId::Midrange>(level, status);
}
int VELTO_CALL SetMidRange(double level, int* status) {
  return ToneSetter<ControlId::Midrange>(level, status);
}
int VELTO_CALL GetEQRange(double* min, double* max, double* step) {
  return Exported([] { return static_cast<int>(kStatusFailed); },
                  [&] { return GetRange(Mixer(), min, max, step); });
}

}  // extern "C"
