// `set CONTROL VALUE`: writes a value or a change, then reports as `get`.
#include <CLI/CLI.hpp>

#include "calls/call_script.h"
#include "commands/control_command.h"
#include "commands/definitions.h"
#include "mixer/control_values.h"

namespace veltomix {

namespace {

class SetCommand : public ControlCommand {
 public:
  explicit SetCommand(CLI::App& app) : ControlCommand("set", app) {
    app.add_option("VALUE", text_,
                   "percent 0..100 for volumes, dB for bass/treble/midrange, whole dB for "
                   "mic-boost-level, on/off for mic-boost and line-agc; +N or -N changes the "
                   "value by N, =N sets a negative dB value")
        ->required()
        ->allow_extra_args(false);
  }

  void Check() override {
    ControlCommand::Check();
    value_ = ParseValue(*control_, text_);
  }

  int Run(Session& session) override {
    const Reading current = control_->Read();
    if (current.status != 0) return Fail(session, current.status);
    SetValue target;
    try {
      target = TargetValue(*control_, value_, current);
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

}  // namespace

std::unique_ptr<Command> DefineSet(CLI::App& app) { return std::make_unique<SetCommand>(app); }

}  // namespace veltomix
