#include "commands.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <functional>
#include <optional>

#include "call_output.h"
#include "call_script.h"
#include "endpoint_choice.h"
#include "files.h"
#include "mixer_controls.h"
#include "mixer_view.h"
#include "system_description.h"
#include "system_walk.h"
#include "text.h"
#include "topology_view.h"
#include "topology_why.h"
#include "veltosound.h"

namespace veltomix {

namespace p = velto::platform;

using Json = nlohmann::ordered_json;

void Session::Emit(const Json& document) const { out << document.dump() << "\n"; }

int Session::Fail(const std::string& command, const std::string& problem, int exit) const {
  err << "veltomix: " << problem << "\n";
  if (json) Emit(Json{{"command", command}, {"error", problem}, {"exit", exit}});
  return exit;
}

namespace {

// --- Endpoints ------------------------------------------------------------------------------

std::vector<ListedEndpoint> OfFlow(const std::vector<ListedEndpoint>& all, p::DataFlow flow) {
  std::vector<ListedEndpoint> some;
  for (const ListedEndpoint& endpoint : all) {
    if (endpoint.flow == flow) some.push_back(endpoint);
  }
  return some;
}

Json EndpointJson(const ListedEndpoint& endpoint) {
  return Json{{"index", endpoint.index ? Json(*endpoint.index) : Json(nullptr)},
              {"name", endpoint.name},
              {"id", endpoint.id},
              {"default", endpoint.isDefault},
              {"state", StateWord(endpoint.state)}};
}

// --- list ---------------------------------------------------------------------------------

class ListCommand : public Command {
 public:
  void Define(CLI::App& app) {
    app.add_flag("--all", all_, "also the endpoints that are disabled, unplugged or not present");
  }

  int Run(Session& session) override {
    const std::vector<ListedEndpoint> endpoints = ListEndpoints(all_);
    const auto playback = OfFlow(endpoints, p::DataFlow::Render);
    const auto recording = OfFlow(endpoints, p::DataFlow::Capture);
    if (session.json) {
      Json document{{"command", "list"}, {"playback", Json::array()}, {"recording", Json::array()}};
      for (const ListedEndpoint& endpoint : playback)
        document["playback"].push_back(EndpointJson(endpoint));
      for (const ListedEndpoint& endpoint : recording)
        document["recording"].push_back(EndpointJson(endpoint));
      session.Emit(document);
      return kExitOk;
    }
    std::size_t width = 0;
    for (const ListedEndpoint& endpoint : endpoints)
      width = std::max(width, Columns(endpoint.name));
    Section(session.out, "Playback endpoints", playback, width);
    Section(session.out, "Recording endpoints", recording, width);
    session.out << "* default endpoint. " << Example(playback, recording) << "\n";
    return kExitOk;
  }

 private:
  void Section(std::ostream& out, const char* title, const std::vector<ListedEndpoint>& endpoints,
               std::size_t width) const {
    out << title << "\n";
    if (endpoints.empty()) out << (all_ ? "  (none)\n" : "  (none active)\n");
    for (const ListedEndpoint& endpoint : endpoints) {
      out << "  " << (endpoint.index ? std::to_string(*endpoint.index) : "-")
          << (endpoint.isDefault ? " * " : "   ") << PadRight(endpoint.name, width) << "  "
          << endpoint.id;
      if (endpoint.state != p::kDeviceStateActive) out << "  (" << StateWord(endpoint.state) << ")";
      out << "\n";
    }
  }

  static std::string Example(const std::vector<ListedEndpoint>& playback,
                             const std::vector<ListedEndpoint>& recording) {
    std::string example;
    for (const ListedEndpoint& endpoint : playback) {
      if (endpoint.isDefault && endpoint.index)
        example += " --playback " + std::to_string(*endpoint.index);
    }
    for (const ListedEndpoint& endpoint : recording) {
      if (!endpoint.isDefault || !endpoint.index) continue;
      const bool mic = ContainsFolded(endpoint.name, "mic");
      example += (mic ? " --mic " : " --line ") + std::to_string(*endpoint.index);
    }
    if (example.empty()) return "Bind endpoints with `veltomix open --playback INDEX|NAME|ID`.";
    return "Bind by index, a piece of the name or of the id, e.g. `veltomix open" + example + "`";
  }

