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
#include "why/why_steps.h"
#include "why/why_targets.h"

namespace veltomix {

namespace p = velto::platform;
using p::Ref;
using velto::ControlId;
using velto::ControlRow;
using velto::NameMatch;
using velto::RowOf;
using velto::WalkCategory;
using velto::WalkEnd;
using velto::WalkEvent;

namespace {

// What a part of `category` is, for "a microphone's pin category".
const char* CategoryTitle(WalkCategory category) {
  switch (category) {
    case WalkCategory::Microphone:
      return "a microphone's pin category";
    case WalkCategory::LineInput:
      return "a line input's pin category (KSNODETYPE_LINE_CONNECTOR)";
    case WalkCategory::Agc:
      return "an AGC node's type (KSNODETYPE_AGC)";
    case WalkCategory::None:
      break;
  }
  return "";
}

// Turns the told steps into lines, and the last binding of the control into
// the outcome.
class Narration {
 public:
  explicit Narration(const Target& target) : target_(target) {}

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

  bool Is(Search search) const { return target_.search == search; }
  bool IsMute(ControlId control) const {
    return control == target_.mute && target_.mute != ControlId::None;
  }
  // "switch" or "level", as a boost search names what it tries for.
  static std::string KindWord(ControlId control) {
    return RowOf(control).state.get ? "switch" : "level";
  }

  void Narrate(const Told& told) {
    // An endpoint's own volume is all there is to its search.
    if (found_ && Is(Search::EndpointOwn)) return;
    const velto::WalkStep& step = told.step;
    switch (step.event) {
      case WalkEvent::Seeking:
        return Seeking(told);
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
      case WalkEvent::SubTypeTested:
        return SubTypeTested(told);
      case WalkEvent::NotOffered:
        return NotOffered(told);
    }
  }

  void Seeking(const Told& told) {
    const ControlId control = told.step.control;
    if (control == ControlId::None) {
      connectorWords_ = told.words;
      return;
    }
    seeking_[control] = told.words;
    if (SearchOf(control) == Search::BoostPart) boostOrder_.push_back(control);
  }

  void Bound(const Told& told) {
    const ControlId control = told.step.control;
    const Search search = SearchOf(control);
    if (control == target_.slot) {
      found_ = true;
      part_ = told.part ? Shown(told.part.Get()) : "";
      foundBy_ =
          search == Search::BoostPart || search == Search::MonitorBranch ? searchBy_ : connectorBy_;
    }
    if (search == Search::LineConnector)
      Line("connector " + connector_ + ": two parts downstream, " + Shown(told.part.Get()) +
           " offers " + told.step.interfaceName + NeverTried(told.list.Get()));
    if (control == target_.slot && search == Search::MonitorBranch)
      Line(part_ + " is bound as the level");
    if (IsMute(control)) {
      mutePart_ = Shown(told.part.Get());
      Append("; the branch part " + mutePart_ + " as the mute");
    }
    if (search == Search::BoostPart && control != target_.slot) {
      otherBoost_ = Shown(told.part.Get());
      otherBoostControl_ = control;
    }
  }

  void NotOffered(const Told& told) {
    const ControlId control = told.step.control;
    const Search search = SearchOf(control);
    const std::string iface = told.step.interfaceName;
    if (search == Search::OutputChain && control == target_.slot)
      Line(Shown(told.part.Get()) + " (output chain): no " + iface);
    if (IsMute(control))
      Append("; the branch part " + Shown(told.part.Get()) + " offers no " + iface +
             ", so the mute is not found");
    if (search == Search::LineConnector)
      Line("connector " + connector_ + ": two parts downstream, " + Shown(told.part.Get()) +
           " offers no " + iface + NeverTried(told.list.Get()) +
           (found_ ? "; the one found on " + part_ + " stays bound" : ""));
    if (search == Search::BoostPart) {
      const bool first = Same(told.part, matched_);
      Append((first ? ", but it offers no " : " or ") + iface);
      matched_ = nullptr;
    }
  }

