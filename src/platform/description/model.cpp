#include "platform/description/model.h"

#include "platform/description/text.h"

namespace velto::description {

namespace p = platform;

const std::array<const char*, kLevelKinds> kLevelKeys = {"volume", "bass", "treble", "midrange"};
const std::array<const char*, kSwitchKinds> kSwitchKeys = {"agc", "loudness"};

const std::array<const char*, 9> kInterfaceNames = {
    "IDeviceTopology", "IAudioEndpointVolume",  "IAudioVolumeLevel", "IAudioBass", "IAudioTreble",
    "IAudioMidrange",  "IAudioAutoGainControl", "IAudioLoudness",    "IAudioMute"};

const std::array<NamedState, 4> kDeviceStates = {{
    {"active", p::kDeviceStateActive},
    {"disabled", p::kDeviceStateDisabled},
    {"notpresent", p::kDeviceStateNotPresent},
    {"unplugged", p::kDeviceStateUnplugged},
}};

namespace {

struct NamedResult {
  const char* name;
  p::HRESULT value;
};
constexpr NamedResult kNamedResults[] = {
    {"S_OK", p::kS_OK},
    {"S_FALSE", p::kS_FALSE},
    {"E_NOTIMPL", p::kE_NOTIMPL},
    {"E_NOINTERFACE", p::kE_NOINTERFACE},
    {"E_POINTER", p::kE_POINTER},
    {"E_FAIL", p::kE_FAIL},
    {"E_INVALIDARG", p::kE_INVALIDARG},
    {"E_OUTOFMEMORY", p::kE_OUTOFMEMORY},
    {"E_NOTFOUND", p::kE_NOTFOUND},
    {"RPC_E_CHANGED_MODE", p::kRPC_E_CHANGED_MODE},
    {"ERROR_INVALID_FUNCTION", p::kHrInvalidFunction},
    {"AUDCLNT_E_DEVICE_INVALIDATED", p::kAUDCLNT_E_DEVICE_INVALIDATED},
};

}  // namespace

const char* StateName(std::uint32_t state) {
  for (const NamedState& named : kDeviceStates) {
    if (named.value == state) return named.name;
  }
  return "active";
}

const char* FlowName(p::DataFlow flow) {
  return flow == p::DataFlow::Render ? "render" : "capture";
}

std::optional<p::HRESULT> ParseResult(const std::string& text) {
  for (const NamedResult& named : kNamedResults) {
    if (text == named.name) return named.value;
  }
  const bool hex = text.size() > 2 && text.size() <= 10 && text[0] == '0' &&
                   (text[1] == 'x' || text[1] == 'X') &&
                   text.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos;
  if (!hex) return std::nullopt;
  return static_cast<p::HRESULT>(
      static_cast<std::uint32_t>(std::stoul(text.substr(2), nullptr, 16)));
}

std::string ResultName(p::HRESULT result) {
  for (const NamedResult& named : kNamedResults) {
    if (named.value == result) return named.name;
  }
  return FormatHex(static_cast<std::uint32_t>(result));
}

}  // namespace velto::description
