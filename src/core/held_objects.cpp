#include "core/held_objects.h"

#include "core/mixer_state.h"

namespace velto {

namespace {

template <class T>
void Add(std::vector<HeldObject>& held, HeldSlot slot, const platform::Ref<T>& ref) {
  if (ref) held.push_back({slot, ref->Identity()});
}

}  // namespace

std::vector<HeldObject> HeldObjects() {
  const MixerState& state = Mixer();
  std::vector<HeldObject> held;
  Add(held, HeldSlot::LineAgc, state.lineAgc);
  Add(held, HeldSlot::LinePlaybackLevel, state.linePlaybackLevel);
  Add(held, HeldSlot::LinePlaybackMute, state.linePlaybackMute);
  Add(held, HeldSlot::MicPlaybackLevel, state.micPlaybackLevel);
  Add(held, HeldSlot::MicPlaybackMute, state.micPlaybackMute);
  Add(held, HeldSlot::MicBoostSwitch, state.micBoostSwitch);
  Add(held, HeldSlot::MicBoostLevel, state.micBoostLevel);
  Add(held, HeldSlot::Bass, state.bassControl);
  Add(held, HeldSlot::Treble, state.trebleControl);
  Add(held, HeldSlot::Midrange, state.midrangeControl);
  Add(held, HeldSlot::PlaybackEndpoint, state.playbackEndpoint);
  Add(held, HeldSlot::VirtualEndpoint, state.virtualEndpoint);
  Add(held, HeldSlot::MicEndpoint, state.micEndpoint);
  Add(held, HeldSlot::LineEndpoint, state.lineEndpoint);
  return held;
}

}  // namespace velto
