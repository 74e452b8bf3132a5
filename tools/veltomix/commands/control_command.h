// What get, set, mute and unmute share: one control, named by its first
// positional, reported as `get` prints it.
#pragma once

#include <string>

#include "commands/commands.h"
#include "mixer/mixer_controls.h"

namespace CLI {
class App;
}

namespace veltomix {

class ControlCommand : public Command {
 public:
  // `withMute`: only the controls that have a mute are offered.
  ControlCommand(const char* command, CLI::App& app, bool withMute = false);

  void Check() override;

 protected:
  // Prints the control's value, as `get` does.
  int Report(Session& session) const;
  int Fail(Session& session, int status) const;
  // The reading's document under this command's name.
  nlohmann::ordered_json Tagged(const Reading& reading) const;

  const char* command_;
  std::string controlName_;
  const ControlInfo* control_ = nullptr;
};

}  // namespace veltomix
