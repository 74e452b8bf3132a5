// `open`: binds endpoints named by index, name or id, or the defaults.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <optional>

#include "calls/call_script.h"
#include "calls/export_table.h"
#include "commands/definitions.h"
#include "common/text.h"
#include "system/endpoint_choice.h"

namespace veltomix {

namespace {

namespace p = velto::platform;
using Json = nlohmann::ordered_json;

class OpenCommand : public Command {
 public:
  explicit OpenCommand(CLI::App& app) {
    app.add_flag("--default", useDefault_,
                 "bind the default playback endpoint, and the default recording endpoint as "
                 "microphone when its name holds \"mic\", else as line input");
    const char* how = "; by its index in `list`, its name or a piece of it, or a piece of its id";
    for (const EndpointRow& row : EndpointRows()) {
      Given& given = given_[static_cast<std::size_t>(row.device)];
      given.option = app.add_option(row.option, given.text, std::string(row.openHelp) + how)
                         ->option_text("ENDPOINT");
    }
  }

  // The options die with the parser; what they say is kept here.
  void Check() override {
    roles_.clear();
    for (const EndpointRow& row : EndpointRows())
      Keep(row, given_[static_cast<std::size_t>(row.device)]);
    const bool byText = std::any_of(roles_.begin(), roles_.end(), [](const Role& role) {
      return role.device != BoundEndpoint::Virtual;
    });
    if (useDefault_ && byText)
      throw UsageError(
          "open: --default binds the system's default devices; leave out --playback, --mic and "
          "--line, or drop --default");
    if (!useDefault_ && roles_.empty())
      throw UsageError(
          "open needs --default, or --playback/--mic/--line (and --virtual) with an endpoint's "
          "index, name or id: `veltomix list` shows them");
  }

  int Run(Session& session) override {
    Json document{{"command", "open"}, {"roles", Json::array()}};
    int exit = kExitOk;
    if (useDefault_) exit = OpenDefaults(session, document);
    if (!roles_.empty()) {
      const int byText = OpenByText(session, document);
      if (exit == kExitOk) exit = byText;
    }
    if (session.json) session.Emit(document);
    return exit;
  }

 private:
  struct Given {
    CLI::Option* option = nullptr;
    std::string text;
  };

  struct Role {
    BoundEndpoint device;
    std::string text;
    std::optional<ListedEndpoint> chosen;
  };

  // Given on the command line; an empty text would name every endpoint.
  void Keep(const EndpointRow& row, Given& given) {
    const bool present = given.option && given.option->count() > 0;
    given.option = nullptr;
    if (!present) return;
    if (given.text.empty())
      throw UsageError(std::string("open: ") + row.option +
                       " needs an endpoint: its index, its name or a piece of its id");
    roles_.push_back({row.device, given.text, std::nullopt});
  }

  static void Bound(Session& session, Json& document, BoundEndpoint device, const std::string& name,
                    const std::string& id) {
    session.chosenNames[device] = name;
    session.chosenIds[device] = id;
    if (!session.json) session.err << PadRight(RowOf(device).role, 12) << name << "\n";
    document["roles"].push_back(
        Json{{"role", RowOf(device).role}, {"bound", true}, {"name", name}, {"id", id}});
  }

  static void Failed(Session& session, Json& document, const std::string& role,
                     const std::string& problem) {
    session.err << "veltomix: open: " << role << ": " << problem << "\n";
    document["roles"].push_back(Json{{"role", role}, {"bound", false}, {"problem", problem}});
  }

  int OpenDefaults(Session& session, Json& document) {
    const std::vector<ListedEndpoint> active = ListEndpoints(false);
    const auto defaultId = [&](p::DataFlow flow) {
      for (const ListedEndpoint& endpoint : active) {
        if (endpoint.flow == flow && endpoint.isDefault) return endpoint.id;
      }
      return std::string();
    };
    const std::optional<std::int32_t> result = CallExport("OpenDefaultDevices").result;
    const BoundNames names = ReadBoundNames();
    int exit = kExitOk;
    if (!names.Of(BoundEndpoint::Playback).empty()) {
      Bound(session, document, BoundEndpoint::Playback, names.Of(BoundEndpoint::Playback),
            defaultId(p::DataFlow::Render));
    } else {
      Failed(session, document, "playback", "the default playback endpoint could not be bound");
      exit = kExitCommandFailed;
    }
    const BoundEndpoint recording = names.Of(BoundEndpoint::Microphone).empty()
                                        ? BoundEndpoint::LineIn
                                        : BoundEndpoint::Microphone;
    if (!names.Of(recording).empty()) {
      Bound(session, document, recording, names.Of(recording), defaultId(p::DataFlow::Capture));
      return exit;
    }
    Failed(session, document, "recording",
           result == 0 ? "the default recording endpoint could not be bound"
                       : "the default recording endpoint is not among the active ones, so no "
                         "recording device was bound");
    return kExitCommandFailed;
  }

