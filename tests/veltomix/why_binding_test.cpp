// `topology --why` tells what binding did: on every description under
// tests/systems, every active endpoint bound in each role it can take, each
// control found by --why exactly when binding bound it, on the same part.
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "endpoint_choice.h"
#include "slot_object.h"
#include "topology_why.h"
#include "veltomix_fixture.h"

namespace veltomix::testing {
namespace {

using nlohmann::json;
using velto::testing::SlotObject;

// The object binding left in the slot of `control`, "" when none.
std::string BoundObject(const std::string& control) {
  const velto::MixerState& s = velto::Mixer();
  if (control == "master") return SlotObject(s.playbackEndpoint);
  if (control == "line-monitor") return SlotObject(s.linePlaybackLevel);
  if (control == "mic-monitor") return SlotObject(s.micPlaybackLevel);
  if (control == "bass") return SlotObject(s.bassControl);
  if (control == "treble") return SlotObject(s.trebleControl);
  if (control == "midrange") return SlotObject(s.midrangeControl);
  if (control == "mic-record") return SlotObject(s.micEndpoint);
  if (control == "mic-boost") return SlotObject(s.micBoostSwitch);
  if (control == "mic-boost-level") return SlotObject(s.micBoostLevel);
  if (control == "line-record") return SlotObject(s.lineEndpoint);
  if (control == "line-agc") return SlotObject(s.lineAgc);
  ADD_FAILURE() << "no slot for " << control;
  return "";
}

// The name of the part a control object belongs to ("part:ADAPTER/ID/KEY";
// a part's id is its name unless given), "" for an endpoint's own volume.
std::string PartName(const json& card, const std::string& object) {
  for (const json& adapter : card.value("adapters", json::array())) {
    const std::string prefix = "part:" + adapter.value("name", "") + "/";
    if (object.rfind(prefix, 0) != 0) continue;
    const std::string id = object.substr(prefix.size(), object.rfind('/') - prefix.size());
    for (const json& part : adapter["parts"]) {
      if (part.value("id", part.value("name", "")) == id) return part.value("name", id);
    }
  }
  return "";
}

struct Role {
  BoundEndpoint device;
  velto::platform::DataFlow flow;
};

constexpr Role kRoles[] = {
    {BoundEndpoint::Playback, velto::platform::DataFlow::Render},
    {BoundEndpoint::Microphone, velto::platform::DataFlow::Capture},
    {BoundEndpoint::LineIn, velto::platform::DataFlow::Capture},
};

using WhyBindingTest = VeltomixTest;

TEST_F(WhyBindingTest, WhyTellsWhatBindingDidOnEveryDescription) {
  int compared = 0;
  for (const auto& entry :
       std::filesystem::recursive_directory_iterator(std::string(VELTO_TEST_SYSTEMS))) {
    if (entry.path().extension() != ".json") continue;
    const std::string path = entry.path().string();
    std::ifstream in(path);
    const json card = json::parse(in);
    // Fault rules that count calls would fail binding and the watched walk
    // at different calls; the walks are compared without them.
    const auto fresh = [&] {
      ResetMixerAndCard();
      UseSystem(velto::sim::SimSystem::FromFile(path)).ClearFaults();
    };
    fresh();
    const std::vector<ListedEndpoint> endpoints = ListEndpoints(false);
    for (const ListedEndpoint& endpoint : endpoints) {
      for (const Role& role : kRoles) {
        if (role.flow != endpoint.flow) continue;
        fresh();
        const char* id = endpoint.id.c_str();
        OpenSoundCard(role.device == BoundEndpoint::Playback ? id : "",
                      role.device == BoundEndpoint::Microphone ? id : "",
                      role.device == BoundEndpoint::LineIn ? id : "");
        for (const ControlInfo& control : Controls()) {
          if (control.device != role.device) continue;
          SCOPED_TRACE(path + ": " + endpoint.name + ": " + control.name);
          const std::string bound = BoundObject(control.name);
          const WhyReport why =
              ExplainControl(velto::platform::CurrentPlatform(), control, {{role.device, endpoint.name}});
          EXPECT_EQ(why.found, !bound.empty()) << why.stopped;
          EXPECT_EQ(why.part, PartName(card, bound)) << why.stopped;
          ++compared;
        }
      }
    }
  }
  EXPECT_GT(compared, 100);
}

}  // namespace
}  // namespace veltomix::testing
