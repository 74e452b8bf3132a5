// Walking a topology by hand, for tests that do not go through the mixer's
// own walks: from an endpoint's topology through its connector 0 to the
// adapter part joined to it, and on from part to part.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace velto::testing {

// Null where a step fails.
inline platform::Ref<platform::Part> JoinedPart(platform::DeviceTopology& endpointTopology) {
  platform::Ref<platform::Connector> endpointSide, adapterSide;
  platform::Ref<platform::Part> part;
  if (endpointTopology.GetConnector(0, endpointSide) != platform::kS_OK || !endpointSide ||
      endpointSide->GetConnectedTo(adapterSide) != platform::kS_OK || !adapterSide ||
      adapterSide->QueryPart(part) != platform::kS_OK)
    return nullptr;
  return part;
}

inline std::u16string Ascii16(const std::string& text) { return {text.begin(), text.end()}; }

inline std::string Narrow(const platform::WChar* text) {
  std::string out;
  for (; text && *text; ++text) out += static_cast<char>(*text);
  return out;
}

inline std::string PartName(platform::Part& part) {
  platform::TaskString name;
  EXPECT_EQ(part.GetName(name), platform::kS_OK);
  return Narrow(name.Get());
}

inline std::vector<platform::Ref<platform::Part>> ListedParts(platform::PartsList& list) {
  std::uint32_t count = 0;
  EXPECT_EQ(list.GetCount(&count), platform::kS_OK);
  std::vector<platform::Ref<platform::Part>> parts(count);
  for (std::uint32_t i = 0; i < count; ++i) EXPECT_EQ(list.GetPart(i, parts[i]), platform::kS_OK);
  return parts;
}

// The parts on one side of `part`; none where the side cannot be listed, as
// at the edge of a device.
inline std::vector<platform::Ref<platform::Part>> NextParts(platform::Part& part, bool incoming) {
  platform::Ref<platform::PartsList> list;
  const platform::HRESULT hr =
      incoming ? part.EnumPartsIncoming(list) : part.EnumPartsOutgoing(list);
  if (hr != platform::kS_OK || !list) return {};
  return ListedParts(*list);
}

// The part named `name` reachable from `starts`, searched both ways; null
// when there is none.
inline platform::Ref<platform::Part> FindPart(std::deque<platform::Ref<platform::Part>> queue,
                                              const std::string& name) {
  std::set<std::string> seen;
  while (!queue.empty()) {
    platform::Ref<platform::Part> part = std::move(queue.front());
    queue.pop_front();
    if (!part) continue;
    const std::string partName = PartName(*part);
    if (partName == name) return part;
    if (!seen.insert(partName).second) continue;
    for (bool incoming : {true, false}) {
      for (auto& next : NextParts(*part, incoming)) queue.push_back(std::move(next));
    }
  }
  return nullptr;
}

}  // namespace velto::testing