  // Every text must name exactly one endpoint before anything is bound: a
  // text that fits several binds none of them.
  int OpenByText(Session& session, Json& document) {
    const std::vector<ListedEndpoint> active = ListEndpoints(false);
    bool allChosen = true;
    for (Role& role : roles_) {
      const EndpointRow& row = RowOf(role.device);
      EndpointChoice choice =
          ChooseEndpoint(EndpointsOfFlow(active, row.flow), role.text,
                         std::string("active ") + FlowWord(row.flow) + " endpoint");
      if (choice.chosen) {
        role.chosen = std::move(choice.chosen);
        continue;
      }
      allChosen = false;
      Failed(session, document, row.role,
             std::string(row.option) + " " + role.text + ": " +
                 InactiveHint(choice, role.text, row.flow));
    }
    if (!allChosen) {
      session.err << "veltomix: open: nothing was bound\n";
      return kExitUsage;
    }
    return Bind(session, document);
  }

  // Says so when the text names an endpoint that is there but not active.
  static std::string InactiveHint(const EndpointChoice& choice, const std::string& text,
                                  p::DataFlow flow) {
    if (!choice.matches.empty()) return choice.problem;
    std::vector<ListedEndpoint> inactive;
    for (const ListedEndpoint& endpoint : EndpointsOfFlow(ListEndpoints(true), flow)) {
      if (!endpoint.index) inactive.push_back(endpoint);
    }
    const EndpointChoice there = ChooseEndpoint(inactive, text, "endpoint");
    if (!there.chosen) return choice.problem;
    return there.chosen->name + " is " + StateWord(there.chosen->state) +
           "; only active endpoints can be bound";
  }

  const Role* Chosen(BoundEndpoint device) const {
    for (const Role& role : roles_) {
      if (role.device == device) return &role;
    }
    return nullptr;
  }

  std::optional<std::string> IdOf(BoundEndpoint device) const {
    const Role* role = Chosen(device);
    return role ? role->chosen->id : "";
  }

  int Bind(Session& session, Json& document) {
    int exit = kExitOk;
    if (Chosen(BoundEndpoint::Playback) || Chosen(BoundEndpoint::Microphone) ||
        Chosen(BoundEndpoint::LineIn)) {
      const CallResult opened = CallExport(
          "OpenSoundCard", {IdOf(BoundEndpoint::Playback), IdOf(BoundEndpoint::Microphone),
                            IdOf(BoundEndpoint::LineIn)});
      const int failed = FailedRoles(opened.result.value_or(7));
      const std::pair<BoundEndpoint, int> bits[] = {
          {BoundEndpoint::Playback, 1}, {BoundEndpoint::Microphone, 2}, {BoundEndpoint::LineIn, 4}};
      for (const auto& [device, bit] : bits) {
        const Role* role = Chosen(device);
        if (!role) continue;
        if (!(failed & bit)) {
          Bound(session, document, device, role->chosen->name, role->chosen->id);
          continue;
        }
        // Found, but its walk failed: what the walk bound before failing
        // still works, and `show` shows it under this name.
        session.chosenNames[device] = role->chosen->name;
        session.chosenIds[device] = role->chosen->id;
        Failed(session, document, RowOf(device).role,
               "found " + role->chosen->name +
                   ", but walking its topology failed; the controls found before the failure "
                   "stay bound (`veltomix show` lists them, `veltomix topology --why CONTROL` "
                   "says where a search stopped)");
        exit = kExitCommandFailed;
      }
    }
    if (const Role* role = Chosen(BoundEndpoint::Virtual)) {
      if (CallExport("OpenVirtual_1", {IdOf(BoundEndpoint::Virtual)}).result == 0) {
        Bound(session, document, BoundEndpoint::Virtual, role->chosen->name, role->chosen->id);
      } else {
        Failed(session, document, RowOf(BoundEndpoint::Virtual).role,
               role->chosen->name + " offers no device topology");
        exit = kExitCommandFailed;
      }
    }
    return exit;
  }

  // OpenSoundCard's result is the exclusive or of 1 (playback), 3
  // (microphone) and 6 (line in) for the bindings that failed; every
  // combination gives a different code.
  static int FailedRoles(int result) {
    for (int roles = 0; roles < 8; ++roles) {
      const int code = ((roles & 1) ? 1 : 0) ^ ((roles & 2) ? 3 : 0) ^ ((roles & 4) ? 6 : 0);
      if (code == result) return roles;
    }
    return 7;
  }

  std::array<Given, 4> given_;
  bool useDefault_ = false;
  std::vector<Role> roles_;
};

}  // namespace

std::unique_ptr<Command> DefineOpen(CLI::App& app) { return std::make_unique<OpenCommand>(app); }

}  // namespace veltomix
