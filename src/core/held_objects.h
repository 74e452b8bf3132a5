// Which platform objects the record holds, for a host program that shows
// what binding chose (veltomix marks those parts in a topology). Only
// identities leave here: nothing can call, keep or change a held object
// through this view.
#pragma once

#include <vector>

namespace velto {

// The record's interface slots, in its field order.
enum class HeldSlot {
  LineAgc,
  LinePlaybackLevel,
  LinePlaybackMute,
  MicPlaybackLevel,
  MicPlaybackMute,
  MicBoostSwitch,
  MicBoostLevel,
  Bass,
  Treble,
  Midrange,
  PlaybackEndpoint,
  VirtualEndpoint,
  MicEndpoint,
  LineEndpoint,
};

struct HeldObject {
  HeldSlot slot;
  const void* identity;  // platform::Unknown::Identity of the object in the slot
};

// The filled slots, in field order.
std::vector<HeldObject> HeldObjects();

}  // namespace velto
