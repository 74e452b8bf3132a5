// veltomix as people use a mixer: choosing an endpoint as `list` shows it,
// values by steps and within their range, JSON for scripts, the state kept
// between runs.
#include <array>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "veltomix_fixture.h"

namespace veltomix::testing {
namespace {

using nlohmann::json;

using MixerUseTest = VeltomixTest;

// --- Choosing an endpoint -------------------------------------------------------------------

TEST_F(MixerUseTest, OpenTakesWhatListShows) {
  struct Case {
    std::vector<std::string> open;
    const char* bound;  // what open reports on stderr
  };
  const Case cases[] = {
      {{"--playback", "1"}, "playback    Digital Output (Velto HD Audio)\n"},
      {{"--playback", "digital"}, "playback    Digital Output (Velto HD Audio)\n"},
      {{"--playback", "Speakers (Velto HD Audio)"}, "playback    Speakers (Velto HD Audio)\n"},
      {{"--mic", "Micro"}, "microphone  Microphone (Velto HD Audio)\n"},
      {{"--mic", "0"}, "microphone  Microphone (Velto HD Audio)\n"},
      {{"--line", "d1f5a9c3"}, "line in     Line In (Velto HD Audio)\n"},
      {{"--line", "1"}, "line in     Line In (Velto HD Audio)\n"},
      {{"--virtual", "1"}, "virtual     Digital Output (Velto HD Audio)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.open[1]);
    ResetMixerAndCard();
    const Outcome outcome = Run(Then({"open"}, c.open));
    EXPECT_EQ(outcome.exit, kExitOk) << outcome.err;
    EXPECT_EQ(outcome.err, c.bound);
  }
}

// A text that fits several endpoints binds none of them, and says which.
TEST_F(MixerUseTest, AnAmbiguousEndpointIsRefusedWithItsMatches) {
  const Outcome outcome = Run({"open", "--playback", "velto", "--mic", "0", "get", "mic-record"});
  EXPECT_EQ(outcome.exit, kExitUsage);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err,
            "veltomix: open: playback: --playback velto: 'velto' fits 2 active playback "
            "endpoints; type more of its name or id:\n"
            "  playback 0  Speakers (Velto HD Audio)        "
            "{0.0.0.00000000}.{4f6a2c1e-8b3d-4e7a-9c51-2d8f0b6e3a17}\n"
            "  playback 1  Digital Output (Velto HD Audio)  "
            "{0.0.0.00000000}.{a3e91b57-2c64-4d0f-8e1a-7b5c9d3f6e20}\n"
            "veltomix: open: nothing was bound\n"
            "veltomix: no device is bound: open one first, e.g. `veltomix open --default get "
            "mic-record`\n");
  EXPECT_FALSE(velto::Mixer().deviceBound);

  ResetMixerAndCard();
  const Outcome asJson = Run({"--json", "open", "--playback", "velto"});
  const std::vector<json> documents = Documents(asJson.out);
  ASSERT_EQ(documents.size(), 1u);
  EXPECT_EQ(documents[0]["roles"][0]["bound"], false);
  EXPECT_TRUE(Has(documents[0]["roles"][0]["problem"], "fits 2 active playback endpoints"));
}

// Ids are full of zeros ("{0.0.0.00000000}"): digits with a leading zero are
// a piece of an id, never the index they would spell.
TEST_F(MixerUseTest, DigitsWithALeadingZeroArePartOfAnId) {
  const Outcome outcome = Run({"open", "--playback", "00"});
  EXPECT_EQ(outcome.exit, kExitUsage);
  EXPECT_TRUE(Has(outcome.err, "'00' fits 2 active playback endpoints")) << outcome.err;
  EXPECT_FALSE(velto::Mixer().deviceBound);
}

TEST_F(MixerUseTest, AnEndpointThatIsThereButNotActiveIsNamedAsSuch) {
  const Outcome outcome = Run({"open", "--playback", "headphones"});
  EXPECT_EQ(outcome.exit, kExitUsage);
  EXPECT_TRUE(Has(outcome.err,
                  "Headphones (Velto HD Audio) is disabled; only active endpoints "
                  "can be bound"))
      << outcome.err;
}

// A name equal to the text wins over names that merely contain it.
TEST_F(MixerUseTest, AWholeNameIsNotAmbiguous) {
  UseSystem(velto::sim::SimSystem::FromJson(json::parse(R"({"endpoints": [
        {"id": "{0.0.0.1}.{aa}", "name": "Speakers", "flow": "render", "default": true},
        {"id": "{0.0.0.1}.{bb}", "name": "Speakers 2", "flow": "render"}]})"),
                                            "two speakers"));
  const Outcome outcome = Run({"open", "--playback", "speakers"});
  // Found, though its binding fails: these endpoints have no topology.
  EXPECT_TRUE(Has(outcome.err,
                  "veltomix: open: playback: found Speakers, but walking its "
                  "topology failed"))
      << outcome.err;
}

