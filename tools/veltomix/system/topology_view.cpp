#include "system/topology_view.h"

#include <algorithm>
#include <sstream>

#include "common/text.h"
#include "platform/description/text.h"

namespace veltomix {

namespace p = velto::platform;

namespace {

using description::FormatFloat;
using description::kLevelKeys;
using description::kLevelKinds;
using description::kSwitchKeys;
using description::kSwitchKinds;
using description::LevelState;

const WalkedAdapter& AdapterOf(const TopologyView& view) {
  return view.model.adapters[view.model.endpoints[view.endpoint].connector->adapter];
}

// The endpoints joined to the shown adapter, by connector part index.
std::vector<std::pair<std::size_t, std::size_t>> JoinedEndpoints(const TopologyView& view) {
  const std::size_t adapter = view.model.endpoints[view.endpoint].connector->adapter;
  std::vector<std::pair<std::size_t, std::size_t>> joined;  // part, endpoint
  for (std::size_t e = 0; e < view.model.endpoints.size(); ++e) {
    const auto& connector = view.model.endpoints[e].connector;
    if (connector && connector->adapter == adapter) joined.emplace_back(connector->part, e);
  }
  return joined;
}

std::string Join(const std::vector<std::string>& items, const char* separator) {
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : separator) + item;
  return out;
}

// "3 dB" when every channel agrees, "3 / 2.5 dB" otherwise.
std::string ChannelLevels(const LevelState& level) {
  const bool same = std::all_of(level.channels.begin(), level.channels.end(),
                                [&](float v) { return v == level.channels.front(); });
  if (same) return FormatFloat(level.channels.front()) + " dB";
  std::vector<std::string> values;
  for (float v : level.channels) values.push_back(FormatFloat(v));
  return Join(values, " / ") + " dB";
}

std::string Range(const LevelState& level) {
  return FormatFloat(level.min) + ".." + FormatFloat(level.max) + " dB, step " +
         FormatFloat(level.step) + ", " + std::to_string(level.channels.size()) +
         (level.channels.size() == 1 ? " channel" : " channels");
}

std::string OnOff(std::int32_t value) {
  if (value == 0) return "off";
  return value == 1 ? "on" : "on (" + std::to_string(value) + ")";
}

// One line per control the part offers: key, value, and with `ranges` the range.
std::vector<std::pair<std::string, std::string>> Controls(const WalkedPart& part, bool ranges) {
  std::vector<std::pair<std::string, std::string>> lines;
  for (std::size_t k = 0; k < kLevelKinds; ++k) {
    if (!part.levels[k]) continue;
    std::string value = ChannelLevels(*part.levels[k]);
    if (ranges) value += "   (" + Range(*part.levels[k]) + ")";
    lines.emplace_back(kLevelKeys[k], value);
  }
  if (part.mute) lines.emplace_back("mute", OnOff(*part.mute));
  for (std::size_t k = 0; k < kSwitchKinds; ++k) {
    if (part.switches[k]) lines.emplace_back(kSwitchKeys[k], OnOff(*part.switches[k]));
  }
  return lines;
}

std::string EndpointTraits(const WalkedEndpoint& endpoint) {
  std::string traits = description::FlowName(endpoint.flow);
  switch (endpoint.state) {
    case p::kDeviceStateDisabled:
      traits += ", disabled";
      break;
    case p::kDeviceStateNotPresent:
      traits += ", not present";
      break;
    case p::kDeviceStateUnplugged:
      traits += ", unplugged";
      break;
    default:
      traits += ", active";
      break;
  }
  if (endpoint.isDefault) traits += ", default";
  return traits;
}

// --- DOT -----------------------------------------------------------------------------------

std::string DotQuoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out += c;
  }
  return out + "\"";
}

constexpr const char* kChosenStyle =
    "color=\"#c2410c\", penwidth=2.5, style=\"rounded,filled\", fillcolor=\"#ffedd5\"";

