// `get CONTROL`: prints a control's value.
#include "commands/control_command.h"
#include "commands/definitions.h"

namespace veltomix {

namespace {

class GetCommand : public ControlCommand {
 public:
  explicit GetCommand(CLI::App& app) : ControlCommand("get", app) {}
  int Run(Session& session) override { return Report(session); }
};

}  // namespace

std::unique_ptr<Command> DefineGet(CLI::App& app) { return std::make_unique<GetCommand>(app); }

}  // namespace veltomix