  void Searching(const Told& told) {
    if (told.step.category != WalkCategory::None) return SearchingByCategory(told);
    searchBy_.clear();
    const ControlId control = told.step.control;
    const Search search = SearchOf(control);
    const std::string words = Words(told.words);
    if (control == target_.slot && search == Search::MonitorBranch)
      Line("branch " + Shown(told.part.Get()) + ": its chain is searched for a name holding " +
           words);
    if (search != Search::BoostPart) return;
    const std::string tried = "a " + KindWord(control) + " (" + Offered(control, ", ") + ")";
    if (Same(told.part, boostConnector_)) {
      Line("no " + boostKind_ + "; the same parts are tried for " + tried);
    } else {
      Line("connector " + Shown(told.part.Get()) + ": downstream parts named with " + words +
           " are tried for " + tried);
    }
    boostConnector_ = told.part;
    boostKind_ = KindWord(control);
  }

  // The second search, by subtype, that runs where no name held the words.
  void SearchingByCategory(const Told& told) {
    const ControlId control = told.step.control;
    const std::string title = CategoryTitle(told.step.category);
    searchBy_ = title;
    if (control == ControlId::None) {
      connectorCategory_ = title;
      Line("no connector's name holds " + Words(told.words) +
           ": the connectors are searched once more, for " + title);
    }
    if (control == target_.slot) targetCategory_ = title;
    if (control == target_.slot && SearchOf(control) == Search::MonitorBranch)
      Line("branch " + Shown(told.part.Get()) + ": no chain held a name with " + Words(told.words) +
           ", so its chain is searched once more, for " + title);
    if (SearchOf(control) == Search::BoostPart && control != ControlId::None) {
      Line("no part's name held " + Words(told.words) +
           ": the same parts are tried once more, for " + title + " with a " + KindWord(control) +
           "; a boost level is found by name only");
      boostConnector_ = told.part;
      boostKind_ = KindWord(control);
    }
  }

  void SubTypeTested(const Told& told) {
    const velto::WalkStep& step = told.step;
    const bool connector = step.control == ControlId::None;
    if (!connector && step.control != target_.slot && SearchOf(step.control) != Search::BoostPart)
      return;
    const std::string who = (connector ? "connector " : "  ") + Shown(told.part.Get());
    const std::string kind = connector ? "pin category" : "subtype";
    if (step.match == NameMatch::Unreadable) {
      Line(who + ": its " + kind + " cannot be read, so it matches nothing");
      return;
    }
    const std::string subtype = velto::platform::SubTypeText(step.subtype);
    if (step.match == NameMatch::NotMatched) {
      Line(who + ": " + kind + " " + subtype + " is not " + CategoryTitle(step.category));
    } else if (connector) {
      connector_ = Shown(told.part.Get());
      connectorBy_ = kind + " " + subtype;
      Line(who + ": " + kind + " " + subtype + ", taken");
    } else {
      Line(who + ": " + kind + " " + subtype + " matches");
      matched_ = told.part;
    }
  }

  void NameTested(const Told& told) {
    const velto::WalkStep& step = told.step;
    const bool connector = step.control == ControlId::None;
    if (!connector && step.control != target_.slot && SearchOf(step.control) != Search::BoostPart)
      return;
    const std::string who = (connector ? "connector " : "  ") + Shown(told.part.Get());
    if (step.match == NameMatch::Unreadable) {
      Line(who + ": its name cannot be read, so it matches nothing");
    } else if (step.match == NameMatch::NotMatched) {
      Line(who + ": name does not hold " + Words(told.words));
    } else if (connector) {
      connector_ = Shown(told.part.Get());
      connectorBy_.clear();
    } else {
      Line(who + ": name matches");
      matched_ = told.part;
    }
  }

