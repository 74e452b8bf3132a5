#include "commands/control_command.h"

#include <CLI/CLI.hpp>

#include "calls/call_script.h"
#include "mixer/control_messages.h"

namespace veltomix {

ControlCommand::ControlCommand(const char* command, CLI::App& app, bool withMute)
    : command_(command) {
  app.add_option("CONTROL", controlName_, "one of: " + ControlNames(withMute))->required();
}

void ControlCommand::Check() {
  control_ = FindControl(controlName_);
  if (!control_)
    throw UsageError("unknown control '" + controlName_ + "'" + DidYouMeanControl(controlName_) +
                     ": type one of " + ControlNames());
}

int ControlCommand::Report(Session& session) const {
  const Reading reading = control_->Read();
  if (reading.status != 0) return Fail(session, reading.status);
  if (session.json) {
    session.Emit(Tagged(reading));
  } else {
    session.out << control_->name << ": " << DescribeReading(*control_, reading) << "\n";
  }
  return kExitOk;
}

int ControlCommand::Fail(Session& session, int status) const {
  return session.Fail(command_, StatusProblem(*control_, status), StatusExit(*control_, status));
}

nlohmann::ordered_json ControlCommand::Tagged(const Reading& reading) const {
  nlohmann::ordered_json document{{"command", command_}};
  nlohmann::ordered_json values = ReadingJson(*control_, reading);
  for (auto& [key, value] : values.items()) document[key] = std::move(value);
  return document;
}

}  // namespace veltomix
