#include "commands.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <fstream>
#include <functional>
#include <optional>

#include "call_output.h"
#include "call_script.h"
#include "mixer_controls.h"
#include "mixer_view.h"
#include "system_description.h"
#include "system_walk.h"
#include "text.h"
#include "topology_view.h"
#include "veltosound.h"

namespace veltomix {

namespace p = velto::platform;

namespace {

// --- Endpoints as the exports list them -----------------------------------------------------

struct Listed {
  std::string name;  // UTF-8
  std::string id;    // UTF-8
};

std::vector<Listed> ListEndpoints(bool playback) {
  std::vector<Listed> endpoints;
  int count = 0;
  if ((playback ? GetNumberPlayDevices(&count) : GetNumberRecordDevices(&count)) != 0) return {};
  for (int i = 0; i < count; ++i) {
    char name[512] = {}, id[512] = {};
    const int result = playback ? GetPlayBackDevice(static_cast<unsigned>(i), name, id)
                                : GetRecordDevice(static_cast<unsigned>(i), name, id);
    if (result == 0) endpoints.push_back({BytesAsCodePoints(name), BytesAsCodePoints(id)});
  }
  return endpoints;
}

// The endpoint a search text binds: the first whose id contains it.
std::optional<Listed> FirstMatching(bool playback, const std::string& fragment) {
  for (Listed& endpoint : ListEndpoints(playback)) {
    if (ContainsFolded(endpoint.id, fragment)) return std::move(endpoint);
  }
  return std::nullopt;
}

// A short piece of `id` that no other listed id contains: the first eight
// characters of its last {...} group when they will do, else the whole id.
std::string UniqueFragment(const std::string& id, const std::vector<Listed>& all) {
  const std::size_t brace = id.rfind('{');
  if (brace == std::string::npos || brace + 9 > id.size()) return id;
  const std::string piece = id.substr(brace + 1, 8);
  for (const Listed& other : all) {
    if (other.id != id && ContainsFolded(other.id, piece)) return id;
  }
  return piece;
}

// --- list ---------------------------------------------------------------------------------

class ListCommand : public Command {
 public:
  bool Run(Session& session) override {
    p::Platform& platform = p::CurrentPlatform();
    const std::vector<Listed> playback = ListEndpoints(true);
    const std::vector<Listed> recording = ListEndpoints(false);
    const std::string defaultPlayback = DefaultEndpointId(platform, p::DataFlow::Render);
    const std::string defaultRecording = DefaultEndpointId(platform, p::DataFlow::Capture);
    std::size_t width = 0;
    for (const auto* list : {&playback, &recording}) {
      for (const Listed& endpoint : *list) width = std::max(width, Columns(endpoint.name));
    }
    Section(session.out, "Playback endpoints", playback, defaultPlayback, width);
    Section(session.out, "Recording endpoints", recording, defaultRecording, width);
    session.out << "* default endpoint. "
                << Example(playback, recording, defaultPlayback, defaultRecording) << "\n";
    return true;
  }

 private:
  static void Section(std::ostream& out, const char* title, const std::vector<Listed>& endpoints,
                      const std::string& defaultId, std::size_t width) {
    out << title << "\n";
    if (endpoints.empty()) out << "  (none active)\n";
    for (std::size_t i = 0; i < endpoints.size(); ++i) {
      out << "  " << i << (endpoints[i].id == defaultId ? " * " : "   ")
          << PadRight(endpoints[i].name, width) << "  " << endpoints[i].id << "\n";
    }
  }