  void Ended(const Told& told) {
    const velto::WalkStep& step = told.step;
    const std::string part = Shown(told.part.Get());
    const bool tone = Is(Search::OutputChain);
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
      report_.stopped = "found: " + std::string(target_.control) + " is " + FoundWhere() +
                        (foundBy_.empty() ? "" : " (found by " + foundBy_ + ", not by name)");
      return report_;
    }
    report_.exit = kExitControlMissing;
    report_.stopped =
        "not found: " + (stopped_.empty() ? NotFoundWhy() + ByCategoryToo() : stopped_);
    return report_;
  }

  std::string FoundWhere() const {
    if (Is(Search::EndpointOwn)) return "the endpoint's own volume (" + Offered(target_.slot) + ")";
    if (Is(Search::OutputChain)) return "on " + part_ + " (output chain)";
    if (target_.mute != ControlId::None)
      return "the level on " + part_ + (mutePart_.empty() ? "" : ", the mute on " + mutePart_);
    return "on " + part_;
  }

  // The words the walk said it searches by for `control`.
  std::string SoughtBy(ControlId control) const {
    const auto words = seeking_.find(control);
    return Words(words == seeking_.end() ? std::vector<std::string>{} : words->second);
  }

  std::string BoostNotFound() const {
    const ControlId target = target_.slot;
    if (otherBoost_.empty())
      return "no connector named with " + Words(connectorWords_) + " leads to a part named with " +
             SoughtBy(target) + " that offers " + Offered(target);
    const std::string other =
        "a boost " + KindWord(otherBoostControl_) + " was found on " + otherBoost_;
    if (!boostOrder_.empty() && boostOrder_.front() == target)
      return "no part offers a boost " + KindWord(target) + "; " + other + " instead (see " +
             RowOf(otherBoostControl_).name + ")";
    return other + ", and then no boost " + KindWord(target) + " is sought";
  }

  // Where no name held the words, what the search by subtype found.
  std::string ByCategoryToo() const {
    std::string text;
    if (!connectorCategory_.empty())
      text += "; no connector's name held the word, and the one of " + connectorCategory_ +
              " (if any) led to none either";
    if (!targetCategory_.empty())
      text += "; no part's name held the words, and the search for " + targetCategory_ +
              " found none either";
    if (target_.search == Search::BoostPart && otherBoost_.empty() &&
        RowOf(target_.slot).state.get == nullptr &&
        (!connectorCategory_.empty() || !searchBy_.empty()))
      text +=
          "; a boost level is found by name only, as its node type (a volume or loudness) "
          "does not say boost";
    return text;
  }

  std::string NotFoundWhy() const {
    const ControlId target = target_.slot;
    switch (target_.search) {
      case Search::MonitorBranch:
        return "no branch has a part named with " + SoughtBy(target) +
               " followed, towards the mixer, by a part that offers " + Offered(target);
      case Search::LineConnector:
        return "no connector named with " + Words(connectorWords_) +
               " has, two parts downstream along part 0 of each outgoing list, a part that "
               "offers " +
               Offered(target);
      case Search::BoostPart:
        return BoostNotFound();
      case Search::OutputChain:
        return "no part of the output chain, up to the first with other than one input, offers " +
               Offered(target);
      case Search::EndpointOwn:
        break;
    }
    return "the endpoint offers no " + Offered(target);
  }

  const Target target_;
  WhyReport report_;
  std::string stopped_;
  bool found_ = false;
  std::string part_, mutePart_, otherBoost_;
  ControlId otherBoostControl_ = ControlId::None;
  std::string connector_;  // the last connector whose name (or category) matched
  // How the part bound was found when not by name (the connector's pin
  // category, or the category of the last search); which category searches
  // ran for the connectors and for the target.
  std::string connectorBy_, searchBy_, foundBy_, connectorCategory_, targetCategory_;
  std::vector<std::string> connectorWords_;  // what the connectors' names are tested for
  std::map<ControlId, std::vector<std::string>> seeking_;
  std::vector<ControlId> boostOrder_;  // the boost searches, in the order the walk takes them
  Ref<p::Part> boostConnector_;
  std::string boostKind_;
  Ref<p::Part> joined_, matched_;
};

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
