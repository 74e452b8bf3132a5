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
  // Words whose lengths are counted here rather than asked of the platform:
  // the boost search has always widened its words so.
  struct CountedHere {};

  SearchWords(std::initializer_list<const char*> words);
  template <std::size_t N>
  explicit SearchWords(const std::array<const char*, N>& words) {
    words_.reserve(N);
    for (const char* word : words) Add(word);
  }
  template <std::size_t N>
  SearchWords(const std::array<const char*, N>& words, CountedHere) {
    words_.reserve(N);
    for (const char* word : words) AddCounted(word);
  }
  NameMatch Test(platform::Part& part) const;
  bool Match(platform::Part& part) const { return Test(part) == NameMatch::Matched; }

 private:
  void Add(const char* word);
  void AddCounted(const char* word);
  std::vector<platform::Bstr> words_;
};

// Reads `part`'s subtype and tests it for `category`, telling the observer
// as `control`. A subtype that cannot be read belongs to no category.
NameMatch TestCategory(const CallBudget& budget, platform::Part& part, WalkCategory category,
                       ControlId control = ControlId::None);

// Tells how activating the endpoint went: its volume bound into the slot of
// `endpoint`, or why the walk does not start.
void TellActivation(const CallBudget& budget, Activation activation, ControlId endpoint);

using platform::InterfaceName;

// Whom a binding step is told to; `list` when the part is that list's part 0.
struct Watch {
  const CallBudget& budget;
  platform::PartsList* list = nullptr;
};

// Activates the control of `id` on `part` as its row says (as the row's
// second interface when the part does not offer the first) and, only when
// that succeeds, puts it into its slot (releasing what the slot held). A
// failed attempt leaves the slot as it was: an earlier connector or branch
// may have found the control already.
bool BindControl(platform::Part& part, MixerState& state, ControlId id, const Watch& watch);

// Reads the current value of `id`'s control into its saved fields (an
// endpoint's level, then its mute when the row keeps one); returns the first
// read that failed, else S_OK.
platform::HRESULT RecordSaved(MixerState& state, ControlId id);

}  // namespace velto
