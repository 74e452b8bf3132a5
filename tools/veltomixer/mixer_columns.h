// The window's columns and how each control is read and set through the
// DLL's exports. A column holds at most a slider and a check box.
#pragma once

#include <string>

#include "veltomixer_ids.h"
#include "veltosound.h"

namespace veltomixer {

// Values cross this file in a slider's units: percent, tenths of a dB for
// the tone bands, whole dB for the boost slider, 0 or 1 for a switch.
enum class Kind { None, Percent, Switch, ToneDb, BoostDb };

struct Control {
  Kind kind = Kind::None;
  const wchar_t* name = nullptr;  // as the status line names it
  int(VELTO_CALL* getInt)(int* status) = nullptr;
  int(VELTO_CALL* setInt)(int value, int* status) = nullptr;
  int(VELTO_CALL* getDb)(double* level, int* status) = nullptr;
  int(VELTO_CALL* setDb)(double level, int* status) = nullptr;
};

struct ColumnSpec {
  const wchar_t* title;  // with its access key
  Control slider;
  Control check;
  const wchar_t* checkText;
  bool virtualEndpoint;  // status 1 means "no virtual endpoint bound" here
};

extern const ColumnSpec kColumns[kColumnCount];

struct Reading {
  int status = 3;
  int value = 0;
  bool operator==(const Reading&) const = default;
};

struct Range {
  int min = 0;
  int max = 100;
  int line = 1;
  int page = 10;
};

Reading Read(const Control& control);
// The status the setter reported.
int Write(const Control& control, int value);
Range RangeOf(const Control& control);
std::wstring ValueText(const Control& control, int value);
std::wstring Reason(int status, bool virtualEndpoint);

}  // namespace veltomixer
