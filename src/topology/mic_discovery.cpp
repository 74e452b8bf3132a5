// The microphone boost lies somewhere downstream of the adapter's microphone
// connector: a switch if there is one, otherwise a level.
#include <array>
#include <functional>
#include <initializer_list>
#include <optional>

#include "core/export_guard.h"
#include "core/mixer_state.h"
#include "topology/capture_walk.h"
#include "topology/discovery.h"
#include "topology/walk_steps.h"

namespace velto {

using namespace platform;

namespace {

// Looks at every part of a list in index order for a boost name that
// `activate` accepts, then moves one level downstream by way of the list's
// last part only. Returns 0 when `activate` succeeded, 1 when the walk ran
// out.
constexpr std::array<const char*, 3> kBoostWords{"boost", "+2", "agc"};

int SearchRanOut(const CallBudget& budget, WalkControl control, WalkEnd end) {
  budget.Tell({.event = WalkEvent::Ended, .control = control, .end = end});
  return 1;
}

// How a boost search recognises its parts: by the boost words in their
// names (category None), or by their subtype's category.
struct BoostSearch {
  WalkControl control;
  WalkCategory category = WalkCategory::None;
};

int FindBoostPart(CallBudget& callBudget, Part& connector, PartsList& start,
                  const BoostSearch& search, bool& named,
                  const std::function<bool(Part&)>& activate) {
  const WalkControl control = search.control;
  callBudget.Tell({.event = WalkEvent::Searching,
                   .control = control,
                   .part = &connector,
                   .words = kBoostWords,
                   .category = search.category});
  StepBudget budget(callBudget);
  for (ListCursor cursor(start);;) {
    const std::uint32_t count = PartCount(*cursor).value_or(0);
    if (count == 0) return SearchRanOut(callBudget, control, WalkEnd::SearchRanOut);
    for (std::uint32_t i = 0; i < count; ++i) {
      if (!budget.Take()) return SearchRanOut(callBudget, control, WalkEnd::StepLimit);
      Ref<Part> part = PartAt(*cursor, i);
      if (!part) continue;
      // The words are given back after the activation, not before: the
      // platform sees the same calls in the same order as it always has.
      std::optional<SearchWords> words;
      NameMatch match = NameMatch::NotMatched;
      if (search.category == WalkCategory::None) {
        words.emplace(
            std::initializer_list<SearchWords::FixedWord>{{"boost", 6}, {"+2", 3}, {"agc", 4}});
        match = words->Test(*part);
        callBudget.Tell({.event = WalkEvent::NameTested,
                         .control = control,
                         .part = part.Get(),
                         .words = kBoostWords,
                         .match = match});
        named = named || match == NameMatch::Matched;
      } else {
        match = TestCategory(callBudget, *part, search.category, control);
      }
      if (match == NameMatch::Matched && activate(*part)) return 0;
    }
    Ref<Part> last = PartAt(*cursor, count - 1);
    if (!last || !cursor.MoveTo(Outgoing(*last))) {
      return SearchRanOut(callBudget, control, WalkEnd::SearchRanOut);
    }
  }
}

// Either on/off interface will do; both are used only through GetEnabled and
// SetEnabled.
int FindBoostSwitch(CallBudget& budget, Part& connector, PartsList& list,
                    Ref<SwitchControl>& target, WalkCategory category, bool& named) {
  constexpr WalkControl kSwitch = WalkControl::MicBoostSwitch;
  return FindBoostPart(budget, connector, list, {kSwitch, category}, named, [&](Part& part) {
    return ActivateInto(part, SwitchInterface::AudioAutoGainControl, target, {budget, kSwitch}) ||
           ActivateInto(part, SwitchInterface::AudioLoudness, target, {budget, kSwitch});
  });
}

int FindBoostLevel(CallBudget& budget, Part& connector, PartsList& list, Ref<LevelControl>& target,
                   bool& named) {
  constexpr WalkControl kLevel = WalkControl::MicBoostLevel;
  return FindBoostPart(budget, connector, list, {kLevel}, named, [&](Part& part) {
    return ActivateInto(part, LevelInterface::AudioVolumeLevel, target, {budget, kLevel});
  });
}

// The first microphone connector with a boost control ends the walk.
ConnectorVisit BindBoost(MixerState& state, CallBudget& budget, Part& connector, PartsList& fed) {
  bool named = false;
  if (FindBoostSwitch(budget, connector, fed, state.micBoostSwitch, WalkCategory::None, named) ==
      0) {
    RecordEnabled(*state.micBoostSwitch, state.savedMicBoostSwitch);
    return ConnectorVisit::Finished;
  }
  if (FindBoostLevel(budget, connector, fed, state.micBoostLevel, named) == 0) {
    RecordLevel(*state.micBoostLevel, state.savedMicBoostLevel);
    return ConnectorVisit::Finished;
  }
  // No name held a boost word (names in another language): an AGC node is a
  // boost switch by its type. A boost level has no type of its own (its node
  // is a volume or a loudness), so it is found by name only.
  if (!named && FindBoostSwitch(budget, connector, fed, state.micBoostSwitch, WalkCategory::Agc,
                                named) == 0) {
    RecordEnabled(*state.micBoostSwitch, state.savedMicBoostSwitch);
    return ConnectorVisit::Finished;
  }
  return ConnectorVisit::Next;
}

}  // namespace

Discovery DiscoverMicCaptureControls(MixerState& state, CallBudget& budget, const char* searchText,
                                     DataFlow flow) {
  return Guarded(Discovery::Failed, [&] {
    return WalkCaptureConnectors(
        state, budget, searchText, flow, state.micEndpoint, state.savedMicRecordLevel, "mic",
        WalkCategory::Microphone,
        [&](Part& connector, PartsList& fed) { return BindBoost(state, budget, connector, fed); });
  });
}

}  // namespace velto
