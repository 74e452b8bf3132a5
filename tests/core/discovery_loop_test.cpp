// Topologies whose links go round in a circle: every walk must come back to
// the host.
#include <gtest/gtest.h>

#include <string>

#include "mixer_fixture.h"
#include "topology/discovery.h"
#include "topology_support.h"

namespace velto::testing {
namespace {

using platform::DataFlow;

constexpr const char* kChainLoop = "{0.0.0.00000000}.{topo-chain-loop}";
constexpr const char* kBranchLoop = "{0.0.0.00000000}.{topo-branch-loop}";
constexpr const char* kCaptureLoop = "{0.0.1.00000000}.{topo-capture-loop}";

std::string VolumeOf(const char* endpoint) { return std::string("device:") + endpoint + "/volume"; }

class LoopingTopologyTest : public WalkTest {};

TEST_F(LoopingTopologyTest, EveryWalkStopsAsIfItsListHadEnded) {
  // The output chain never reaches a part with other than one input: it
  // counts as a chain that ran out, keeping what it bound on the way.
  Run("topology/loops.json", WalkOf(DiscoverPlaybackControls, kChainLoop, DataFlow::Render),
      {"output chain loop", 1,
       Slots{{"playbackEndpoint", VolumeOf(kChainLoop)},
             {"bassControl", "part:Chain Loop Card/loop-a/bass"}},
       Fields{{"savedBass", "3"}}});
  CloseCase();

  // The first branch's chain circles between two parts named "line" that
  // offer no level; the second branch is still searched.
  Run("topology/loops.json", WalkOf(DiscoverPlaybackControls, kBranchLoop, DataFlow::Render),
      {"branch chain loop", 0,
       Slots{{"playbackEndpoint", VolumeOf(kBranchLoop)},
             {"micPlaybackLevel", "part:Loop Card/mic-volume/volume"},
             {"micPlaybackMute", "part:Loop Card/mic-mute/mute"}},
       Fields{{"savedLinePlaybackLevel", "-"}}});
  CloseCase();

  // The boost path circles between two parts named "boost" that offer no
  // control; both searches give up and the connector is passed over.
  Run("topology/loops.json", WalkOf(DiscoverMicCaptureControls, kCaptureLoop, DataFlow::Capture),
      {"boost path loop", 0, Slots{{"micEndpoint", VolumeOf(kCaptureLoop)}}});
}

TEST_F(LoopingTopologyTest, TheBoundIsFarBeyondARealAdapter) {
  // A chain of 200 single-input parts ending in a part with two inputs is
  // walked to its end: the bound stops loops, not long chains.
  json description = LoadDescription("topology/loops.json");
  json& card = description["adapters"][0];
  card["parts"] = json::array({{{"id", "out"}, {"name", "Speaker Out"}, {"kind", "connector"}}});
  card["links"] = json::array();
  std::string downstream = "out";
  for (int i = 0; i < 200; ++i) {
    const std::string id = "stage-" + std::to_string(i);
    card["parts"].push_back({{"id", id}, {"name", id}, {"kind", "subunit"}});
    card["links"].push_back({id, downstream});
    downstream = id;
  }
  card["parts"].back()["controls"] = {
      {"treble", {{"min", -12.0}, {"max", 12.0}, {"step", 1.5}, {"channels", {2.5}}}}};
  for (const char* input : {"in-a", "in-b"}) {
    card["parts"].push_back({{"id", input}, {"name", input}, {"kind", "connector"}});
    card["links"].push_back({input, downstream});
  }
  UseSystemJson(description);
  EXPECT_EQ(ResultCode(WalkAlone(DiscoverPlaybackControls, kChainLoop, DataFlow::Render)), 0);
  EXPECT_EQ(BoundSlots(), (Slots{{"playbackEndpoint", VolumeOf(kChainLoop)},
                                 {"trebleControl", "part:Chain Loop Card/stage-199/treble"}}));
}

}  // namespace
}  // namespace velto::testing
