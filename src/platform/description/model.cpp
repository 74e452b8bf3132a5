#include "platform/description/model.h"

#include "platform/description/text.h"
#include "platform/readable.h"

namespace velto::description {

namespace p = platform;

const std::array<const char*, kLevelKinds> kLevelKeys = {"volume", "bass", "treble", "midrange"};
const std::array<const char*, kSwitchKinds> kSwitchKeys = {"agc", "loudness"};

const std::array<NamedState, 4> kDeviceStates = {{
    {"active", p::kDeviceStateActive},
    {"disabled", p::kDeviceStateDisabled},
    {"notpresent", p::kDeviceStateNotPresent},
    {"unplugged", p::kDeviceStateUnplugged},
}};

const char* StateName(std::uint32_t state) {
  for (const NamedState& named : kDeviceStates) {
    if (named.value == state) return named.name;
  }
  return "active";
}

const char* FlowName(p::DataFlow flow) {
  return flow == p::DataFlow::Render ? p::FlowText(p::DataFlow::Render)
                                     : p::FlowText(p::DataFlow::Capture);
}

std::optional<p::HRESULT> ParseResult(const std::string& text) {
  if (const auto named = p::ResultByName(text)) return named;
  const bool hex = text.size() > 2 && text.size() <= 10 && text[0] == '0' &&
                   (text[1] == 'x' || text[1] == 'X') &&
                   text.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos;
  if (!hex) return std::nullopt;
  return static_cast<p::HRESULT>(
      static_cast<std::uint32_t>(std::stoul(text.substr(2), nullptr, 16)));
}

}  // namespace velto::description
