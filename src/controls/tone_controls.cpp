// Bass, treble and midrange in decibels, and their common range.
#include <cmath>

#include "core/mixer_state.h"
#include "controls/control_access.h"
#include "veltosound.h"

namespace velto {

namespace {

constexpr int kToneFailed = 1;

struct Band {
  Ref<LevelControl> MixerState::*slot;
  // The midrange pair answers 1 on success too; hosts read the status.
  int successResult;
};

constexpr Band kBass{&MixerState::bassControl, 0};
constexpr Band kTreble{&MixerState::trebleControl, 0};
constexpr Band kMidrange{&MixerState::midrangeControl, 1};

int GetTone(const Band& band, double* levelOut, int* status) {
  WriteOut(levelOut, 0.0);
  const Ref<LevelControl>& slot = Mixer().*band.slot;
  if (auto stop = PreCheck(DeviceCheck::Required, slot)) return Finish(status, *stop, kToneFailed);
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

int SetTone(const Band& band, double levelDb, int* status) {
  const Ref<LevelControl>& slot = Mixer().*band.slot;
  if (auto stop = PreCheck(DeviceCheck::Required, slot)) return Finish(status, *stop, kToneFailed);
  if (std::isnan(levelDb)) return Finish(status, kStatusFailed, kToneFailed);
  const Status outcome = WriteTone(*slot, static_cast<float>(levelDb));
  return Finish(status, outcome, outcome == kStatusOk ? band.successResult : kToneFailed);
}

// One range serves all three bands: bass first, then midrange, then treble.
const Ref<LevelControl>* RangeSource(const MixerState& state) {
  for (const Band* band : {&kBass, &kMidrange, &kTreble}) {
    if (state.*(band->slot)) return &(state.*(band->slot));
  }
  return nullptr;
}

int GetRange(double* minOut, double* maxOut, double* stepOut) {
  WriteOut(minOut, 0.0);
  WriteOut(maxOut, 0.0);
  WriteOut(stepOut, 0.0);
  const MixerState& state = Mixer();
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

}  // namespace

}  // namespace velto

using namespace velto;

extern "C" {

int VELTO_CALL GetBass(double* level, int* status) { return GetTone(kBass, level, status); }
int VELTO_CALL SetBass(double level, int* status) { return SetTone(kBass, level, status); }
int VELTO_CALL GetTreble(double* level, int* status) { return GetTone(kTreble, level, status); }
int VELTO_CALL SetTreble(double level, int* status) { return SetTone(kTreble, level, status); }
int VELTO_CALL GetMidRange(double* level, int* status) { return GetTone(kMidrange, level, status); }
int VELTO_CALL SetMidRange(double level, int* status) { return SetTone(kMidrange, level, status); }
int VELTO_CALL GetEQRange(double* min, double* max, double* step) {
  return GetRange(min, max, step);
}

}  // extern "C"