  bool all_ = false;
};

// --- open -----------------------------------------------------------------------------------

class OpenCommand : public Command {
 public:
  void Define(CLI::App& app) {
    const char* how = "; by its index in `list`, its name or a piece of it, or a piece of its id";
    playbackOption_ = app.add_option("--playback", playback_,
                                     std::string("bind an active playback endpoint") + how)
                          ->option_text("ENDPOINT");
    micOption_ = app.add_option("--mic", mic_,
                                std::string("bind a recording endpoint as the microphone") + how)
                     ->option_text("ENDPOINT");
    lineOption_ = app.add_option("--line", line_,
                                 std::string("bind a recording endpoint as the line input") + how)
                      ->option_text("ENDPOINT");
    app.add_flag("--default", useDefault_,
                 "bind the default playback endpoint, and the default recording endpoint as "
                 "microphone when its name holds \"mic\", else as line input");
    virtualOption_ =
        app.add_option("--virtual", virtual_,
                       std::string("bind a playback endpoint as the virtual one") + how)
            ->option_text("ENDPOINT");
  }

  // The options die with the parser; what they say is kept here.
  void Check() override {
    roles_.clear();
    Keep(playbackOption_, BoundEndpoint::Playback, playback_);
    Keep(micOption_, BoundEndpoint::Microphone, mic_);
    Keep(lineOption_, BoundEndpoint::LineIn, line_);
    Keep(virtualOption_, BoundEndpoint::Virtual, virtual_);
    playbackOption_ = micOption_ = lineOption_ = virtualOption_ = nullptr;
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
  struct Role {
    BoundEndpoint device;
    std::string option;
    std::string text;
    std::optional<ListedEndpoint> chosen;
  };

  // Given on the command line; an empty text would name every endpoint.
  void Keep(const CLI::Option* option, BoundEndpoint device, const std::string& text) {
    if (option->count() == 0) return;
    if (text.empty())
      throw UsageError("open: " + option->get_name() +
                       " needs an endpoint: its index, its name or a piece of its id");
    roles_.push_back({device, option->get_name(), text, std::nullopt});
  }

  static void Bound(Session& session, Json& document, BoundEndpoint device, const std::string& name,
                    const std::string& id) {
    session.chosenNames[device] = name;
    if (!session.json) session.err << PadRight(WordsFor(device).role, 12) << name << "\n";
    document["roles"].push_back(
        Json{{"role", WordsFor(device).role}, {"bound", true}, {"name", name}, {"id", id}});
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
    const int result = OpenDefaultDevices();
    const BoundNames names = ReadBoundNames();
    int exit = kExitOk;
    if (!names.playback.empty()) {
      Bound(session, document, BoundEndpoint::Playback, names.playback,
            defaultId(p::DataFlow::Render));
    } else {
      Failed(session, document, "playback", "the default playback endpoint could not be bound");
      exit = kExitCommandFailed;
    }
    const BoundEndpoint recording =
        names.mic.empty() ? BoundEndpoint::LineIn : BoundEndpoint::Microphone;
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
      const bool playback =
          role.device == BoundEndpoint::Playback || role.device == BoundEndpoint::Virtual;
      const p::DataFlow flow = playback ? p::DataFlow::Render : p::DataFlow::Capture;
      EndpointChoice choice = ChooseEndpoint(OfFlow(active, flow), role.text,
                                             std::string("active ") + FlowWord(flow) + " endpoint");
      if (choice.chosen) {
        role.chosen = std::move(choice.chosen);
        continue;
      }
      allChosen = false;
      Failed(session, document, WordsFor(role.device).role,
             role.option + " " + role.text + ": " + InactiveHint(choice, role.text, flow));
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
    for (const ListedEndpoint& endpoint : OfFlow(ListEndpoints(true), flow)) {
      if (!endpoint.index) inactive.push_back(endpoint);
    }
    const EndpointChoice there = ChooseEndpoint(inactive, text, "endpoint");
    if (!there.chosen) return choice.problem;
    return there.chosen->name + " is " + StateWord(there.chosen->state) +
           "; only active endpoints can be bound";
  }

  const Role* Given(BoundEndpoint device) const {
    for (const Role& role : roles_) {
      if (role.device == device) return &role;
    }
    return nullptr;
  }

  std::string IdOf(BoundEndpoint device) const {
    const Role* role = Given(device);
    return role ? role->chosen->id : "";
  }

  int Bind(Session& session, Json& document) {
    int exit = kExitOk;
    if (Given(BoundEndpoint::Playback) || Given(BoundEndpoint::Microphone) ||
        Given(BoundEndpoint::LineIn)) {
      const std::string playback = IdOf(BoundEndpoint::Playback);
      const std::string mic = IdOf(BoundEndpoint::Microphone);
      const std::string line = IdOf(BoundEndpoint::LineIn);
      const int failed = FailedRoles(OpenSoundCard(playback.c_str(), mic.c_str(), line.c_str()));
      const std::pair<BoundEndpoint, int> bits[] = {
          {BoundEndpoint::Playback, 1}, {BoundEndpoint::Microphone, 2}, {BoundEndpoint::LineIn, 4}};
      for (const auto& [device, bit] : bits) {
        const Role* role = Given(device);
        if (!role) continue;
        if (!(failed & bit)) {
          Bound(session, document, device, role->chosen->name, role->chosen->id);
          continue;
        }
        // Found, but its walk failed: what the walk bound before failing
        // still works, and `show` shows it under this name.
        session.chosenNames[device] = role->chosen->name;
        Failed(session, document, WordsFor(device).role,
               "found " + role->chosen->name +
                   ", but walking its topology failed; the controls found before the failure "
                   "stay bound (`veltomix show` lists them, `veltomix topology --why CONTROL` "
                   "says where a search stopped)");
        exit = kExitCommandFailed;
      }
    }
    if (const Role* role = Given(BoundEndpoint::Virtual)) {
      if (OpenVirtual_1(role->chosen->id.c_str()) == 0) {
        Bound(session, document, BoundEndpoint::Virtual, role->chosen->name, role->chosen->id);
      } else {
        Failed(session, document, WordsFor(BoundEndpoint::Virtual).role,
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

  std::string playback_, mic_, line_, virtual_;
  bool useDefault_ = false;
  std::vector<Role> roles_;
  CLI::Option* playbackOption_ = nullptr;
  CLI::Option* micOption_ = nullptr;
  CLI::Option* lineOption_ = nullptr;
  CLI::Option* virtualOption_ = nullptr;
};

// --- get, set, mute, unmute -----------------------------------------------------------------

class ControlCommand : public Command {
 public:
  explicit ControlCommand(const char* command) : command_(command) {}

  // `withMute`: only the controls that have a mute are offered.
  void DefineControl(CLI::App& app, bool withMute = false) {
    app.add_option("CONTROL", controlName_, "one of: " + ControlNames(withMute))->required();
  }

  void Check() override {
    control_ = FindControl(controlName_);
    if (!control_)
      throw UsageError("unknown control '" + controlName_ + "'" + DidYouMeanControl(controlName_) +
                       ": type one of " + ControlNames());
  }

 protected:
  // Prints the control's value, as `get` does.
  int Report(Session& session) const {
    const Reading reading = control_->Read();
    if (reading.status != 0) return Fail(session, reading.status);
    if (session.json) {
      session.Emit(Tagged(ReadingJson(*control_, reading)));
    } else {
      session.out << control_->name << ": " << DescribeReading(*control_, reading) << "\n";
    }
    return kExitOk;
  }

  int Fail(Session& session, int status) const {
    return session.Fail(command_, StatusProblem(*control_, status), StatusExit(*control_, status));
  }

  Json Tagged(Json reading) const {
    Json document{{"command", command_}};
    for (auto& [key, value] : reading.items()) document[key] = std::move(value);
    return document;
  }

  const char* command_;
  std::string controlName_;
  const ControlInfo* control_ = nullptr;
};

class GetCommand : public ControlCommand {
 public:
  GetCommand() : ControlCommand("get") {}
  int Run(Session& session) override { return Report(session); }
};

class SetCommand : public ControlCommand {
 public:
  SetCommand() : ControlCommand("set") {}

  void Define(CLI::App& app) {
    DefineControl(app);
    app.add_option("VALUE", text_,
                   "percent 0..100 for volumes, dB for bass/treble/midrange, whole dB for "
                   "mic-boost-level, on/off for mic-boost and line-agc; +N or -N changes the "
                   "value by N, =N sets a negative dB value")
        ->required()
        ->allow_extra_args(false);
  }

  void Check() override {
    ControlCommand::Check();
    value_ = control_->Parse(text_);
  }

  int Run(Session& session) override {
    const Reading current = control_->Read();
    if (current.status != 0) return Fail(session, current.status);
    SetValue target;
    try {
      target = control_->Target(value_, current);
    } catch (const UsageError& error) {
      return session.Fail(command_, error.what(), kExitUsage);
    }
    if (const int status = control_->Write(target)) return Fail(session, status);
    if (value_.relative) Settle(target);
    return Report(session);
  }

 private:
  // A volume reads back as a truncated percentage: the level for N% often
  // reads back as N-1, so a step up could fall short or not move at all.
  // It goes on to the next level up instead, so that it moves at least as
  // far as asked.
  void Settle(const SetValue& written) const {
    if (control_->kind != ControlKind::Percent || value_.value <= 0 || written.value >= 100) return;
    const Reading after = control_->Read();
    if (after.status != 0 || after.value >= written.value) return;
    SetValue further = written;
    ++further.value;
    control_->Write(further);
  }

  std::string text_;
  SetValue value_;
};

class MuteCommand : public ControlCommand {
 public:
  explicit MuteCommand(bool mute) : ControlCommand(mute ? "mute" : "unmute"), mute_(mute) {}

  void Check() override {
    ControlCommand::Check();
    if (control_->hasMute) return;
    const std::string name = control_->name;
    if (control_->kind == ControlKind::Switch)
      throw UsageError(name + " is a switch, not a mute: type `set " + name + " " +
                       (mute_ ? "off" : "on") + "`");
    throw UsageError(name + " has no mute; " + ControlNames(true) + " have one");
  }

  // The mute's own outcome: the volume beside it may be unreadable on a
  // platform where the mute works.
  int Run(Session& session) override {
    if (const int status = control_->WriteMute(mute_)) return Fail(session, status);
    const Reading reading = control_->Read();
    if (!reading.muted) return Fail(session, reading.muteStatus);
    if (session.json) {
      session.Emit(Tagged(ReadingJson(*control_, reading)));
    } else if (reading.status == 0) {
      session.out << control_->name << ": " << DescribeReading(*control_, reading) << "\n";
    } else {
      session.out << control_->name << ": " << (*reading.muted ? "muted" : "unmuted")
                  << "  (its volume: " << StatusWord(reading.status) << ")\n";
    }
    return kExitOk;
  }

 private:
  bool mute_;
};

// --- close ------------------------------------------------------------------------------------

class CloseCommand : public Command {
 public:
  void Define(CLI::App& app) {
    app.add_flag("--restore", restore_,
                 "first put every control back to the value it had when it was bound");
  }

  int Run(Session& session) override {
    CloseSoundCard(restore_ ? 1 : 0);
    CloseVirtual_1();
    session.chosenNames.clear();
    if (session.json) {
      session.Emit(Json{{"command", "close"}, {"restored", restore_}});
    } else {
      session.err << (restore_ ? "closed; every control is back at its value from binding\n"
                               : "closed\n");
    }
    return kExitOk;
  }

 private:
  bool restore_ = false;
};

// --- show -------------------------------------------------------------------------------------

class ShowCommand : public Command {
 public:
  void Define(CLI::App& app) {
    app.add_option("--color", color_,
                   "colour the bars: auto (on a terminal, unless NO_COLOR is set or TERM is "
                   "dumb), always or never")
        ->check(CLI::IsMember({"auto", "always", "never"}))
        ->option_text("WHEN");
  }

  int Run(Session& session) override {
    const std::vector<DeviceView> mixer = ReadMixer(session.chosenNames);
    if (session.json) {
      session.Emit(ShowJson(mixer));
    } else {
      const bool color = color_ == "always" || (color_ == "auto" && session.color);
      session.out << RenderShow(mixer, color);
    }
    return ShowExit(mixer);
  }

 private:
  std::string color_ = "auto";
};

// --- topology and capture ---------------------------------------------------------------------

// Writes `text` to `path`, or to the session's output for "-".
int WriteOutput(Session& session, const char* command, const std::string& path,
                const std::string& text) {
  if (path == "-") {
    session.out << text;
    return kExitOk;
  }
  const std::string problem = WriteWholeFile(path, text);
  return problem.empty() ? kExitOk : session.Fail(command, problem, kExitPlatform);
}

// What a walk could not read or had to change, in one line.
void PrintWarnings(Session& session, const char* command, const SystemModel& model) {
  if (model.warnings.empty()) return;
  std::string line;
  for (const std::string& warning : model.warnings) line += (line.empty() ? "" : "; ") + warning;
  session.err << "veltomix: " << command << ": " << line << "\n";
}

std::optional<SystemModel> Walk(Session& session, const char* command,
                                const std::vector<HeldControl>& held, int* exit) {
  try {
    return WalkSystem(p::CurrentPlatform(), held);
  } catch (const WalkError& error) {
    *exit = session.Fail(command, error.what(), kExitPlatform);
    return std::nullopt;
  }
}

class TopologyCommand : public Command {
 public:
  void Define(CLI::App& app) {
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
    const WhyReport report = ExplainControl(p::CurrentPlatform(), control, session.chosenNames);
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

  struct BoundRole {
    const char* word;
    const char* label;  // the slot's label in kSlotLabels
    const char* open;
    BoundEndpoint device;
    p::DataFlow flow;
  };

  std::optional<std::size_t> Resolve(Session& session, const SystemModel& model,
                                     const std::vector<HeldControl>& held, int* exit) const {
    static const BoundRole kRoles[] = {
        {"playback", "master", "--playback", BoundEndpoint::Playback, p::DataFlow::Render},
        {"mic", "mic-record", "--mic", BoundEndpoint::Microphone, p::DataFlow::Capture},
        {"line", "line-record", "--line", BoundEndpoint::LineIn, p::DataFlow::Capture},
        {"virtual", "virtual", "--virtual", BoundEndpoint::Virtual, p::DataFlow::Render}};
    const std::string wanted = endpoint_.empty() ? "playback" : endpoint_;
    for (const BoundRole& role : kRoles) {
      if (wanted == role.word) return BoundEndpointIndex(session, model, held, role, exit);
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

  // The endpoint whose volume the mixer holds in the role's slot; where the
  // platform's objects cannot be compared, the one bearing the bound name.
  std::optional<std::size_t> BoundEndpointIndex(Session& session, const SystemModel& model,
                                                const std::vector<HeldControl>& held,
                                                const BoundRole& role, int* exit) const {
    for (std::size_t e = 0; e < model.endpoints.size(); ++e) {
      const auto& labels = model.endpoints[e].heldAs;
      if (std::find(labels.begin(), labels.end(), role.label) != labels.end()) return e;
    }
    const bool isHeld = std::any_of(held.begin(), held.end(),
                                    [&](const HeldControl& h) { return h.label == role.label; });
    if (isHeld) {
      std::string name = ReadBoundNames().Of(role.device);
      const auto chosen = session.chosenNames.find(role.device);
      if (name.empty() && chosen != session.chosenNames.end()) name = chosen->second;
      const auto named = FindEndpointByHostName(model, role.flow, name);
      if (named) return named;
      *exit = session.Fail("topology",
                           std::string("the bound ") + role.word +
                               " endpoint cannot be recognised on this platform; name it by its "
                               "index or a piece of its name or id",
                           kExitPlatform);
      return std::nullopt;
    }
    *exit = session.Fail("topology",
                         std::string("no ") + role.word +
                             " endpoint is bound; bind one first (`open " + role.open +
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

std::string Counted(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

class CaptureCommand : public Command {
 public:
  void Define(CLI::App& app) {
    app.add_option("--output", output_, "write the description to FILE (- for stdout)")
        ->option_text("FILE|-");
  }

  int Run(Session& session) override {
    int exit = kExitOk;
    std::optional<SystemModel> model = Walk(session, "capture", {}, &exit);
    if (!model) return exit;
    const std::string text = PrettyJson(DescribeSystem(*model));
    PrintWarnings(session, "capture", *model);
    exit = WriteOutput(session, "capture", output_, text);
    if (exit != kExitOk || output_ == "-") return exit;
    if (session.json) {
      session.Emit(Json{{"command", "capture"},
                        {"endpoints", model->endpoints.size()},
                        {"adapters", model->adapters.size()},
                        {"output", output_},
                        {"warnings", model->warnings}});
    } else {
      session.err << "captured " << Counted(model->endpoints.size(), "endpoint", "endpoints")
                  << " and "
                  << Counted(model->adapters.size(), "adapter topology", "adapter topologies")
                  << " into " << output_ << "\n";
    }
    return kExitOk;
  }

 private:
  std::string output_ = "-";
};

// --- The table --------------------------------------------------------------------------------

template <class T>
std::unique_ptr<Command> Defined(CLI::App& app) {
  auto command = std::make_unique<T>();
  command->Define(app);
  return command;
}

std::unique_ptr<Command> DefineGet(CLI::App& app) {
  auto command = std::make_unique<GetCommand>();
  command->DefineControl(app);
  return command;
}
template <bool kMute>
std::unique_ptr<Command> DefineMute(CLI::App& app) {
  auto command = std::make_unique<MuteCommand>(kMute);
  command->DefineControl(app, true);
  return command;
}

}  // namespace

const std::vector<CommandSpec>& FriendlyCommands() {
  static const std::vector<CommandSpec> table = {
      {"list", "list [--all]",
       "the active playback and recording endpoints (--all: every state): index, name, id, "
       "default",
       Defined<ListCommand>},
      {"open", "open (--default | [--playback E] [--mic E] [--line E]) [--virtual E]",
       "bind endpoints by index, name or a piece of name or id, or the system's defaults",
       Defined<OpenCommand>},
      {"get", "get CONTROL", "print a control's value", DefineGet},
      {"set", "set CONTROL VALUE",
       "set a control: percent, dB, or on/off; +N or -N changes it by N", Defined<SetCommand>},
      {"mute", "mute CONTROL", "mute master, line-monitor, mic-monitor or virtual",
       DefineMute<true>},
      {"unmute", "unmute CONTROL", "unmute one of them", DefineMute<false>},
      {"show", "show [--color WHEN]", "every bound device and control at a glance",
       Defined<ShowCommand>},
      {"topology", "topology [ENDPOINT] [--format text|dot|json] [--output FILE] [--why CONTROL]",
       "the adapter topology behind an endpoint, with the parts binding chose; --why says where "
       "a control's search stopped",
       Defined<TopologyCommand>},
      {"capture", "capture [--output FILE]",
       "write every endpoint and topology as a sound-system description (JSON)",
       Defined<CaptureCommand>},
      {"close", "close [--restore]",
       "release the bound devices (and the virtual endpoint), optionally restoring every control",
       Defined<CloseCommand>},
  };
  return table;
}

std::vector<std::string> CommandOptions(const CommandSpec& spec) {
  CLI::App app{spec.summary, spec.name};
  const std::unique_ptr<Command> command = spec.define(app);
  std::vector<std::string> names;
  for (const CLI::Option* option : app.get_options()) {
    for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
  }
  return names;
}

const CommandSpec* FindCommand(const std::string& name) {
  for (const CommandSpec& spec : FriendlyCommands()) {
    if (name == spec.name) return &spec;
  }
  return nullptr;
}

std::string CommandsHelp() {
  std::string help =
      "Commands (each has --help; they chain with each other and with export calls):\n";
  for (const CommandSpec& spec : FriendlyCommands())
    help += std::string("  ") + spec.synopsis + "\n      " + spec.summary + "\n";
  help += "Controls: " + ControlNames() + "\n";
  help += "An ENDPOINT is its index in `list`, its name or a piece of it, or a piece of its id.\n";
  help += "Without arguments veltomix binds the default devices and shows them.\n";
  help += "Example:  veltomix open --default set master 40 mute mic-monitor show\n";
  help +=
      "Exit status: 0 done; 1 a binding failed; 2 usage error (a wrong option, value or endpoint); "
      "3 nothing bound; 4 control missing on the bound device; 5 platform failure (or a file "
      "could not be read or written). The first failing step decides.\n";
  return help;
}

}  // namespace veltomix
