// Walks upstream from the adapter's output: first along the single chain of
// parts in front of it (tone controls), then into each input the adapter
// mixes there (the line and microphone monitor paths).
#include <array>
#include <cstdint>

#include "core/endpoint_lookup.h"
#include "core/export_guard.h"
#include "core/mixer_state.h"
#include "topology/discovery.h"
#include "topology/walk_steps.h"

namespace velto {

using namespace platform;

namespace {

// A monitor path: an adapter input whose chain carries a part with one of
// the words in its name, a volume level on that chain and a mute on the
// input itself.
struct MonitorPath {
  std::array<const char*, 2> words;
  Ref<LevelControl>& level;
  Saved<float>& savedLevel;
  Ref<MuteControl>& mute;
  Saved<std::int32_t>& savedMute;
  // Whether a level that cannot be read leaves the path to a later input.
  bool levelMustBeReadable;
  bool found = false;
};

// Binds into `target` the first part, counted from the branch, that offers a
// volume level, following part 0 of each incoming list from `list`.
int FindUpstreamVolumeLevel(PartsList& list, Ref<LevelControl>& target, StepBudget& budget) {
  for (ListCursor cursor(list); budget.Take();) {
    Ref<Part> part = PartAt(*cursor, 0);
    if (!part) return 1;
    if (ActivateInto(*part, LevelInterface::AudioVolumeLevel, target)) return 0;
    if (!cursor.MoveTo(Incoming(*part))) return 1;
  }
  return 1;
}

// Follows part 0 upstream from the branch's inputs; at every part whose name
// matches, looks for a level from the start of the branch's chain. The level
// need not sit on the part that matched.
bool FindNamedLevel(CallBudget& callBudget, PartsList& branchInputs, const SearchWords& words,
                    Ref<LevelControl>& target) {
  StepBudget budget(callBudget);
  for (ListCursor cursor(branchInputs); budget.Take();) {
    Ref<Part> part = PartAt(*cursor, 0);
    if (!part) return false;
    if (words.Match(*part) && FindUpstreamVolumeLevel(branchInputs, target, budget) == 0) {
      return true;
    }
    if (!cursor.MoveTo(Incoming(*part))) return false;
  }
  return false;
}

void SearchMonitorPath(CallBudget& budget, MonitorPath& path, Part& branch,
                       PartsList& branchInputs) {
  if (path.found) return;
  if (!FindNamedLevel(budget, branchInputs, SearchWords(path.words), path.level)) return;
  const HRESULT read = RecordLevel(*path.level, path.savedLevel);
  if (path.levelMustBeReadable && read != kS_OK) return;
  path.found = true;
  if (ActivateInto(branch, MuteInterface::AudioMute, path.mute)) {
    RecordMute(*path.mute, path.savedMute);
  }
}

// A tone control is taken from the first part on the chain that offers it.
void BindToneControls(MixerState& state, Part& part) {
  const struct {
    LevelInterface iid;
    Ref<LevelControl>& slot;
    Saved<float>& saved;
  } tones[] = {
      {LevelInterface::AudioBass, state.bassControl, state.savedBass},
      {LevelInterface::AudioTreble, state.trebleControl, state.savedTreble},
      {LevelInterface::AudioMidrange, state.midrangeControl, state.savedMidrange},
  };
  for (const auto& tone : tones) {
    if (tone.slot) continue;
    if (ActivateInto(part, tone.iid, tone.slot)) RecordLevel(*tone.slot, tone.saved);
  }
}

// Follows the output's inputs upstream while each part has exactly one
// input, trying each part for tone controls, up to and including the first
// part with several inputs. On success `inputs` holds the input list of the
// last part reached and `count` its length (0 when the chain ends at the
// device's edge); false when a step fails.
bool FollowOutputChain(MixerState& state, CallBudget& callBudget, Ref<PartsList>& inputs,
                       std::uint32_t& count) {
  count = PartCount(*inputs).value_or(0);
  StepBudget budget(callBudget);
  while (count == 1) {
    if (!budget.Take()) return false;
    Ref<Part> part = PartAt(*inputs, 0);
    if (!part) return false;
    Ref<PartsList> upstream;
    const HRESULT incoming = part->EnumPartsIncoming(upstream);
    // A driver that keeps its volume in the wave filter ends the chain at the
    // bridge connector where data enters this device: nothing to mix there,
    // but the walk is complete.
    if (incoming == kE_NOTFOUND) {
      BindToneControls(state, *part);
      count = 0;
      return true;
    }
    if (!Obtained(incoming, upstream)) return false;
    BindToneControls(state, *part);
    if (!PartAt(*upstream, 0)) return false;
    const auto upstreamCount = PartCount(*upstream);
    if (!upstreamCount) return false;
    count = *upstreamCount;
    inputs = std::move(upstream);
  }
  return true;
}

int SearchBranches(MixerState& state, CallBudget& callBudget, PartsList& branches,
                   std::uint32_t count) {
  MonitorPath line{.words = {"line", "gree"},
                   .level = state.linePlaybackLevel,
                   .savedLevel = state.savedLinePlaybackLevel,
                   .mute = state.linePlaybackMute,
                   .savedMute = state.savedLinePlaybackMute,
                   .levelMustBeReadable = true};
  MonitorPath mic{.words = {"mic", "pin"},
                  .level = state.micPlaybackLevel,
                  .savedLevel = state.savedMicPlaybackLevel,
                  .mute = state.micPlaybackMute,
                  .savedMute = state.savedMicPlaybackMute,
                  .levelMustBeReadable = false};
  StepBudget budget(callBudget);
  for (std::uint32_t i = 0; i < count && budget.Take(); ++i) {
    Ref<Part> branch = PartAt(branches, i);
    if (!branch) return 1;
    Ref<PartsList> branchInputs = Incoming(*branch);
    if (!branchInputs) continue;
    SearchMonitorPath(callBudget, line, *branch, *branchInputs);
    SearchMonitorPath(callBudget, mic, *branch, *branchInputs);
  }
  return 0;
}

int WalkAdapter(MixerState& state, CallBudget& budget, Ref<DeviceTopology> topology) {
  if (RecordMasterLevel(*state.playbackEndpoint, state.savedPlaybackLevel) != kS_OK) return 1;
  if (RecordMute(*state.playbackEndpoint, state.savedPlaybackMute) != kS_OK) return 1;

  Ref<Part> output = JoinedAdapterPart(std::move(topology));
  if (!output) return 1;
  Ref<PartsList> inputs = Incoming(*output);
  if (!inputs) return 1;
  std::uint32_t count = 0;
  if (!FollowOutputChain(state, budget, inputs, count)) return 1;
  return SearchBranches(state, budget, *inputs, count);
}

Discovery WalkPlayback(MixerState& state, CallBudget& budget, const char* searchText,
                       DataFlow flow) {
  Ref<DeviceTopology> topology;
  switch (ActivateEndpoint(state, searchText, topology, state.playbackEndpoint, flow)) {
    case Activation::Activated:
      return WalkAdapter(state, budget, std::move(topology)) == 0 ? Discovery::Completed
                                                                  : Discovery::Failed;
    case Activation::NotFound:
      return Discovery::EndpointNotFound;
    default:
      return Discovery::Failed;
  }
}

}  // namespace

Discovery DiscoverPlaybackControls(MixerState& state, CallBudget& budget, const char* searchText,
                                   DataFlow flow) {
  return Guarded(Discovery::Failed, [&] { return WalkPlayback(state, budget, searchText, flow); });
}

}  // namespace velto
