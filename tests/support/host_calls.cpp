#include "host_calls.h"

#include <cstring>
#include <sstream>
#include <stdexcept>

#include "veltosound.h"

namespace velto::hardening {

namespace {

constexpr unsigned char kCanary = 0xA5;
constexpr std::size_t kGuardBytes = 64;

bool SameLevel(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;  // bit for bit: NaN equals itself, -0 is not 0
}

// One host call's frame: the out parameters the host passes and what became
// of them.
class HostFrame {
 public:
  explicit HostFrame(const Inputs& inputs) : inputs_(inputs) {
    for (auto& buffer : buffers_) buffer.fill(kCanary);
  }

  const char* Text(int param) const {
    return IsNull(param) ? nullptr : inputs_.texts[static_cast<std::size_t>(param)].c_str();
  }
  int* Status(int param) { return IsNull(param) ? nullptr : &outcome_.status; }
  int* Int(int param, std::size_t slot) { return IsNull(param) ? nullptr : &outcome_.ints[slot]; }
  double* Level(int param, std::size_t slot) {
    return IsNull(param) ? nullptr : &outcome_.levels[slot];
  }
  char* Buffer(int param, std::size_t slot) {
    return IsNull(param) ? nullptr : reinterpret_cast<char*>(buffers_[slot].data());
  }

  Outcome Finish(std::int32_t result) {
    outcome_.result = result;
    return FinishVoid();
  }
  Outcome FinishVoid() {
    for (std::size_t slot = 0; slot < buffers_.size(); ++slot) ReadBuffer(slot);
    return outcome_;
  }

 private:
  bool IsNull(int param) const { return (inputs_.nullPointers >> param) & 1u; }

  void ReadBuffer(std::size_t slot) {
    const auto& buffer = buffers_[slot];
    for (std::size_t i = kHostBufferSize; i < buffer.size(); ++i) {
      if (buffer[i] != kCanary) {
        outcome_.overruns.push_back("buffer " + std::to_string(slot) + " written at byte " +
                                    std::to_string(i));
        break;
      }
    }
    bool written = false;
    for (std::size_t i = 0; i < kHostBufferSize; ++i) written = written || buffer[i] != kCanary;
    if (!written) return;
    const void* end = std::memchr(buffer.data(), 0, kHostBufferSize);
    if (!end) {
      outcome_.overruns.push_back("buffer " + std::to_string(slot) + " has no NUL in 255 bytes");
      return;
    }
    const auto* begin = reinterpret_cast<const char*>(buffer.data());
    outcome_.texts[slot] = std::string(begin, static_cast<const char*>(end));
  }

