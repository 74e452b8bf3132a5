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
  ControlId levelControl;
  ControlId muteControl;
  // Whether a level that cannot be read leaves the path to a later input.
  bool levelMustBeReadable;
  bool found = false;
};

constexpr MonitorPath kLineMonitor{.words = {"line", "gree"},
                                   .levelControl = ControlId::LinePlaybackLevel,
                                   .muteControl = ControlId::LinePlaybackMute,
                                   .levelMustBeReadable = true};
constexpr MonitorPath kMicMonitor{.words = {"mic", "pin"},
                                  .levelControl = ControlId::MicPlaybackLevel,
                                  .muteControl = ControlId::MicPlaybackMute,
                                  .levelMustBeReadable = false};

// Binds into `target` the first part, counted from the branch, that offers a
// volume level, following part 0 of each incoming list from `list`.
int FindUpstreamVolumeLevel(MixerState& state, PartsList& list, ControlId control,
                            StepBudget& budget) {
  for (ListCursor cursor(list); budget.Take();) {
    Ref<Part> part = PartAt(*cursor, 0);
    if (!part) break;
    if (BindControl(*part, state, control, {budget.Call()})) return 0;
    if (!cursor.MoveTo(Incoming(*part))) break;
  }
  budget.Call().Tell(
      {.event = WalkEvent::Ended, .control = control, .end = WalkEnd::LevelNotOnChain});
  return 1;
}

// Follows part 0 upstream from the branch's inputs; at every part whose name
// matches, looks for a level from the start of the branch's chain. The level
// need not sit on the part that matched.
bool FindNamedLevel(MixerState& state, CallBudget& callBudget, PartsList& branchInputs,
                    const MonitorPath& path) {
  const SearchWords words(path.words);
  StepBudget budget(callBudget);
  for (ListCursor cursor(branchInputs); budget.Take();) {
    Ref<Part> part = PartAt(*cursor, 0);
    if (!part) return false;
    const NameMatch match = words.Test(*part);
    callBudget.Tell({.event = WalkEvent::NameTested,
                     .control = path.levelControl,
                     .part = part.Get(),
                     .words = path.words,
                     .match = match});
    if (match == NameMatch::Matched &&
        FindUpstreamVolumeLevel(state, branchInputs, path.levelControl, budget) == 0) {
      return true;
    }
    if (!cursor.MoveTo(Incoming(*part))) return false;
  }
  callBudget.Tell(
      {.event = WalkEvent::Ended, .control = path.levelControl, .end = WalkEnd::StepLimit});
  return false;
}

void SearchMonitorPath(MixerState& state, CallBudget& budget, MonitorPath& path, Part& branch,
                       PartsList& branchInputs) {
  if (path.found) {
    budget.Tell({.event = WalkEvent::Ended,
                 .control = path.levelControl,
                 .part = &branch,
                 .end = WalkEnd::AlreadyFound});
    return;
  }
  budget.Tell({.event = WalkEvent::Searching,
               .control = path.levelControl,
               .part = &branch,
               .words = path.words});
  if (!FindNamedLevel(state, budget, branchInputs, path)) return;
  const HRESULT read = RecordSaved(state, path.levelControl);
  if (path.levelMustBeReadable && read != kS_OK) {
    budget.Tell(
        {.event = WalkEvent::Ended, .control = path.levelControl, .end = WalkEnd::LevelUnreadable});
    return;
  }
  path.found = true;
  if (BindControl(branch, state, path.muteControl, {budget})) {
    RecordSaved(state, path.muteControl);
  }
}

// A tone control is taken from the first part on the chain that offers it.
void BindToneControls(MixerState& state, const CallBudget& budget, Part& part) {
  for (const ControlId tone : {ControlId::Bass, ControlId::Treble, ControlId::Midrange}) {
    if (WithSlot(state, RowOf(tone), [](const auto& slot) { return bool(slot); })) continue;
    if (BindControl(part, state, tone, {budget})) RecordSaved(state, tone);
  }
}

// Tells where and why a stretch of the walk ended; false, for a step that
// failed to return.
bool TellEnd(const CallBudget& budget, WalkEnd end, Part* part = nullptr) {
  budget.Tell({.event = WalkEvent::Ended, .part = part, .end = end});
  return false;
}

// The chain ends at `part`, whose inputs (when there are several) are the
// branches.
void TellChainInputs(const CallBudget& budget, Part& part, std::uint32_t count) {
  budget.Tell(
      {.event = WalkEvent::Ended, .part = &part, .end = WalkEnd::ChainInputs, .count = count});
}

