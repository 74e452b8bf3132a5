#include "topology/walk_steps.h"

#include "core/text.h"

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

void TellActivation(const CallBudget& budget, Activation activation) {
  if (!budget.Watched()) return;
  if (activation == Activation::Activated || activation == Activation::NoTopology) {
    budget.Tell({.event = WalkEvent::Bound,
                 .control = WalkControl::EndpointVolume,
                 .interfaceName = platform::kEndpointVolumeName});
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