std::string DotPart(std::size_t k, const WalkedPart& part) {
  std::vector<std::string> lines = {part.name, (part.isConnector ? "connector " : "") + part.id};
  for (const auto& [key, value] : Controls(part, false)) lines.push_back(key + " " + value);
  if (!part.heldAs.empty()) lines.push_back("chosen: " + Join(part.heldAs, ", "));
  std::string style = part.heldAs.empty() ? (part.isConnector ? "style=\"rounded,filled\", "
                                                                "fillcolor=\"#e0ecf8\""
                                                              : "")
                                          : kChosenStyle;
  return "  p" + std::to_string(k) + " [label=" + DotQuoted(Join(lines, "\n")) +
         (style.empty() ? "" : ", " + style) + "];\n";
}

std::string DotEndpoint(const TopologyView& view, std::size_t e) {
  const WalkedEndpoint& endpoint = view.model.endpoints[e];
  std::vector<std::string> lines = {endpoint.name, EndpointTraits(endpoint) + " endpoint"};
  if (!endpoint.heldAs.empty()) lines.push_back("chosen: " + Join(endpoint.heldAs, ", "));
  std::string style = "shape=note";
  if (!endpoint.heldAs.empty()) style += std::string(", ") + kChosenStyle;
  if (e == view.endpoint) style += ", peripheries=2";
  return "  e" + std::to_string(e) + " [label=" + DotQuoted(Join(lines, "\n")) + ", " + style +
         "];\n";
}

// --- Text ----------------------------------------------------------------------------------

std::string PartNames(const WalkedAdapter& adapter, const std::vector<std::size_t>& indices) {
  std::vector<std::string> ids;
  for (std::size_t k : indices) ids.push_back(adapter.parts[k].id);
  return Join(ids, ", ");
}

bool IsHeld(const TopologyView& view, const std::string& label) {
  return std::find(view.heldLabels.begin(), view.heldLabels.end(), label) != view.heldLabels.end();
}

// Where in this adapter the binding's control for a slot label lies.
std::vector<std::string> Places(const TopologyView& view, const std::string& label) {
  const WalkedAdapter& adapter = AdapterOf(view);
  std::vector<std::string> places;
  for (const auto& [part, e] : JoinedEndpoints(view)) {
    const auto& labels = view.model.endpoints[e].heldAs;
    if (std::find(labels.begin(), labels.end(), label) != labels.end())
      places.push_back("endpoint \"" + view.model.endpoints[e].name + "\"");
  }
  for (const WalkedPart& part : adapter.parts) {
    if (std::find(part.heldAs.begin(), part.heldAs.end(), label) != part.heldAs.end())
      places.push_back(part.id);
  }
  if (places.empty()) places.push_back("outside this adapter");
  return places;
}

// For each slot label: where in this adapter the binding's control lies.
std::string ChosenSummary(const TopologyView& view) {
  std::ostringstream out;
  std::vector<std::string> notBound;
  out << "Controls the binding chose\n";
  for (const std::string& label : HeldLabels()) {
    if (!IsHeld(view, label)) {
      notBound.push_back(label);
      continue;
    }
    out << "  " << PadRight(label, 19) << Join(Places(view, label), ", ") << "\n";
  }
  if (!notBound.empty())
    out << "  none for " << Join(notBound, ", ") << " (not found, or no endpoint bound)\n";
  if (!view.model.controlIdentityStable)
    out << "  (this platform hands out a new object per activation, so the chosen parts "
           "cannot be recognised)\n";
  return out.str();
}

std::string TextPart(const WalkedAdapter& adapter, const WalkedPart& part) {
  std::ostringstream out;
  out << (part.heldAs.empty() ? "  " : "* ") << (part.isConnector ? "connector " : "subunit ")
      << part.id << " \"" << part.name << "\"";
  if (!part.heldAs.empty()) out << "   [chosen: " << Join(part.heldAs, ", ") << "]";
  out << "\n";
  for (const auto& [key, value] : Controls(part, true))
    out << "      " << PadRight(key, 10) << value << "\n";
  if (!part.incoming.empty())
    out << "      from      " << PartNames(adapter, part.incoming) << "\n";
  if (!part.outgoing.empty())
    out << "      to        " << PartNames(adapter, part.outgoing) << "\n";
  return out.str();
}

}  // namespace

