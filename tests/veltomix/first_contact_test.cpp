// veltomix met for the first time, on a machine without device topology,
// and asked why a control was not found.
#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "veltomix_fixture.h"

namespace veltomix::testing {
namespace {

using nlohmann::json;

std::size_t Lines(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

using FirstContactTest = VeltomixTest;

TEST_F(FirstContactTest, WithoutArgumentsTheMixerShows) {
  Outcome outcome = Run({});
  EXPECT_EQ(outcome.exit, kExitOk) << outcome.err;
  EXPECT_EQ(outcome.out.rfind("Playback    Speakers (Velto HD Audio)\n"
                              "  master           [######--------------]     31%  unmuted\n",
                              0),
            0u)
      << outcome.out;
  EXPECT_EQ(outcome.err, "");

  // Nothing that could be shown: a short usage instead.
  ResetMixerAndCard();
  UseSystem(velto::sim::SimSystem::FromJson(json::parse(R"({"endpoints": []})"), "empty"));
  outcome = Run({});
  EXPECT_EQ(outcome.exit, kExitNothingBound);
  EXPECT_EQ(outcome.out, "");
  EXPECT_TRUE(Has(outcome.err,
                  "Nothing to show: no default device could be bound: there is no active "
                  "playback or recording endpoint to bind (`veltomix list --all` lists the "
                  "endpoints in every state; under Wine, start a sound server such as "
                  "PulseAudio first).\n"
                  "Usage: veltomix [OPTIONS] [CALL | COMMAND ...]\n"))
      << outcome.err;
}

TEST_F(FirstContactTest, VersionAndHelpSayWhatTheyShould) {
  const Outcome version = Run({"--version"});
  EXPECT_EQ(version.exit, kExitOk);
  EXPECT_EQ(version.out.rfind("veltomix 1.", 0), 0u) << version.out;
  const Outcome help = Run({"--help"});
  EXPECT_TRUE(Has(help.out, "Exit status: 0 done; 1 a binding failed; 2 usage error")) << help.out;
}

// Misspellings get the nearest command, export, control or option.
TEST_F(FirstContactTest, TyposGetADidYouMean) {
  ExpectRefusals({
      {{"shwo"}, "unknown command or export 'shwo' (did you mean show?)"},
      {{"lsit"}, "(did you mean list?)"},
      {{"GetMastrVolume"}, "(did you mean GetMasterVolume?)"},
      {{"getmastervolume"}, "(did you mean GetMasterVolume?)"},
      {{"mastr"}, "(did you mean `get master`?)"},
      {{"--jsn", "list"}, "unknown option '--jsn' (did you mean --json?)"},
      {{"--verison"}, "(did you mean --version?)"},
      {{"show", "--colr", "never"}, "(did you mean --color?)"},
      {{"get", "mastr"}, "unknown control 'mastr' (did you mean master?)"},
      {{"open", "--default", "topology", "--why", "bas"},
       "unknown control 'bas' (did you mean bass?)"},
      {{"list", "--json"},
       "--json is an option of veltomix and goes before the first command: `veltomix --json "
       "list ...`"},
      {{"open", "--default", "show", "--state", "x.json"}, "--state is an option of veltomix"},
  });
}

TEST_F(FirstContactTest, FilesThatCannotBeUsedNameTheReason) {
  ExpectRefusals({
      {{"capture", "--output", "/nonexistent-dir/card.json"},
       "veltomix: cannot write /nonexistent-dir/card.json: No such file or directory",
       kExitPlatform},
      {{"open", "--default", "topology", "--output", "/nonexistent-dir/t.txt"},
       "veltomix: cannot write /nonexistent-dir/t.txt: No such file or directory",
       kExitPlatform},
      {{"--dump-system", "/nonexistent-dir/d.json"},
       "veltomix: cannot write /nonexistent-dir/d.json: No such file or directory",
       kExitPlatform},
      {{"--script", "/nonexistent-dir/s.vmx"},
       "veltomix: cannot read /nonexistent-dir/s.vmx: No such file or directory",
       kExitUsage},
  });
}

TEST_F(FirstContactTest, ColourOnlyWhereItIsWelcome) {
  struct Case {
    const char* noColor;
    const char* term;
    bool allowed;
  };
  const Case cases[] = {{nullptr, "xterm-256color", true},
                        {nullptr, nullptr, true},
                        {"", "xterm", true},
                        {"1", "xterm", false},
                        {nullptr, "dumb", false},
                        {"yes", "dumb", false}};
  for (const Case& c : cases) {
    EXPECT_EQ(ColourAllowed(c.noColor, c.term), c.allowed)
        << (c.noColor ? c.noColor : "(unset)") << " " << (c.term ? c.term : "(unset)");
  }
}

// --- A machine without device topology (as under Wine) -------------------------------------

class NoTopologyTest : public VeltomixTest {
 protected:
  void SetUp() override {
    UseSystem(velto::sim::SimSystem::FromFile(SystemPath("veltomix/no_topology_pair.json")));
  }
};

TEST_F(NoTopologyTest, OpenReportsEveryRoleAndShowListsWhatWorks) {
  const Outcome outcome = Run({"open", "--playback", "0", "--mic", "0", "show"});
  EXPECT_EQ(outcome.exit, kExitCommandFailed);
  EXPECT_TRUE(Has(outcome.err,
                  "veltomix: open: playback: found Wine Speakers, but walking its "
                  "topology failed"))
      << outcome.err;
  EXPECT_TRUE(Has(outcome.err, "veltomix: open: microphone: found Wine Microphone, but walking"))
      << outcome.err;
  EXPECT_TRUE(Has(outcome.out,
                  "Playback    Wine Speakers\n"
                  "  master           [##------------------]     10%  unmuted\n"))
      << outcome.out;
  EXPECT_TRUE(Has(outcome.out,
                  "Microphone  Wine Microphone\n"
                  "  mic-record       [##########----------]     50%\n"))
      << outcome.out;
}

// The mute answers for itself when the volume beside it cannot be read.
TEST_F(NoTopologyTest, MuteReportsTheMutesOwnResult) {
  system().AddFault({"device:*b1}/volume", "Get*Volume*"});
  Outcome outcome = Run({"open", "--playback", "0", "mute", "master", "show"});
  EXPECT_TRUE(Has(outcome.out, "master: muted  (its volume: platform call failed)\n"))
      << outcome.out;
  EXPECT_TRUE(Has(outcome.out, "  master           cannot be read  muted\n")) << outcome.out;
  EXPECT_EQ(outcome.exit, kExitCommandFailed);  // the open
  ResetMixerAndCard();
  UseSystem(velto::sim::SimSystem::FromFile(SystemPath("veltomix/no_topology_pair.json")));
  system().AddFault({"device:*b1}/volume", "Get*Volume*"});
  outcome = Run({"--json", "open", "--playback", "0", "show"});
  const std::string show = outcome.out.substr(outcome.out.find("{\"command\":\"show\""));
  EXPECT_EQ(json::parse(show)["exit"], kExitPlatform);
}

TEST_F(NoTopologyTest, CaptureWritesWhatItReadAndSaysTheRestInOneLine) {
  system().AddFault({"device:*b2}/volume", "GetChannelVolumeLevel"});
  const Outcome outcome = Run({"capture"});
  EXPECT_EQ(outcome.exit, kExitOk);
  const json captured = json::parse(outcome.out);
  EXPECT_EQ(captured["endpoints"][0]["volume"]["mute"], false);
  EXPECT_EQ(captured["endpoints"][0]["topology"], false);
  EXPECT_EQ(Lines(outcome.err), 1u) << outcome.err;
  EXPECT_TRUE(Has(outcome.err,
                  "veltomix: capture: the volume of endpoint "
                  "{0.0.1.00000000}.{00000000-0000-0000-0000-0000000000b2} cannot be "
                  "read on channel 0; left out"))
      << outcome.err;
}

// --- topology --why ---------------------------------------------------------------------------

// The format document's own example, as its readers copy it.
json FormatExample() {
  std::ifstream doc(std::string(VELTO_TEST_SYSTEMS) + "/../../docs/sound-system-format.md");
  std::stringstream text;
  text << doc.rdbuf();
  const std::string all = text.str();
  const std::size_t start = all.find("```json\n") + 8;
  return json::parse(all.substr(start, all.find("```", start) - start));
}

TEST_F(FirstContactTest, WhySaysWhereASearchStopped) {
  struct Case {
    std::vector<std::string> args;
    std::vector<const char*> says;
    int exit;
  };
  const Case cases[] = {
      {{"open", "--default", "topology", "--why", "mic-boost"},
       {"    \"Mic Boost\": name matches, but it offers no IAudioAutoGainControl or "
        "IAudioLoudness\n",
        "not found: no part offers a boost switch; a boost level was found on \"Mic Boost\" "
        "instead (see mic-boost-level)\n"},
       kExitControlMissing},
      {{"open", "--default", "topology", "--why", "bass"},
       {"  \"Master Volume\" (output chain): no IAudioBass\n",
        "found: bass is on \"Tone Controls\" (output chain)\n"},
       kExitOk},
      {{"open", "--default", "topology", "--why", "line-monitor"},
       {"found: line-monitor is the level on \"Line In Volume\", the mute on \"Line In Mute\"\n"},
       kExitOk},
      // A later "line" connector without a gain control keeps the earlier one's.
      {{"--system", SystemPath("topology/line_paths.json"), "open", "--line", "0", "topology",
        "--why", "line-agc"},
       {"  connector \"Rear Line\": two parts downstream, \"Rear Select\" offers no "
        "IAudioAutoGainControl; the one found on \"Line AGC\" stays bound\n",
        "found: line-agc is on \"Line AGC\"\n"},
       kExitOk},
      {{"topology", "--why", "master"},
       {"not found: no Playback endpoint is bound, so nothing was searched"},
       kExitNothingBound},
      {{"--system", SystemPath("veltomix/no_topology_pair.json"), "open", "--mic", "0", "close",
        "open", "--playback", "0", "topology", "--why", "treble"},
       {"not found: the endpoint offers no device topology"},
       kExitCommandFailed},  // the open failed first
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[c.args.size() - 1]);
    ResetMixerAndCard();
    const Outcome outcome = Run(c.args);
    EXPECT_EQ(outcome.exit, c.exit) << outcome.err;
    for (const char* says : c.says) EXPECT_TRUE(Has(outcome.out, says)) << outcome.out;
  }
}

// The format document's example with its line AGC moved beside the line's
// capture path instead of on it, where a card author may well put it.
json AgcBesideTheCapturePath() {
  json card = FormatExample();
  json& links = card["adapters"][0]["links"];
  const auto drop = [&links](const char* from, const char* to) {
    links.erase(std::remove(links.begin(), links.end(), json::array({from, to})), links.end());
  };
  drop("line-capture-volume", "line-agc");
  drop("line-agc", "line-capture");
  links.push_back({"line-capture-volume", "line-capture"});
  links.push_back({"line-capture-volume", "line-agc"});
  return card;
}

TEST_F(FirstContactTest, WhySaysWhyALineAgcBesideThePathIsNotFound) {
  UseSystem(velto::sim::SimSystem::FromJson(AgcBesideTheCapturePath(), "moved AGC"));
  system().ClearFaults();
  Outcome outcome = Run({"open", "--default", "topology", "--why", "line-agc"});
  EXPECT_EQ(outcome.exit, kExitControlMissing) << outcome.err;
  EXPECT_TRUE(Has(outcome.out,
                  "  connector \"Line In\": two parts downstream, \"Line Capture\" offers no "
                  "IAudioAutoGainControl; beside it, never tried: \"Line AGC\"\n"))
      << outcome.out;

  ResetMixerAndCard();
  UseSystem(velto::sim::SimSystem::FromJson(AgcBesideTheCapturePath(), "moved AGC"));
  system().ClearFaults();
  outcome = Run({"--json", "open", "--default", "topology", "--why", "line-agc"});
  const json why = json::parse(outcome.out.substr(outcome.out.rfind("{\"command\":\"topology\"")));
  EXPECT_EQ(why["found"], false);
  EXPECT_EQ(why["control"], "line-agc");
  EXPECT_TRUE(Has(why["outcome"], "not found: no connector named with \"line\"")) << why;
}

}  // namespace
}  // namespace veltomix::testing
