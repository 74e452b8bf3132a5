// Choosing an endpoint the way `list` shows it: by its index, by its name or
// a piece of it, or by a piece of its id. A text that fits several endpoints
// chooses none of them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace veltomix {

struct ListedEndpoint {
  std::optional<int> index;  // the exports' index; only active endpoints have one
  std::string name;          // UTF-8, as the exports report it
  std::string id;            // UTF-8
  velto::platform::DataFlow flow = velto::platform::DataFlow::Render;
  std::uint32_t state = velto::platform::kDeviceStateActive;
  bool isDefault = false;
};

// The active endpoints of both flows, as GetPlayBackDevice and
// GetRecordDevice list them; with `allStates`, every other endpoint the
// platform knows too, without an index.
std::vector<ListedEndpoint> ListEndpoints(bool allStates);

// The endpoints of `all` that have `flow`, in their order.
std::vector<ListedEndpoint> EndpointsOfFlow(const std::vector<ListedEndpoint>& all,
                                            velto::platform::DataFlow flow);

const char* FlowWord(velto::platform::DataFlow flow);  // "playback" or "recording"
const char* StateWord(std::uint32_t state);            // "active", "disabled", ...

struct EndpointChoice {
  std::optional<ListedEndpoint> chosen;
  std::vector<ListedEndpoint> matches;  // when several fit: all of them
  std::string problem;                  // why nothing was chosen, for a message
};

// The one endpoint among `candidates` that `text` names. In this order: an
// index, a name or id equal to the text, then a name or id containing it
// (letters A to Z in either case). `what` names the kind sought in messages
// ("playback endpoint").
EndpointChoice ChooseEndpoint(const std::vector<ListedEndpoint>& candidates,
                              const std::string& text, const std::string& what);

// One line per endpoint for a message listing matches.
std::string DescribeMatches(const std::vector<ListedEndpoint>& matches);

}  // namespace veltomix