TEST_F(MixerUseTest, ListAllShowsEveryStateWithoutAnIndex) {
  Outcome outcome = Run({"list", "--all"});
  EXPECT_EQ(outcome.exit, kExitOk);
  EXPECT_TRUE(Has(outcome.out,
                  "  1   Digital Output (Velto HD Audio)  "
                  "{0.0.0.00000000}.{a3e91b57-2c64-4d0f-8e1a-7b5c9d3f6e20}\n"
                  "  -   Headphones (Velto HD Audio)      "
                  "{0.0.0.00000000}.{c7d2e4f8-5a1b-4c3e-9f60-1e8b2a7d4c95}  (disabled)\n"
                  "Recording endpoints\n"))
      << outcome.out;
  EXPECT_FALSE(Has(Run({"list"}).out, "Headphones"));

  outcome = Run({"--json", "list", "--all"});
  const std::vector<json> documents = Documents(outcome.out);
  ASSERT_EQ(documents.size(), 1u);
  const json& playback = documents[0]["playback"];
  ASSERT_EQ(playback.size(), 3u);
  EXPECT_EQ(playback[0]["index"], 0);
  EXPECT_EQ(playback[0]["default"], true);
  EXPECT_EQ(playback[2]["index"], nullptr);
  EXPECT_EQ(playback[2]["state"], "disabled");
  EXPECT_EQ(documents[0]["recording"][1]["name"], "Line In (Velto HD Audio)");
}

// --- Values as a mixer takes them -----------------------------------------------------------

