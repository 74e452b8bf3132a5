#include "topology/walk_steps.h"

#include <algorithm>
#include <span>
#include <string>
#include <type_traits>

#include "core/control_table.h"
#include "core/text.h"
#include "platform/node_types.h"

namespace velto {

using namespace platform;

Ref<Part> PartAt(PartsList& list, std::uint32_t index) {
  Ref<Part> part;
  if (!Obtained(list.GetPart(index, part), part)) return nullptr;
  return part;
}

Ref<PartsList> Incoming(Part& part) {
  Ref<PartsList> parts;
  if (!Obtained(part.EnumPartsIncoming(parts), parts)) return nullptr;
  return parts;
}

Ref<PartsList> Outgoing(Part& part) {
  Ref<PartsList> parts;
  if (!Obtained(part.EnumPartsOutgoing(parts), parts)) return nullptr;
  return parts;
}

std::optional<std::uint32_t> PartCount(PartsList& list) {
  std::uint32_t count = 0;
  if (list.GetCount(&count) != kS_OK) return std::nullopt;
  return count;
}

namespace {

Ref<Part> NotJoined(const CallBudget& budget) {
  budget.Tell({.event = WalkEvent::Ended, .end = WalkEnd::NotJoined});
  return nullptr;
}

}  // namespace

Ref<Part> JoinedAdapterPart(Ref<DeviceTopology> endpointTopology, const CallBudget& budget) {
  Ref<Connector> endpointConnector;
  if (!Obtained(endpointTopology->GetConnector(0, endpointConnector), endpointConnector)) {
    return NotJoined(budget);
  }
  endpointTopology.Reset();
  Ref<Connector> adapterConnector;
  if (!Obtained(endpointConnector->GetConnectedTo(adapterConnector), adapterConnector)) {
    return NotJoined(budget);
  }
  Ref<Part> part;
  if (!Obtained(adapterConnector->QueryPart(part), part)) return NotJoined(budget);
  budget.Tell({.event = WalkEvent::Joined, .part = part.Get()});
  return part;
}

Ref<DeviceTopology> AdapterTopology(Ref<DeviceTopology> endpointTopology,
                                    const CallBudget& budget) {
  Ref<Part> joined = JoinedAdapterPart(std::move(endpointTopology), budget);
  if (!joined) return nullptr;
  Ref<DeviceTopology> adapter;
  if (!Obtained(joined->GetTopologyObject(adapter), adapter)) {
    budget.Tell(
        {.event = WalkEvent::Ended, .part = joined.Get(), .end = WalkEnd::NoAdapterTopology});
    return nullptr;
  }
  return adapter;
}

// A search is set up for every part and connector a walk examines: one
// allocation for its words, not one for each word added.
SearchWords::SearchWords(std::initializer_list<const char*> words) {
  words_.reserve(words.size());
  for (const char* word : words) Add(word);
}

void SearchWords::Add(const char* word) { words_.push_back(Widen(CurrentPlatform(), word)); }

void SearchWords::AddCounted(const char* word) {
  const int length = static_cast<int>(std::char_traits<char>::length(word)) + 1;
  words_.push_back(Widen(CurrentPlatform(), word, length));
}

NameMatch SearchWords::Test(Part& part) const {
  TaskString name;
  if (part.GetName(name) != kS_OK || !name) return NameMatch::Unreadable;
  LowerAsciiInPlace(name.Get());
  for (const Bstr& word : words_) {
    if (word && ContainsText(name.Get(), word.Get())) return NameMatch::Matched;
  }
  return NameMatch::NotMatched;
}

namespace {

using platform::NodeType;

// A microphone's pin categories: the USB Audio input terminal types, and the
// bidirectional ones (handset, headset, speakerphones), whose input side is
// a microphone.
constexpr Guid kMicrophones[] = {
    NodeType("KSNODETYPE_MICROPHONE"),
    NodeType("KSNODETYPE_DESKTOP_MICROPHONE"),
    NodeType("KSNODETYPE_PERSONAL_MICROPHONE"),
    NodeType("KSNODETYPE_OMNI_DIRECTIONAL_MICROPHONE"),
    NodeType("KSNODETYPE_MICROPHONE_ARRAY"),
    NodeType("KSNODETYPE_PROCESSING_MICROPHONE_ARRAY"),
    NodeType("KSNODETYPE_HANDSET"),
    NodeType("KSNODETYPE_HEADSET"),
    NodeType("KSNODETYPE_SPEAKERPHONE_NO_ECHO_REDUCTION"),
    NodeType("KSNODETYPE_ECHO_SUPPRESSING_SPEAKERPHONE"),
    NodeType("KSNODETYPE_ECHO_CANCELING_SPEAKERPHONE"),
};
// A line input is a line connector only: a generic analog connector is what
// drivers give their aux, video and virtual mix pins.
constexpr Guid kLineInputs[] = {NodeType("KSNODETYPE_LINE_CONNECTOR")};
constexpr Guid kAgcs[] = {NodeType("KSNODETYPE_AGC")};

std::span<const Guid> Members(WalkCategory category) {
  switch (category) {
    case WalkCategory::Microphone:
      return kMicrophones;
    case WalkCategory::LineInput:
      return kLineInputs;
    case WalkCategory::Agc:
      return kAgcs;
    case WalkCategory::None:
      break;
  }
  return {};
}

}  // namespace

NameMatch TestCategory(const CallBudget& budget, Part& part, WalkCategory category,
                       ControlId control) {
  Guid subtype;
  NameMatch match = NameMatch::Unreadable;
  if (part.GetSubType(&subtype) == kS_OK) {
    const std::span<const Guid> members = Members(category);
    match = std::find(members.begin(), members.end(), subtype) != members.end()
                ? NameMatch::Matched
                : NameMatch::NotMatched;
  } else {
    subtype = {};
  }
  budget.Tell({.event = WalkEvent::SubTypeTested,
               .control = control,
               .part = &part,
               .match = match,
               .category = category,
               .subtype = subtype});
  return match;
}

void TellActivation(const CallBudget& budget, Activation activation, ControlId endpoint) {
  if (!budget.Watched()) return;
  if (activation == Activation::Activated || activation == Activation::NoTopology) {
    budget.Tell(
        {.event = WalkEvent::Bound, .control = endpoint, .interfaceName = kEndpointVolumeName});
  }
  const auto end = [&] {
    switch (activation) {
      case Activation::NotFound:
        return WalkEnd::EndpointNotFound;
      case Activation::DeviceUnavailable:
        return WalkEnd::EndpointUnavailable;
      case Activation::NoEndpointVolume:
        return WalkEnd::NoEndpointVolume;
      default:
        return WalkEnd::NoTopology;
    }
  }();
  if (activation != Activation::Activated) budget.Tell({.event = WalkEvent::Ended, .end = end});
}

const char* InterfaceName(const BindsAs& as) {
  return std::visit(
      [](auto iid) -> const char* {
        if constexpr (std::is_same_v<decltype(iid), EndpointInterface>) {
          return kEndpointVolumeName;
        } else {
          return InterfaceName(iid);
        }
      },
      as);
}

namespace {

template <class Iid, class Control>
bool ActivateInto(Part& part, Iid iid, Ref<Control>& slot, ControlId id, const Watch& watch) {
  Ref<Control> found;
  const bool offered = Obtained(part.Activate(iid, kClsctxAll, found), found);
  if (watch.budget.Watched()) {
    watch.budget.Tell({.event = offered ? WalkEvent::Bound : WalkEvent::NotOffered,
                       .control = id,
                       .part = &part,
                       .list = watch.list,
                       .interfaceName = InterfaceName(iid)});
  }
  if (!offered) return false;
  slot = std::move(found);
  return true;
}

// The interfaces a part is asked for yield the slot's own type.
template <class Control, class Iid>
constexpr bool kYields = requires(Part& part, Iid iid, Ref<Control>& slot) {
  part.Activate(iid, kClsctxAll, slot);
};

bool ActivateAs(Part& part, const BindsAs& as, MixerState& state, const ControlRow& row,
                const Watch& watch) {
  return std::visit(
      [&](auto member, auto iid) {
        using Control = typename SlotTarget<decltype(member)>::type;
        if constexpr (kYields<Control, decltype(iid)>) {
          return ActivateInto(part, iid, state.*member, row.id, watch);
        } else {
          return false;
        }
      },
      row.slot, as);
}

constexpr bool BoundAsTheirSlots() {
  for (const ControlRow& row : kControls) {
    for (const auto& as : {std::optional<BindsAs>(row.bindsAs), row.orElse}) {
      if (!as) continue;
      const bool fits = std::visit(
          [](auto member, auto iid) {
            using Control = typename SlotTarget<decltype(member)>::type;
            return kYields<Control, decltype(iid)> ||
                   (std::is_same_v<Control, EndpointVolume> &&
                    std::is_same_v<decltype(iid), EndpointInterface>);
          },
          row.slot, *as);
      if (!fits) return false;
    }
  }
  return true;
}
static_assert(BoundAsTheirSlots(), "a row is bound as an interface its slot cannot hold");

HRESULT Record(EndpointVolume& control, const ControlRow& row, MixerState& state) {
  float level = 0;
  HRESULT hr = control.GetMasterVolumeLevel(&level);
  (state.*row.level.saved).Record(hr, level);
  if (hr != kS_OK || !row.state.saved) return hr;
  std::int32_t mute = 0;
  hr = control.GetMute(&mute);
  (state.*row.state.saved).Record(hr, mute);
  return hr;
}

HRESULT Record(LevelControl& control, const ControlRow& row, MixerState& state) {
  float level = 0;
  const HRESULT hr = control.GetLevel(0, &level);
  (state.*row.level.saved).Record(hr, level);
  return hr;
}

HRESULT Record(MuteControl& control, const ControlRow& row, MixerState& state) {
  std::int32_t mute = 0;
  const HRESULT hr = control.GetMute(&mute);
  (state.*row.state.saved).Record(hr, mute);
  return hr;
}

HRESULT Record(SwitchControl& control, const ControlRow& row, MixerState& state) {
  std::int32_t enabled = 0;
  const HRESULT hr = control.GetEnabled(&enabled);
  (state.*row.state.saved).Record(hr, enabled);
  return hr;
}

}  // namespace

bool BindControl(Part& part, MixerState& state, ControlId id, const Watch& watch) {
  const ControlRow& row = RowOf(id);
  if (ActivateAs(part, row.bindsAs, state, row, watch)) return true;
  return row.orElse && ActivateAs(part, *row.orElse, state, row, watch);
}

HRESULT RecordSaved(MixerState& state, ControlId id) {
  const ControlRow& row = RowOf(id);
  return WithSlot(state, row, [&](auto& slot) { return Record(*slot, row, state); });
}

}  // namespace velto