  static std::string Example(const std::vector<Listed>& playback,
                             const std::vector<Listed>& recording, const std::string& playbackId,
                             const std::string& recordingId) {
    std::string example;
    for (const Listed& endpoint : playback) {
      if (endpoint.id == playbackId)
        example += " --playback " + UniqueFragment(endpoint.id, playback);
    }
    for (const Listed& endpoint : recording) {
      if (endpoint.id != recordingId) continue;
      const bool mic = ContainsFolded(endpoint.name, "mic");
      example += (mic ? " --mic " : " --line ") + UniqueFragment(endpoint.id, recording);
    }
    if (example.empty()) return "Bind endpoints with `veltomix open --playback ID`.";
    return "Bind by a piece of an id, e.g. `veltomix open" + example + "`";
  }
};

// --- open -----------------------------------------------------------------------------------

class OpenCommand : public Command {
 public:
  void Define(CLI::App& app) {
    playbackOption_ = app.add_option("--playback", playback_,
                                     "bind the first active playback endpoint whose id contains ID")
                          ->option_text("ID");
    micOption_ = app.add_option("--mic", mic_, "bind a recording endpoint as the microphone")
                     ->option_text("ID");
    lineOption_ = app.add_option("--line", line_, "bind a recording endpoint as the line input")
                      ->option_text("ID");
    app.add_flag("--default", useDefault_,
                 "bind the default playback endpoint, and the default recording endpoint as "
                 "microphone when its name holds \"mic\", else as line input");
    virtualOption_ =
        app.add_option("--virtual", virtual_, "bind a playback endpoint as the virtual endpoint")
            ->option_text("ID");
  }

  // The options die with the parser; what they say is kept here.
  void Check() override {
    hasPlayback_ = Given(playbackOption_, playback_);
    hasMic_ = Given(micOption_, mic_);
    hasLine_ = Given(lineOption_, line_);
    hasVirtual_ = Given(virtualOption_, virtual_);
    playbackOption_ = micOption_ = lineOption_ = virtualOption_ = nullptr;
    const bool byId = hasPlayback_ || hasMic_ || hasLine_;
    if (useDefault_ && byId)
      throw UsageError(
          "open: --default binds the system's default devices; leave out --playback, --mic and "
          "--line, or drop --default");
    if (!useDefault_ && !byId && !hasVirtual_)
      throw UsageError(
          "open needs --default, or --playback/--mic/--line (and --virtual) with a piece of an "
          "endpoint id: `veltomix list` shows them");
  }

  bool Run(Session& session) override {
    bool ok = true;
    if (useDefault_) ok = OpenDefaults(session);
    if (hasPlayback_ || hasMic_ || hasLine_) ok = OpenById(session);
    if (hasVirtual_) ok = OpenVirtual(session) && ok;
    return ok;
  }

 private:
  // Given on the command line; an empty piece would bind nothing (or, for
  // --virtual, the first endpoint), so it is refused.
  static bool Given(const CLI::Option* option, const std::string& value) {
    if (option->count() == 0) return false;
    if (value.empty())
      throw UsageError("open: " + option->get_name() + " needs a piece of an endpoint id");
    return true;
  }

  struct Role {
    BoundEndpoint device;
    const char* label;
    const std::string& fragment;
    bool given;
    int failureBit;
  };

  bool OpenDefaults(Session& session) {
    const int result = OpenDefaultDevices();
    const BoundNames names = ReadBoundNames();
    for (BoundEndpoint device :
         {BoundEndpoint::Playback, BoundEndpoint::Microphone, BoundEndpoint::LineIn}) {
      if (!names.Of(device).empty()) session.err << Label(device) << names.Of(device) << "\n";
    }
    if (result == 0) return true;
    session.err << "veltomix: open --default: the default recording endpoint is not among the "
                   "active ones, so no recording device was bound\n";
    return false;
  }

  bool OpenById(Session& session) {
    const int result = OpenSoundCard(playback_.c_str(), mic_.c_str(), line_.c_str());
    const int failed = FailedRoles(result);
    const BoundNames names = ReadBoundNames();
    const Role roles[] = {{BoundEndpoint::Playback, "--playback", playback_, hasPlayback_, 1},
                          {BoundEndpoint::Microphone, "--mic", mic_, hasMic_, 2},
                          {BoundEndpoint::LineIn, "--line", line_, hasLine_, 4}};
    for (const Role& role : roles) {
      if (!role.given) continue;
      if (failed & role.failureBit) {
        // One piece: working out the hint makes platform calls, whose trace
        // lines would otherwise land inside this one.
        session.err << "veltomix: " + Failure(role) + "\n";
      } else {
        session.err << Label(role.device) << names.Of(role.device) << "\n";
      }
    }
    return failed == 0;
  }

