// The one process-wide record every export reads and writes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/com_scope.h"
#include "platform/platform.h"

namespace velto {

using platform::EndpointVolume;
using platform::LevelControl;
using platform::MuteControl;
using platform::Ref;
using platform::SwitchControl;

// A value read from a control at binding time. `valid` is set only by a
// successful read, so restore never writes back a value it did not read.
template <class T>
struct Saved {
  T value{};
  bool valid = false;

  void Record(platform::HRESULT hr, T read) {
    valid = hr == platform::kS_OK;
    if (valid) value = read;
  }
};

// The binding that fills a slot: the three of OpenSoundCard, and the
// virtual endpoint's own.
enum class BoundEndpoint : std::uint8_t { Playback, Microphone, LineIn, Virtual };

// A device name handed to the host: at most 254 characters and a NUL.
constexpr std::size_t kNameBufferSize = 255;
using NameBuffer = std::unique_ptr<std::array<char, kNameBufferSize>>;

struct MixerState {
  // Interface slots; the control table (core/control_table.h) has a row for
  // each.
  Ref<SwitchControl> lineAgc;
  Ref<LevelControl> linePlaybackLevel;
  Ref<MuteControl> linePlaybackMute;
  Ref<LevelControl> micPlaybackLevel;
  Ref<MuteControl> micPlaybackMute;
  Ref<SwitchControl> micBoostSwitch;  // IAudioAutoGainControl or IAudioLoudness
  Ref<LevelControl> micBoostLevel;
  Ref<LevelControl> bassControl;
  Ref<LevelControl> trebleControl;
  Ref<LevelControl> midrangeControl;
  Ref<EndpointVolume> playbackEndpoint;
  Ref<EndpointVolume> virtualEndpoint;
  Ref<EndpointVolume> micEndpoint;
  Ref<EndpointVolume> lineEndpoint;

  // Values at binding time, written back by RestoreSavedValues.
  Saved<float> savedLinePlaybackLevel;
  Saved<float> savedMicPlaybackLevel;
  Saved<float> savedPlaybackLevel;
  Saved<float> savedBass;
  Saved<float> savedTreble;
  Saved<float> savedMidrange;
  Saved<float> savedMicRecordLevel;
  Saved<float> savedLineRecordLevel;
  Saved<float> savedMicBoostLevel;
  Saved<std::int32_t> savedLinePlaybackMute;
  Saved<std::int32_t> savedMicPlaybackMute;
  Saved<std::int32_t> savedPlaybackMute;
  Saved<std::int32_t> savedMicBoostSwitch;
  Saved<std::int32_t> savedLineAgc;

  // The found endpoint's friendly name, narrowed; null until a lookup succeeds.
  std::unique_ptr<std::string> lastFoundName;
  NameBuffer playbackDeviceName;
  NameBuffer lineDeviceName;
  NameBuffer micDeviceName;
  // The id each binding found, by BoundEndpoint (the virtual one's is not
  // kept), as a text a lookup finds that endpoint by again: no endpoint
  // listed before it holds its whole id, or the lookup that bound it would
  // have found that one. Kept from the lookup on, even where the walk then
  // failed; for a host program that walks a bound endpoint again.
  std::array<std::string, 3> foundIds;

  // The device-bound marker: set by every binding that found its endpoint,
  // cleared by CloseSoundCard. The found id itself travels with the lookup
  // and is given back once the activation that needed it is done.
  bool deviceBound = false;

  // The multithreaded apartment, held from the first interface a binding
  // keeps until the last is released (SettleComHold). Declared last, so that
  // a record replaced whole releases its slots before the apartment.
  platform::MtaHold comHold;
};

// The process-wide record, made on first use. It is never destroyed:
// unloading the library releases no platform object. Each export fetches it
// once and hands it down.
inline MixerState& Mixer() {
  static MixerState* const state = new MixerState;
  return *state;
}

// Puts the record back to its state at load: releases every slot, forgets
// names and saved values. For test harnesses that swap the platform between
// runs; the exports never call it.
void ResetMixerState();

// Releases every interface slot but virtualEndpoint, in the release order of
// the control table.
void ReleaseBoundControls(MixerState& state);

// Gives the multithreaded apartment back once no slot holds an interface
// (virtualEndpoint included). Every binding export ends with it.
void SettleComHold(MixerState& state);

// Replaces `field` with a fresh buffer holding lastFoundName (cut to 254
// characters). Leaves the field null when no name was ever found.
void RefillDeviceName(MixerState& state, NameBuffer& field);

// Copies `text` into a host buffer of at least 255 bytes: at most 254
// characters and a NUL. A null buffer is not written.
void CopyToHostBuffer(char* buffer, const char* text);

// Writes through a host out-pointer unless it is null.
template <class T>
void WriteOut(T* out, T value) {
  if (out) *out = value;
}

}  // namespace velto
