#include "topology/walk_steps.h"

#include <algorithm>
#include <span>

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

SearchWords::SearchWords(std::initializer_list<FixedWord> words) {
  words_.reserve(words.size());
  for (const FixedWord& word : words)
    words_.push_back(Widen(CurrentPlatform(), word.text, word.length));
}

void SearchWords::Add(const char* word) { words_.push_back(Widen(CurrentPlatform(), word)); }

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
                       WalkControl control) {
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

void TellActivation(const CallBudget& budget, Activation activation) {
  if (!budget.Watched()) return;
  if (activation == Activation::Activated || activation == Activation::NoTopology) {
    budget.Tell({.event = WalkEvent::Bound,
                 .control = WalkControl::EndpointVolume,
                 .interfaceName = "IAudioEndpointVolume"});
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

const char* InterfaceName(LevelInterface iid) {
  switch (iid) {
    case LevelInterface::AudioVolumeLevel:
      return "IAudioVolumeLevel";
    case LevelInterface::AudioBass:
      return "IAudioBass";
    case LevelInterface::AudioTreble:
      return "IAudioTreble";
    case LevelInterface::AudioMidrange:
      return "IAudioMidrange";
  }
  return "";
}

const char* InterfaceName(SwitchInterface iid) {
  return iid == SwitchInterface::AudioAutoGainControl ? "IAudioAutoGainControl" : "IAudioLoudness";
}

const char* InterfaceName(MuteInterface) { return "IAudioMute"; }

HRESULT RecordLevel(LevelControl& control, Saved<float>& saved) {
  float level = 0;
  const HRESULT hr = control.GetLevel(0, &level);
  saved.Record(hr, level);
  return hr;
}

HRESULT RecordMasterLevel(EndpointVolume& control, Saved<float>& saved) {
  float level = 0;
  const HRESULT hr = control.GetMasterVolumeLevel(&level);
  saved.Record(hr, level);
  return hr;
}

HRESULT RecordEnabled(SwitchControl& control, Saved<std::int32_t>& saved) {
  std::int32_t enabled = 0;
  const HRESULT hr = control.GetEnabled(&enabled);
  saved.Record(hr, enabled);
  return hr;
}

}  // namespace velto
