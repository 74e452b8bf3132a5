#include "system/system_description.h"

#include <functional>
#include <map>
#include <queue>

namespace veltomix {

using Json = nlohmann::ordered_json;
using Link = std::pair<std::size_t, std::size_t>;

// Each part's incoming list and outgoing list is a chain of "comes before"
// between links; the simulation rebuilds both lists from one link order, so
// the links are sorted topologically under all chains at once, ties going to
// the order the links were first met.
std::vector<Link> OrderedLinks(const WalkedAdapter& adapter, bool* consistent) {
  std::vector<Link> links;
  std::map<Link, std::size_t> index;
  const auto add = [&](Link link) {
    if (index.emplace(link, links.size()).second) links.push_back(link);
    return index[link];
  };
  std::vector<std::vector<std::size_t>> chains;
  for (std::size_t k = 0; k < adapter.parts.size(); ++k) {
    std::vector<std::size_t> out;
    for (std::size_t to : adapter.parts[k].outgoing) out.push_back(add({k, to}));
    chains.push_back(std::move(out));
  }
  for (std::size_t k = 0; k < adapter.parts.size(); ++k) {
    std::vector<std::size_t> in;
    for (std::size_t from : adapter.parts[k].incoming) in.push_back(add({from, k}));
    chains.push_back(std::move(in));
  }
  std::vector<std::vector<std::size_t>> after(links.size());
  std::vector<std::size_t> before(links.size(), 0);
  for (const auto& chain : chains) {
    for (std::size_t i = 1; i < chain.size(); ++i) {
      after[chain[i - 1]].push_back(chain[i]);
      ++before[chain[i]];
    }
  }
  *consistent = true;
  // The links ready to be placed, earliest first.
  std::priority_queue<std::size_t, std::vector<std::size_t>, std::greater<>> ready;
  for (std::size_t i = 0; i < links.size(); ++i) {
    if (before[i] == 0) ready.push(i);
  }
  std::vector<bool> placed(links.size(), false);
  std::size_t firstUnplaced = 0;
  std::vector<Link> ordered;
  ordered.reserve(links.size());
  while (ordered.size() < links.size()) {
    while (!ready.empty() && placed[ready.top()]) ready.pop();
    std::size_t next = 0;
    if (!ready.empty()) {
      next = ready.top();
      ready.pop();
    } else {  // the chains form a cycle: break it at the earliest link
      *consistent = false;
      while (placed[firstUnplaced]) ++firstUnplaced;
      next = firstUnplaced;
    }
    placed[next] = true;
    ordered.push_back(links[next]);
    for (std::size_t later : after[next]) {
      if (before[later] > 0 && --before[later] == 0 && !placed[later]) ready.push(later);
    }
  }
  return ordered;
}

Json DescribeSystem(SystemModel& model) {
  description::Description system;
  system.endpoints.assign(model.endpoints.begin(), model.endpoints.end());
  for (const WalkedAdapter& walked : model.adapters) {
    description::AdapterState& adapter = system.adapters.emplace_back();
    adapter.name = walked.name;
    adapter.parts.assign(walked.parts.begin(), walked.parts.end());
    bool consistent = true;
    adapter.links = OrderedLinks(walked, &consistent);
    if (!consistent)
      model.warnings.push_back("the parts lists of adapter \"" + walked.name +
                               "\" cannot all keep their order in one list of links");
  }
  return description::DescriptionToJson(system);
}

}  // namespace veltomix
