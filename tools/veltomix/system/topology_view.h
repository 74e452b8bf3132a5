// The adapter topology behind one endpoint, as Graphviz DOT or as text, with
// the parts whose controls the mixer's binding chose marked.
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "system/system_walk.h"

namespace veltomix {

struct TopologyView {
  const SystemModel& model;
  std::size_t endpoint;  // index into model.endpoints; must be joined to an adapter
  // The labels of the mixer's bound slots (HeldControl::label), whether or not
  // their control lies in this adapter.
  std::vector<std::string> heldLabels;
};

std::string TopologyDot(const TopologyView& view);
std::string TopologyText(const TopologyView& view);
// The text's content under its headings' names: adapter, endpoint, chosen
// (slot label to places), endpoints, parts.
nlohmann::ordered_json TopologyJson(const TopologyView& view);

}  // namespace veltomix
