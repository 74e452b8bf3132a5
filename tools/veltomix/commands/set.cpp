// `set CONTROL VALUE`: writes a value or a change, then reports as `get`.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>

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
    if (value_.relative) Settle(current, target);
    return Report(session);
  }

 private:
  // A volume reads back as a truncated percentage (the level for N % often
  // reads N-1), and a stepped control keeps only its grid points (+1 % on a
  // 1.5 dB grid can land back where it started). So a change goes on writing
  // one unit further until the reading is at least as far as asked, or the
  // end of the range has been written.
  void Settle(const Reading& before, SetValue written) const {
    if (control_->kind == ControlKind::Switch) return;
    const bool tone = control_->kind == ControlKind::Tone;
    const double change = tone ? value_.level : value_.value;
    if (change == 0) return;
    const double direction = change > 0 ? 1 : -1;
    // A tone level crosses the platform as a float: compare in floats.
    const double asked = tone ? static_cast<float>(written.level) : written.value;
    const Span span = SettableSpan(*control_, before);
    const double unit = ChangeUnit(*control_, before);
    double last = tone ? written.level : written.value;
    for (;;) {
      const Reading after = control_->Read();
      if (after.status != 0) return;
      const double reached = tone ? after.level : after.value;
      if ((reached - asked) * direction >= 0) return;
      if (last >= span.highest && direction > 0) return;
      if (last <= span.lowest && direction < 0) return;
      last = std::clamp(last + direction * unit, span.lowest, span.highest);
      written.level = last;
      written.value = static_cast<int>(std::lround(last));
      if (control_->Write(written) != 0) return;
    }
  }

  std::string text_;
  SetValue value_;
};

}  // namespace

std::unique_ptr<Command> DefineSet(CLI::App& app) { return std::make_unique<SetCommand>(app); }

}  // namespace veltomix
