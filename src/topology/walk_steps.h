// The steps the three topology walks are made of. A step that the platform
// does not answer with S_OK yields nothing, so every walk reads "take this,
// or stop" without looking at result codes.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

#include "core/endpoint_lookup.h"
#include "core/mixer_state.h"
#include "platform/obtained.h"
#include "platform/platform.h"
#include "platform/readable.h"
#include "topology/discovery.h"

namespace velto {

// A real adapter has a few dozen parts. A walk that has taken this many steps
// is going round a loop in the topology, and stops as if its list had ended
// rather than hang the host.
constexpr int kMaxWalkSteps = kMaxCallSteps / 16;  // 4096; 64 in the fuzzer's build

// One walk's steps, drawn from the budget of the export call it runs in.
class StepBudget {
 public:
  explicit StepBudget(CallBudget& call) : call_(call) {}
  bool Take() {
    if (left_ == 0 || !call_.Take()) return false;
    --left_;
    return true;
  }
  const CallBudget& Call() const { return call_; }

 private:
  CallBudget& call_;
  int left_ = kMaxWalkSteps;
};

// The part at `index`, or empty.
Ref<platform::Part> PartAt(platform::PartsList& list, std::uint32_t index);
// The parts feeding `part` (towards the sources), or empty when there are none.
Ref<platform::PartsList> Incoming(platform::Part& part);
// The parts `part` feeds (towards the capture endpoint), or empty.
Ref<platform::PartsList> Outgoing(platform::Part& part);
// The list's count, or nothing when it cannot be read.
std::optional<std::uint32_t> PartCount(platform::PartsList& list);

// The adapter connector joined to the endpoint's connector 0, as a part. The
// endpoint topology is given back as soon as its connector is in hand.
Ref<platform::Part> JoinedAdapterPart(Ref<platform::DeviceTopology> endpointTopology,
                                      const CallBudget& budget);
// The topology of the device that owns that part: the audio adapter.
Ref<platform::DeviceTopology> AdapterTopology(Ref<platform::DeviceTopology> endpointTopology,
                                              const CallBudget& budget);

// Moves from a list the caller keeps to lists the walk obtains itself. The
// caller's list is never released here; each list of the walk's own is
// released when the cursor moves on or goes out of scope.
class ListCursor {
 public:
  explicit ListCursor(platform::PartsList& start) : current_(&start) {}
  ListCursor(const ListCursor&) = delete;
  ListCursor& operator=(const ListCursor&) = delete;

  platform::PartsList& operator*() const { return *current_; }
  platform::PartsList* operator->() const { return current_; }

  // False, staying put, when there is nowhere to go.
  bool MoveTo(Ref<platform::PartsList> next) {
    if (!next) return false;
    owned_ = std::move(next);
    current_ = owned_.Get();
    return true;
  }

 private:
  platform::PartsList* current_;
  Ref<platform::PartsList> owned_;
};

// Search words, widened when the search starts. A part matches when one of
// the words occurs in its name folded to lower case (A to Z only); a name
// that cannot be read matches nothing, nor does a word that could not be
// widened.
class SearchWords {
 public:
  // A word whose widened length, terminator included, is fixed in advance.
  struct FixedWord {
    const char* text;
    int length;
  };

  SearchWords(std::initializer_list<const char*> words);
  SearchWords(std::initializer_list<FixedWord> words);
  template <std::size_t N>
  explicit SearchWords(const std::array<const char*, N>& words) {
    words_.reserve(N);
    for (const char* word : words) Add(word);
  }
  NameMatch Test(platform::Part& part) const;
  bool Match(platform::Part& part) const { return Test(part) == NameMatch::Matched; }

 private:
  void Add(const char* word);
  std::vector<platform::Bstr> words_;
};

// Tells how activating the endpoint went: its volume bound, or why the walk
// does not start.
void TellActivation(const CallBudget& budget, Activation activation);

using platform::InterfaceName;

// Whom an activation is told to, as which control; `list` when the part is
// that list's part 0.
struct Watch {
  const CallBudget& budget;
  WalkControl control;
  platform::PartsList* list = nullptr;
};

// Activates a control on `part` and, only when that succeeds, puts it into
// `slot` (releasing what the slot held). A failed attempt leaves the slot as
// it was: an earlier connector or branch may have found the control already.
template <class Iid, class Control>
bool ActivateInto(platform::Part& part, Iid iid, Ref<Control>& slot, const Watch& watch) {
  Ref<Control> found;
  const bool offered = platform::Obtained(part.Activate(iid, platform::kClsctxAll, found), found);
  if (watch.budget.Watched()) {
    watch.budget.Tell({.event = offered ? WalkEvent::Bound : WalkEvent::NotOffered,
                       .control = watch.control,
                       .part = &part,
                       .list = watch.list,
                       .interfaceName = InterfaceName(iid)});
  }
  if (!offered) return false;
  slot = std::move(found);
  return true;
}

// Reads a control's current value into its saved field; returns the read's
// result.
platform::HRESULT RecordLevel(platform::LevelControl& control, Saved<float>& saved);
platform::HRESULT RecordMasterLevel(platform::EndpointVolume& control, Saved<float>& saved);
platform::HRESULT RecordEnabled(platform::SwitchControl& control, Saved<std::int32_t>& saved);
template <class Control>
platform::HRESULT RecordMute(Control& control, Saved<std::int32_t>& saved) {
  std::int32_t mute = 0;
  const platform::HRESULT hr = control.GetMute(&mute);
  saved.Record(hr, mute);
  return hr;
}

}  // namespace velto
