// The control exports against their floors, on the bound sample card: the
// range or channel-count queries, the read or the writes (two channels
// everywhere on the sample), and the decibel/percent arithmetic.
#include <climits>
#include <cmath>
#include <cstdint>

#include "bench_support.h"
#include "veltosound.h"

namespace velto::bench {

namespace {

using namespace platform;

int hostStatus = 0;

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

int GetEndpointChannel(EndpointVolume& control) {
  float minDb, maxDb, step, levelDb;
  control.GetVolumeRange(&minDb, &maxDb, &step);
  control.GetChannelVolumeLevel(0, &levelDb);
  hostStatus = 0;
  return Percent(levelDb, maxDb);
}

int GetEndpointMaster(EndpointVolume& control) {
  float minDb, maxDb, step, levelDb;
  control.GetVolumeRange(&minDb, &maxDb, &step);
  control.GetMasterVolumeLevel(&levelDb);
  hostStatus = 0;
  return Percent(levelDb, maxDb);
}

int GetPartLevel(LevelControl& control) {
  float minDb, maxDb, step, levelDb;
  control.GetLevelRange(0, &minDb, &maxDb, &step);
  control.GetLevel(0, &levelDb);
  hostStatus = 0;
  return Percent(levelDb, maxDb);
}

int SetEndpointChannels(EndpointVolume& control, int percent) {
  float minDb, maxDb, step;
  std::uint32_t channels;
  control.GetVolumeRange(&minDb, &maxDb, &step);
  control.GetChannelCount(&channels);
  const float levelDb = Level(percent, minDb, maxDb);
  control.SetChannelVolumeLevel(0, levelDb);
  control.SetChannelVolumeLevel(1, levelDb);
  hostStatus = 0;
  return percent;
}

int SetEndpointMaster(EndpointVolume& control, int percent) {
  float minDb, maxDb, step;
  std::uint32_t channels;
  control.GetVolumeRange(&minDb, &maxDb, &step);
  control.GetChannelCount(&channels);
  control.SetMasterVolumeLevel(Level(percent, minDb, maxDb));
  hostStatus = 0;
  return percent;
}

int SetPartChannels(LevelControl& control, int percent) {
  float minDb, maxDb, step;
  std::uint32_t channels;
  control.GetLevelRange(0, &minDb, &maxDb, &step);
  control.GetChannelCount(&channels);
  const float levelDb = Level(percent, minDb, maxDb);
  control.SetLevel(0, levelDb);
  control.SetLevel(1, levelDb);
  hostStatus = 0;
  return percent;
}

// The microphone monitor's setter asks for the count first.
int SetPartChannelsCountFirst(LevelControl& control, int percent) {
  float minDb, maxDb, step;
  std::uint32_t channels;
  control.GetChannelCount(&channels);
  control.GetLevelRange(0, &minDb, &maxDb, &step);
  const float levelDb = Level(percent, minDb, maxDb);
  control.SetLevel(0, levelDb);
  control.SetLevel(1, levelDb);
  hostStatus = 0;
  return percent;
}

template <class Control>
int GetMute(Control& control) {
  std::int32_t state;
  control.GetMute(&state);
  hostStatus = 0;
  return state;
}

int GetEnabled(SwitchControl& control) {
  std::int32_t state;
  control.GetEnabled(&state);
  hostStatus = 0;
  return state;
}

double toneLevel = 0;

int GetTone(LevelControl& control) {
  toneLevel = 0.0;
  float levelDb;
  control.GetLevel(0, &levelDb);
  toneLevel = levelDb;
  hostStatus = 0;
  return 0;
}

int SetTone(LevelControl& control, double levelDb) {
  std::uint32_t channels;
  control.GetChannelCount(&channels);
  const float level = static_cast<float>(levelDb);
  control.SetLevel(0, level);
  control.SetLevel(1, level);
  hostStatus = 0;
  return 0;
}

double rangeOut[3];
int rangeInts[3];

int GetToneRange(LevelControl& control) {
  rangeOut[0] = rangeOut[1] = rangeOut[2] = 0.0;
  float minDb = 0, maxDb = 0, step = 0;
  control.GetLevelRange(0, &minDb, &maxDb, &step);
  rangeOut[0] = minDb;
  rangeOut[1] = maxDb;
  rangeOut[2] = step;
  return 0;
}

int GetBoost(LevelControl& control) {
  float levelDb;
  control.GetLevel(0, &levelDb);
  hostStatus = 0;
  return static_cast<int>(levelDb);
}

int GetBoostRange(LevelControl& control) {
  float minDb, maxDb, step;
  control.GetLevelRange(0, &minDb, &maxDb, &step);
  rangeInts[0] = static_cast<int>(minDb);
  rangeInts[1] = static_cast<int>(maxDb);
  rangeInts[2] = static_cast<int>(step);
  hostStatus = 0;
  return 0;
}

const Slots& S() { return BoundSlots(); }

template <class Export, class Floor>
void Pair(const char* name, Export exported, Floor floor) {
  RegisterPair(
      name, BoundSample, [exported] { benchmark::DoNotOptimize(exported()); },
      [floor] { benchmark::DoNotOptimize(floor()); });
}

}  // namespace

void RegisterControlBenchmarks() {
  int* status = &hostStatus;
  // Volumes in percent.
  Pair(
      "GetMasterVolume", [=] { return GetMasterVolume(status); },
      [] { return GetEndpointChannel(*S().playback); });
  Pair(
      "SetMasterVolume", [=] { return SetMasterVolume(50, status); },
      [] { return SetEndpointChannels(*S().playback, 50); });
  Pair(
      "GetVirtualVolume", [=] { return GetVirtualVolume(status); },
      [] { return GetEndpointChannel(*S().virtualEndpoint); });
  Pair(
      "SetVirtualVolume", [=] { return SetVirtualVolume(50, status); },
      [] { return SetEndpointChannels(*S().virtualEndpoint, 50); });
  Pair(
      "GetLinePlayBack", [=] { return GetLinePlayBack(status); },
      [] { return GetPartLevel(*S().linePlaybackLevel); });
  Pair(
      "SetLinePlayBack", [=] { return SetLinePlayBack(50, status); },
      [] { return SetPartChannels(*S().linePlaybackLevel, 50); });
  Pair(
      "GetMicPlayBack", [=] { return GetMicPlayBack(status); },
      [] { return GetPartLevel(*S().micPlaybackLevel); });
  Pair(
      "SetMicPlayBack", [=] { return SetMicPlayBack(50, status); },
      [] { return SetPartChannelsCountFirst(*S().micPlaybackLevel, 50); });
  Pair(
      "GetLineRecordVolume", [=] { return GetLineRecordVolume(status); },
      [] { return GetEndpointMaster(*S().line); });
  Pair(
      "SetLineRecordVolume", [=] { return SetLineRecordVolume(50, status); },
      [] { return SetEndpointMaster(*S().line, 50); });
  Pair(
      "GetMicRecordVolume", [=] { return GetMicRecordVolume(status); },
      [] { return GetEndpointMaster(*S().mic); });
  Pair(
      "SetMicRecordVolume", [=] { return SetMicRecordVolume(50, status); },
      [] { return SetEndpointMaster(*S().mic, 50); });

  // Mutes and switches.
  Pair(
      "GetMasterMute", [=] { return GetMasterMute(status); },
      [] { return GetMute(*S().playback); });
  Pair(
      "SetMasterMute", [=] { return SetMasterMute(1, status); },
      [] { return S().playback->SetMute(1 & 0xFF); });
  Pair(
      "GetVirtualMute", [=] { return GetVirtualMute(status); },
      [] { return GetMute(*S().virtualEndpoint); });
  Pair(
      "SetVirtualMute", [=] { return SetVirtualMute(1, status); },
      [] { return S().virtualEndpoint->SetMute(1); });
  Pair(
      "GetLinePlayBackMute", [=] { return GetLinePlayBackMute(status); },
      [] { return GetMute(*S().linePlaybackMute); });
  Pair(
      "SetLinePlayBackMute", [=] { return SetLinePlayBackMute(1, status); },
      [] { return S().linePlaybackMute->SetMute(1); });
  Pair(
      "GetMicPlayBackMute", [=] { return GetMicPlayBackMute(status); },
      [] { return GetMute(*S().micPlaybackMute); });
  Pair(
      "SetMicPlayBackMute", [=] { return SetMicPlayBackMute(1, status); },
      [] { return S().micPlaybackMute->SetMute(1); });
  Pair(
      "GetMicBoost", [=] { return GetMicBoost(status); },
      [] { return GetEnabled(*S().boostSwitch); });
  Pair(
      "SetMicBoost", [=] { return SetMicBoost(1, status); },
      [] { return S().boostSwitch->SetEnabled(1); });
  Pair(
      "GetNoMonitor", [=] { return GetNoMonitor(status); },
      [] { return GetEnabled(*S().lineAgc); });
  Pair(
      "SetNoMonitor", [=] { return SetNoMonitor(1, status); },
      [] { return S().lineAgc->SetEnabled(1); });

  // Tone controls in decibels.
  double* level = &toneLevel;
  Pair(
      "GetBass", [=] { return GetBass(level, status); }, [] { return GetTone(*S().bass); });
  Pair(
      "SetBass", [=] { return SetBass(2.5, status); }, [] { return SetTone(*S().bass, 2.5); });
  Pair(
      "GetTreble", [=] { return GetTreble(level, status); }, [] { return GetTone(*S().treble); });
  Pair(
      "SetTreble", [=] { return SetTreble(2.5, status); },
      [] { return SetTone(*S().treble, 2.5); });
  Pair(
      "GetMidRange", [=] { return GetMidRange(level, status); },
      [] { return GetTone(*S().midrange); });
  Pair(
      "SetMidRange", [=] { return SetMidRange(2.5, status); },
      [] { return SetTone(*S().midrange, 2.5); });
  Pair(
      "GetEQRange", [] { return GetEQRange(&rangeOut[0], &rangeOut[1], &rangeOut[2]); },
      [] { return GetToneRange(*S().bass); });

  // The boost slider in whole decibels.
  Pair(
      "GetMicSliderBoost", [=] { return GetMicSliderBoost(status); },
      [] { return GetBoost(*S().boostLevel); });
  Pair(
      "GetMicSliderDetails",
      [=] { return GetMicSliderDetails(status, &rangeInts[0], &rangeInts[1], &rangeInts[2]); },
      [] { return GetBoostRange(*S().boostLevel); });
  Pair(
      "SetMicSliderBoost", [=] { return SetMicSliderBoost(20, status); },
      [] { return S().boostLevel->SetLevel(0, static_cast<float>(20)); });
}

}  // namespace velto::bench
