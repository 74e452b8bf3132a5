#include "system/endpoint_choice.h"

#include <algorithm>
#include <cctype>

#include "calls/call_output.h"
#include "calls/export_table.h"
#include "common/text.h"
#include "system/system_walk.h"

namespace veltomix {

namespace p = velto::platform;

namespace {

std::vector<ListedEndpoint> ActiveOf(p::DataFlow flow, const std::string& defaultId) {
  const bool playback = flow == p::DataFlow::Render;
  const CallResult counted =
      CallExport(playback ? "GetNumberPlayDevices" : "GetNumberRecordDevices");
  if (counted.result != 0) return {};
  std::vector<ListedEndpoint> endpoints;
  const auto count = static_cast<int>(counted.Int("count"));
  for (int i = 0; i < count; ++i) {
    const CallResult described =
        CallExport(playback ? "GetPlayBackDevice" : "GetRecordDevice", {std::int32_t{i}});
    if (described.result != 0) continue;
    ListedEndpoint endpoint{i,
                            BytesAsCodePoints(described.Text("name")),
                            BytesAsCodePoints(described.Text("id")),
                            flow,
                            p::kDeviceStateActive,
                            false};
    endpoint.isDefault = endpoint.id == defaultId;
    endpoints.push_back(std::move(endpoint));
  }
  return endpoints;
}

// The endpoints that are not active, from a walk of the whole system; an
// active one is already listed with its index.
std::vector<ListedEndpoint> Inactive() {
  std::vector<ListedEndpoint> endpoints;
  try {
    for (const WalkedEndpoint& model : WalkSystem(p::CurrentPlatform()).endpoints) {
      if (model.state == p::kDeviceStateActive) continue;
      endpoints.push_back({std::nullopt, model.hostName, model.id, model.flow, model.state, false});
    }
  } catch (const WalkError&) {
    // Listing the active ones still works; the walk's own problem shows
    // wherever a walk is the point (topology, capture).
  }
  return endpoints;
}

// "3" is the index `list` prints; "0003", with its leading zeros, is a piece of
// an id such as "{...}.{...0003}".
bool IsIndex(const std::string& text) {
  if (text.empty() || text.size() >= 6 || (text.size() > 1 && text[0] == '0')) return false;
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

bool EqualFolded(const std::string& a, const std::string& b) {
  return a.size() == b.size() && ContainsFolded(a, b);
}

template <class Test>
std::vector<ListedEndpoint> Matching(const std::vector<ListedEndpoint>& candidates, Test test) {
  std::vector<ListedEndpoint> matches;
  std::copy_if(candidates.begin(), candidates.end(), std::back_inserter(matches), test);
  return matches;
}

}  // namespace

std::vector<ListedEndpoint> EndpointsOfFlow(const std::vector<ListedEndpoint>& all,
                                            p::DataFlow flow) {
  std::vector<ListedEndpoint> some;
  std::copy_if(all.begin(), all.end(), std::back_inserter(some),
               [&](const ListedEndpoint& endpoint) { return endpoint.flow == flow; });
  return some;
}

const char* FlowWord(p::DataFlow flow) {
  return flow == p::DataFlow::Render ? "playback" : "recording";
}

const char* StateWord(std::uint32_t state) {
  switch (state) {
    case p::kDeviceStateDisabled:
      return "disabled";
    case p::kDeviceStateNotPresent:
      return "not present";
    case p::kDeviceStateUnplugged:
      return "unplugged";
    default:
      return "active";
  }
}

std::vector<ListedEndpoint> ListEndpoints(bool allStates) {
  p::Platform& platform = p::CurrentPlatform();
  std::vector<ListedEndpoint> endpoints =
      ActiveOf(p::DataFlow::Render, DefaultEndpointId(platform, p::DataFlow::Render));
  for (ListedEndpoint& endpoint :
       ActiveOf(p::DataFlow::Capture, DefaultEndpointId(platform, p::DataFlow::Capture)))
    endpoints.push_back(std::move(endpoint));
  if (!allStates) return endpoints;
  for (ListedEndpoint& endpoint : Inactive()) endpoints.push_back(std::move(endpoint));
  // Flows together, each flow's active endpoints first in their index order.
  std::stable_sort(
      endpoints.begin(), endpoints.end(),
      [](const ListedEndpoint& a, const ListedEndpoint& b) { return a.flow < b.flow; });
  return endpoints;
}

EndpointChoice ChooseEndpoint(const std::vector<ListedEndpoint>& candidates,
                              const std::string& text, const std::string& what) {
  EndpointChoice choice;
  const auto decide = [&](std::vector<ListedEndpoint> matches) {
    if (matches.empty()) return false;
    if (matches.size() == 1) {
      choice.chosen = std::move(matches.front());
      return true;
    }
    choice.matches = std::move(matches);
    choice.problem = "'" + text + "' fits " + std::to_string(choice.matches.size()) + " " + what +
                     "s; type more of its name or id:\n" + DescribeMatches(choice.matches);
    return true;
  };
  if (IsIndex(text)) {
    const int index = std::stoi(text);
    if (decide(Matching(candidates, [&](const ListedEndpoint& e) { return e.index == index; })))
      return choice;
  }
  if (decide(Matching(candidates, [&](const ListedEndpoint& e) {
        return EqualFolded(e.name, text) || EqualFolded(e.id, text);
      })))
    return choice;
  if (decide(Matching(candidates, [&](const ListedEndpoint& e) {
        return ContainsFolded(e.name, text) || ContainsFolded(e.id, text);
      })))
    return choice;
  choice.problem = "no " + what + " has '" + text +
                   "' as its index, in its name or in its id (`veltomix list` shows them)";
  return choice;
}

std::string DescribeMatches(const std::vector<ListedEndpoint>& matches) {
  std::size_t width = 0;
  for (const ListedEndpoint& endpoint : matches) width = std::max(width, Columns(endpoint.name));
  std::string lines;
  for (const ListedEndpoint& endpoint : matches) {
    lines += "  " + std::string(FlowWord(endpoint.flow)) + " " +
             (endpoint.index ? std::to_string(*endpoint.index) : std::string("-")) + "  " +
             PadRight(endpoint.name, width) + "  " + endpoint.id;
    if (endpoint.state != p::kDeviceStateActive)
      lines += "  (" + std::string(StateWord(endpoint.state)) + ")";
    lines += "\n";
  }
  if (!lines.empty()) lines.pop_back();
  return lines;
}

}  // namespace veltomix
