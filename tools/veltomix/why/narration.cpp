#include "why/narration.h"

#include "common/exit_status.h"

namespace veltomix {

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

void Narration::Ended(const Told& told) {
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

WhyReport Narration::Outcome() {
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
  report_.stopped = "not found: " + (stopped_.empty() ? NotFoundWhy() + ByCategoryToo() : stopped_);
  return report_;
}

std::string Narration::FoundWhere() const {
  if (Is(Search::EndpointOwn)) return "the endpoint's own volume (" + Offered(target_.slot) + ")";
  if (Is(Search::OutputChain)) return "on " + part_ + " (output chain)";
  if (target_.mute != ControlId::None)
    return "the level on " + part_ + (mutePart_.empty() ? "" : ", the mute on " + mutePart_);
  return "on " + part_;
}

// The words the walk said it searches by for `control`.
std::string Narration::SoughtBy(ControlId control) const {
  const auto words = seeking_.find(control);
  return Words(words == seeking_.end() ? std::vector<std::string>{} : words->second);
}

std::string Narration::BoostNotFound() const {
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
std::string Narration::ByCategoryToo() const {
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

std::string Narration::NotFoundWhy() const {
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

}  // namespace veltomix
