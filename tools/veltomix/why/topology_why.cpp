#include "why/topology_why.h"

#include "common/exit_status.h"
#include "platform/com_scope.h"
#include "system/endpoint_choice.h"
#include "topology/walk_observer.h"
#include "veltosound.h"
#include "why/why_steps.h"

namespace veltomix {

namespace p = velto::platform;
using p::Ref;
using velto::NameMatch;
using velto::WalkControl;
using velto::WalkEnd;
using velto::WalkEvent;

namespace {

// What --why asks of the walk for one control.
struct Target {
  const char* control;
  velto::WalkRole role;
  WalkControl slot;
  WalkControl mute = WalkControl::None;
};

constexpr Target kTargets[] = {
    {"master", velto::WalkRole::Playback, WalkControl::EndpointVolume},
    {"line-monitor", velto::WalkRole::Playback, WalkControl::LineMonitorLevel,
     WalkControl::LineMonitorMute},
    {"mic-monitor", velto::WalkRole::Playback, WalkControl::MicMonitorLevel,
     WalkControl::MicMonitorMute},
    {"bass", velto::WalkRole::Playback, WalkControl::Bass},
    {"treble", velto::WalkRole::Playback, WalkControl::Treble},
    {"midrange", velto::WalkRole::Playback, WalkControl::Midrange},
    {"mic-record", velto::WalkRole::Microphone, WalkControl::EndpointVolume},
    {"mic-boost", velto::WalkRole::Microphone, WalkControl::MicBoostSwitch},
    {"mic-boost-level", velto::WalkRole::Microphone, WalkControl::MicBoostLevel},
    {"line-record", velto::WalkRole::LineIn, WalkControl::EndpointVolume},
    {"line-agc", velto::WalkRole::LineIn, WalkControl::LineAgc},
};

const Target* TargetOf(const std::string& control) {
  for (const Target& target : kTargets) {
    if (control == target.control) return &target;
  }
  return nullptr;
}

bool IsTone(WalkControl control) {
  return control == WalkControl::Bass || control == WalkControl::Treble ||
         control == WalkControl::Midrange;
}

const char* ToneInterface(WalkControl control) {
  return control == WalkControl::Bass     ? "IAudioBass"
         : control == WalkControl::Treble ? "IAudioTreble"
                                          : "IAudioMidrange";
}

// Turns the told steps into lines, and the last binding of the control into
// the outcome.
class Narration {
 public:
  Narration(const Target& target, const std::string& name) : target_(target), name_(name) {}

  WhyReport Tell(const std::vector<Told>& steps, const std::string& endpoint) {
    report_.steps.push_back("endpoint " + endpoint);
    for (const Told& told : steps) Narrate(told);
    return Outcome();
  }

 private:
  void Line(std::string text) { report_.steps.push_back(std::move(text)); }
  void Append(const std::string& text) {
    if (!report_.steps.empty()) report_.steps.back() += text;
  }
  void Stop(std::string why) { stopped_ = std::move(why); }

  void Narrate(const Told& told) {
    // An endpoint's own volume is all there is to its search.
    if (found_ && target_.slot == WalkControl::EndpointVolume) return;
    const velto::WalkStep& step = told.step;
    switch (step.event) {
      case WalkEvent::Joined:
        joined_ = told.part;
        Line("joined to the adapter's connector " + Shown(told.part.Get()));
        return;
      case WalkEvent::Bound:
        return Bound(told);
      case WalkEvent::Ended:
        return Ended(told);
      case WalkEvent::Searching:
        return Searching(told);
      case WalkEvent::NameTested:
        return NameTested(told);
      case WalkEvent::NotOffered:
        return NotOffered(told);
    }
  }

