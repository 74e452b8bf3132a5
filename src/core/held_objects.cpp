#include "core/held_objects.h"

namespace velto {

std::vector<HeldObject> HeldObjects() {
  const MixerState& state = Mixer();
  std::vector<HeldObject> held;
  for (const ControlRow& row : kControls) {
    WithSlot(state, row, [&](const auto& slot) {
      if (slot) held.push_back({row.id, slot->Identity()});
    });
  }
  return held;
}

std::string FoundEndpointId(BoundEndpoint endpoint) {
  const auto& ids = Mixer().foundIds;
  const auto index = static_cast<std::size_t>(endpoint);
  return index < ids.size() ? ids[index] : std::string();
}

}  // namespace velto
