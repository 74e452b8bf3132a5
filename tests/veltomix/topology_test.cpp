// topology: the adapter behind an endpoint, with the parts whose controls the
// binding chose marked, found by comparing the mixer's controls with the
// ones each part hands out.
#include <nlohmann/json.hpp>
#include <regex>

#include "mixer/mixer_controls.h"
#include "platform/com_scope.h"
#include "system/system_walk.h"
#include "veltomix_fixture.h"

namespace veltomix::testing {
namespace {

namespace p = velto::platform;

std::size_t Count(const std::string& text, const std::regex& pattern) {
  return static_cast<std::size_t>(std::distance(
      std::sregex_iterator(text.begin(), text.end(), pattern), std::sregex_iterator()));
}

using TopologyTest = VeltomixTest;

// Recognising the mixer's controls relies on the platform handing out the
// same object for the same control each time; the simulation does.
// Windows may hand out a new object for each request; the walk tells parts
// and controls apart by their identity all the same.
TEST_F(TopologyTest, ObjectsAreToldApartByIdentityNotByPointer) {
  p::Platform& platform = p::CurrentPlatform();
  system().SetFreshObjects(true);
  const p::ComScope com(platform);
  p::Ref<p::DeviceEnumerator> enumerator;
  ASSERT_EQ(platform.CreateDeviceEnumerator(p::kClsctxInprocServer, enumerator), p::kS_OK);
  p::Ref<p::Device> device;
  ASSERT_EQ(enumerator->GetDefaultAudioEndpoint(p::DataFlow::Render, p::Role::Console, device),
            p::kS_OK);
  p::Ref<p::EndpointVolume> first, second;
  ASSERT_EQ(device->Activate(p::kClsctxInprocServer, first), p::kS_OK);
  ASSERT_EQ(device->Activate(p::kClsctxInprocServer, second), p::kS_OK);
  EXPECT_NE(first.Get(), second.Get());
  EXPECT_EQ(SameObject(first), SameObject(second));
  const SystemModel model = WalkSystem(platform);
  EXPECT_TRUE(model.controlIdentityStable);
  EXPECT_EQ(model.adapters.size(), 1u);
}

// Where objects cannot be compared (the Core Audio backend wraps each one
// afresh), a bound endpoint is found by the name the exports gave for it.
TEST_F(TopologyTest, ABoundEndpointIsFoundByTheNameTheExportsReport) {
  nlohmann::json description = system().Dump();
  description["endpoints"][0]["name"] = "G\u0142o\u015bniki (\u00c9cho)";  // "Głośniki (Écho)"
  UseSystem(velto::sim::SimSystem::FromJson(description, "test"));
  ASSERT_EQ(OpenSoundCard("", "", ""), 0);
  ASSERT_EQ(OpenSoundCard("4f6a2c1e", "", ""), 0);
  const BoundNames names = ReadBoundNames();
  const SystemModel model = WalkSystem(system());
  EXPECT_EQ(model.endpoints[0].name, "G\u0142o\u015bniki (\u00c9cho)");
  EXPECT_EQ(FindEndpointByHostName(model, p::DataFlow::Render, names.Of(BoundEndpoint::Playback)),
            0u);
  EXPECT_EQ(FindEndpointByHostName(model, p::DataFlow::Capture, names.Of(BoundEndpoint::Playback)),
            std::nullopt);
  EXPECT_EQ(FindEndpointByHostName(model, p::DataFlow::Render, "Speakers"), std::nullopt);
}

TEST_F(TopologyTest, TextNamesWhereEachBoundControlWasFound) {
  const Outcome outcome = Run({"open", "--default", "topology"});
  EXPECT_EQ(outcome.exit, 0) << outcome.err;
  EXPECT_TRUE(Has(outcome.out,
                  "Adapter \"Velto HD Audio\" behind Speakers (Velto HD Audio)\n"
                  "  endpoint {0.0.0.00000000}.{4f6a2c1e-8b3d-4e7a-9c51-2d8f0b6e3a17} (render, "
                  "active, default)\n"
                  "  joined at connector speaker-out\n"
                  "\n"
                  "Controls the binding chose\n"
                  "  master             endpoint \"Speakers (Velto HD Audio)\"\n"
                  "  line-monitor       line-in-volume\n"
                  "  line-monitor mute  line-in-mute\n"
                  "  mic-monitor        mic-volume\n"
                  "  mic-monitor mute   mic-mute\n"
                  "  bass               tone-controls\n"
                  "  treble             tone-controls\n"
                  "  midrange           tone-controls\n"
                  "  mic-record         endpoint \"Microphone (Velto HD Audio)\"\n"
                  "  mic-boost-level    mic-boost\n"
                  "  none for mic-boost, line-record, line-agc, virtual (not found, or no "
                  "endpoint bound)\n"))
      << outcome.out;
  EXPECT_TRUE(Has(outcome.out,
                  "* subunit tone-controls \"Tone Controls\"   [chosen: bass, treble, midrange]\n"
                  "      bass      3 dB   (-12..12 dB, step 1.5, 2 channels)\n"))
      << outcome.out;
  EXPECT_TRUE(Has(outcome.out,
                  "  subunit master-volume \"Master Volume\"\n"
                  "      volume    -6 dB   (-46.5..0 dB, step 1.5, 2 channels)\n"
                  "      mute      off\n"
                  "      from      tone-controls\n"
                  "      to        speaker-out, headphone-out\n"))
      << outcome.out;
  EXPECT_EQ(Count(outcome.out, std::regex("\n\\* (subunit|connector) ")), 6u);
}

TEST_F(TopologyTest, DotHasEveryPartLinkAndJointAndColoursTheChosenOnes) {
  const Outcome outcome = Run(Then({"open", "--default", "open", "--line", "d1f5"},
                                   {"topology", "line", "--format", "dot"}));
  EXPECT_EQ(outcome.exit, 0) << outcome.err;
  const std::string& dot = outcome.out;
  EXPECT_EQ(dot.rfind("digraph topology {\n", 0), 0u);
  EXPECT_EQ(Count(dot, std::regex("\n  p[0-9]+ \\[label=")), 21u);  // parts
  EXPECT_EQ(Count(dot, std::regex("\n  e[0-9]+ \\[label=")), 5u);   // joined endpoints
  EXPECT_EQ(Count(dot, std::regex("\n  p[0-9]+ -> p[0-9]+;")), 20u);
  EXPECT_EQ(Count(dot, std::regex("\n  p[0-9]+ -> e[0-9]+ \\[style=dashed, dir=none\\];")), 5u);
  // The second open dropped the playback and microphone bindings: only the
  // line's endpoint volume and its AGC part are chosen now.
  EXPECT_EQ(Count(dot, std::regex("color=\"#c2410c\"")), 2u) << dot;
  EXPECT_TRUE(Has(dot, "label=\"Line AGC\\nline-agc\\nagc on\\nchosen: line-agc\", color=")) << dot;
  EXPECT_TRUE(Has(dot,
                  "label=\"Line In (Velto HD Audio)\\ncapture, active endpoint\\nchosen: "
                  "line-record\", shape=note, color="))
      << dot;
}

TEST_F(TopologyTest, EndpointsAreNamedByRoleOrByAPieceOfTheirId) {
  struct Case {
    std::vector<std::string> args;
    const char* heading;
  };
  const Case cases[] = {
      {{"open", "--default", "topology", "mic"},
       "Adapter \"Velto HD Audio\" behind Microphone (Velto HD Audio)\n"},
      {{"open", "--virtual", "a3e9", "topology", "virtual"},
       "Adapter \"Velto HD Audio\" behind Digital Output (Velto HD Audio)\n"},
      // Any endpoint, bound or not, active or not.
      {{"topology", "C7D2E4F8"}, "Adapter \"Velto HD Audio\" behind Headphones (Velto HD Audio)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.heading);
    ResetMixerAndCard();
    const Outcome outcome = Run(c.args);
    EXPECT_EQ(outcome.exit, 0) << outcome.err;
    EXPECT_EQ(outcome.out.rfind(c.heading, 0), 0u) << outcome.out;
  }
}

TEST_F(TopologyTest, SaysWhyThereIsNothingToDraw) {
  const std::string bare = SystemPath("sim/no_topology.json");
  ExpectRefusals({
      {{"topology"},
       "no playback endpoint is bound; bind one first (`open --playback ENDPOINT`)",
       kExitNothingBound},
      {{"open", "--default", "topology", "line"}, "no line endpoint is bound", kExitNothingBound},
      {{"topology", "nosuchid"},
       "no endpoint has 'nosuchid' as its index, in its name or in its id",
       kExitUsage},
      {{"topology", "Velto"},
       "'Velto' fits 5 endpoints; type more of its name or id:\n"
       "  playback 0  Speakers (Velto HD Audio)",
       kExitUsage},
      {{"--system", bare, "topology", "a1"},
       "Bare Speakers offers no device topology",
       kExitPlatform},
      {{"--system", bare, "topology", "No Volume"},
       "No Volume is not joined to any adapter",
       kExitPlatform},
  });
}

// The walk binds the first part along the output chain that offers a tone
// control; a part further upstream offering the same control is not chosen.
// The picture must show that.
TEST_F(TopologyTest, OnlyThePartsTheWalkChoseAreMarked) {
  const Outcome outcome = Run({"--system", SystemPath("topology/playback_chain.json"), "open",
                               "--playback", "topo-speakers", "topology"});
  EXPECT_EQ(outcome.exit, 0);  // the chain ends at the device's edge: a complete walk
  EXPECT_TRUE(Has(outcome.out, "* subunit master \"Master\"   [chosen: bass, treble]\n"))
      << outcome.out;
  EXPECT_TRUE(Has(outcome.out, "\n  subunit tone \"Tone\"\n")) << outcome.out;
  EXPECT_TRUE(Has(outcome.out, "* connector line-in \"Line In\"   [chosen: midrange]\n"))
      << outcome.out;
  EXPECT_TRUE(Has(outcome.out,
                  "  none for line-monitor, line-monitor mute, mic-monitor, "
                  "mic-monitor mute, mic-record,"))
      << outcome.out;
}

}  // namespace
}  // namespace veltomix::testing
