#include "why/topology_why.h"

#include <algorithm>
#include <map>
#include <variant>

#include "calls/export_table.h"
#include "common/exit_status.h"
#include "core/held_objects.h"
#include "platform/com_scope.h"
#include "platform/node_types.h"
#include "system/endpoint_choice.h"
#include "topology/walk_observer.h"
#include "why/narration.h"
#include "why/why_steps.h"
#include "why/why_targets.h"

namespace veltomix {

// The names it uses (p, Ref, ControlId, ...) come with narration.h.

namespace {

std::string Of(const std::map<BoundEndpoint, std::string>& chosen, BoundEndpoint device) {
  const auto found = chosen.find(device);
  return found == chosen.end() ? std::string() : found->second;
}

WhyReport NotFound(const std::string& why, int exit) {
  WhyReport report;
  report.stopped = "not found: " + why;
  report.exit = exit;
  return report;
}

// The virtual endpoint is bound by its own export, without a walk.
WhyReport ExplainVirtual() {
  // Through the export table, so that under --library it asks the library.
  const CallResult volume = CallExport("GetVirtualVolume");
  if (volume.Int("status", -1) != 0)
    return NotFound(
        "no Virtual endpoint is bound, so nothing was searched; bind one with `open` first",
        kExitNothingBound);
  WhyReport report;
  report.found = true;
  report.stopped = "found: virtual is the virtual endpoint's own volume (IAudioEndpointVolume)";
  return report;
}

}  // namespace

WhyReport ExplainControl(p::Platform& platform, const ControlInfo& control,
                         const ChosenEndpoints& chosen) {
  if (control.device == BoundEndpoint::Virtual) return ExplainVirtual();
  std::string name = ReadBoundNames().Of(control.device);
  if (name.empty()) name = Of(chosen.names, control.device);
  std::string id = velto::FoundEndpointId(control.device);
  if (id.empty()) id = Of(chosen.ids, control.device);
  if (id.empty())
    return NotFound(std::string("no ") + DeviceTitle(control.device) +
                        " endpoint is bound, so nothing was searched; bind one with `open` first",
                    kExitNothingBound);
  const bool playback = control.device == BoundEndpoint::Playback;
  const std::vector<ListedEndpoint> listed = ListEndpoints(false);
  if (std::none_of(listed.begin(), listed.end(), [&](const ListedEndpoint& endpoint) {
        return (endpoint.flow == p::DataFlow::Render) == playback && endpoint.id == id;
      }))
    return NotFound("the bound endpoint " + (name.empty() ? id : name) + " is no longer listed",
                    kExitPlatform);
  // Every object of the walk, and the references kept of them, are released
  // inside the COM bracket.
  velto::platform::ComScope com(platform);
  Recorder recorder;
  velto::WatchWalk(RoleOf(control.device), id.c_str(), recorder);
  return Narration(TargetOf(control)).Tell(recorder.steps, name.empty() ? id : name);
}

}  // namespace veltomix
