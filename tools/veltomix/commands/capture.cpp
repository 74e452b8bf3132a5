// `capture [--output FILE]`: every endpoint and topology as a description.
#include <CLI/CLI.hpp>

#include "commands/definitions.h"
#include "commands/walk_output.h"
#include "system/system_description.h"

namespace veltomix {

namespace {

std::string Counted(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

class CaptureCommand : public Command {
 public:
  explicit CaptureCommand(CLI::App& app) {
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
      session.Emit(nlohmann::ordered_json{{"command", "capture"},
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

}  // namespace

std::unique_ptr<Command> DefineCapture(CLI::App& app) {
  return std::make_unique<CaptureCommand>(app);
}

}  // namespace veltomix
