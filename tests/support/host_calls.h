// Every export as a host calls it: one uniform entry per export, with the
// host's arguments, out parameters that start as sentinels (so an out the
// library did not write shows as such), null at any chosen pointer, and
// character buffers guarded by canaries past the 255 bytes a host provides.
//
// Shared by the hardening tests, the fuzz target and the benchmarks; it uses
// no test framework.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace velto::hardening {

// What an export does, as far as the checks care.
enum class Family {
  Open,          // OpenSoundCard
  OpenDefaults,  // OpenDefaultDevices
  Close,         // CloseSoundCard
  OpenVirtual,   // OpenVirtual_1
  CloseVirtual,  // CloseVirtual_1
  Count,         // GetNumberPlayDevices, GetNumberRecordDevices
  Describe,      // GetPlayBackDevice, GetRecordDevice
  Names,         // GetDeviceNames
  VolumeGet,
  VolumeSet,
  SwitchGet,
  SwitchSet,
  ToneGet,
  ToneSet,
  EqRange,
  BoostGet,
  BoostDetails,
  BoostSet,
};

// The host's side of a call.
struct Inputs {
  std::array<std::string, 3> texts;  // search texts, in argument order
  std::int32_t value = 0;            // percentage, state, whole dB or restore flag
  std::uint32_t index = 0;           // endpoint index
  double level = 0;                  // tone level in dB
  unsigned nullPointers = 0;         // bit i set: pointer parameter i is passed as null
};

// Inputs with one field set, for tables of calls.
inline Inputs Value(std::int32_t value) {
  Inputs in;
  in.value = value;
  return in;
}
inline Inputs Index(std::uint32_t index) {
  Inputs in;
  in.index = index;
  return in;
}
inline Inputs ToneLevel(double level) {
  Inputs in;
  in.level = level;
  return in;
}
inline Inputs Texts(std::string a, std::string b = "", std::string c = "") {
  Inputs in;
  in.texts = {std::move(a), std::move(b), std::move(c)};
  return in;
}

constexpr std::int32_t kUnset = 0x5EED5EED;
constexpr double kUnsetLevel = -7777.25;
constexpr std::size_t kHostBufferSize = 255;

// What came back. An out parameter the library did not write keeps its
// sentinel (kUnset, kUnsetLevel, or nullopt for a buffer).
struct Outcome {
  std::int32_t result = kUnset;  // kUnset for GetDeviceNames, which returns nothing
  std::int32_t status = kUnset;
  std::array<std::int32_t, 3> ints{kUnset, kUnset, kUnset};             // count; min, max, step
  std::array<double, 3> levels{kUnsetLevel, kUnsetLevel, kUnsetLevel};  // level; min, max, step
  std::array<std::optional<std::string>, 3> texts;                      // host buffers
  // A byte written past the host's 255, or a buffer written without its NUL.
  std::vector<std::string> overruns;

  bool operator==(const Outcome& other) const;
  bool operator!=(const Outcome& other) const { return !(*this == other); }
  std::string Describe() const;
};

inline void PrintTo(const Outcome& outcome, std::ostream* out) { *out << outcome.Describe(); }

// How a control export reports. Only the fields of its family matter.
struct ControlRules {
  bool checksDevice = true;          // false for the virtual exports
  bool failureReturnsValue = false;  // volume setters: status 2 returns the percentage
  bool perChannel = false;           // volume setters that use the channel count
  bool invalidFunctionIsSuccess = false;
  std::int32_t writeFailure = 2;   // the status of a failed switch write
  std::int32_t successResult = 0;  // tone exports: the midrange pair answers 1

  bool operator==(const ControlRules&) const = default;
};

// Exports that bind or let go of endpoints, and those that reach a bound control.
inline bool IsBinding(Family family) {
  return family == Family::Open || family == Family::OpenDefaults || family == Family::Close ||
         family == Family::OpenVirtual || family == Family::CloseVirtual;
}
inline bool IsControl(Family family) {
  return !IsBinding(family) && family != Family::Count && family != Family::Describe &&
         family != Family::Names;
}

struct HostCall {
  const char* name;
  Family family;
  int pointerCount;
  ControlRules rules;
  Outcome (*invoke)(const Inputs&);

  Outcome operator()(const Inputs& inputs) const { return invoke(inputs); }
};

// All 44 exports, in ordinal order.
const std::vector<HostCall>& AllHostCalls();
const HostCall& HostCallNamed(const std::string& name);

}  // namespace velto::hardening
