// `topology [ENDPOINT]`: the adapter topology behind an endpoint, with the
// parts binding chose; `--why CONTROL` says where a control's search stopped.
#include <CLI/CLI.hpp>
#include <algorithm>

#include "calls/call_script.h"
#include "commands/definitions.h"
#include "commands/walk_output.h"
#include "system/endpoint_choice.h"
#include "system/topology_view.h"
#include "why/topology_why.h"

namespace veltomix {

namespace {

namespace p = velto::platform;
using Json = nlohmann::ordered_json;

class TopologyCommand : public Command {
 public:
  explicit TopologyCommand(CLI::App& app) {
    app.add_option("ENDPOINT", endpoint_,
                   "playback, mic, line or virtual for a bound endpoint (playback when left out), "
                   "or any endpoint by its name or a piece of its name or id");
    app.add_option("--format", format_, "text, dot (Graphviz) or json")
        ->check(CLI::IsMember({"text", "dot", "json"}));
    app.add_option("--output", output_, "write to FILE instead of stdout")->option_text("FILE");
    app.add_option("--why", why_,
                   "say where the search for CONTROL stopped on the bound endpoint: which part, "
                   "which name did not match, which interface a part did not offer")
        ->option_text("CONTROL");
  }

  void Check() override {
    if (!why_.empty() && !FindControl(why_))
      throw UsageError("topology --why: unknown control '" + why_ + "'" + DidYouMeanControl(why_) +
                       ": type one of " + ControlNames());
  }

  int Run(Session& session) override {
    if (!why_.empty()) return Why(session);
    const std::vector<HeldControl> held = HeldByMixer();
    int exit = kExitOk;
    std::optional<SystemModel> model = Walk(session, "topology", held, &exit);
    if (!model) return exit;
    PrintWarnings(session, "topology", *model);
    const std::optional<std::size_t> index = Resolve(session, *model, held, &exit);
    if (!index) return exit;
    const WalkedEndpoint& endpoint = model->endpoints[*index];
    if (!endpoint.connector)
      return session.Fail("topology",
                          endpoint.name + (endpoint.hasTopology ? " is not joined to any adapter"
                                                                : " offers no device topology"),
                          kExitPlatform);
    TopologyView view{*model, *index, {}};
    for (const HeldControl& control : held) view.heldLabels.push_back(control.label);
    if (session.json || format_ == "json") {
      const Json topology = TopologyJson(view);
      Json document{{"command", "topology"}};
      document.update(topology);
      return WriteOutput(session, "topology", output_, document.dump() + "\n");
    }
    return WriteOutput(session, "topology", output_,
                       format_ == "dot" ? TopologyDot(view) : TopologyText(view));
  }

 private:
  int Why(Session& session) const {
    const ControlInfo& control = *FindControl(why_);
    const WhyReport report =
        ExplainControl(p::CurrentPlatform(), control, {session.chosenNames, session.chosenIds});
    if (session.json) {
      session.Emit(Json{{"command", "topology"},
                        {"control", control.name},
                        {"found", report.found},
                        {"steps", report.steps},
                        {"outcome", report.stopped}});
    } else {
      session.out << "How binding searches for " << control.name << ":\n";
      for (const std::string& step : report.steps) session.out << "  " << step << "\n";
      session.out << report.stopped << "\n";
    }
    return report.exit;
  }

  std::optional<std::size_t> Resolve(Session& session, const SystemModel& model,
                                     const std::vector<HeldControl>& held, int* exit) const {
    const std::string wanted = endpoint_.empty() ? "playback" : endpoint_;
    for (const EndpointRow& row : EndpointRows()) {
      if (wanted == row.topic) return BoundEndpointIndex(session, model, held, row, exit);
    }
    // Every endpoint in every state, with the index `list` gives the active ones.
    const std::vector<ListedEndpoint> listed = ListEndpoints(true);
    const EndpointChoice choice = ChooseEndpoint(listed, wanted, "endpoint");
    if (!choice.chosen) {
      *exit = session.Fail("topology", choice.problem, kExitUsage);
      return std::nullopt;
    }
    for (std::size_t e = 0; e < model.endpoints.size(); ++e) {
      if (model.endpoints[e].id == choice.chosen->id) return e;
    }
    *exit =
        session.Fail("topology", choice.chosen->name + " was not found by the walk", kExitPlatform);
    return std::nullopt;
  }

  // The endpoint whose volume the mixer holds in the row's slot; where the
  // platform's objects cannot be compared, the one bearing the bound name.
  std::optional<std::size_t> BoundEndpointIndex(Session& session, const SystemModel& model,
                                                const std::vector<HeldControl>& held,
                                                const EndpointRow& row, int* exit) const {
    for (std::size_t e = 0; e < model.endpoints.size(); ++e) {
      const auto& labels = model.endpoints[e].heldAs;
      if (std::find(labels.begin(), labels.end(), row.volume) != labels.end()) return e;
    }
    const bool isHeld = std::any_of(held.begin(), held.end(),
                                    [&](const HeldControl& h) { return h.label == row.volume; });
    if (isHeld) {
      std::string name = ReadBoundNames().Of(row.device);
      const auto chosen = session.chosenNames.find(row.device);
      if (name.empty() && chosen != session.chosenNames.end()) name = chosen->second;
      const auto named = FindEndpointByHostName(model, row.flow, name);
      if (named) return named;
      *exit = session.Fail("topology",
                           std::string("the bound ") + row.topic +
                               " endpoint cannot be recognised on this platform; name it by its "
                               "index or a piece of its name or id",
                           kExitPlatform);
      return std::nullopt;
    }
    *exit = session.Fail("topology",
                         std::string("no ") + row.topic +
                             " endpoint is bound; bind one first (`open " + row.option +
                             " ENDPOINT`) or name an endpoint by a piece of its name "
                             "or id (`veltomix list` shows them)",
                         kExitNothingBound);
    return std::nullopt;
  }

  std::string endpoint_;
  std::string format_ = "text";
  std::string output_ = "-";
  std::string why_;
};

}  // namespace

std::unique_ptr<Command> DefineTopology(CLI::App& app) {
  return std::make_unique<TopologyCommand>(app);
}

}  // namespace veltomix