  bool OpenVirtual(Session& session) {
    if (OpenVirtual_1(virtual_.c_str()) != 0) {
      const auto found = FirstMatching(true, virtual_);
      session.err << "veltomix: open --virtual " << virtual_ << ": "
                  << (found ? found->name + " offers no device topology"
                            : "no active playback endpoint's id contains it (`veltomix list` "
                              "shows them)")
                  << "\n";
      return false;
    }
    const auto found = FirstMatching(true, virtual_);
    session.virtualName = found ? found->name : "";
    session.err << Label(BoundEndpoint::Virtual) << session.virtualName << "\n";
    return true;
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

  static std::string Failure(const Role& role) {
    const bool playback = role.device == BoundEndpoint::Playback;
    const auto found = FirstMatching(playback, role.fragment);
    const std::string head = std::string("open ") + role.label + " " + role.fragment + ": ";
    if (!found)
      return head + "no active " + (playback ? "playback" : "recording") +
             " endpoint's id contains it (`veltomix list` shows them)";
    return head + "found " + found->name +
           ", but walking its topology failed; the controls found before the failure stay "
           "bound (`veltomix topology " +
           role.fragment + "` shows the topology)";
  }

  static std::string Label(BoundEndpoint device) {
    switch (device) {
      case BoundEndpoint::Playback:
        return "playback    ";
      case BoundEndpoint::Microphone:
        return "microphone  ";
      case BoundEndpoint::LineIn:
        return "line in     ";
      case BoundEndpoint::Virtual:
        return "virtual     ";
    }
    return {};
  }

  std::string playback_, mic_, line_, virtual_;
  bool useDefault_ = false;
  bool hasPlayback_ = false, hasMic_ = false, hasLine_ = false, hasVirtual_ = false;
  CLI::Option* playbackOption_ = nullptr;
  CLI::Option* micOption_ = nullptr;
  CLI::Option* lineOption_ = nullptr;
  CLI::Option* virtualOption_ = nullptr;
};

// --- get, set, mute, unmute -----------------------------------------------------------------

class ControlCommand : public Command {
 public:
  void DefineControl(CLI::App& app) {
    app.add_option("CONTROL", controlName_, "one of: " + ControlNames())->required();
  }

  void Check() override {
    control_ = FindControl(controlName_);
    if (!control_)
      throw UsageError("unknown control '" + controlName_ + "': type one of " + ControlNames());
  }

 protected:
  // Prints the control's value, as `get` does; false when it cannot be read.
  bool Report(Session& session) const {
    const Reading reading = control_->Read();
    if (reading.status != 0) return Fail(session, reading.status);
    session.out << control_->name << ": " << DescribeReading(*control_, reading) << "\n";
    return true;
  }

  bool Fail(Session& session, int status) const {
    session.err << "veltomix: " << StatusProblem(*control_, status) << "\n";
    return false;
  }

  std::string controlName_;
  const ControlInfo* control_ = nullptr;
};

class GetCommand : public ControlCommand {
 public:
  bool Run(Session& session) override { return Report(session); }
};

class SetCommand : public ControlCommand {
 public:
  void Define(CLI::App& app) {
    DefineControl(app);
    app.add_option("VALUE", text_,
                   "percent 0..100 for volumes, dB for bass/treble/midrange, whole dB for "
                   "mic-boost-level, on/off for mic-boost and line-agc")
        ->required();
  }

  void Check() override {
    ControlCommand::Check();
    value_ = control_->Parse(text_);
  }

  bool Run(Session& session) override {
    const int status = control_->Write(value_);
    if (status != 0) return Fail(session, status);
    return Report(session);
  }

 private:
  std::string text_;
  SetValue value_;
};

class MuteCommand : public ControlCommand {
 public:
  explicit MuteCommand(bool mute) : mute_(mute) {}

  void Check() override {
    ControlCommand::Check();
    if (control_->hasMute) return;
    const std::string name = control_->name;
    if (control_->kind == ControlKind::Switch)
      throw UsageError(name + " is a switch, not a mute: type `set " + name + " " +
                       (mute_ ? "off" : "on") + "`");
    throw UsageError(name + " has no mute; master, line-monitor, mic-monitor and virtual have one");
  }

