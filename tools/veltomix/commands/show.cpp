// `show`, and `veltomix` alone: every bound device and control at a glance.
#include <CLI/CLI.hpp>

#include "calls/export_table.h"
#include "commands/definitions.h"
#include "mixer/mixer_view.h"

namespace veltomix {

namespace {

class ShowCommand : public Command {
 public:
  explicit ShowCommand(CLI::App& app) {
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

const char* kShortUsage =
    "Nothing to show: no default device could be bound.\n"
    "Usage: veltomix [OPTIONS] [CALL | COMMAND ...]\n"
    "  veltomix list                      the endpoints, with their index, name and id\n"
    "  veltomix open --playback 0 show    bind one and show its controls\n"
    "  veltomix --help                    every option and command\n";

}  // namespace

std::unique_ptr<Command> DefineShow(CLI::App& app) { return std::make_unique<ShowCommand>(app); }

int ShowDefaultDevices(Session& session) {
  CallExport("OpenDefaultDevices");
  const std::vector<DeviceView> mixer = ReadMixer(session.chosenNames);
  const int exit = ShowExit(mixer);
  if (exit == kExitNothingBound) {
    if (session.json) return session.Fail("show", "no default device could be bound", exit);
    session.err << kShortUsage;
    return exit;
  }
  if (session.json) {
    session.Emit(ShowJson(mixer));
  } else {
    session.out << RenderShow(mixer, session.color);
  }
  return exit;
}

}  // namespace veltomix
