// `list`: the endpoints a binding can name, with their index, name and id.
#include <CLI/CLI.hpp>
#include <algorithm>

#include "commands/definitions.h"
#include "common/text.h"
#include "system/endpoint_choice.h"

namespace veltomix {

namespace {

namespace p = velto::platform;
using Json = nlohmann::ordered_json;

Json EndpointJson(const ListedEndpoint& endpoint) {
  return Json{{"index", endpoint.index ? Json(*endpoint.index) : Json(nullptr)},
              {"name", endpoint.name},
              {"id", endpoint.id},
              {"default", endpoint.isDefault},
              {"state", StateWord(endpoint.state)}};
}

class ListCommand : public Command {
 public:
  explicit ListCommand(CLI::App& app) {
    app.add_flag("--all", all_, "also the endpoints that are disabled, unplugged or not present");
  }

  int Run(Session& session) override {
    const std::vector<ListedEndpoint> endpoints = ListEndpoints(all_);
    const auto playback = EndpointsOfFlow(endpoints, p::DataFlow::Render);
    const auto recording = EndpointsOfFlow(endpoints, p::DataFlow::Capture);
    if (session.json) {
      Json document{{"command", "list"}, {"playback", Json::array()}, {"recording", Json::array()}};
      for (const ListedEndpoint& endpoint : playback)
        document["playback"].push_back(EndpointJson(endpoint));
      for (const ListedEndpoint& endpoint : recording)
        document["recording"].push_back(EndpointJson(endpoint));
      session.Emit(document);
      return kExitOk;
    }
    std::size_t width = 0;
    for (const ListedEndpoint& endpoint : endpoints)
      width = std::max(width, Columns(endpoint.name));
    Section(session.out, "Playback endpoints", playback, width);
    Section(session.out, "Recording endpoints", recording, width);
    session.out << "* default endpoint. " << Example(playback, recording) << "\n";
    return kExitOk;
  }

 private:
  void Section(std::ostream& out, const char* title, const std::vector<ListedEndpoint>& endpoints,
               std::size_t width) const {
    out << title << "\n";
    if (endpoints.empty()) out << (all_ ? "  (none)\n" : "  (none active)\n");
    for (const ListedEndpoint& endpoint : endpoints) {
      out << "  " << (endpoint.index ? std::to_string(*endpoint.index) : "-")
          << (endpoint.isDefault ? " * " : "   ") << PadRight(endpoint.name, width) << "  "
          << endpoint.id;
      if (endpoint.state != p::kDeviceStateActive) out << "  (" << StateWord(endpoint.state) << ")";
      out << "\n";
    }
  }

  static std::string Example(const std::vector<ListedEndpoint>& playback,
                             const std::vector<ListedEndpoint>& recording) {
    std::string example;
    for (const ListedEndpoint& endpoint : playback) {
      if (endpoint.isDefault && endpoint.index)
        example += " --playback " + std::to_string(*endpoint.index);
    }
    for (const ListedEndpoint& endpoint : recording) {
      if (!endpoint.isDefault || !endpoint.index) continue;
      const bool mic = ContainsFolded(endpoint.name, "mic");
      example += (mic ? " --mic " : " --line ") + std::to_string(*endpoint.index);
    }
    if (example.empty()) return "Bind endpoints with `veltomix open --playback INDEX|NAME|ID`.";
    return "Bind by index, a piece of the name or of the id, e.g. `veltomix open" + example + "`";
  }

  bool all_ = false;
};

}  // namespace

std::unique_ptr<Command> DefineList(CLI::App& app) { return std::make_unique<ListCommand>(app); }

}  // namespace veltomix