  const Inputs& inputs_;
  Outcome outcome_;
  std::array<std::array<unsigned char, kHostBufferSize + kGuardBytes>, 3> buffers_;
};

// --- One adapter per signature ------------------------------------------------

template <int(VELTO_CALL* Export)(int*)>
Outcome StatusOut(const Inputs& in) {
  HostFrame frame(in);
  return frame.Finish(Export(frame.Status(0)));
}

template <int(VELTO_CALL* Export)(int, int*)>
Outcome ValueAndStatus(const Inputs& in) {
  HostFrame frame(in);
  return frame.Finish(Export(in.value, frame.Status(0)));
}

template <int(VELTO_CALL* Export)(double*, int*)>
Outcome LevelOutAndStatus(const Inputs& in) {
  HostFrame frame(in);
  return frame.Finish(Export(frame.Level(0, 0), frame.Status(1)));
}

template <int(VELTO_CALL* Export)(double, int*)>
Outcome LevelAndStatus(const Inputs& in) {
  HostFrame frame(in);
  return frame.Finish(Export(in.level, frame.Status(0)));
}

template <int(VELTO_CALL* Export)(int*)>
Outcome CountOut(const Inputs& in) {
  HostFrame frame(in);
  return frame.Finish(Export(frame.Int(0, 0)));
}

template <int(VELTO_CALL* Export)(unsigned int, char*, char*)>
Outcome DescribeOut(const Inputs& in) {
  HostFrame frame(in);
  return frame.Finish(Export(in.index, frame.Buffer(0, 0), frame.Buffer(1, 1)));
}

Outcome CallOpenSoundCard(const Inputs& in) {
  HostFrame frame(in);
  return frame.Finish(OpenSoundCard(frame.Text(0), frame.Text(1), frame.Text(2)));
}
Outcome CallOpenDefaultDevices(const Inputs& in) {
  HostFrame frame(in);
  return frame.Finish(OpenDefaultDevices());
}
Outcome CallCloseSoundCard(const Inputs& in) {
  HostFrame frame(in);
  return frame.Finish(CloseSoundCard(in.value));
}
Outcome CallOpenVirtual(const Inputs& in) {
  HostFrame frame(in);
  return frame.Finish(OpenVirtual_1(frame.Text(0)));
}
Outcome CallCloseVirtual(const Inputs& in) {
  HostFrame frame(in);
  return frame.Finish(CloseVirtual_1());
}
Outcome CallGetDeviceNames(const Inputs& in) {
  HostFrame frame(in);
  GetDeviceNames(frame.Buffer(0, 0), frame.Buffer(1, 1), frame.Buffer(2, 2));
  return frame.FinishVoid();
}
Outcome CallGetEQRange(const Inputs& in) {
  HostFrame frame(in);
  return frame.Finish(GetEQRange(frame.Level(0, 0), frame.Level(1, 1), frame.Level(2, 2)));
}
Outcome CallGetMicSliderDetails(const Inputs& in) {
  HostFrame frame(in);
  return frame.Finish(
      GetMicSliderDetails(frame.Status(0), frame.Int(1, 0), frame.Int(2, 1), frame.Int(3, 2)));
}

// --- Reporting rules -----------------------------------------------------------

ControlRules Plain() { return {}; }
ControlRules Virtual(ControlRules rules = {}) {
  rules.checksDevice = false;
  return rules;
}
ControlRules VolumeSetter(bool failureReturnsValue, bool perChannel) {
  ControlRules rules;
  rules.failureReturnsValue = failureReturnsValue;
  rules.perChannel = perChannel;
  return rules;
}
ControlRules AcceptingInvalidFunction(ControlRules rules) {
  rules.invalidFunctionIsSuccess = true;
  return rules;
}
ControlRules WriteFailureIsMissing() {
  ControlRules rules;
  rules.writeFailure = 1;
  return rules;
}
ControlRules SucceedsWithOne() {
  ControlRules rules;
  rules.successResult = 1;
  return rules;
}

std::vector<HostCall> BuildTable() {
  using F = Family;
  return {
      {"GetMasterVolume", F::VolumeGet, 1, Plain(), StatusOut<GetMasterVolume>},
      {"SetMasterVolume", F::VolumeSet, 1, VolumeSetter(true, true),
       ValueAndStatus<SetMasterVolume>},
      {"GetMasterMute", F::SwitchGet, 1, Plain(), StatusOut<GetMasterMute>},
      {"SetMasterMute", F::SwitchSet, 1, WriteFailureIsMissing(), ValueAndStatus<SetMasterMute>},
      {"OpenSoundCard", F::Open, 3, Plain(), CallOpenSoundCard},
      {"CloseSoundCard", F::Close, 0, Plain(), CallCloseSoundCard},
      {"SetLinePlayBack", F::VolumeSet, 1, VolumeSetter(false, true),
       ValueAndStatus<SetLinePlayBack>},
      {"SetLinePlayBackMute", F::SwitchSet, 1, Plain(), ValueAndStatus<SetLinePlayBackMute>},
      {"GetLinePlayBackMute", F::SwitchGet, 1, Plain(), StatusOut<GetLinePlayBackMute>},
      {"SetMicPlayBack", F::VolumeSet, 1, AcceptingInvalidFunction(VolumeSetter(false, true)),
       ValueAndStatus<SetMicPlayBack>},
      {"SetMicPlayBackMute", F::SwitchSet, 1, AcceptingInvalidFunction(Plain()),
       ValueAndStatus<SetMicPlayBackMute>},
      {"GetMicPlayBackMute", F::SwitchGet, 1, Plain(), StatusOut<GetMicPlayBackMute>},
      {"SetMicBoost", F::SwitchSet, 1, Plain(), ValueAndStatus<SetMicBoost>},
      {"GetMicBoost", F::SwitchGet, 1, Plain(), StatusOut<GetMicBoost>},
      {"GetNoMonitor", F::SwitchGet, 1, Plain(), StatusOut<GetNoMonitor>},
      {"SetNoMonitor", F::SwitchSet, 1, Plain(), ValueAndStatus<SetNoMonitor>},
      {"GetLinePlayBack", F::VolumeGet, 1, Plain(), StatusOut<GetLinePlayBack>},
      {"GetMicPlayBack", F::VolumeGet, 1, Plain(), StatusOut<GetMicPlayBack>},
      {"GetEQRange", F::EqRange, 3, Plain(), CallGetEQRange},
      {"SetBass", F::ToneSet, 1, Plain(), LevelAndStatus<SetBass>},
      {"GetBass", F::ToneGet, 2, Plain(), LevelOutAndStatus<GetBass>},
      {"SetTreble", F::ToneSet, 1, Plain(), LevelAndStatus<SetTreble>},
      {"GetTreble", F::ToneGet, 2, Plain(), LevelOutAndStatus<GetTreble>},
      {"SetMidRange", F::ToneSet, 1, SucceedsWithOne(), LevelAndStatus<SetMidRange>},
      {"GetMidRange", F::ToneGet, 2, SucceedsWithOne(), LevelOutAndStatus<GetMidRange>},
      {"GetMicRecordVolume", F::VolumeGet, 1, Plain(), StatusOut<GetMicRecordVolume>},
      {"SetMicRecordVolume", F::VolumeSet, 1, VolumeSetter(true, false),
       ValueAndStatus<SetMicRecordVolume>},
      {"GetLineRecordVolume", F::VolumeGet, 1, Plain(), StatusOut<GetLineRecordVolume>},
      {"SetLineRecordVolume", F::VolumeSet, 1, VolumeSetter(true, false),
       ValueAndStatus<SetLineRecordVolume>},
      {"OpenDefaultDevices", F::OpenDefaults, 0, Plain(), CallOpenDefaultDevices},
      {"GetDeviceNames", F::Names, 3, Plain(), CallGetDeviceNames},
      {"GetNumberPlayDevices", F::Count, 1, Plain(), CountOut<GetNumberPlayDevices>},
      {"GetNumberRecordDevices", F::Count, 1, Plain(), CountOut<GetNumberRecordDevices>},
      {"GetPlayBackDevice", F::Describe, 2, Plain(), DescribeOut<GetPlayBackDevice>},
      {"GetRecordDevice", F::Describe, 2, Plain(), DescribeOut<GetRecordDevice>},
      {"OpenVirtual_1", F::OpenVirtual, 1, Plain(), CallOpenVirtual},
      {"CloseVirtual_1", F::CloseVirtual, 0, Plain(), CallCloseVirtual},
      {"GetVirtualVolume", F::VolumeGet, 1, Virtual(), StatusOut<GetVirtualVolume>},
      {"SetVirtualVolume", F::VolumeSet, 1, Virtual(VolumeSetter(true, true)),
       ValueAndStatus<SetVirtualVolume>},
      {"SetVirtualMute", F::SwitchSet, 1, Virtual(WriteFailureIsMissing()),
       ValueAndStatus<SetVirtualMute>},
      {"GetVirtualMute", F::SwitchGet, 1, Virtual(), StatusOut<GetVirtualMute>},
      {"GetMicSliderBoost", F::BoostGet, 1, Plain(), StatusOut<GetMicSliderBoost>},
      {"GetMicSliderDetails", F::BoostDetails, 4, Plain(), CallGetMicSliderDetails},
      {"SetMicSliderBoost", F::BoostSet, 1, Plain(), ValueAndStatus<SetMicSliderBoost>},
  };
}

}  // namespace

bool Outcome::operator==(const Outcome& other) const {
  for (std::size_t i = 0; i < levels.size(); ++i) {
    if (!SameLevel(levels[i], other.levels[i])) return false;
  }
  return result == other.result && status == other.status && ints == other.ints &&
         texts == other.texts && overruns == other.overruns;
}

std::string Outcome::Describe() const {
  std::ostringstream out;
  auto value = [&out](std::int32_t v) {
    if (v == kUnset) {
      out << "unset";
    } else {
      out << v;
    }
  };
  out << "result=";
  value(result);
  out << " status=";
  value(status);
  for (std::size_t i = 0; i < ints.size(); ++i) {
    if (ints[i] == kUnset) continue;
    out << " int" << i << "=" << ints[i];
  }
  for (std::size_t i = 0; i < levels.size(); ++i) {
    if (SameLevel(levels[i], kUnsetLevel)) continue;
    out << " level" << i << "=" << levels[i];
  }
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (texts[i]) out << " text" << i << "=\"" << *texts[i] << "\"";
  }
  for (const std::string& overrun : overruns) out << " OVERRUN(" << overrun << ")";
  return out.str();
}

const std::vector<HostCall>& AllHostCalls() {
  static const std::vector<HostCall> table = BuildTable();
  return table;
}

const HostCall& HostCallNamed(const std::string& name) {
  for (const HostCall& call : AllHostCalls()) {
    if (name == call.name) return call;
  }
  throw std::invalid_argument("no export " + name);
}

}  // namespace velto::hardening