  bool Run(Session& session) override {
    const int status = control_->WriteMute(mute_);
    if (status != 0) return Fail(session, status);
    return Report(session);
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

  bool Run(Session& session) override {
    CloseSoundCard(restore_ ? 1 : 0);
    CloseVirtual_1();
    session.virtualName.clear();
    session.err << (restore_ ? "closed; every control is back at its value from binding\n"
                             : "closed\n");
    return true;
  }

 private:
  bool restore_ = false;
};

// --- show -------------------------------------------------------------------------------------

class ShowCommand : public Command {
 public:
  void Define(CLI::App& app) {
    app.add_option("--color", color_,
                   "colour the bars: auto (when stdout is a terminal), "
                   "always or never")
        ->check(CLI::IsMember({"auto", "always", "never"}))
        ->option_text("WHEN");
  }

  bool Run(Session& session) override {
    const bool color = color_ == "always" || (color_ == "auto" && session.terminal);
    session.out << RenderShow(color, session.virtualName);
    return true;
  }

 private:
  std::string color_ = "auto";
};

// --- topology and capture ---------------------------------------------------------------------

// Writes `text` to `path`, or to the session's output for "-".
bool WriteOutput(Session& session, const std::string& path, const std::string& text) {
  if (path == "-") {
    session.out << text;
    return true;
  }
  std::ofstream file(path, std::ios::binary);
  file << text;
  if (file) return true;
  session.err << "veltomix: cannot write " << path << "\n";
  return false;
}

void PrintWarnings(Session& session, const SystemModel& model) {
  for (const std::string& warning : model.warnings)
    session.err << "veltomix: warning: " << warning << "\n";
}

std::optional<SystemModel> Walk(Session& session, const std::vector<HeldControl>& held) {
  try {
    return WalkSystem(p::CurrentPlatform(), held);
  } catch (const WalkError& error) {
    session.err << "veltomix: " << error.what() << "\n";
    return std::nullopt;
  }
}

class TopologyCommand : public Command {
 public:
  void Define(CLI::App& app) {
    app.add_option("ENDPOINT", endpoint_,
                   "playback, mic, line or virtual for a bound endpoint (playback when left out), "
                   "or a piece of any endpoint's id");
    app.add_option("--format", format_, "dot (Graphviz) or text")
        ->check(CLI::IsMember({"text", "dot"}));
    app.add_option("--output", output_, "write to FILE instead of stdout")->option_text("FILE");
  }

  bool Run(Session& session) override {
    const std::vector<HeldControl> held = HeldByMixer();
    std::optional<SystemModel> model = Walk(session, held);
    if (!model) return false;
    PrintWarnings(session, *model);
    const std::optional<std::size_t> index = Resolve(session, *model, held);
    if (!index) return false;
    const WalkedEndpoint& endpoint = model->endpoints[*index];
    if (!endpoint.connector) {
      session.err << "veltomix: topology: " << endpoint.name
                  << (endpoint.hasTopology ? " is not joined to any adapter"
                                           : " offers no device topology")
                  << "\n";
      return false;
    }
    TopologyView view{*model, *index, {}};
    for (const HeldControl& control : held) view.heldLabels.push_back(control.label);
    return WriteOutput(session, output_, format_ == "dot" ? TopologyDot(view) : TopologyText(view));
  }

 private:
  struct BoundRole {
    const char* word;
    const char* label;  // the slot's label in kSlotLabels
    const char* open;
    p::DataFlow flow;
  };

  std::optional<std::size_t> Resolve(Session& session, const SystemModel& model,
                                     const std::vector<HeldControl>& held) const {
    static const BoundRole kRoles[] = {{"playback", "master", "--playback", p::DataFlow::Render},
                                       {"mic", "mic-record", "--mic", p::DataFlow::Capture},
                                       {"line", "line-record", "--line", p::DataFlow::Capture},
                                       {"virtual", "virtual", "--virtual", p::DataFlow::Render}};
    const std::string wanted = endpoint_.empty() ? "playback" : endpoint_;
    for (const BoundRole& role : kRoles) {
      if (wanted == role.word) return BoundEndpoint(session, model, held, role);
    }
    const auto index = FindEndpointByFragment(model, wanted);
    if (!index)
      session.err << "veltomix: topology: no endpoint's id contains '" << wanted
                  << "' (`veltomix list` shows the active ones)\n";
    return index;
  }

