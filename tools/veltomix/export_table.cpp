#include "export_table.h"

#include <algorithm>
#include <cstring>

#include "library_exports.h"
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
const OutputSlot kStatus{"status", OutputType::Int};

}  // namespace

const std::vector<ExportInfo>& Exports() {
  static const std::vector<ExportInfo> table = {
      {"GetMasterVolume",
       1,
       {},
       {kStatus},
       true,
       [](const Args&, Out& o) -> optional<std::int32_t> {
         return Via(GetMasterVolume, "GetMasterVolume")(o.Int(0));
       }},
      {"SetMasterVolume",
       2,
       {kInt},
       {kStatus},
       true,
       [](const Args& a, Out& o) -> optional<std::int32_t> {
         return Via(SetMasterVolume, "SetMasterVolume")(I(a, 0), o.Int(0));
       }},
      {"GetMasterMute",
       3,
       {},
       {kStatus},
       true,
       [](const Args&, Out& o) -> optional<std::int32_t> {
         return Via(GetMasterMute, "GetMasterMute")(o.Int(0));
       }},
      {"SetMasterMute",
       4,
       {kInt},
       {kStatus},
       true,
       [](const Args& a, Out& o) -> optional<std::int32_t> {
         return Via(SetMasterMute, "SetMasterMute")(I(a, 0), o.Int(0));
       }},
      {"OpenSoundCard",
       5,
       {kText, kText, kText},
       {},
       true,
       [](const Args& a, Out&) -> optional<std::int32_t> {
         return Via(OpenSoundCard, "OpenSoundCard")(T(a, 0), T(a, 1), T(a, 2));
       }},
      {"CloseSoundCard",
       6,
       {kInt},
       {},
       true,
       [](const Args& a, Out&) -> optional<std::int32_t> {
         return Via(CloseSoundCard, "CloseSoundCard")(I(a, 0));
       }},
      {"SetLinePlayBack",
       7,
       {kInt},
       {kStatus},
       true,
       [](const Args& a, Out& o) -> optional<std::int32_t> {
         return Via(SetLinePlayBack, "SetLinePlayBack")(I(a, 0), o.Int(0));
       }},
      {"SetLinePlayBackMute",
       8,
       {kInt},
       {kStatus},
       true,
       [](const Args& a, Out& o) -> optional<std::int32_t> {
         return Via(SetLinePlayBackMute, "SetLinePlayBackMute")(I(a, 0), o.Int(0));
       }},
      {"GetLinePlayBackMute",
       9,
       {},
       {kStatus},
       true,
       [](const Args&, Out& o) -> optional<std::int32_t> {
         return Via(GetLinePlayBackMute, "GetLinePlayBackMute")(o.Int(0));
       }},
      {"SetMicPlayBack",
       10,
       {kInt},
       {kStatus},
       true,
       [](const Args& a, Out& o) -> optional<std::int32_t> {
         return Via(SetMicPlayBack, "SetMicPlayBack")(I(a, 0), o.Int(0));
       }},
      {"SetMicPlayBackMute",
       11,
       {kInt},
       {kStatus},
       true,
       [](const Args& a, Out& o) -> optional<std::int32_t> {
         return Via(SetMicPlayBackMute, "SetMicPlayBackMute")(I(a, 0), o.Int(0));
       }},
      {"GetMicPlayBackMute",
       12,
       {},
       {kStatus},
       true,
       [](const Args&, Out& o) -> optional<std::int32_t> {
         return Via(GetMicPlayBackMute, "GetMicPlayBackMute")(o.Int(0));
       }},
      {"SetMicBoost",
       13,
       {kInt},
       {kStatus},
       true,
       [](const Args& a, Out& o) -> optional<std::int32_t> {
         return Via(SetMicBoost, "SetMicBoost")(I(a, 0), o.Int(0));
       }},
      {"GetMicBoost",
       14,
       {},
       {kStatus},
       true,
       [](const Args&, Out& o) -> optional<std::int32_t> {
         return Via(GetMicBoost, "GetMicBoost")(o.Int(0));
       }},
      {"GetNoMonitor",
       15,
       {},
       {kStatus},
       true,
       [](const Args&, Out& o) -> optional<std::int32_t> {
         return Via(GetNoMonitor, "GetNoMonitor")(o.Int(0));
       }},
      {"SetNoMonitor",
       16,
       {kInt},
       {kStatus},
       true,
       [](const Args& a, Out& o) -> optional<std::int32_t> {
         return Via(SetNoMonitor, "SetNoMonitor")(I(a, 0), o.Int(0));
       }},
      {"GetLinePlayBack",
       17,
       {},
       {kStatus},
       true,
       [](const Args&, Out& o) -> optional<std::int32_t> {
         return Via(GetLinePlayBack, "GetLinePlayBack")(o.Int(0));
       }},
      {"GetMicPlayBack",
       18,
       {},
       {kStatus},
       true,
       [](const Args&, Out& o) -> optional<std::int32_t> {
         return Via(GetMicPlayBack, "GetMicPlayBack")(o.Int(0));
       }},
      {"GetEQRange",
       19,
       {},
       {{"min", OutputType::Double}, {"max", OutputType::Double}, {"step", OutputType::Double}},
       true,
       [](const Args&, Out& o) -> optional<std::int32_t> {
         return Via(GetEQRange, "GetEQRange")(o.Double(0), o.Double(1), o.Double(2));
       }},
      {"SetBass",
       20,
       {kLevel},
       {kStatus},
       true,
       [](const Args& a, Out& o) -> optional<std::int32_t> {
         return Via(SetBass, "SetBass")(D(a, 0), o.Int(0));
       }},
      {"GetBass",
       21,
       {},
       {{"level", OutputType::Double}, kStatus},
       true,
       [](const Args&, Out& o) -> optional<std::int32_t> {
         return Via(GetBass, "GetBass")(o.Double(0), o.Int(1));
       }},
      {"SetTreble",
       22,
       {kLevel},
       {kStatus},
       true,
       [](const Args& a, Out& o) -> optional<std::int32_t> {
         return Via(SetTreble, "SetTreble")(D(a, 0), o.Int(0));
       }},
      {"GetTreble",
       23,
       {},
       {{"level", OutputType::Double}, kStatus},
       true,
       [](const Args&, Out& o) -> optional<std::int32_t> {
         return Via(GetTreble, "GetTreble")(o.Double(0), o.Int(1));
       }},
      {"SetMidRange",
       24,
       {kLevel},
       {kStatus},
       true,
       [](const Args& a, Out& o) -> optional<std::int32_t> {
         return Via(SetMidRange, "SetMidRange")(D(a, 0), o.Int(0));
       }},
      {"GetMidRange",
       25,
       {},
       {{"level", OutputType::Double}, kStatus},
       true,
       [](const Args&, Out& o) -> optional<std::int32_t> {
         return Via(GetMidRange, "GetMidRange")(o.Double(0), o.Int(1));
       }},
      {"GetMicRecordVolume",
       26,
       {},
       {kStatus},
       true,
       [](const Args&, Out& o) -> optional<std::int32_t> {
         return Via(GetMicRecordVolume, "GetMicRecordVolume")(o.Int(0));
       }},
      {"SetMicRecordVolume",
       27,
       {kInt},
       {kStatus},
       true,
       [](const Args& a, Out& o) -> optional<std::int32_t> {
         return Via(SetMicRecordVolume, "SetMicRecordVolume")(I(a, 0), o.Int(0));
       }},
      {"GetLineRecordVolume",
       28,
       {},
       {kStatus},
       true,
       [](const Args&, Out& o) -> optional<std::int32_t> {
         return Via(GetLineRecordVolume, "GetLineRecordVolume")(o.Int(0));
       }},
      {"SetLineRecordVolume",
       29,
       {kInt},
       {kStatus},
       true,
       [](const Args& a, Out& o) -> optional<std::int32_t> {
         return Via(SetLineRecordVolume, "SetLineRecordVolume")(I(a, 0), o.Int(0));
       }},
      {"OpenDefaultDevices",
       30,
       {},
       {},
       true,
       [](const Args&, Out&) -> optional<std::int32_t> {
         return Via(OpenDefaultDevices, "OpenDefaultDevices")();
       }},
      {"GetDeviceNames",
       31,
       {},
       {{"playback", OutputType::Text}, {"line", OutputType::Text}, {"mic", OutputType::Text}},
       false,
       [](const Args&, Out& o) -> optional<std::int32_t> {
         Via(GetDeviceNames, "GetDeviceNames")(o.Text(0), o.Text(1), o.Text(2));
         return std::nullopt;
       }},
      {"GetNumberPlayDevices",
       32,
       {},
       {{"count", OutputType::Int}},
       true,
       [](const Args&, Out& o) -> optional<std::int32_t> {
         return Via(GetNumberPlayDevices, "GetNumberPlayDevices")(o.Int(0));
       }},
      {"GetNumberRecordDevices",
       33,
       {},
       {{"count", OutputType::Int}},
       true,
       [](const Args&, Out& o) -> optional<std::int32_t> {
         return Via(GetNumberRecordDevices, "GetNumberRecordDevices")(o.Int(0));
       }},
      {"GetPlayBackDevice",
       34,
       {kIndex},
       {{"name", OutputType::Text}, {"id", OutputType::Text}},
       true,
       [](const Args& a, Out& o) -> optional<std::int32_t> {
         return Via(GetPlayBackDevice, "GetPlayBackDevice")(U(a, 0), o.Text(0), o.Text(1));
       }},
      {"GetRecordDevice",
       35,
       {kIndex},
       {{"name", OutputType::Text}, {"id", OutputType::Text}},
       true,
       [](const Args& a, Out& o) -> optional<std::int32_t> {
         return Via(GetRecordDevice, "GetRecordDevice")(U(a, 0), o.Text(0), o.Text(1));
       }},
      {"OpenVirtual_1",
       36,
       {kText},
       {},
       true,
       [](const Args& a, Out&) -> optional<std::int32_t> {
         return Via(OpenVirtual_1, "OpenVirtual_1")(T(a, 0));
       }},
      {"CloseVirtual_1",
       37,
       {},
       {},
       true,
       [](const Args&, Out&) -> optional<std::int32_t> {
         return Via(CloseVirtual_1, "CloseVirtual_1")();
       }},
      {"GetVirtualVolume",
       38,
       {},
       {kStatus},
       true,
       [](const Args&, Out& o) -> optional<std::int32_t> {
         return Via(GetVirtualVolume, "GetVirtualVolume")(o.Int(0));
       }},
      {"SetVirtualVolume",
       39,
       {kInt},
       {kStatus},
       true,
       [](const Args& a, Out& o) -> optional<std::int32_t> {
         return Via(SetVirtualVolume, "SetVirtualVolume")(I(a, 0), o.Int(0));
       }},
      {"SetVirtualMute",
       40,
       {kInt},
       {kStatus},
       true,
       [](const Args& a, Out& o) -> optional<std::int32_t> {
         return Via(SetVirtualMute, "SetVirtualMute")(I(a, 0), o.Int(0));
       }},
      {"GetVirtualMute",
       41,
       {},
       {kStatus},
       true,
       [](const Args&, Out& o) -> optional<std::int32_t> {
         return Via(GetVirtualMute, "GetVirtualMute")(o.Int(0));
       }},
      {"GetMicSliderBoost",
       42,
       {},
       {kStatus},
       true,
       [](const Args&, Out& o) -> optional<std::int32_t> {
         return Via(GetMicSliderBoost, "GetMicSliderBoost")(o.Int(0));
       }},
      {"GetMicSliderDetails",
       43,
       {},
       {kStatus, {"min", OutputType::Int}, {"max", OutputType::Int}, {"step", OutputType::Int}},
       true,
       [](const Args&, Out& o) -> optional<std::int32_t> {
         return Via(GetMicSliderDetails, "GetMicSliderDetails")(o.Int(0), o.Int(1), o.Int(2),
                                                                o.Int(3));
       }},
      {"SetMicSliderBoost",
       44,
       {kInt},
       {kStatus},
       true,
       [](const Args& a, Out& o) -> optional<std::int32_t> {
         return Via(SetMicSliderBoost, "SetMicSliderBoost")(I(a, 0), o.Int(0));
       }},
  };
  return table;
}

const ExportInfo* FindExport(const std::string& name) {
  for (const ExportInfo& info : Exports()) {
    if (name == info.name) return &info;
  }
  return nullptr;
}

}  // namespace veltomix