  void Bound(const Told& told) {
    const WalkControl control = told.step.control;
    if (control == target_.slot) {
      found_ = true;
      part_ = told.part ? Shown(told.part.Get()) : "";
    }
    if (control == WalkControl::LineAgc)
      Line("connector " + connector_ + ": two parts downstream, " + Shown(told.part.Get()) +
           " offers IAudioAutoGainControl" + NeverTried(told.list.Get()));
    if (control == target_.slot &&
        (control == WalkControl::LineMonitorLevel || control == WalkControl::MicMonitorLevel))
      Line(part_ + " is bound as the level");
    if (control == target_.mute && target_.mute != WalkControl::None) {
      mutePart_ = Shown(told.part.Get());
      Append("; the branch part " + mutePart_ + " as the mute");
    }
    if (control == WalkControl::MicBoostSwitch || control == WalkControl::MicBoostLevel)
      otherBoost_ = Shown(told.part.Get());
  }

  void NotOffered(const Told& told) {
    const WalkControl control = told.step.control;
    const std::string iface = told.step.interfaceName;
    if (IsTone(control) && control == target_.slot)
      Line(Shown(told.part.Get()) + " (output chain): no " + iface);
    if (control == target_.mute && target_.mute != WalkControl::None)
      Append("; the branch part " + Shown(told.part.Get()) + " offers no " + iface +
             ", so the mute is not found");
    if (control == WalkControl::LineAgc)
      Line("connector " + connector_ + ": two parts downstream, " + Shown(told.part.Get()) +
           " offers no IAudioAutoGainControl" + NeverTried(told.list.Get()) +
           (found_ ? "; the one found on " + part_ + " stays bound" : ""));
    if (control == WalkControl::MicBoostSwitch || control == WalkControl::MicBoostLevel) {
      const bool first = Same(told.part, matched_);
      Append((first ? ", but it offers no " : " or ") + iface);
      matched_ = nullptr;
    }
  }

  void Searching(const Told& told) {
    const WalkControl control = told.step.control;
    const std::string words = Words(told.words);
    if (control == target_.slot &&
        (control == WalkControl::LineMonitorLevel || control == WalkControl::MicMonitorLevel))
      Line("branch " + Shown(told.part.Get()) + ": its chain is searched for a name holding " +
           words);
    if (control == WalkControl::MicBoostSwitch)
      Line("connector " + Shown(told.part.Get()) + ": downstream parts named with " + words +
           " are tried for a switch (IAudioAutoGainControl, IAudioLoudness)");
    if (control == WalkControl::MicBoostLevel)
      Line("no switch; the same parts are tried for a level (IAudioVolumeLevel)");
  }

  void NameTested(const Told& told) {
    const velto::WalkStep& step = told.step;
    const bool connector = step.control == WalkControl::None;
    if (!connector && step.control != target_.slot && !IsBoost(step.control)) return;
    const std::string who = (connector ? "connector " : "  ") + Shown(told.part.Get());
    if (step.match == NameMatch::Unreadable) {
      Line(who + ": its name cannot be read, so it matches nothing");
    } else if (step.match == NameMatch::NotMatched) {
      Line(who + ": name does not hold " + Words(told.words));
    } else if (connector) {
      connector_ = Shown(told.part.Get());
    } else {
      Line(who + ": name matches");
      matched_ = told.part;
    }
  }

  static bool IsBoost(WalkControl control) {
    return control == WalkControl::MicBoostSwitch || control == WalkControl::MicBoostLevel;
  }

