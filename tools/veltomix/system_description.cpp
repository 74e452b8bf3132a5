#include "system_description.h"

#include <algorithm>
#include <map>

namespace veltomix {

namespace p = velto::platform;
using Json = nlohmann::ordered_json;
using Link = std::pair<std::size_t, std::size_t>;

namespace {

const char* StateName(std::uint32_t state) {
  switch (state) {
    case p::kDeviceStateDisabled:
      return "disabled";
    case p::kDeviceStateNotPresent:
      return "notpresent";
    case p::kDeviceStateUnplugged:
      return "unplugged";
    default:
      return "active";
  }
}

Json LevelJson(const LevelValues& level) {
  Json channels = Json::array();
  for (float value : level.channels) channels.push_back(static_cast<double>(value));
  return Json{{"min", static_cast<double>(level.min)},
              {"max", static_cast<double>(level.max)},
              {"step", static_cast<double>(level.step)},
              {"channels", std::move(channels)}};
}

Json PartJson(const PartModel& part) {
  Json out{
      {"id", part.id}, {"name", part.name}, {"kind", part.connector ? "connector" : "subunit"}};
  Json controls = Json::object();
  for (std::size_t k = 0; k < kLevelKinds; ++k) {
    if (part.levels[k]) controls[kLevelKeys[k]] = LevelJson(*part.levels[k]);
  }
  if (part.mute) controls["mute"] = *part.mute;
  for (std::size_t k = 0; k < kSwitchKinds; ++k) {
    if (part.switches[k]) controls[kSwitchKeys[k]] = *part.switches[k];
  }
  if (!controls.empty()) out["controls"] = std::move(controls);
  return out;
}

Json EndpointJson(const EndpointModel& endpoint, const std::vector<AdapterModel>& adapters) {
  Json out{{"id", endpoint.id},
           {"name", endpoint.name},
           {"flow", endpoint.flow == p::DataFlow::Render ? "render" : "capture"},
           {"state", StateName(endpoint.state)},
           {"default", endpoint.isDefault},
           {"topology", endpoint.hasTopology},
           {"volume", nullptr},
           {"connector", nullptr}};
  if (endpoint.volume) {
    out["volume"] = LevelJson(*endpoint.volume);
    out["volume"]["mute"] = endpoint.muted;
  }
  if (endpoint.connector) {
    const AdapterModel& adapter = adapters[endpoint.connector->adapter];
    out["connector"] = {{"adapter", adapter.name},
                        {"part", adapter.parts[endpoint.connector->part].id}};
  }
  return out;
}

constexpr std::size_t kLineWidth = 100;

std::string Inline(const Json& value) {
  if (value.is_array()) {
    std::string out = "[";
    for (std::size_t i = 0; i < value.size(); ++i) out += (i ? ", " : "") + Inline(value[i]);
    return out + "]";
  }
  if (value.is_object()) {
    std::string out = "{ ";
    bool first = true;
    for (const auto& item : value.items()) {
      out += (first ? "" : ", ") + Json(item.key()).dump() + ": " + Inline(item.value());
      first = false;
    }
    return value.empty() ? "{}" : out + " }";
  }
  return value.dump();
}

void Spread(const Json& value, std::size_t indent, std::size_t used, std::string& out) {
  const std::string flat = Inline(value);
  if ((!value.is_array() && !value.is_object()) || value.empty() ||
      used + flat.size() <= kLineWidth) {
    out += flat;
    return;
  }
  const std::string inner(indent + 2, ' ');
  out += value.is_array() ? "[\n" : "{\n";
  std::size_t i = 0;
  for (const auto& item : value.items()) {
    out += inner;
    std::size_t at = inner.size();
    if (value.is_object()) {
      const std::string key = Json(item.key()).dump() + ": ";
      out += key;
      at += key.size();
    }
    Spread(item.value(), indent + 2, at + 1, out);
    out += ++i < value.size() ? ",\n" : "\n";
  }
  out += std::string(indent, ' ') + (value.is_array() ? "]" : "}");
}

}  // namespace

std::string PrettyJson(const Json& value) {
  std::string out;
  Spread(value, 0, 0, out);
  return out + "\n";
}

// Each part's incoming list and outgoing list is a chain of "comes before"
// between links; the simulation rebuilds both lists from one link order, so
// the links are sorted topologically under all chains at once, ties going to
// the order the links were first met.
std::vector<Link> OrderedLinks(const AdapterModel& adapter, bool* consistent) {
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
  std::vector<bool> placed(links.size(), false);
  std::vector<Link> ordered;
  while (ordered.size() < links.size()) {
    std::size_t next = links.size();
    for (std::size_t i = 0; i < links.size() && next == links.size(); ++i) {
      if (!placed[i] && before[i] == 0) next = i;
    }
    if (next == links.size()) {  // the chains form a cycle: break it at the earliest link
      *consistent = false;
      next =
          static_cast<std::size_t>(std::find(placed.begin(), placed.end(), false) - placed.begin());
    }
    placed[next] = true;
    ordered.push_back(links[next]);
    for (std::size_t later : after[next]) {
      if (before[later] > 0) --before[later];
    }
  }
  return ordered;
}

Json DescribeSystem(SystemModel& model) {
  Json endpoints = Json::array();
  for (const EndpointModel& endpoint : model.endpoints)
    endpoints.push_back(EndpointJson(endpoint, model.adapters));
  Json adapters = Json::array();
  for (const AdapterModel& adapter : model.adapters) {
    Json parts = Json::array();
    for (const PartModel& part : adapter.parts) parts.push_back(PartJson(part));
    bool consistent = true;
    Json links = Json::array();
    for (const auto& [from, to] : OrderedLinks(adapter, &consistent))
      links.push_back({adapter.parts[from].id, adapter.parts[to].id});
    if (!consistent)
      model.warnings.push_back("the parts lists of adapter \"" + adapter.name +
                               "\" cannot all keep their order in one list of links");
    adapters.push_back(
        Json{{"name", adapter.name}, {"parts", std::move(parts)}, {"links", std::move(links)}});
  }
  return Json{{"endpoints", std::move(endpoints)},
              {"adapters", std::move(adapters)},
              {"faults", Json::array()}};
}

}  // namespace veltomix
