// Which simulated object a MixerState slot holds: shared by the discovery
// tests and the test that --why tells what binding did.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

#include "core/mixer_state.h"
#include "platform/sim/sim_system.h"

namespace velto::testing {

// The path of the simulated object a slot holds ("" when empty), read from
// the trace of one harmless call on it.
template <class Control>
std::string SlotObject(const Ref<Control>& slot) {
  if (!slot) return "";
  sim::SimSystem& system = sim::Installed();
  const std::size_t before = system.Trace().size();
  system.SetTracing(true);
  if constexpr (std::is_same_v<Control, MuteControl>) {
    std::int32_t mute = 0;
    slot->GetMute(&mute);
  } else if constexpr (std::is_same_v<Control, SwitchControl>) {
    std::int32_t enabled = 0;
    slot->GetEnabled(&enabled);
  } else {
    std::uint32_t count = 0;
    slot->GetChannelCount(&count);
  }
  system.SetTracing(false);
  const auto& trace = system.Trace();
  return trace.size() > before ? trace[before].object : "<untraced>";
}

}  // namespace velto::testing
