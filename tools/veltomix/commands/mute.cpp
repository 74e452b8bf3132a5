// `mute CONTROL` and `unmute CONTROL`.
#include "calls/call_script.h"
#include "commands/control_command.h"
#include "commands/definitions.h"
#include "mixer/control_messages.h"

namespace veltomix {

namespace {

class MuteCommand : public ControlCommand {
 public:
  MuteCommand(CLI::App& app, bool mute)
      : ControlCommand(mute ? "mute" : "unmute", app, true), mute_(mute) {}

  void Check() override {
    ControlCommand::Check();
    if (control_->HasMute()) return;
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
      session.Emit(Tagged(reading));
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

}  // namespace

std::unique_ptr<Command> DefineMute(CLI::App& app) {
  return std::make_unique<MuteCommand>(app, true);
}
std::unique_ptr<Command> DefineUnmute(CLI::App& app) {
  return std::make_unique<MuteCommand>(app, false);
}

}  // namespace veltomix
