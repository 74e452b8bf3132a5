// `topology --why` tells what binding did: on every description under
// tests/systems, every active endpoint bound in each role it can take, each
// control found by --why exactly when binding bound it, on the same part;
// and the walk, watched, makes exactly the platform calls it makes unwatched.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>

#include "slot_object.h"
#include "system/endpoint_choice.h"
#include "topology/walk_observer.h"
#include "veltomix_fixture.h"
#include "why/topology_why.h"

namespace veltomix::testing {
namespace {

using nlohmann::json;
using velto::testing::SlotObject;

// The object binding left in the slot of `control`, "" when none.
std::string BoundObject(const ControlInfo& control) {
  return velto::WithSlot(velto::Mixer(), velto::RowOf(control.held),
                         [](const auto& slot) { return SlotObject(slot); });
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
  velto::WalkRole walk;
};

constexpr Role kRoles[] = {
    {BoundEndpoint::Playback, velto::platform::DataFlow::Render, velto::WalkRole::Playback},
    {BoundEndpoint::Microphone, velto::platform::DataFlow::Capture, velto::WalkRole::Microphone},
    {BoundEndpoint::LineIn, velto::platform::DataFlow::Capture, velto::WalkRole::LineIn},
};

// Every platform call `action` makes, reference counting included, by object,
// operation and result (the arguments hold addresses).
std::vector<std::string> CallsOf(const std::function<void()>& action) {
  velto::sim::SimSystem& system = velto::sim::Installed();
  system.ClearTrace();
  system.SetTracing(true);
  action();
  system.SetTracing(false);
  std::vector<std::string> calls;
  for (const velto::sim::TraceEntry& entry : system.Trace())
    calls.push_back(entry.object + " " + entry.op + " " + std::to_string(entry.result));
  return calls;
}

struct CountingObserver : velto::WalkObserver {
  void Step(const velto::WalkStep&) override { ++steps; }
  int steps = 0;
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
        const std::vector<std::string> binding = CallsOf([&] {
          OpenSoundCard(role.device == BoundEndpoint::Playback ? id : "",
                        role.device == BoundEndpoint::Microphone ? id : "",
                        role.device == BoundEndpoint::LineIn ? id : "");
        });
        // Watched, the walk makes the very calls it makes unwatched.
        CountingObserver counter;
        std::vector<std::string> watched =
            CallsOf([&] { velto::WatchWalk(role.walk, id, counter); });
        // Then, unlike binding, it lets go of what it bound, and of the apartment.
        while (!watched.empty() && watched.size() > binding.size() &&
               (watched.back().find(" Release ") != std::string::npos ||
                watched.back().starts_with("com CoDecrementMTAUsage ")))
          watched.pop_back();
        const auto parted =
            std::mismatch(watched.begin(), watched.end(), binding.begin(), binding.end());
        EXPECT_TRUE(parted.first == watched.end() && parted.second == binding.end())
            << path << ": the calls part at " << (parted.first - watched.begin()) << ": "
            << (parted.first == watched.end() ? "(end)" : *parted.first) << " / "
            << (parted.second == binding.end() ? "(end)" : *parted.second);
        EXPECT_GT(counter.steps, 0);
        for (const ControlInfo& control : Controls()) {
          if (control.device != role.device) continue;
          SCOPED_TRACE(path + ": " + endpoint.name + ": " + control.name);
          const std::string bound = BoundObject(control);
          // The id is the record's: an endpoint of the same name elsewhere
          // (twin_names.json) is not walked in its place.
          const std::map<BoundEndpoint, std::string> names{{role.device, endpoint.name}}, ids;
          const WhyReport why =
              ExplainControl(velto::platform::CurrentPlatform(), control, {names, ids});
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
