// `close [--restore]`: releases every binding, the virtual endpoint too.
#include <CLI/CLI.hpp>

#include "calls/export_table.h"
#include "commands/definitions.h"

namespace veltomix {

namespace {

class CloseCommand : public Command {
 public:
  explicit CloseCommand(CLI::App& app) {
    app.add_flag("--restore", restore_,
                 "first put every control back to the value it had when it was bound");
  }

  int Run(Session& session) override {
    CallExport("CloseSoundCard", {std::int32_t{restore_ ? 1 : 0}});
    CallExport("CloseVirtual_1");
    session.chosenNames.clear();
    session.chosenIds.clear();
    if (session.json) {
      session.Emit(nlohmann::ordered_json{{"command", "close"}, {"restored", restore_}});
    } else {
      session.err << (restore_ ? "closed; every control is back at its value from binding\n"
                               : "closed\n");
    }
    return kExitOk;
  }

 private:
  bool restore_ = false;
};

}  // namespace

std::unique_ptr<Command> DefineClose(CLI::App& app) { return std::make_unique<CloseCommand>(app); }

}  // namespace veltomix