std::string TopologyDot(const TopologyView& view) {
  const WalkedAdapter& adapter = AdapterOf(view);
  const WalkedEndpoint& shown = view.model.endpoints[view.endpoint];
  std::ostringstream out;
  out << "digraph topology {\n"
      << "  graph [rankdir=LR, labelloc=t, fontname=\"Helvetica\", fontsize=12, label="
      << DotQuoted("Adapter \"" + adapter.name + "\" behind " + shown.name +
                   "\norange: parts whose controls the binding chose")
      << "];\n"
      << "  node [fontname=\"Helvetica\", fontsize=10, shape=box, style=rounded];\n"
      << "  edge [color=\"#52525b\"];\n\n";
  for (std::size_t k = 0; k < adapter.parts.size(); ++k) out << DotPart(k, adapter.parts[k]);
  out << "\n";
  const auto joined = JoinedEndpoints(view);
  for (const auto& [part, e] : joined) out << DotEndpoint(view, e);
  out << "\n";
  for (std::size_t k = 0; k < adapter.parts.size(); ++k) {
    for (std::size_t to : adapter.parts[k].outgoing) out << "  p" << k << " -> p" << to << ";\n";
  }
  for (const auto& [part, e] : joined)
    out << "  p" << part << " -> e" << e << " [style=dashed, dir=none];\n";
  out << "}\n";
  return out.str();
}

std::string TopologyText(const TopologyView& view) {
  const WalkedAdapter& adapter = AdapterOf(view);
  const WalkedEndpoint& shown = view.model.endpoints[view.endpoint];
  std::ostringstream out;
  out << "Adapter \"" << adapter.name << "\" behind " << shown.name << "\n"
      << "  endpoint " << shown.id << " (" << EndpointTraits(shown) << ")\n"
      << "  joined at connector " << adapter.parts[shown.connector->part].id << "\n\n";
  out << ChosenSummary(view) << "\n";
  out << "Endpoints joined to the adapter\n";
  for (const auto& [part, e] : JoinedEndpoints(view)) {
    const WalkedEndpoint& endpoint = view.model.endpoints[e];
    out << (endpoint.heldAs.empty() ? "  " : "* ") << PadRight(adapter.parts[part].id, 16)
        << PadRight(endpoint.name, 34) << EndpointTraits(endpoint);
    if (!endpoint.heldAs.empty()) out << "   [chosen: " << Join(endpoint.heldAs, ", ") << "]";
    out << "\n";
  }
  out << "\nParts (* chosen by the binding; signal flows from -> to)\n";
  for (const WalkedPart& part : adapter.parts) out << TextPart(adapter, part);
  return out.str();
}

nlohmann::ordered_json TopologyJson(const TopologyView& view) {
  using Json = nlohmann::ordered_json;
  const WalkedAdapter& adapter = AdapterOf(view);
  const WalkedEndpoint& shown = view.model.endpoints[view.endpoint];
  Json chosen = Json::object();
  for (const std::string& label : HeldLabels()) {
    if (IsHeld(view, label)) chosen[label] = Places(view, label);
  }
  Json endpoints = Json::array();
  for (const auto& [part, e] : JoinedEndpoints(view)) {
    const WalkedEndpoint& endpoint = view.model.endpoints[e];
    endpoints.push_back(Json{{"connector", adapter.parts[part].id},
                             {"name", endpoint.name},
                             {"id", endpoint.id},
                             {"traits", EndpointTraits(endpoint)},
                             {"chosen", endpoint.heldAs}});
  }
  Json parts = Json::array();
  for (const WalkedPart& part : adapter.parts) {
    Json controls = Json::object();
    for (const auto& [key, value] : Controls(part, true)) controls[key] = value;
    std::vector<std::string> from, to;
    for (std::size_t k : part.incoming) from.push_back(adapter.parts[k].id);
    for (std::size_t k : part.outgoing) to.push_back(adapter.parts[k].id);
    parts.push_back(Json{{"id", part.id},
                         {"name", part.name},
                         {"kind", part.isConnector ? "connector" : "subunit"},
                         {"chosen", part.heldAs},
                         {"controls", std::move(controls)},
                         {"from", from},
                         {"to", to}});
  }
  return Json{
      {"adapter", adapter.name},
      {"endpoint", Json{{"name", shown.name}, {"id", shown.id}, {"traits", EndpointTraits(shown)}}},
      {"connector", adapter.parts[shown.connector->part].id},
      {"chosen", std::move(chosen)},
      {"endpoints", std::move(endpoints)},
      {"parts", std::move(parts)}};
}

}  // namespace veltomix
