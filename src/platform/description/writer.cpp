#include "platform/description/writer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/node_types.h"
#include "platform/readable.h"

namespace velto::description {

using Json = nlohmann::ordered_json;

namespace {

Json LevelToJson(const LevelState& level) {
  Json channels = Json::array();
  for (float value : level.channels) channels.push_back(static_cast<double>(value));
  return Json{{"min", static_cast<double>(level.min)},
              {"max", static_cast<double>(level.max)},
              {"step", static_cast<double>(level.step)},
              {"channels", std::move(channels)}};
}

Json PartToJson(const PartState& part) {
  Json out{
      {"id", part.id}, {"name", part.name}, {"kind", part.isConnector ? "connector" : "subunit"}};
  if (part.subtype != platform::Guid{}) out["subtype"] = platform::SubTypeText(part.subtype);
  Json controls = Json::object();
  for (std::size_t k = 0; k < kLevelKinds; ++k) {
    if (!part.levels[k]) continue;
    Json level = LevelToJson(*part.levels[k]);
    // Exact is the default; descriptions that never round read as before.
    if (const Rounding rounding = part.levels[k]->rounding; rounding != Rounding::Exact)
      level["rounding"] = kRoundingNames[static_cast<std::size_t>(rounding)];
    controls[kLevelKeys[k]] = std::move(level);
  }
  if (part.mute) controls["mute"] = *part.mute;
  for (std::size_t k = 0; k < kSwitchKinds; ++k) {
    if (part.switches[k]) controls[kSwitchKeys[k]] = *part.switches[k];
  }
  // Parts without controls (connectors, mostly) read better without an empty object.
  if (!controls.empty()) out["controls"] = std::move(controls);
  return out;
}

Json AdapterToJson(const AdapterState& adapter) {
  Json parts = Json::array();
  for (const PartState& part : adapter.parts) parts.push_back(PartToJson(part));
  Json links = Json::array();
  for (const auto& [from, to] : adapter.links)
    links.push_back({adapter.parts[from].id, adapter.parts[to].id});
  return Json{{"name", adapter.name}, {"parts", std::move(parts)}, {"links", std::move(links)}};
}

Json EndpointToJson(const EndpointState& endpoint, const std::vector<AdapterState>& adapters) {
  Json out{{"id", endpoint.id},
           {"name", endpoint.name},
           {"flow", FlowName(endpoint.flow)},
           {"state", StateName(endpoint.state)},
           {"default", endpoint.isDefault},
           {"topology", endpoint.hasTopology},
           {"volume", nullptr},
           {"connector", nullptr}};
  if (endpoint.volume) {
    out["volume"] = LevelToJson(*endpoint.volume);
    if (endpoint.master) out["volume"]["master"] = static_cast<double>(*endpoint.master);
    // Booleans as before; any other value a driver holds as the number it is.
    if (endpoint.mute == 0 || endpoint.mute == 1) {
      out["volume"]["mute"] = endpoint.mute != 0;
    } else {
      out["volume"]["mute"] = endpoint.mute;
    }
  }
  if (endpoint.connector) {
    const AdapterState& adapter = adapters[endpoint.connector->adapter];
    out["connector"] = {{"adapter", adapter.name},
                        {"part", adapter.parts[endpoint.connector->part].id}};
  }
  return out;
}

// Whole outputs (counts, switch values) as integers, levels as numbers.
Json OutputToJson(double value) {
  if (value == std::trunc(value) && std::abs(value) <= 4294967296.0)
    return static_cast<std::int64_t>(value);
  return value;
}

Json FaultToJson(const FaultRule& rule) {
  Json out{
      {"object", rule.object}, {"op", rule.op},       {"result", platform::ResultName(rule.result)},
      {"channel", nullptr},    {"after", rule.after}, {"times", nullptr}};
  if (rule.channel) out["channel"] = *rule.channel;
  if (rule.times != UINT64_MAX) out["times"] = rule.times;
  // The aiming keys only where a rule uses them, so older rules dump as before.
  if (rule.interfaceName) out["interface"] = *rule.interfaceName;
  if (rule.index) out["index"] = *rule.index;
  if (rule.flow) out["flow"] = platform::FlowText(*rule.flow);
  if (rule.id) out["id"] = *rule.id;
  if (rule.output) out["output"] = OutputToJson(*rule.output);
  if (rule.rounding) out["rounding"] = kRoundingNames[static_cast<std::size_t>(*rule.rounding)];
  return out;
}

constexpr std::size_t kLineWidth = 100;

// Appends `value` on one line; false, leaving `out` longer than `limit`, as
// soon as it does not fit, so that a large value is not spelt out in full at
// every level it is nested in.
bool AppendInline(const Json& value, std::size_t limit, std::string& out) {
  if (value.is_array() && !value.empty()) {
    out += "[";
    for (std::size_t i = 0; i < value.size() && out.size() <= limit; ++i) {
      if (i) out += ", ";
      AppendInline(value[i], limit, out);
    }
    out += "]";
  } else if (value.is_object() && !value.empty()) {
    out += "{ ";
    bool first = true;
    for (const auto& item : value.items()) {
      if (out.size() > limit) break;
      out += (first ? "" : ", ") + Json(item.key()).dump() + ": ";
      AppendInline(item.value(), limit, out);
      first = false;
    }
    out += " }";
  } else {
    out += value.dump();
  }
  return out.size() <= limit;
}

void Spread(const Json& value, std::size_t indent, std::size_t used, std::string& out) {
  const bool nested = (value.is_array() || value.is_object()) && !value.empty();
  std::string flat;
  if (!nested || AppendInline(value, kLineWidth - std::min(used, kLineWidth), flat)) {
    out += nested ? flat : value.dump();
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

Json DescriptionToJson(const Description& description) {
  Json endpoints = Json::array();
  for (const EndpointState& endpoint : description.endpoints)
    endpoints.push_back(EndpointToJson(endpoint, description.adapters));
  Json adapters = Json::array();
  for (const AdapterState& adapter : description.adapters)
    adapters.push_back(AdapterToJson(adapter));
  Json faults = Json::array();
  for (const FaultRule& rule : description.faults) faults.push_back(FaultToJson(rule));
  return Json{{"endpoints", std::move(endpoints)},
              {"adapters", std::move(adapters)},
              {"faults", std::move(faults)}};
}

std::string PrettyJson(const Json& value) {
  std::string out;
  Spread(value, 0, 0, out);
  return out + "\n";
}

}  // namespace velto::description
