#include "platform/description/model.h"

#include <algorithm>
#include <cmath>

#include "platform/description/text.h"
#include "platform/readable.h"

namespace velto::description {

namespace p = platform;

const std::array<const char*, kLevelKinds> kLevelKeys = {"volume", "bass", "treble", "midrange"};
const std::array<const char*, kSwitchKinds> kSwitchKeys = {"agc", "loudness"};
const std::array<const char*, 4> kRoundingNames = {"exact", "nearest", "up", "down"};

float SteppedLevel(const LevelState& level, float asked, Rounding rounding) {
  const float clamped = std::clamp(asked, level.min, level.max);
  // The ends are always reachable, on the grid or not.
  const bool end = clamped == level.min || clamped == level.max;
  if (end || rounding == Rounding::Exact || !(level.step > 0)) return clamped;
  // Grid points are computed in double from the float inputs, so a value that
  // is on the grid (as the description or an earlier set left it) stays put
  // whichever way the control rounds.
  const double steps = (static_cast<double>(clamped) - level.min) / level.step;
  const double nearest = std::round(steps);
  double k = std::floor(steps);
  if (std::abs(steps - nearest) < 1e-6) {
    k = nearest;
  } else if (rounding == Rounding::Up || (rounding == Rounding::Nearest && steps - k > 0.5)) {
    k += 1;
  }
  const double grid = static_cast<double>(level.min) + k * level.step;
  return std::min(static_cast<float>(grid), level.max);
}

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
