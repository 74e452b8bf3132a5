// The control exports against their floors, on the bound sample card. A
// floor does what every correct implementation must: test the device-bound
// marker and the slot, make the range or channel-count queries and the read
// or the writes (two channels everywhere on the sample), do the
// decibel/percent arithmetic, decide the status from the answers and write
// status and results through host pointers that may be null.
#include <climits>
#include <cmath>
#include <cstdint>
#include <string>

#include "bench_support.h"
#include "veltosound.h"

namespace velto::bench {

namespace {

using namespace platform;

int hostStatus = 0;
double hostLevels[3];
int hostInts[3];

// Host pointers, which the rules let be null: a floor tests them too.
int* Status() { return Opaque(&hostStatus); }
double* Levels() { return Opaque(hostLevels); }
int* Ints() { return Opaque(hostInts); }

void Report(int* status, int code) {
  if (status) *status = code;
}

// What every control export tests before its platform calls: the
// device-bound marker (all but the virtual ones) and the slot. On the bound
// sample the tests pass; a floor still makes them.
bool Unready(const void* slot, bool checksDevice, int* status) {
  if (checksDevice && !Mixer().deviceBound) {
    Report(status, 3);
    return true;
  }
  if (!slot) {
    Report(status, 1);
    return true;
  }
  return false;
}

// The required arithmetic, step by step in the widths the rules fix.
int Percent(float levelDb, float maxDb) {
  float difference = maxDb - levelDb;
  difference = -difference;
  const float exponent = difference / 20.0f;
  const double ratio = std::pow(10.0, static_cast<double>(exponent)) * 100.0;
  if (!(ratio > -2147483649.0 && ratio < 2147483648.0)) return INT_MIN;
  return static_cast<int>(ratio);
}

float Level(int percent, float minDb, float maxDb) {
  if (percent == 0) return minDb;
  const float fraction = static_cast<float>(percent) / 100.0f;
  double decibels = std::log(static_cast<double>(fraction)) / std::log(10.0);
  decibels = decibels * 20.0;
  return static_cast<float>(decibels) + maxDb;
}

// Toward zero, defined for every float.
int Whole(float levelDb) {
  if (!(levelDb >= -2147483648.0f && levelDb < 2147483648.0f)) return INT_MIN;
  return static_cast<int>(levelDb);
}

int Finish(int* status, bool succeeded, int result, int failed) {
  Report(status, succeeded ? 0 : 2);
  return succeeded ? result : failed;
}

int GetEndpointLevel(EndpointVolume* control, bool master, bool checksDevice) {
  int* status = Status();
  if (Unready(control, checksDevice, status)) return 0;
  float minDb, maxDb, step, levelDb = 0;
  control->GetVolumeRange(&minDb, &maxDb, &step);
  const HRESULT read = master ? control->GetMasterVolumeLevel(&levelDb)
                              : control->GetChannelVolumeLevel(0, &levelDb);
  return Finish(status, read == kS_OK, Percent(levelDb, maxDb), 0);
}

int GetPartLevel(LevelControl* control) {
  int* status = Status();
  if (Unready(control, true, status)) return 0;
  float minDb, maxDb, step, levelDb = 0;
  control->GetLevelRange(0, &minDb, &maxDb, &step);
  const HRESULT read = control->GetLevel(0, &levelDb);
  return Finish(status, read == kS_OK, Percent(levelDb, maxDb), 0);
}

bool Written(HRESULT hr) { return hr == kS_OK || hr == kS_FALSE; }

int SetEndpointChannels(EndpointVolume* control, int percent, bool checksDevice) {
  int* status = Status();
  if (Unready(control, checksDevice, status)) return 0;
  float minDb, maxDb, step;
  std::uint32_t channels;
  control->GetVolumeRange(&minDb, &maxDb, &step);
  control->GetChannelCount(&channels);
  const float levelDb = Level(percent, minDb, maxDb);
  const bool first = Written(control->SetChannelVolumeLevel(0, levelDb));
  const bool second = Written(control->SetChannelVolumeLevel(1, levelDb));
  return Finish(status, first && second, percent, percent);
}

// The same with the channel writes as a loop over the count the platform
// reported, which is all an implementation can know of it.
int SetEndpointChannelLoop(EndpointVolume* control, int percent, bool checksDevice) {
  int* status = Status();
  if (Unready(control, checksDevice, status)) return 0;
  float minDb, maxDb, step;
  std::uint32_t channels = 0;
  control->GetVolumeRange(&minDb, &maxDb, &step);
  control->GetChannelCount(&channels);
  const float levelDb = Level(percent, minDb, maxDb);
  bool written = channels > 0;
  for (std::uint32_t channel = 0; channel < channels; ++channel)
    written = Written(control->SetChannelVolumeLevel(channel, levelDb)) && written;
  return Finish(status, written, percent, percent);
}

int SetEndpointMaster(EndpointVolume* control, int percent) {
  int* status = Status();
  if (Unready(control, true, status)) return 0;
  float minDb, maxDb, step;
  std::uint32_t channels;
  control->GetVolumeRange(&minDb, &maxDb, &step);
  control->GetChannelCount(&channels);
  const bool written = Written(control->SetMasterVolumeLevel(Level(percent, minDb, maxDb)));
  return Finish(status, written, percent, percent);
}

int SetPartChannels(LevelControl* control, int percent) {
  int* status = Status();
  if (Unready(control, true, status)) return 0;
  float minDb, maxDb, step;
  std::uint32_t channels;
  control->GetLevelRange(0, &minDb, &maxDb, &step);
  control->GetChannelCount(&channels);
  const float levelDb = Level(percent, minDb, maxDb);
  const bool first = Written(control->SetLevel(0, levelDb));
  const bool second = Written(control->SetLevel(1, levelDb));
  return Finish(status, first && second, percent, 0);
}

int SetPartChannelLoop(LevelControl* control, int percent) {
  int* status = Status();
  if (Unready(control, true, status)) return 0;
  float minDb, maxDb, step;
  std::uint32_t channels = 0;
  control->GetLevelRange(0, &minDb, &maxDb, &step);
  control->GetChannelCount(&channels);
  const float levelDb = Level(percent, minDb, maxDb);
  bool written = channels > 0;
  for (std::uint32_t channel = 0; channel < channels; ++channel)
    written = Written(control->SetLevel(channel, levelDb)) && written;
  return Finish(status, written, percent, 0);
}

// The microphone monitor's setter asks for the count first, and takes
// ERROR_INVALID_FUNCTION for success.
int SetPartChannelsCountFirst(LevelControl* control, int percent) {
  int* status = Status();
  if (Unready(control, true, status)) return 0;
  float minDb, maxDb, step;
  std::uint32_t channels;
  control->GetChannelCount(&channels);
  control->GetLevelRange(0, &minDb, &maxDb, &step);
  const float levelDb = Level(percent, minDb, maxDb);
  const HRESULT first = control->SetLevel(0, levelDb);
  const HRESULT second = control->SetLevel(1, levelDb);
  const bool written = (Written(first) || first == kHrInvalidFunction) &&
                       (Written(second) || second == kHrInvalidFunction);
  return Finish(status, written, percent, 0);
}

template <class Control>
int GetMute(Control* control, bool checksDevice) {
  int* status = Status();
  if (Unready(control, checksDevice, status)) return 0;
  std::int32_t state = 0;
  const HRESULT read = control->GetMute(&state);
  return Finish(status, read == kS_OK, state, 0);
}

template <class Control>
int SetMute(Control* control, int state, bool checksDevice, int writeFailure) {
  int* status = Status();
  if (Unready(control, checksDevice, status)) return 0;
  Report(status, Written(control->SetMute(state)) ? 0 : writeFailure);
  return 0;
}

int GetEnabled(SwitchControl* control) {
  int* status = Status();
  if (Unready(control, true, status)) return 0;
  std::int32_t state = 0;
  const HRESULT read = control->GetEnabled(&state);
  return Finish(status, read == kS_OK, state, 0);
}

int SetEnabled(SwitchControl* control, int state) {
  int* status = Status();
  if (Unready(control, true, status)) return 0;
  Report(status, Written(control->SetEnabled(state)) ? 0 : 2);
  return 0;
}

int GetTone(LevelControl* control, int success) {
  double* level = Levels();
  int* status = Status();
  if (level) *level = 0.0;
  if (Unready(control, true, status)) return 1;
  float levelDb = 0;
  if (control->GetLevel(0, &levelDb) != kS_OK) return Finish(status, false, 0, 1);
  if (level) *level = levelDb;
  return Finish(status, true, success, 1);
}

int SetTone(LevelControl* control, double levelDb, int success) {
  int* status = Status();
  if (Unready(control, true, status)) return 1;
  std::uint32_t channels = 0;
  const HRESULT counted = control->GetChannelCount(&channels);
  const float level = static_cast<float>(levelDb);
  const bool first = Written(control->SetLevel(0, level));
  const bool second = Written(control->SetLevel(1, level));
  return Finish(status, counted == kS_OK && first && second, success, 1);
}

int GetToneRange(LevelControl* control) {
  double* out = Levels();
  for (int i = 0; i < 3; ++i) out[i] = 0.0;
  if (!Mixer().deviceBound) return 3;
  if (!control) return 1;
  float minDb = 0, maxDb = 0, step = 0;
  if (control->GetLevelRange(0, &minDb, &maxDb, &step) != kS_OK) return 2;
  out[0] = minDb;
  out[1] = maxDb;
  out[2] = step;
  return 0;
}

int GetBoost(LevelControl* control) {
  int* status = Status();
  if (Unready(control, true, status)) return 0;
  float levelDb = 0;
  const HRESULT read = control->GetLevel(0, &levelDb);
  return Finish(status, read == kS_OK, Whole(levelDb), 0);
}

int GetBoostRange(LevelControl* control) {
  int* status = Status();
  int* out = Ints();
  if (Unready(control, true, status)) return 1;
  float minDb = 0, maxDb = 0, step = 0;
  const bool read = control->GetLevelRange(0, &minDb, &maxDb, &step) == kS_OK;
  out[0] = read ? Whole(minDb) : 0;
  out[1] = read ? Whole(maxDb) : 0;
  out[2] = read ? Whole(step) : 0;
  return Finish(status, read, 0, 1);
}

int SetBoost(LevelControl* control, int levelDb) {
  int* status = Status();
  if (Unready(control, true, status)) return 1;
  const bool written = Written(control->SetLevel(0, static_cast<float>(levelDb)));
  return Finish(status, written, 0, 1);
}

const Slots& S() { return BoundSlots(); }

template <class Export, class Floor>
void Pair(const char* name, Export exported, Floor floor) {
  RegisterPair(
      name, BoundSample, [exported] { benchmark::DoNotOptimize(exported()); },
      [floor] { benchmark::DoNotOptimize(floor()); });
  // The same export with the lock switched off, to weigh the lock.
  Configure(benchmark::RegisterBenchmark(("Unlocked/" + std::string(name)).c_str(),
                                         [exported](benchmark::State& state) {
                                           BoundSample();
                                           exportLockOn = false;
                                           for (auto _ : state)
                                             benchmark::DoNotOptimize(exported());
                                           exportLockOn = true;
                                         }));
}

}  // namespace

void RegisterControlBenchmarks() {
  int* status = &hostStatus;
  constexpr int percent = 50;
  // Volumes in percent.
  Pair(
      "GetMasterVolume", [=] { return GetMasterVolume(status); },
      [] { return GetEndpointLevel(S().playback, false, true); });
  Pair(
      "SetMasterVolume", [=] { return SetMasterVolume(percent, status); },
      [] { return SetEndpointChannels(S().playback, Opaque(percent), true); });
  Pair(
      "GetVirtualVolume", [=] { return GetVirtualVolume(status); },
      [] { return GetEndpointLevel(S().virtualEndpoint, false, false); });
  Pair(
      "SetVirtualVolume", [=] { return SetVirtualVolume(percent, status); },
      [] { return SetEndpointChannels(S().virtualEndpoint, Opaque(percent), false); });
  Pair(
      "GetLinePlayBack", [=] { return GetLinePlayBack(status); },
      [] { return GetPartLevel(S().linePlaybackLevel); });
  Pair(
      "SetLinePlayBack", [=] { return SetLinePlayBack(percent, status); },
      [] { return SetPartChannels(S().linePlaybackLevel, Opaque(percent)); });
  Pair(
      "GetMicPlayBack", [=] { return GetMicPlayBack(status); },
      [] { return GetPartLevel(S().micPlaybackLevel); });
  Pair(
      "SetMicPlayBack", [=] { return SetMicPlayBack(percent, status); },
      [] { return SetPartChannelsCountFirst(S().micPlaybackLevel, Opaque(percent)); });
  Pair(
      "GetLineRecordVolume", [=] { return GetLineRecordVolume(status); },
      [] { return GetEndpointLevel(S().line, true, true); });
  Pair(
      "SetLineRecordVolume", [=] { return SetLineRecordVolume(percent, status); },
      [] { return SetEndpointMaster(S().line, Opaque(percent)); });
  // Against a floor that loops over the reported channel count, as the
  // rules' "for each channel up to the count" does.
  Pair(
      "SetMasterVolume, channel loop", [=] { return SetMasterVolume(percent, status); },
      [] { return SetEndpointChannelLoop(S().playback, Opaque(percent), true); });
  Pair(
      "SetVirtualVolume, channel loop", [=] { return SetVirtualVolume(percent, status); },
      [] { return SetEndpointChannelLoop(S().virtualEndpoint, Opaque(percent), false); });
  Pair(
      "SetLinePlayBack, channel loop", [=] { return SetLinePlayBack(percent, status); },
      [] { return SetPartChannelLoop(S().linePlaybackLevel, Opaque(percent)); });
  Pair(
      "GetMicRecordVolume", [=] { return GetMicRecordVolume(status); },
      [] { return GetEndpointLevel(S().mic, true, true); });
  Pair(
      "SetMicRecordVolume", [=] { return SetMicRecordVolume(percent, status); },
      [] { return SetEndpointMaster(S().mic, Opaque(percent)); });

  // Mutes and switches.
  constexpr int on = 1;
  Pair(
      "GetMasterMute", [=] { return GetMasterMute(status); },
      [] { return GetMute(S().playback, true); });
  Pair(
      "SetMasterMute", [=] { return SetMasterMute(on, status); },
      [] { return SetMute(S().playback, Opaque(on) & 0xFF, true, 1); });
  Pair(
      "GetVirtualMute", [=] { return GetVirtualMute(status); },
      [] { return GetMute(S().virtualEndpoint, false); });
  Pair(
      "SetVirtualMute", [=] { return SetVirtualMute(on, status); },
      [] { return SetMute(S().virtualEndpoint, Opaque(on), false, 1); });
  Pair(
      "GetLinePlayBackMute", [=] { return GetLinePlayBackMute(status); },
      [] { return GetMute(S().linePlaybackMute, true); });
  Pair(
      "SetLinePlayBackMute", [=] { return SetLinePlayBackMute(on, status); },
      [] { return SetMute(S().linePlaybackMute, Opaque(on), true, 2); });
  Pair(
      "GetMicPlayBackMute", [=] { return GetMicPlayBackMute(status); },
      [] { return GetMute(S().micPlaybackMute, true); });
  Pair(
      "SetMicPlayBackMute", [=] { return SetMicPlayBackMute(on, status); },
      [] { return SetMute(S().micPlaybackMute, Opaque(on), true, 2); });
  Pair(
      "GetMicBoost", [=] { return GetMicBoost(status); },
      [] { return GetEnabled(S().boostSwitch); });
  Pair(
      "SetMicBoost", [=] { return SetMicBoost(on, status); },
      [] { return SetEnabled(S().boostSwitch, Opaque(on)); });
  Pair(
      "GetNoMonitor", [=] { return GetNoMonitor(status); }, [] { return GetEnabled(S().lineAgc); });
  Pair(
      "SetNoMonitor", [=] { return SetNoMonitor(on, status); },
      [] { return SetEnabled(S().lineAgc, Opaque(on)); });

  // Tone controls in decibels.
  double* level = hostLevels;
  constexpr double tone = 2.5;
  Pair(
      "GetBass", [=] { return GetBass(level, status); }, [] { return GetTone(S().bass, 0); });
  Pair(
      "SetBass", [=] { return SetBass(tone, status); },
      [] { return SetTone(S().bass, Opaque(tone), 0); });
  Pair(
      "GetTreble", [=] { return GetTreble(level, status); }, [] { return GetTone(S().treble, 0); });
  Pair(
      "SetTreble", [=] { return SetTreble(tone, status); },
      [] { return SetTone(S().treble, Opaque(tone), 0); });
  Pair(
      "GetMidRange", [=] { return GetMidRange(level, status); },
      [] { return GetTone(S().midrange, 1); });
  Pair(
      "SetMidRange", [=] { return SetMidRange(tone, status); },
      [] { return SetTone(S().midrange, Opaque(tone), 1); });
  Pair(
      "GetEQRange", [=] { return GetEQRange(&level[0], &level[1], &level[2]); },
      [] { return GetToneRange(S().bass); });

  // The boost slider in whole decibels.
  int* ints = hostInts;
  constexpr int boost = 20;
  Pair(
      "GetMicSliderBoost", [=] { return GetMicSliderBoost(status); },
      [] { return GetBoost(S().boostLevel); });
  Pair(
      "GetMicSliderDetails",
      [=] { return GetMicSliderDetails(status, &ints[0], &ints[1], &ints[2]); },
      [] { return GetBoostRange(S().boostLevel); });
  Pair(
      "SetMicSliderBoost", [=] { return SetMicSliderBoost(boost, status); },
      [] { return SetBoost(S().boostLevel, Opaque(boost)); });
}

}  // namespace velto::bench