TEST_F(MixerUseTest, ASignedValueChangesByThatMuch) {
  struct Case {
    std::vector<std::string> set;
    const char* prints;
  };
  // The sample starts at master 31%, bass +3 dB (-12..12), boost 10 dB (0..30).
  const Case cases[] = {
      {{"master", "+5"}, "master: 36%  unmuted\n"},
      {{"master", "+1"}, "master: 32%  unmuted\n"},
      {{"master", "-5"}, "master: 26%  unmuted\n"},
      {{"master", "-5%"}, "master: 26%  unmuted\n"},
      {{"master", "+500"}, "master: 100%  unmuted\n"},  // a change stops at the end of the range
      {{"master", "=40"}, "master: 40%  unmuted\n"},
      {{"bass", "+1.5dB"}, "bass: +4.5 dB\n"},
      {{"bass", "-1.5"}, "bass: +1.5 dB\n"},
      {{"bass", "-30dB"}, "bass: -12 dB\n"},
      {{"bass", "=-3"}, "bass: -3 dB\n"},
      {{"mic-boost-level", "+10"}, "mic-boost-level: 20 dB\n"},
      {{"mic-boost-level", "+100"}, "mic-boost-level: 30 dB\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.set[0] + " " + c.set[1]);
    ResetMixerAndCard();
    const Outcome outcome = Run(Then({"open", "--default", "set"}, c.set));
    EXPECT_EQ(outcome.exit, kExitOk) << outcome.err;
    EXPECT_EQ(outcome.out, c.prints);
  }
  ResetMixerAndCard();
  Run({"open", "--default", "set", "bass", "+1.5dB"});
  EXPECT_EQ(Part(system().Dump(), "tone")["controls"]["bass"]["channels"][0], 4.5);
}

// On every level a corpus binding holds, stepped as its hardware steps: from
// one end, each +1 (+0.5 dB on a tone) moves the reading up until the top,
// where it stays, and each -1 down likewise.
TEST_F(MixerUseTest, ASmallStepMovesEveryCorpusLevelToItsEnd) {
  std::ifstream table(SystemPath("corpus/expectations.txt"));
  int levels = 0;
  for (std::string line; std::getline(table, line);) {
    std::istringstream fields(line);
    std::string card, bar, open, texts[3];
    fields >> card >> bar >> open >> bar >> texts[0] >> texts[1] >> texts[2];
    if (open != "open") continue;
    std::vector<std::string> args = {"--system", SystemPath("corpus/" + card), "open"};
    for (int i = 0; i < 3; ++i)
      if (texts[i] != "-")
        args = Then(args, {std::array{"--playback", "--mic", "--line"}[i], texts[i]});
    for (std::string c :
         {"line-monitor", "mic-monitor", "bass", "treble", "midrange", "mic-boost-level"}) {
      if (Run(Then(args, {"get", c})).exit != kExitOk) continue;
      SCOPED_TRACE(card + " " + c);
      ++levels;
      const bool tone = c == "bass" || c == "treble" || c == "midrange";
      std::vector<std::string> run =
          Then(args, {"set", c, "-1000", "set", c, "+1000", "set", c, "-1000"});
      for (const char* step : {"+1", "-1"})
        for (int i = 0; i < 101; ++i)
          run = Then(run, {"set", c, tone ? step[0] + std::string("0.5") : step});
      std::istringstream out(Run(run).out);
      std::vector<double> read;  // "bass: +1.5 dB", "line-monitor: 45%  unmuted"
      for (std::string shown; std::getline(out, shown);)
        read.push_back(std::stod(shown.substr(c.size() + 2)));
      ASSERT_EQ(read.size(), 205u);
      for (std::size_t i = 3; i < read.size(); ++i) {
        const double end = i < 104 ? read[1] : read[0];
        EXPECT_TRUE(read[i] == end || (read[i] - read[i - 1]) * (end - read[i - 1]) > 0)
            << i << ": " << read[i];
      }
      EXPECT_EQ(read[103], read[1]);
      EXPECT_EQ(read[204], read[0]);
    }
  }
  EXPECT_GE(levels, 11);
}

// A volume reads back truncated: 90% is stored and reads 89%. One step up
// from there must still move.
TEST_F(MixerUseTest, AStepUpAlwaysMoves) {
  const Outcome outcome = Run(
      {"open", "--default", "set", "master", "90", "set", "master", "+1", "set", "master", "+1"});
  EXPECT_EQ(outcome.exit, kExitOk) << outcome.err;
  int first = 0, second = 0, third = 0;
  ASSERT_EQ(std::sscanf(outcome.out.c_str(),
                        "master: %d%%  unmuted\nmaster: %d%%  unmuted\n"
                        "master: %d%%",
                        &first, &second, &third),
            3)
      << outcome.out;
  EXPECT_LT(first, second);
  EXPECT_LT(second, third);
}

TEST_F(MixerUseTest, AValueOutsideTheRangeIsRefusedWithTheRange) {
  struct Case {
    std::vector<std::string> set;
    const char* says;
  };
  const Case cases[] = {
      {{"bass", "13"}, "bass takes -12 dB to +12 dB in steps of 1.5 dB, not +13 dB"},
      {{"treble", "=-12.5"}, "treble takes -12 dB to +12 dB in steps of 1.5 dB, not -12.5 dB"},
      {{"mic-boost-level", "40"},
       "mic-boost-level takes 0 dB to +30 dB in steps of 10 dB, not 40 dB"},
      {{"master", "150"}, "master takes a whole percentage from 0 to 100"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.set[0]);
    ResetMixerAndCard();
    const json before = system().Dump();
    const Outcome outcome = Run(Then({"open", "--default", "set"}, c.set));
    EXPECT_EQ(outcome.exit, kExitUsage);
    EXPECT_TRUE(Has(outcome.err, c.says)) << outcome.err;
    EXPECT_EQ(system().Dump(), before) << "a refused value reached the card";
  }
}

TEST_F(MixerUseTest, DecibelsPrintAsTheCardHoldsThem) {
  const Outcome outcome = Run({"--json", "open", "--default", "set", "bass", "4.7", "get", "bass"});
  const std::vector<json> documents = Documents(outcome.out);
  ASSERT_EQ(documents.size(), 3u);
  EXPECT_EQ(documents[1]["value"], 4.7);
  EXPECT_EQ(documents[2]["command"], "get");
  ResetMixerAndCard();
  EXPECT_EQ(Run({"open", "--default", "set", "bass", "4.7"}).out, "bass: +4.7 dB\n");
}

TEST_F(MixerUseTest, MuteOffersOnlyTheControlsWithAMute) {
  for (const char* command : {"mute", "unmute"}) {
    const Outcome outcome = Run({command, "--help"});
    EXPECT_TRUE(Has(outcome.out, "one of: master, line-monitor, mic-monitor, virtual\n"))
        << outcome.out;
  }
}

// --- Output for scripts ---------------------------------------------------------------------

// Each command prints one document, with the keys of its text.
TEST_F(MixerUseTest, EveryCommandPrintsOneJsonDocument) {
  const std::string card = ::testing::TempDir() + "veltomix_json_capture.json";
  const Outcome outcome =
      Run(Then(Words("--json --dump-system - list open --default --virtual 1 get master set master "
                     "+1 mute master unmute master show topology capture --output"),
               {card, "GetMasterVolume", "close"}));
  EXPECT_EQ(outcome.exit, kExitOk) << outcome.err;
  const std::vector<json> documents = Documents(outcome.out);
  std::vector<std::string> commands;
  for (const json& document : documents)
    commands.push_back(document.value("command", document.value("call", "")));
  EXPECT_EQ(commands, (std::vector<std::string>{"list", "open", "get", "set", "mute", "unmute",
                                                "show", "topology", "capture", "GetMasterVolume",
                                                "close", "dump-system"}));
  ASSERT_EQ(documents.size(), 12u);
  EXPECT_EQ(documents[1]["roles"].size(), 3u);
  EXPECT_EQ(documents[2], json::parse(R"({"command":"get","control":"master","value":31,
                                          "unit":"%","muted":false})"));
  EXPECT_EQ(documents[4]["muted"], true);
  EXPECT_EQ(documents[6]["devices"][0]["controls"][0]["control"], "master");
  EXPECT_EQ(documents[6]["exit"], 0);
  EXPECT_EQ(documents[7]["chosen"]["bass"], json::array({"tone-controls"}));
  EXPECT_EQ(documents[8]["endpoints"], 5);
  EXPECT_TRUE(documents[11]["system"].contains("endpoints"));
  std::remove(card.c_str());
}

// --- State between runs ---------------------------------------------------------------------

TEST_F(MixerUseTest, TheStateFileCarriesTheCardFromRunToRun) {
  const std::string card = ::testing::TempDir() + "veltomix_state.json";
  std::remove(card.c_str());
  Outcome outcome = Run({"--state", card, "open", "--default", "set", "master", "40"});
  EXPECT_EQ(outcome.exit, kExitOk) << outcome.err;
  velto::ResetMixerState();
  UseSystem(velto::sim::SimSystem::Sample());
  outcome = Run({"--state", card, "open", "--default", "get", "master"});
  EXPECT_EQ(outcome.out, "master: 40%  unmuted\n");
  std::remove(card.c_str());
}

TEST_F(MixerUseTest, AStateThatCannotBeWrittenSaysWhy) {
  const Outcome outcome = Run({"--state", "/nonexistent-dir/card.json", "list"});
  EXPECT_EQ(outcome.exit, kExitPlatform);
  EXPECT_TRUE(Has(outcome.err,
                  "veltomix: cannot write /nonexistent-dir/card.json: No such file or directory"))
      << outcome.err;
}

// --- The system changing under a script -------------------------------------------------------

TEST_F(MixerUseTest, ScriptLinesChangeTheSystemBetweenCalls) {
  struct Case {
    const char* script;
    int exit;
    std::vector<std::string> printed;  // on out, or on err when the run fails
  };
  const Case cases[] = {
      {"OpenSoundCard \"4f6a2c1e\" \"\" \"\"\n"
       "!remove {0.0.0.00000000}.{4f6a2c1e-8b3d-4e7a-9c51-2d8f0b6e3a17}\n"
       "GetMasterVolume\n"
       "!state {0.0.1.00000000}.{d1f5a9c3-7e2b-4b86-a0d4-5f3e8c1b9a72} disabled\n"
       "GetNumberRecordDevices\n"
       "!default {0.0.0.00000000}.{a3e91b57-2c64-4d0f-8e1a-7b5c9d3f6e20}\n"
       "CloseSoundCard 1\nOpenDefaultDevices\nGetDeviceNames\n",
       kExitOk,
       {"GetMasterVolume -> 0 status=2", "GetNumberRecordDevices -> 0 count=1",
        "playback=\"Digital Output (Velto HD Audio)\""}},
      {"!remove nothing\nGetNumberPlayDevices\n",
       kExitUsage,
       {"<stdin>:1: no endpoint has the id nothing"}},
      {"!state x asleep\n", kExitUsage, {"'asleep' is no endpoint state"}},
      {"!unplug x\n", kExitUsage, {"unknown change '!unplug'"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    ResetMixerAndCard();
    std::istringstream script(c.script);
    std::streambuf* const keyboard = std::cin.rdbuf(script.rdbuf());
    const Outcome outcome = Run({"--script", "-"});
    std::cin.rdbuf(keyboard);
    EXPECT_EQ(outcome.exit, c.exit) << outcome.err;
    for (const std::string& piece : c.printed)
      EXPECT_TRUE(Has(outcome.out + outcome.err, piece)) << outcome.out << outcome.err;
  }
}

}  // namespace
}  // namespace veltomix::testing
