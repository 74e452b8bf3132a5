// The six percentage volume controls.
#pragma once

namespace velto {

enum class VolumeControl {
  Master,        // playbackEndpoint
  LinePlayback,  // linePlaybackLevel
  MicPlayback,   // micPlaybackLevel
  LineRecord,    // lineEndpoint
  MicRecord,     // micEndpoint
  Virtual,       // virtualEndpoint
};

// Writes `levelDb` unchanged to the control with exactly the set calls its
// setter makes (every channel, or the master level), skipping the percentage
// conversion. Used to put back a level read at binding time. False when the
// slot is empty or a write failed.
bool WriteVolumeLevel(VolumeControl control, float levelDb);

}  // namespace velto