  void Ended(const Told& told) {
    const velto::WalkStep& step = told.step;
    const std::string part = Shown(told.part.Get());
    const bool tone = IsTone(target_.slot);
    switch (step.end) {
      case WalkEnd::EndpointNotFound:
        return Stop("the bound endpoint is no longer active");
      case WalkEnd::EndpointUnavailable:
        return Stop("the endpoint cannot be had again by its id");
      case WalkEnd::NoEndpointVolume:
        return Stop("the endpoint offers no IAudioEndpointVolume");
      case WalkEnd::NoTopology:
        return Stop(
            "the endpoint offers no device topology, so binding looks for nothing beyond its "
            "own volume and mute");
      case WalkEnd::MasterUnreadable:
        return Stop("the endpoint's master level or mute cannot be read; the walk fails there");
      case WalkEnd::NotJoined:
        return Stop("the endpoint's connector is not joined to an adapter's connector");
      case WalkEnd::NoAdapterTopology:
        return Stop("the adapter's topology cannot be reached from connector " + part);
      case WalkEnd::ChainInputs:
        if (Same(told.part, joined_)) {
          Line(part + " has " + std::to_string(step.count) +
               " inputs: no single chain to search for tone controls");
        } else {
          Line(part + " has " + std::to_string(step.count) + " inputs: the output chain ends here" +
               (tone || step.count == 0 ? "" : "; its inputs are the branches"));
        }
        if (step.count == 0 && !tone) Stop("the output chain has no branches to search");
        return;
      case WalkEnd::DeviceEdge:
        Line(part + " has no inputs: the output chain ends at the edge of the device" +
             std::string(tone ? " (it was tried)" : ""));
        if (!tone) Stop("the output chain has no branches to search");
        return;
      case WalkEnd::ChainPartWithoutInputs:
        return Stop("the output chain ends at " + part +
                    ", which has no inputs: the walk fails there" +
                    (tone ? " before trying it" : ", before any monitor branch is searched"));
      case WalkEnd::ChainPartUnavailable:
        return Stop("a part of the output chain cannot be fetched; the walk fails");
      case WalkEnd::ChainCountUnreadable:
        return Stop("the inputs of " + part + " cannot be counted; the walk fails");
      case WalkEnd::BranchUnavailable:
        return Stop("branch " + std::to_string(step.count) + " cannot be fetched; the walk fails");
      case WalkEnd::BranchWithoutInputs:
        if (!tone) Line("branch " + part + ": no inputs; skipped");
        return;
      case WalkEnd::LevelNotOnChain:
        if (step.control == target_.slot)
          Append(", but no part on the chain offers IAudioVolumeLevel");
        return;
      case WalkEnd::LevelUnreadable:
        if (step.control == target_.slot)
          Append(", but its level cannot be read: the path is left to a later branch");
        return;
      case WalkEnd::AlreadyFound:
        return;
      case WalkEnd::ConnectorCountUnreadable:
        return Stop("the adapter's connectors cannot be counted");
      case WalkEnd::ConnectorUnavailable:
        return Stop("connector " + std::to_string(step.count) + " cannot be read; the walk fails");
      case WalkEnd::ConnectorFeedsNothing:
        Line("connector " + part + ": no outgoing parts; skipped");
        return;
      case WalkEnd::PathTooShort:
        return Stop(
            "after connector " + connector_ +
            " the part tried must lie two parts downstream (part 0 of each outgoing "
            "list), but " +
            (told.part ? part + " leads to no further part" : "its outgoing list yields no part") +
            "; the walk fails");
      case WalkEnd::LineAtDeviceEdge:
        Line("after connector " + connector_ + ", " + part +
             " leads out of the device: no part there to carry a gain control; passed over");
        return;
      case WalkEnd::SearchRanOut:
        return;
      case WalkEnd::StepLimit:
        Line("the walk went round a loop and stopped at its bound");
        return;
    }
  }

  WhyReport Outcome() {
    if (found_) {
      report_.found = true;
      // The name without the quotes it is shown in.
      report_.part =
          part_.size() > 1 && part_.front() == '"' ? part_.substr(1, part_.size() - 2) : part_;
      report_.exit = kExitOk;
      report_.stopped = "found: " + name_ + " is " + FoundWhere();
      return report_;
    }
    report_.exit = kExitControlMissing;
    report_.stopped = "not found: " + (stopped_.empty() ? NotFoundWhy() : stopped_);
    return report_;
  }

