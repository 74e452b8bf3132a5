// Turns what binding's walk tells into the lines of `topology --why`.
#pragma once

#include <algorithm>
#include <map>
#include <variant>

#include "platform/node_types.h"
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

// What a part of `category` is, for "a microphone's pin category".
const char* CategoryTitle(WalkCategory category);

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

  void Ended(const Told& told);
  WhyReport Outcome();
  std::string FoundWhere() const;
  std::string SoughtBy(ControlId control) const;
  std::string BoostNotFound() const;
  std::string ByCategoryToo() const;
  std::string NotFoundWhy() const;

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

}  // namespace veltomix