// Follows the output's inputs upstream while each part has exactly one
// input, trying each part for tone controls, up to and including the first
// part with several inputs. On success `inputs` holds the input list of the
// last part reached and `count` its length (0 when the chain ends at the
// device's edge); false when a step fails.
bool FollowOutputChain(MixerState& state, CallBudget& callBudget, Part& output,
                       Ref<PartsList>& inputs, std::uint32_t& count) {
  count = PartCount(*inputs).value_or(0);
  if (count != 1) TellChainInputs(callBudget, output, count);
  StepBudget budget(callBudget);
  while (count == 1) {
    if (!budget.Take()) return TellEnd(callBudget, WalkEnd::StepLimit);
    Ref<Part> part = PartAt(*inputs, 0);
    if (!part) return TellEnd(callBudget, WalkEnd::ChainPartUnavailable);
    Ref<PartsList> upstream;
    const HRESULT incoming = part->EnumPartsIncoming(upstream);
    // A driver that keeps its volume in the wave filter ends the chain at the
    // bridge connector where data enters this device: nothing to mix there,
    // but the walk is complete.
    if (incoming == kE_NOTFOUND) {
      BindToneControls(state, callBudget, *part);
      TellEnd(callBudget, WalkEnd::DeviceEdge, part.Get());
      count = 0;
      return true;
    }
    if (!Obtained(incoming, upstream)) {
      return TellEnd(callBudget, WalkEnd::ChainPartWithoutInputs, part.Get());
    }
    BindToneControls(state, callBudget, *part);
    if (!PartAt(*upstream, 0)) return TellEnd(callBudget, WalkEnd::ChainPartUnavailable);
    const auto upstreamCount = PartCount(*upstream);
    if (!upstreamCount) return TellEnd(callBudget, WalkEnd::ChainCountUnreadable, part.Get());
    count = *upstreamCount;
    if (count != 1) TellChainInputs(callBudget, *part, count);
    inputs = std::move(upstream);
  }
  return true;
}

int SearchBranches(MixerState& state, CallBudget& callBudget, PartsList& branches,
                   std::uint32_t count) {
  MonitorPath line = kLineMonitor;
  MonitorPath mic = kMicMonitor;
  StepBudget budget(callBudget);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!budget.Take()) {
      TellEnd(callBudget, WalkEnd::StepLimit);
      break;
    }
    Ref<Part> branch = PartAt(branches, i);
    if (!branch) {
      callBudget.Tell({.event = WalkEvent::Ended, .end = WalkEnd::BranchUnavailable, .count = i});
      return 1;
    }
    Ref<PartsList> branchInputs = Incoming(*branch);
    if (!branchInputs) {
      TellEnd(callBudget, WalkEnd::BranchWithoutInputs, branch.Get());
      continue;
    }
    SearchMonitorPath(state, callBudget, line, *branch, *branchInputs);
    SearchMonitorPath(state, callBudget, mic, *branch, *branchInputs);
  }
  return 0;
}

int WalkAdapter(MixerState& state, CallBudget& budget, Ref<DeviceTopology> topology) {
  if (RecordSaved(state, ControlId::PlaybackEndpoint) != kS_OK) {
    TellEnd(budget, WalkEnd::MasterUnreadable);
    return 1;
  }

  Ref<Part> output = JoinedAdapterPart(std::move(topology), budget);
  if (!output) return 1;
  Ref<PartsList> inputs = Incoming(*output);
  if (!inputs) {
    TellEnd(budget, WalkEnd::ChainPartWithoutInputs, output.Get());
    return 1;
  }
  std::uint32_t count = 0;
  if (!FollowOutputChain(state, budget, *output, inputs, count)) return 1;
  return SearchBranches(state, budget, *inputs, count);
}

Discovery WalkPlayback(MixerState& state, CallBudget& budget, const char* searchText,
                       DataFlow flow) {
  Ref<DeviceTopology> topology;
  for (const MonitorPath& path : {kLineMonitor, kMicMonitor}) {
    budget.Tell({.event = WalkEvent::Seeking, .control = path.levelControl, .words = path.words});
  }
  const Activation activation =
      ActivateEndpoint(state, searchText, topology, ControlId::PlaybackEndpoint, flow);
  TellActivation(budget, activation, ControlId::PlaybackEndpoint);
  switch (activation) {
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
