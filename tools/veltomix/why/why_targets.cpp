#include "why/why_targets.h"

#include <variant>

#include "core/control_table.h"

namespace veltomix {

using velto::ControlId;
using velto::ControlRow;
using velto::RowOf;

namespace {

bool HasMutePart(ControlId id) {
  for (const ControlRow& row : velto::kControls) {
    if (row.muteOf == id) return true;
  }
  return false;
}

}  // namespace

velto::WalkRole RoleOf(BoundEndpoint device) {
  switch (device) {
    case BoundEndpoint::Microphone:
      return velto::WalkRole::Microphone;
    case BoundEndpoint::LineIn:
      return velto::WalkRole::LineIn;
    default:
      return velto::WalkRole::Playback;
  }
}

Search SearchOf(ControlId id) {
  if (id == ControlId::None) return Search::EndpointOwn;
  const ControlRow& row = RowOf(id);
  if (std::holds_alternative<velto::EndpointInterface>(row.bindsAs)) return Search::EndpointOwn;
  if (row.muteOf != ControlId::None) return SearchOf(row.muteOf);
  if (row.level.unit == velto::LevelUnit::Decibels) return Search::OutputChain;
  if (HasMutePart(id)) return Search::MonitorBranch;
  return row.endpoint == velto::BoundEndpoint::LineIn ? Search::LineConnector : Search::BoostPart;
}

Target TargetOf(const ControlInfo& control) {
  return {control.name, RoleOf(control.device), control.held,
          control.heldMute.value_or(ControlId::None), SearchOf(control.held)};
}

std::string Offered(ControlId id, const char* between) {
  const ControlRow& row = RowOf(id);
  std::string names = velto::InterfaceName(row.bindsAs);
  if (row.orElse) names += between + std::string(velto::InterfaceName(*row.orElse));
  return names;
}

}  // namespace veltomix
