#include "mixer_columns.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

namespace veltomixer {

namespace {

constexpr Control Percent(const wchar_t* name, int(VELTO_CALL* get)(int*),
                          int(VELTO_CALL* set)(int, int*)) {
  return {.kind = Kind::Percent, .name = name, .getInt = get, .setInt = set};
}
constexpr Control Switch(const wchar_t* name, int(VELTO_CALL* get)(int*),
                         int(VELTO_CALL* set)(int, int*)) {
  return {.kind = Kind::Switch, .name = name, .getInt = get, .setInt = set};
}
constexpr Control Tone(const wchar_t* name, int(VELTO_CALL* get)(double*, int*),
                       int(VELTO_CALL* set)(double, int*)) {
  return {.kind = Kind::ToneDb, .name = name, .getDb = get, .setDb = set};
}

}  // namespace

const ColumnSpec kColumns[kColumnCount] = {
    {L"&Master", Percent(L"Master volume", GetMasterVolume, SetMasterVolume),
     Switch(L"Master mute", GetMasterMute, SetMasterMute), L"Mute"},
    {L"&Line monitor", Percent(L"Line monitor level", GetLinePlayBack, SetLinePlayBack),
     Switch(L"Line monitor mute", GetLinePlayBackMute, SetLinePlayBackMute), L"Mute"},
    {L"M&ic monitor", Percent(L"Mic monitor level", GetMicPlayBack, SetMicPlayBack),
     Switch(L"Mic monitor mute", GetMicPlayBackMute, SetMicPlayBackMute), L"Mute"},
    {L"Line r&ecord",
     Percent(L"Line recording level", GetLineRecordVolume, SetLineRecordVolume),
     {},
     nullptr},
    {L"Mic re&cord",
     Percent(L"Mic recording level", GetMicRecordVolume, SetMicRecordVolume),
     {},
     nullptr},
    {L"Mic boo&st",
     {.kind = Kind::BoostDb,
      .name = L"Mic boost level",
      .getInt = GetMicSliderBoost,
      .setInt = SetMicSliderBoost},
     Switch(L"Mic boost", GetMicBoost, SetMicBoost),
     L"On"},
    {L"Line A&GC", {}, Switch(L"Line AGC", GetNoMonitor, SetNoMonitor), L"On"},
    {L"B&ass", Tone(L"Bass", GetBass, SetBass), {}, nullptr},
    {L"&Treble", Tone(L"Treble", GetTreble, SetTreble), {}, nullptr},
    {L"Mi&drange", Tone(L"Midrange", GetMidRange, SetMidRange), {}, nullptr},
    {L"&Virtual", Percent(L"Virtual volume", GetVirtualVolume, SetVirtualVolume),
     Switch(L"Virtual mute", GetVirtualMute, SetVirtualMute), L"Mute", true},
};

Reading Read(const Control& control) {
  Reading reading;
  switch (control.kind) {
    case Kind::None:
      break;
    case Kind::Percent:
    case Kind::BoostDb:
      reading.value = control.getInt(&reading.status);
      break;
    case Kind::Switch:
      reading.value = control.getInt(&reading.status) != 0;
      break;
    case Kind::ToneDb: {
      double level = 0;
      control.getDb(&level, &reading.status);
      reading.value = static_cast<int>(std::lround(level * 10));
      break;
    }
  }
  return reading;
}

int Write(const Control& control, int value) {
  int status = 3;
  if (control.kind == Kind::ToneDb)
    control.setDb(value / 10.0, &status);
  else if (control.kind != Kind::None)
    control.setInt(value, &status);
  return status;
}

Range RangeOf(const Control& control) {
  if (control.kind == Kind::ToneDb) {
    double min = 0, max = 0, step = 0;
    if (GetEQRange(&min, &max, &step) != 0 || max <= min) return {-120, 120, 5, 30};
    const int line = std::max(1, static_cast<int>(std::lround(step * 10)));
    return {static_cast<int>(std::lround(min * 10)), static_cast<int>(std::lround(max * 10)), line,
            line * 4};
  }
  if (control.kind == Kind::BoostDb) {
    int status = 0, min = 0, max = 0, step = 0;
    if (GetMicSliderDetails(&status, &min, &max, &step) != 0 || max <= min) return {0, 1, 1, 1};
    return {min, max, std::max(step, 1), std::max(step, 1)};
  }
  return {};
}

std::wstring ValueText(const Control& control, int value) {
  wchar_t text[32] = L"";
  switch (control.kind) {
    case Kind::Percent:
      std::swprintf(text, 32, L"%d %%", value);
      break;
    case Kind::ToneDb:
      std::swprintf(text, 32, L"%.1f dB", value / 10.0);
      break;
    case Kind::BoostDb:
      std::swprintf(text, 32, L"%d dB", value);
      break;
    case Kind::Switch:
      return value ? L"on" : L"off";
    case Kind::None:
      break;
  }
  return text;
}

std::wstring Reason(int status, bool virtualEndpoint) {
  switch (status) {
    case 0:
      return L"";
    case 1:
      return virtualEndpoint ? L"no virtual endpoint bound" : L"not on this card";
    case 2:
      return L"the platform call failed";
    case 3:
      return L"no device bound";
  }
  return L"status " + std::to_wstring(status);
}

}  // namespace veltomixer