  // The endpoint whose volume the mixer holds in the role's slot; where the
  // platform's objects cannot be compared, the one bearing the bound name.
  std::optional<std::size_t> BoundEndpoint(Session& session, const SystemModel& model,
                                           const std::vector<HeldControl>& held,
                                           const BoundRole& role) const {
    for (std::size_t e = 0; e < model.endpoints.size(); ++e) {
      const auto& labels = model.endpoints[e].heldAs;
      if (std::find(labels.begin(), labels.end(), role.label) != labels.end()) return e;
    }
    const bool isHeld = std::any_of(held.begin(), held.end(),
                                    [&](const HeldControl& h) { return h.label == role.label; });
    if (isHeld) {
      const BoundNames names = ReadBoundNames();
      const std::string& name =
          role.flow == p::DataFlow::Render
              ? (role.label == std::string("virtual") ? session.virtualName : names.playback)
              : (role.label == std::string("mic-record") ? names.mic : names.line);
      const auto named = FindEndpointByHostName(model, role.flow, name);
      if (named) return named;
      session.err << "veltomix: topology: the bound " << role.word
                  << " endpoint cannot be recognised on this platform; name it by a piece of "
                     "its id\n";
      return std::nullopt;
    }
    session.err << "veltomix: topology: no " << role.word << " endpoint is bound; bind one first "
                << "(`open " << role.open << " ID`) or name an endpoint by a piece of its id "
                << "(`veltomix topology 4f6a2c1e`; `veltomix list` shows the ids)\n";
    return std::nullopt;
  }

  std::string endpoint_;
  std::string format_ = "text";
  std::string output_ = "-";
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

  bool Run(Session& session) override {
    std::optional<SystemModel> model = Walk(session, {});
    if (!model) return false;
    const std::string text = PrettyJson(DescribeSystem(*model));
    PrintWarnings(session, *model);
    if (!WriteOutput(session, output_, text)) return false;
    if (output_ != "-")
      session.err << "captured " << Counted(model->endpoints.size(), "endpoint", "endpoints")
                  << " and "
                  << Counted(model->adapters.size(), "adapter topology", "adapter topologies")
                  << " into " << output_ << "\n";
    return true;
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

std::unique_ptr<Command> DefineList(CLI::App&) { return std::make_unique<ListCommand>(); }
std::unique_ptr<Command> DefineGet(CLI::App& app) {
  auto command = std::make_unique<GetCommand>();
  command->DefineControl(app);
  return command;
}
template <bool kMute>
std::unique_ptr<Command> DefineMute(CLI::App& app) {
  auto command = std::make_unique<MuteCommand>(kMute);
  command->DefineControl(app);
  return command;
}

}  // namespace

const std::vector<CommandSpec>& FriendlyCommands() {
  static const std::vector<CommandSpec> table = {
      {"list", "list", "the active playback and recording endpoints: index, name, id, default",
       DefineList},
      {"open", "open (--default | [--playback ID] [--mic ID] [--line ID]) [--virtual ID]",
       "bind endpoints by a piece of their id, or the system's defaults", Defined<OpenCommand>},
      {"get", "get CONTROL", "print a control's value", DefineGet},
      {"set", "set CONTROL VALUE", "set a control: percent, dB, or on/off", Defined<SetCommand>},
      {"mute", "mute CONTROL", "mute master, line-monitor, mic-monitor or virtual",
       DefineMute<true>},
      {"unmute", "unmute CONTROL", "unmute one of them", DefineMute<false>},
      {"show", "show [--color WHEN]", "every bound device and control at a glance",
       Defined<ShowCommand>},
      {"topology", "topology [ENDPOINT] [--format text|dot] [--output FILE]",
       "the adapter topology behind an endpoint, with the parts binding chose",
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
    help += "  " + PadRight(spec.synopsis, 40) + "\n      " + spec.summary + "\n";
  help += "Controls: " + ControlNames() + "\n";
  help += "Example:  veltomix open --default set master 40 mute mic-monitor show\n";
  return help;
}

}  // namespace veltomix
