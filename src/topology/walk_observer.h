// Watching the binding walks step by step. The walks tell an observer what
// they look at as they go, so that a tool can say where the search for a
// control ended from what binding itself did, not from a second copy of its
// rules. The exports install none: a watched step then costs one test of a
// null pointer.
#pragma once

#include <cstdint>
#include <span>

#include "core/control_table.h"
#include "platform/platform.h"

namespace velto {

// How a walk ended.
enum class Discovery {
  Completed,         // the walk ran to its end, found controls or not
  EndpointNotFound,  // no endpoint matched the search text: nothing was bound
  Failed,            // the endpoint was found, then a step failed
};

enum class WalkEvent : std::uint8_t {
  Seeking,     // the walk will search for `control` by `words`, told once as it starts
               // (`control` None: for the adapter's connectors)
  Joined,      // `part` is the adapter's connector the endpoint is joined to
  Searching,   // a search for `control` by `words` starts at `part` (a branch, a connector)
  NameTested,  // `part`'s name was tested against `words`: `match`
  NotOffered,  // `part` does not offer `interfaceName`, tried for `control`
  Bound,       // `control` is bound on `part` (null: the endpoint's own volume)
  Ended,       // a stretch of the walk ended at `part`, for the reason in `end`
};

enum class NameMatch : std::uint8_t { Matched, NotMatched, Unreadable };

// Why a stretch of a walk ended. Unless said otherwise the walk fails there.
enum class WalkEnd : std::uint8_t {
  EndpointNotFound,     // no active endpoint's id holds the search text
  EndpointUnavailable,  // found, but not to be had again by its id
  NoEndpointVolume,     // the endpoint offers no IAudioEndpointVolume
  NoTopology,           // the endpoint offers no device topology
  MasterUnreadable,     // the endpoint's master level or mute cannot be read
  NotJoined,            // the endpoint's connector 0 is not joined to an adapter's part
  NoAdapterTopology,    // the adapter's topology cannot be had from that part
  // Playback: the output chain, then its branches.
  ChainInputs,             // `part` has `count` inputs (not one): the chain ends, the walk goes on
  DeviceEdge,              // `part` has no inputs (E_NOTFOUND): the walk is complete there
  ChainPartWithoutInputs,  // `part`, on the chain, has no inputs
  ChainPartUnavailable,    // a part of the chain, or its upstream part 0, cannot be fetched
  ChainCountUnreadable,    // the count of a chain part's inputs cannot be read
  BranchUnavailable,       // branch `count` cannot be fetched
  BranchWithoutInputs,     // branch `part` has no inputs: passed over
  LevelNotOnChain,         // `control`: no part from the branch's inputs offers IAudioVolumeLevel
  LevelUnreadable,  // `control`'s level on `part` cannot be read: the path is left to a later
                    // branch (the level stays in its slot)
  AlreadyFound,     // `control`'s path was found on an earlier branch: not searched at `part`
  // Capture: the adapter's connectors.
  ConnectorCountUnreadable,
  ConnectorUnavailable,   // connector `count` cannot be fetched, or is not a part
  ConnectorFeedsNothing,  // connector `part` has no outgoing parts: passed over
  PathTooShort,           // no part two steps after the line connector (`part`: the first, if any)
  LineAtDeviceEdge,       // the line connector's first part `part` has no outgoing parts
                          // (E_NOTFOUND): passed over
  SearchRanOut,           // `control`: the boost search ran out of parts
  StepLimit,              // the walk went round a loop and stopped at its bound
};

struct WalkStep {
  WalkEvent event;
  ControlId control = ControlId::None;
  platform::Part* part = nullptr;
  // For a part tried as part 0 of a list (the line AGC), that list.
  platform::PartsList* list = nullptr;
  std::span<const char* const> words;
  NameMatch match = NameMatch::NotMatched;
  const char* interfaceName = nullptr;  // "IAudioBass"
  WalkEnd end = WalkEnd::StepLimit;
  std::uint32_t count = 0;
};

// The objects in a step are the walk's: an observer that wants one after the
// call returns takes a reference of its own. An observer makes no platform
// call while the walk runs (it may read names once the walk is over), so the
// walk makes the same calls, with the same answers, watched or not.
class WalkObserver {
 public:
  virtual void Step(const WalkStep& step) = 0;

 protected:
  ~WalkObserver() = default;
};

// "IAudioBass": the name a step's `interfaceName` gives the interface.
const char* InterfaceName(const BindsAs& as);

enum class WalkRole { Playback, Microphone, LineIn };

// Runs the binding walk of `role` on the endpoint that `searchText` finds, as
// OpenSoundCard would, telling `observer` each step. It binds into a record
// of its own, released before it returns: the mixer's bindings are not
// touched.
Discovery WatchWalk(WalkRole role, const char* searchText, WalkObserver& observer);

}  // namespace velto