  std::string FoundWhere() const {
    if (target_.slot == WalkControl::EndpointVolume)
      return "the endpoint's own volume (IAudioEndpointVolume)";
    if (IsTone(target_.slot)) return "on " + part_ + " (output chain)";
    if (target_.mute != WalkControl::None)
      return "the level on " + part_ + (mutePart_.empty() ? "" : ", the mute on " + mutePart_);
    return "on " + part_;
  }

  std::string NotFoundWhy() const {
    switch (target_.slot) {
      case WalkControl::LineMonitorLevel:
      case WalkControl::MicMonitorLevel:
        return "no branch has a part named with " +
               Words(target_.slot == WalkControl::LineMonitorLevel
                         ? std::vector<std::string>{"line", "gree"}
                         : std::vector<std::string>{"mic", "pin"}) +
               " followed, towards the mixer, by a part that offers IAudioVolumeLevel";
      case WalkControl::LineAgc:
        return "no connector named with \"line\" has, two parts downstream along part 0 of "
               "each outgoing list, a part that offers IAudioAutoGainControl";
      case WalkControl::MicBoostSwitch:
        if (!otherBoost_.empty())
          return "no part offers a boost switch; a boost level was found on " + otherBoost_ +
                 " instead (see mic-boost-level)";
        return "no connector named with \"mic\" leads to a part named with \"boost\", \"+2\" "
               "or \"agc\" that offers IAudioAutoGainControl or IAudioLoudness";
      case WalkControl::MicBoostLevel:
        if (!otherBoost_.empty())
          return "a boost switch was found on " + otherBoost_ +
                 ", and then no boost level is sought";
        return "no connector named with \"mic\" leads to a part named with \"boost\", \"+2\" "
               "or \"agc\" that offers IAudioVolumeLevel";
      default:
        if (IsTone(target_.slot))
          return std::string(
                     "no part of the output chain, up to the first with other than one "
                     "input, offers ") +
                 ToneInterface(target_.slot);
        return "the endpoint offers no IAudioEndpointVolume";
    }
  }

  const Target& target_;
  std::string name_;
  WhyReport report_;
  std::string stopped_;
  bool found_ = false;
  std::string part_, mutePart_, otherBoost_;
  std::string connector_;  // the last connector whose name matched
  Ref<p::Part> joined_, matched_;
};

WhyReport NotFound(const std::string& why, int exit) {
  WhyReport report;
  report.stopped = "not found: " + why;
  report.exit = exit;
  return report;
}

// The virtual endpoint is bound by its own export, without a walk.
WhyReport ExplainVirtual() {
  int status = 0;
  GetVirtualVolume(&status);
  if (status != 0)
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
                         const std::map<BoundEndpoint, std::string>& chosenNames) {
  if (control.device == BoundEndpoint::Virtual) return ExplainVirtual();
  std::string name = ReadBoundNames().Of(control.device);
  const auto chosen = chosenNames.find(control.device);
  if (name.empty() && chosen != chosenNames.end()) name = chosen->second;
  if (name.empty())
    return NotFound(std::string("no ") + DeviceTitle(control.device) +
                        " endpoint is bound, so nothing was searched; bind one with `open` first",
                    kExitNothingBound);
  const bool playback = control.device == BoundEndpoint::Playback;
  std::string id;
  for (const ListedEndpoint& endpoint : ListEndpoints(false)) {
    if ((endpoint.flow == p::DataFlow::Render) == playback && endpoint.name == name) {
      id = endpoint.id;
      break;
    }
  }
  if (id.empty())
    return NotFound("the bound endpoint " + name + " is no longer listed", kExitPlatform);
  const Target& target = *TargetOf(control.name);
  // Every object of the walk, and the references kept of them, are released
  // inside the COM bracket.
  velto::platform::ComScope com(platform);
  Recorder recorder;
  velto::WatchWalk(target.role, id.c_str(), recorder);
  return Narration(target, control.name).Tell(recorder.steps, name);
}

}  // namespace veltomix
