#include "calls/export_table.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "calls/library_exports.h"
#include "veltosound.h"

namespace veltomix {

OutputBuffers::OutputBuffers(const std::vector<OutputSlot>& slots)
    : slots_(slots), buffers_(slots.size()) {
  for (Buffer& buffer : buffers_) std::memset(buffer.bytes, kGuard, kSize);
}

std::vector<OutputValue> OutputBuffers::Read() const {
  std::vector<OutputValue> values;
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    const unsigned char* bytes = buffers_[i].bytes;
    OutputValue value{slots_[i].name, slots_[i].type, {}, {}, {}, false};
    switch (value.type) {
      case OutputType::Int: {
        std::int32_t integer;
        std::memcpy(&integer, bytes, sizeof integer);
        value.written =
            std::any_of(bytes, bytes + sizeof integer, [](unsigned char b) { return b != kGuard; });
        if (value.written) value.integer = integer;
        break;
      }
      case OutputType::Double: {
        double real;
        std::memcpy(&real, bytes, sizeof real);
        value.written =
            std::any_of(bytes, bytes + sizeof real, [](unsigned char b) { return b != kGuard; });
        if (value.written) value.real = real;
        break;
      }
      case OutputType::Text: {
        const auto* end = static_cast<const unsigned char*>(std::memchr(bytes, 0, kSize));
        value.written = bytes[0] != kGuard || end;
        if (value.written && end)
          value.text =
              std::string(reinterpret_cast<const char*>(bytes), reinterpret_cast<const char*>(end));
        break;
      }
    }
    values.push_back(std::move(value));
  }
  return values;
}

CallResult Invoke(const ExportInfo& info, const std::vector<Argument>& arguments) {
  OutputBuffers buffers(info.outputs);
  CallResult call;
  call.result = info.invoke(arguments, buffers);
  call.outputs = buffers.Read();
  return call;
}

namespace {

using Args = std::vector<Argument>;
using Out = OutputBuffers;
using std::optional;

std::int32_t I(const Args& a, std::size_t k) { return std::get<std::int32_t>(a[k]); }
unsigned U(const Args& a, std::size_t k) { return static_cast<unsigned>(I(a, k)); }
double D(const Args& a, std::size_t k) { return std::get<double>(a[k]); }
const char* T(const Args& a, std::size_t k) {
  const auto& text = std::get<optional<std::string>>(a[k]);
  return text ? text->c_str() : nullptr;
}

constexpr auto kInt = InputType::Int;
constexpr auto kIndex = InputType::Index;
constexpr auto kLevel = InputType::Level;
constexpr auto kText = InputType::Text;
using R = optional<std::int32_t>;
const OutputSlot kStatus{"status", OutputType::Int};
const std::vector<OutputSlot> kCount = {{"count", OutputType::Int}};
const std::vector<OutputSlot> kLevelAndStatus = {{"level", OutputType::Double}, kStatus};
const std::vector<OutputSlot> kEqRange = {
    {"min", OutputType::Double}, {"max", OutputType::Double}, {"step", OutputType::Double}};
const std::vector<OutputSlot> kSliderDetails = {
    kStatus, {"min", OutputType::Int}, {"max", OutputType::Int}, {"step", OutputType::Int}};
const std::vector<OutputSlot> kDeviceNames = {
    {"playback", OutputType::Text}, {"line", OutputType::Text}, {"mic", OutputType::Text}};
const std::vector<OutputSlot> kNameAndId = {{"name", OutputType::Text}, {"id", OutputType::Text}};

}  // namespace

// Two lines a row read better than the eight the formatter would make.
// clang-format off
const std::vector<ExportInfo>& Exports() {
  static const std::vector<ExportInfo> table = {
    {"GetMasterVolume", 1, {}, {kStatus}, [](const Args&, Out& o) -> R {
       return Via(GetMasterVolume, "GetMasterVolume")(o.Int(0)); }},
    {"SetMasterVolume", 2, {kInt}, {kStatus}, [](const Args& a, Out& o) -> R {
       return Via(SetMasterVolume, "SetMasterVolume")(I(a, 0), o.Int(0)); }},
    {"GetMasterMute", 3, {}, {kStatus}, [](const Args&, Out& o) -> R {
       return Via(GetMasterMute, "GetMasterMute")(o.Int(0)); }},
    {"SetMasterMute", 4, {kInt}, {kStatus}, [](const Args& a, Out& o) -> R {
       return Via(SetMasterMute, "SetMasterMute")(I(a, 0), o.Int(0)); }},
    {"OpenSoundCard", 5, {kText, kText, kText}, {}, [](const Args& a, Out&) -> R {
       return Via(OpenSoundCard, "OpenSoundCard")(T(a, 0), T(a, 1), T(a, 2)); }},
    {"CloseSoundCard", 6, {kInt}, {}, [](const Args& a, Out&) -> R {
       return Via(CloseSoundCard, "CloseSoundCard")(I(a, 0)); }},
    {"SetLinePlayBack", 7, {kInt}, {kStatus}, [](const Args& a, Out& o) -> R {
       return Via(SetLinePlayBack, "SetLinePlayBack")(I(a, 0), o.Int(0)); }},
    {"SetLinePlayBackMute", 8, {kInt}, {kStatus}, [](const Args& a, Out& o) -> R {
       return Via(SetLinePlayBackMute, "SetLinePlayBackMute")(I(a, 0), o.Int(0)); }},
    {"GetLinePlayBackMute", 9, {}, {kStatus}, [](const Args&, Out& o) -> R {
       return Via(GetLinePlayBackMute, "GetLinePlayBackMute")(o.Int(0)); }},
    {"SetMicPlayBack", 10, {kInt}, {kStatus}, [](const Args& a, Out& o) -> R {
       return Via(SetMicPlayBack, "SetMicPlayBack")(I(a, 0), o.Int(0)); }},
    {"SetMicPlayBackMute", 11, {kInt}, {kStatus}, [](const Args& a, Out& o) -> R {
       return Via(SetMicPlayBackMute, "SetMicPlayBackMute")(I(a, 0), o.Int(0)); }},
    {"GetMicPlayBackMute", 12, {}, {kStatus}, [](const Args&, Out& o) -> R {
       return Via(GetMicPlayBackMute, "GetMicPlayBackMute")(o.Int(0)); }},
    {"SetMicBoost", 13, {kInt}, {kStatus}, [](const Args& a, Out& o) -> R {
       return Via(SetMicBoost, "SetMicBoost")(I(a, 0), o.Int(0)); }},
    {"GetMicBoost", 14, {}, {kStatus}, [](const Args&, Out& o) -> R {
       return Via(GetMicBoost, "GetMicBoost")(o.Int(0)); }},
    {"GetNoMonitor", 15, {}, {kStatus}, [](const Args&, Out& o) -> R {
       return Via(GetNoMonitor, "GetNoMonitor")(o.Int(0)); }},
    {"SetNoMonitor", 16, {kInt}, {kStatus}, [](const Args& a, Out& o) -> R {
       return Via(SetNoMonitor, "SetNoMonitor")(I(a, 0), o.Int(0)); }},
    {"GetLinePlayBack", 17, {}, {kStatus}, [](const Args&, Out& o) -> R {
       return Via(GetLinePlayBack, "GetLinePlayBack")(o.Int(0)); }},
    {"GetMicPlayBack", 18, {}, {kStatus}, [](const Args&, Out& o) -> R {
       return Via(GetMicPlayBack, "GetMicPlayBack")(o.Int(0)); }},
    {"GetEQRange", 19, {}, kEqRange, [](const Args&, Out& o) -> R {
       return Via(GetEQRange, "GetEQRange")(o.Double(0), o.Double(1), o.Double(2)); }},
    {"SetBass", 20, {kLevel}, {kStatus}, [](const Args& a, Out& o) -> R {
       return Via(SetBass, "SetBass")(D(a, 0), o.Int(0)); }},
    {"GetBass", 21, {}, kLevelAndStatus, [](const Args&, Out& o) -> R {
       return Via(GetBass, "GetBass")(o.Double(0), o.Int(1)); }},
    {"SetTreble", 22, {kLevel}, {kStatus}, [](const Args& a, Out& o) -> R {
       return Via(SetTreble, "SetTreble")(D(a, 0), o.Int(0)); }},
    {"GetTreble", 23, {}, kLevelAndStatus, [](const Args&, Out& o) -> R {
       return Via(GetTreble, "GetTreble")(o.Double(0), o.Int(1)); }},
    {"SetMidRange", 24, {kLevel}, {kStatus}, [](const Args& a, Out& o) -> R {
       return Via(SetMidRange, "SetMidRange")(D(a, 0), o.Int(0)); }},
    {"GetMidRange", 25, {}, kLevelAndStatus, [](const Args&, Out& o) -> R {
       return Via(GetMidRange, "GetMidRange")(o.Double(0), o.Int(1)); }},
    {"GetMicRecordVolume", 26, {}, {kStatus}, [](const Args&, Out& o) -> R {
       return Via(GetMicRecordVolume, "GetMicRecordVolume")(o.Int(0)); }},
    {"SetMicRecordVolume", 27, {kInt}, {kStatus}, [](const Args& a, Out& o) -> R {
       return Via(SetMicRecordVolume, "SetMicRecordVolume")(I(a, 0), o.Int(0)); }},
    {"GetLineRecordVolume", 28, {}, {kStatus}, [](const Args&, Out& o) -> R {
       return Via(GetLineRecordVolume, "GetLineRecordVolume")(o.Int(0)); }},
    {"SetLineRecordVolume", 29, {kInt}, {kStatus}, [](const Args& a, Out& o) -> R {
       return Via(SetLineRecordVolume, "SetLineRecordVolume")(I(a, 0), o.Int(0)); }},
    {"OpenDefaultDevices", 30, {}, {}, [](const Args&, Out&) -> R {
       return Via(OpenDefaultDevices, "OpenDefaultDevices")(); }},
    {"GetDeviceNames", 31, {}, kDeviceNames, [](const Args&, Out& o) -> R {
       Via(GetDeviceNames, "GetDeviceNames")(o.Text(0), o.Text(1), o.Text(2));
       return std::nullopt; }},
    {"GetNumberPlayDevices", 32, {}, kCount, [](const Args&, Out& o) -> R {
       return Via(GetNumberPlayDevices, "GetNumberPlayDevices")(o.Int(0)); }},
    {"GetNumberRecordDevices", 33, {}, kCount, [](const Args&, Out& o) -> R {
       return Via(GetNumberRecordDevices, "GetNumberRecordDevices")(o.Int(0)); }},
    {"GetPlayBackDevice", 34, {kIndex}, kNameAndId, [](const Args& a, Out& o) -> R {
       return Via(GetPlayBackDevice, "GetPlayBackDevice")(U(a, 0), o.Text(0), o.Text(1)); }},
    {"GetRecordDevice", 35, {kIndex}, kNameAndId, [](const Args& a, Out& o) -> R {
       return Via(GetRecordDevice, "GetRecordDevice")(U(a, 0), o.Text(0), o.Text(1)); }},
    {"OpenVirtual_1", 36, {kText}, {}, [](const Args& a, Out&) -> R {
       return Via(OpenVirtual_1, "OpenVirtual_1")(T(a, 0)); }},
    {"CloseVirtual_1", 37, {}, {}, [](const Args&, Out&) -> R {
       return Via(CloseVirtual_1, "CloseVirtual_1")(); }},
    {"GetVirtualVolume", 38, {}, {kStatus}, [](const Args&, Out& o) -> R {
       return Via(GetVirtualVolume, "GetVirtualVolume")(o.Int(0)); }},
    {"SetVirtualVolume", 39, {kInt}, {kStatus}, [](const Args& a, Out& o) -> R {
       return Via(SetVirtualVolume, "SetVirtualVolume")(I(a, 0), o.Int(0)); }},
    {"SetVirtualMute", 40, {kInt}, {kStatus}, [](const Args& a, Out& o) -> R {
       return Via(SetVirtualMute, "SetVirtualMute")(I(a, 0), o.Int(0)); }},
    {"GetVirtualMute", 41, {}, {kStatus}, [](const Args&, Out& o) -> R {
       return Via(GetVirtualMute, "GetVirtualMute")(o.Int(0)); }},
    {"GetMicSliderBoost", 42, {}, {kStatus}, [](const Args&, Out& o) -> R {
       return Via(GetMicSliderBoost, "GetMicSliderBoost")(o.Int(0)); }},
    {"GetMicSliderDetails", 43, {}, kSliderDetails, [](const Args&, Out& o) -> R {
       return Via(GetMicSliderDetails, "GetMicSliderDetails")(o.Int(0), o.Int(1), o.Int(2),
                                                              o.Int(3)); }},
    {"SetMicSliderBoost", 44, {kInt}, {kStatus}, [](const Args& a, Out& o) -> R {
       return Via(SetMicSliderBoost, "SetMicSliderBoost")(I(a, 0), o.Int(0)); }},
  };
  return table;
}
// clang-format on

const ExportInfo* FindExport(std::string_view name) {
  for (const ExportInfo& info : Exports()) {
    if (name == info.name) return &info;
  }
  return nullptr;
}

CallResult CallExport(std::string_view name, const std::vector<Argument>& arguments) {
  const ExportInfo* info = FindExport(name);
  if (!info) throw std::logic_error("no export " + std::string(name));
  return Invoke(*info, arguments);
}

namespace {

const OutputValue* Output(const CallResult& call, std::string_view name) {
  for (const OutputValue& value : call.outputs) {
    if (value.name == name && value.written) return &value;
  }
  return nullptr;
}

}  // namespace

std::int64_t CallResult::Int(std::string_view name, std::int64_t fallback) const {
  const OutputValue* value = Output(*this, name);
  return value && value->integer ? *value->integer : fallback;
}

double CallResult::Real(std::string_view name, double fallback) const {
  const OutputValue* value = Output(*this, name);
  return value && value->real ? *value->real : fallback;
}

std::string CallResult::Text(std::string_view name) const {
  const OutputValue* value = Output(*this, name);
  return value && value->text ? *value->text : std::string();
}

}  // namespace veltomix
