// The friendly commands on the simulated sample card: what they print, what
// they change on the card, and what they say when they cannot.
#include <nlohmann/json.hpp>

#include "veltomix_fixture.h"

namespace veltomix::testing {
namespace {

using nlohmann::json;

const char* const kSpeakers = "4f6a2c1e";
const char* const kDigital = "a3e91b57";
const char* const kMic = "6b8e3f2a";
const char* const kLine = "d1f5a9c3";

json Endpoint(const json& state, const std::string& fragment) {
  for (const json& endpoint : state["endpoints"]) {
    if (endpoint["id"].get<std::string>().find(fragment) != std::string::npos) return endpoint;
  }
  ADD_FAILURE() << "no endpoint " << fragment;
  return {};
}

std::vector<std::string> OpenAll() {
  return {"open", "--playback", kSpeakers, "--mic", kMic, "--line", kLine, "--virtual", kDigital};
}

using CommandsTest = VeltomixTest;

TEST_F(CommandsTest, ListShowsBothFlowsWithTheDefaultsMarked) {
  const Outcome outcome = Run({"list"});
  EXPECT_EQ(outcome.exit, 0);
  EXPECT_EQ(outcome.out,
            "Playback endpoints\n"
            "  0 * Speakers (Velto HD Audio)        "
            "{0.0.0.00000000}.{4f6a2c1e-8b3d-4e7a-9c51-2d8f0b6e3a17}\n"
            "  1   Digital Output (Velto HD Audio)  "
            "{0.0.0.00000000}.{a3e91b57-2c64-4d0f-8e1a-7b5c9d3f6e20}\n"
            "Recording endpoints\n"
            "  0 * Microphone (Velto HD Audio)      "
            "{0.0.1.00000000}.{6b8e3f2a-9d4c-4a71-b5e0-3c9f1a8d2e64}\n"
            "  1   Line In (Velto HD Audio)         "
            "{0.0.1.00000000}.{d1f5a9c3-7e2b-4b86-a0d4-5f3e8c1b9a72}\n"
            "* default endpoint. Bind by index, a piece of the name or of the id, e.g. "
            "`veltomix open --playback 0 --mic 0`\n");
}

TEST_F(CommandsTest, ListSaysWhenAFlowHasNoActiveEndpoint) {
  UseSystem(velto::sim::SimSystem::FromFile(SystemPath("sim/minimal.json")));
  const Outcome outcome = Run({"list"});
  EXPECT_EQ(outcome.exit, 0);
  EXPECT_NE(outcome.out.find("Recording endpoints\n  (none active)\n"), std::string::npos)
      << outcome.out;
}

TEST_F(CommandsTest, OpenByIdsBindsEachRoleAndNamesIt) {
  const Outcome outcome = Run(OpenAll());
  EXPECT_EQ(outcome.exit, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err,
            "playback    Speakers (Velto HD Audio)\n"
            "microphone  Microphone (Velto HD Audio)\n"
            "line in     Line In (Velto HD Audio)\n"
            "virtual     Digital Output (Velto HD Audio)\n");
}

// A text that names no endpoint binds nothing, not even the roles whose text
// was fine.
TEST_F(CommandsTest, OpenSaysWhichRoleFailedAndWhy) {
  const Outcome outcome =
      Run({"open", "--playback", kSpeakers, "--mic", "nosuchid", "get", "master"});
  EXPECT_EQ(outcome.exit, 2);
  EXPECT_EQ(outcome.err,
            "veltomix: open: microphone: --mic nosuchid: no active recording endpoint has "
            "'nosuchid' as its index, in its name or in its id (`veltomix list` shows them)\n"
            "veltomix: open: nothing was bound\n"
            "veltomix: no device is bound: open one first, e.g. `veltomix open --default get "
            "master`\n");
}

TEST_F(CommandsTest, OpenWithoutWhatToBindIsAUsageError) {
  ExpectRefusals({
      {{"open"}, "open needs --default, or --playback/--mic/--line"},
      {{"open", "--default", "--mic", kMic}, "--default binds the system's default devices"},
      {{"open", "--playback", ""}, "--playback needs an endpoint: its index, its name"},
      {{"open", "--playback"}, "open: --playback: 1 required"},
  });
}

// Every control, set and read back through the exports, and found changed on
// the card where the binding found it.
TEST_F(CommandsTest, SetChangesEachControlAndPrintsItsNewValue) {
  struct Case {
    std::vector<std::string> set;
    const char* prints;
    std::string part;  // where the change shows in the dump ("" for an endpoint)
    std::string endpoint;
    json expected;  // the control's dumped value after the change
  };
  const Case cases[] = {
      {{"master", "50"}, "master: 50%  unmuted\n", "", kSpeakers, -6.0205998420715332},
      {{"line-monitor", "10"}, "line-monitor: 10%  unmuted\n", "line-in-volume", "", -8.0},
      {{"mic-monitor", "100%"}, "mic-monitor: 100%  muted\n", "mic-volume", "", 12.0},
      {{"bass", "=-3"}, "bass: -3 dB\n", "tone", "", -3.0},
      {{"treble", "4.5dB"}, "treble: +4.5 dB\n", "tone", "", 4.5},
      {{"midrange", "1.5"}, "midrange: +1.5 dB\n", "tone", "", 1.5},
      {{"mic-record", "100"}, "mic-record: 100%\n", "", kMic, 30.0},
      {{"mic-boost-level", "20"}, "mic-boost-level: 20 dB\n", "mic-boost", "", 20.0},
      {{"line-record", "0"}, "line-record: 1%\n", "", kLine, -10.0},
      {{"line-agc", "off"}, "line-agc: off\n", "line-agc", "", 0},
      {{"virtual", "10"}, "virtual: 10%  unmuted\n", "", kDigital, -20.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.set[0]);
    ResetMixerAndCard();
    const Outcome outcome = Run(Then(OpenAll(), Then({"set"}, c.set)));
    EXPECT_EQ(outcome.exit, 0) << outcome.err;
    EXPECT_EQ(outcome.out, c.prints);
    const json state = system().Dump();
    const json control =
        c.part.empty() ? Endpoint(state, c.endpoint)["volume"] : Part(state, c.part)["controls"];
    if (c.set[0] == "line-agc") {
      EXPECT_EQ(control["agc"], c.expected);
    } else if (c.part.empty()) {
      EXPECT_EQ(control["channels"][0], c.expected);
    } else {
      const char* key = c.set[0] == "bass" || c.set[0] == "treble" || c.set[0] == "midrange"
                            ? c.set[0].c_str()
                            : "volume";
      EXPECT_EQ(control[key]["channels"][0], c.expected);
    }
  }
}

TEST_F(CommandsTest, MuteAndUnmuteReachTheMutesBindingChose) {
  struct Case {
    const char* control;
    std::string part;  // "" for the endpoint volume's mute
    std::string endpoint;
  };
  const Case cases[] = {{"master", "", kSpeakers},
                        {"line-monitor", "line-in-mute", ""},
                        {"mic-monitor", "mic-mute", ""},
                        {"virtual", "", kDigital}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.control);
    ResetMixerAndCard();
    Outcome outcome = Run(Then(OpenAll(), {"mute", c.control}));
    EXPECT_EQ(outcome.exit, 0) << outcome.err;
    EXPECT_NE(outcome.out.find("%  muted\n"), std::string::npos) << outcome.out;
    const auto muted = [&] {
      const json state = system().Dump();
      return c.part.empty()
                 ? json(Endpoint(state, c.endpoint)["volume"]["mute"].get<bool>() ? 1 : 0)
                 : Part(state, c.part)["controls"]["mute"];
    };
    EXPECT_EQ(muted(), 1);
    outcome = Run(Then(OpenAll(), {"unmute", c.control}));
    EXPECT_NE(outcome.out.find("%  unmuted\n"), std::string::npos) << outcome.out;
    EXPECT_EQ(muted(), 0);
  }
}

TEST_F(CommandsTest, ValuesAControlCannotTakeAreRefusedBeforeAnythingRuns) {
  struct Case {
    std::vector<std::string> args;
    const char* says;
  };
  const Case cases[] = {
      {{"set", "master", "101"}, "master takes a whole percentage from 0 to 100"},
      {{"set", "master", "+-1"}, "master takes a whole percentage from 0 to 100"},
      {{"set", "master", "4.5"}, "master takes a whole percentage"},
      {{"set", "bass", "loud"}, "bass takes decibels, e.g. `set bass 4.5`, `set bass =-3`"},
      {{"set", "mic-boost-level", "2.5"}, "mic-boost-level takes whole decibels"},
      {{"set", "mic-boost", "maybe"}, "mic-boost is a switch: type `set mic-boost on`"},
      {{"set", "volume", "40"}, "unknown control 'volume': type one of master, line-monitor"},
      {{"mute", "mic-boost"}, "mic-boost is a switch, not a mute: type `set mic-boost off`"},
      {{"unmute", "line-agc"}, "type `set line-agc on`"},
      {{"mute", "bass"}, "bass has no mute; master, line-monitor, mic-monitor, virtual have one"},
      {{"get"}, "get: CONTROL is required"},
      {{"Show"}, "(did you mean show?)"},
      {{"bass"}, "bass is a control: `get bass` or `set bass VALUE`"},
      {{"show", "--colour"}, "show: The following argument was not expected: --colour"},
      {{"show", "sett", "master", "5"},
       "show: The following arguments were not expected: sett master 5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : ""));
    // open and a raw call come first: a refusal anywhere means nothing ran.
    const Outcome outcome = Run(Then({"GetNumberPlayDevices", "open", "--default"}, c.args));
    EXPECT_EQ(outcome.exit, 2);
    EXPECT_EQ(outcome.out, "");
    EXPECT_NE(outcome.err.find(c.says), std::string::npos) << outcome.err;
    EXPECT_EQ(velto::Mixer().deviceBound, false);
    // Under --json the refusal is the one line on stdout.
    const std::string json = Run(Then({"--json", "open", "--default"}, c.args)).out;
    EXPECT_TRUE(json.find(c.says) != std::string::npos && json.ends_with(",\"exit\":2}\n")) << json;
  }
}

TEST_F(CommandsTest, ControlsThatCannotBeReachedSayWhatToTypeInstead) {
  struct Case {
    std::vector<std::string> args;
    const char* says;
    int exit;
  };
  const Case cases[] = {
      {{"get", "master"},
       "no device is bound: open one first, e.g. `veltomix open --default get",
       kExitNothingBound},
      {{"open", "--default", "get", "mic-boost"},
       "mic-boost: not found on the bound microphone endpoint, Microphone (Velto HD Audio)",
       kExitControlMissing},
      {{"open", "--default", "set", "line-agc", "on"},
       "line-agc: no line-in endpoint is bound; bind one with `open --line ENDPOINT`",
       kExitNothingBound},
      {{"open", "--default", "mute", "virtual"},
       "virtual: no virtual endpoint is bound; bind one with `open --virtual ENDPOINT`",
       kExitNothingBound},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[c.args.size() > 2 ? 2 : 0]);
    Outcome outcome = Run(c.args);
    EXPECT_EQ(outcome.exit, c.exit);
    EXPECT_NE(outcome.err.find(c.says), std::string::npos) << outcome.err;
    // Under --json the failure is the command's document, with the same exit.
    ResetMixerAndCard();
    outcome = Run(Then({"--json"}, c.args));
    EXPECT_EQ(outcome.exit, c.exit);
    const std::string last = outcome.out.substr(outcome.out.rfind('{'));
    const json document = json::parse(last);
    EXPECT_EQ(document["exit"], c.exit);
    EXPECT_NE(document["error"].get<std::string>().find(c.says), std::string::npos) << last;
    ResetMixerAndCard();
  }
}

TEST_F(CommandsTest, ShowDrawsEveryBoundDeviceAndControl) {
  const Outcome outcome = Run({"open", "--default", "set", "master", "40", "show"});
  EXPECT_EQ(outcome.exit, 0) << outcome.err;
  EXPECT_EQ(outcome.out,
            "master: 40%  unmuted\n"
            "Playback    Speakers (Velto HD Audio)\n"
            "  master           [########------------]     40%  unmuted\n"
            "  line-monitor     [#####---------------]     25%  unmuted\n"
            "  mic-monitor      [###-----------------]     14%  muted\n"
            "  bass             [----------###-------]   +3 dB\n"
            "  treble           [---------#|---------] -1.5 dB\n"
            "  midrange         [----------|---------]    0 dB\n"
            "Microphone  Microphone (Velto HD Audio)\n"
            "  mic-record       [#-------------------]      4%\n"
            "  mic-boost        not found\n"
            "  mic-boost-level  [#######-------------]   10 dB\n"
            "Line in     not bound\n"
            "Virtual     not bound\n");
}

TEST_F(CommandsTest, ShowWithEverythingBound) {
  const Outcome outcome = Run(Then(OpenAll(), {"show"}));
  EXPECT_EQ(outcome.exit, 0) << outcome.err;
  EXPECT_NE(outcome.out.find("Line in     Line In (Velto HD Audio)\n"
                             "  line-record      [--------------------]      2%\n"
                             "  line-agc         on\n"
                             "Virtual     Digital Output (Velto HD Audio)\n"
                             "  virtual          [##------------------]     10%  unmuted\n"),
            std::string::npos)
      << outcome.out;
}

TEST_F(CommandsTest, ShowBeforeAnyBindingSaysHowToBind) {
  const Outcome outcome = Run({"show"});
  EXPECT_EQ(outcome.exit, kExitNothingBound);
  EXPECT_EQ(outcome.out,
            "Nothing is bound: `veltomix open --default` binds the default devices, `veltomix "
            "open --playback N` one that `veltomix list` shows.\n"
            "Playback    not bound\n"
            "Microphone  not bound\n"
            "Line in     not bound\n"
            "Virtual     not bound\n");
}

TEST_F(CommandsTest, ShowColoursOnlyATerminalUnlessTold) {
  const char* const escape = "\x1b[";
  EXPECT_EQ(Run({"open", "--default", "show"}, false).out.find(escape), std::string::npos);
  EXPECT_NE(Run({"open", "--default", "show"}, true).out.find(escape), std::string::npos);
  EXPECT_EQ(Run({"open", "--default", "show", "--color", "never"}, true).out.find(escape),
            std::string::npos);
  const std::string forced = Run({"open", "--default", "show", "--color", "always"}, false).out;
  EXPECT_NE(forced.find("\x1b[31mmuted\x1b[0m"), std::string::npos) << forced;
  EXPECT_NE(forced.find("\x1b[33mnot found\x1b[0m"), std::string::npos) << forced;
}

TEST_F(CommandsTest, CloseWithRestorePutsTheCardBack) {
  const Outcome outcome = Run({"open", "--default", "set", "bass", "=-6", "unmute", "mic-monitor",
                               "close", "--restore", "show"});
  EXPECT_EQ(outcome.exit, kExitNothingBound) << outcome.err;
  EXPECT_NE(outcome.err.find("closed; every control is back at its value from binding"),
            std::string::npos);
  EXPECT_NE(outcome.out.find("Nothing is bound"), std::string::npos);
  const json state = system().Dump();
  EXPECT_EQ(Part(state, "tone")["controls"]["bass"]["channels"][0], 3.0);
  EXPECT_EQ(Part(state, "mic-mute")["controls"]["mute"], 1);
}

TEST_F(CommandsTest, CloseWithoutRestoreKeepsTheChanges) {
  Run({"open", "--default", "set", "bass", "=-6", "close"});
  EXPECT_EQ(Part(system().Dump(), "tone")["controls"]["bass"]["channels"][0], -6.0);
}

// Friendly commands and export calls in one chain run in the order given.
TEST_F(CommandsTest, ExportCallsMixWithCommands) {
  const Outcome outcome = Run({"open", "--default", "GetMasterVolume", "set", "master", "50",
                               "GetMasterVolume", "SetBass", "-1.5", "get", "bass"});
  EXPECT_EQ(outcome.exit, 0) << outcome.err;
  EXPECT_EQ(outcome.out,
            "GetMasterVolume -> 31 status=0\n"
            "master: 50%  unmuted\n"
            "GetMasterVolume -> 50 status=0\n"
            "SetBass -> 0 status=0\n"
            "bass: -1.5 dB\n");
}

// A value after an option belongs to the option, even when it spells a
// command or an export.
TEST_F(CommandsTest, AnOptionsValueIsNeverTakenForTheNextStep) {
  const Outcome outcome = Run({"capture", "--output", "show"});
  EXPECT_EQ(outcome.exit, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "");
  EXPECT_NE(outcome.err.find("into show"), std::string::npos);
  std::remove("show");
}

TEST_F(CommandsTest, EachCommandHasHelp) {
  for (const char* command :
       {"list", "open", "get", "set", "mute", "unmute", "show", "topology", "capture", "close"}) {
    SCOPED_TRACE(command);
    const Outcome outcome = Run({"open", "--default", command, "--help"});
    EXPECT_EQ(outcome.exit, 0);
    EXPECT_NE(outcome.out.find(std::string("Usage: ") + command), std::string::npos) << outcome.out;
    EXPECT_EQ(velto::Mixer().deviceBound, false) << "help ran the chain";
  }
  const Outcome overview = Run({"--help"});
  EXPECT_EQ(overview.exit, 0);
  EXPECT_NE(overview.out.find("topology [ENDPOINT] [--format text|dot|json] [--output FILE]"),
            std::string::npos);
  EXPECT_NE(overview.out.find("Controls: master, line-monitor, mic-monitor, bass, treble, "
                              "midrange, mic-record, mic-boost, mic-boost-level, line-record, "
                              "line-agc, virtual"),
            std::string::npos)
      << overview.out;
}

// The export call runner as it was: these outputs are quoted in the README.
TEST_F(CommandsTest, TheExportCallRunnerIsUnchanged) {
  Outcome outcome = Run({"--json", "OpenVirtual_1", "", "SetVirtualVolume", "50",
                         "GetVirtualVolume", "CloseVirtual_1"});
  EXPECT_EQ(outcome.exit, 0);
  EXPECT_EQ(outcome.out,
            "{\"call\":\"OpenVirtual_1\",\"result\":0}\n"
            "{\"call\":\"SetVirtualVolume\",\"result\":50,\"status\":0}\n"
            "{\"call\":\"GetVirtualVolume\",\"result\":50,\"status\":0}\n"
            "{\"call\":\"CloseVirtual_1\",\"result\":0}\n");
  outcome = Run({"--refs", "OpenVirtual_1", kDigital, "SetVirtualVolume", "-5", "CloseVirtual_1"});
  EXPECT_EQ(outcome.out,
            "OpenVirtual_1 -> 0\nSetVirtualVolume -> -5 status=2\nCloseVirtual_1 -> 0\nrefs=0\n");
  outcome = Run({"GetMasterVolume", "Nonsense"});
  EXPECT_EQ(outcome.exit, 2);
  EXPECT_EQ(outcome.out, "");
  outcome = Run({"GetMasterVolume", "--json"});
  EXPECT_EQ(outcome.exit, 2);
  EXPECT_NE(outcome.err.find("options go before the first call or command"), std::string::npos);
}

TEST_F(CommandsTest, TheStateTravelsThroughTheDescriptionFile) {
  const std::string card = ::testing::TempDir() + "veltomix_card.json";
  ASSERT_EQ(Run({"--dump-system", card}).exit, 0);
  ASSERT_EQ(Run({"--system", card, "--dump-system", card, "open", "--default", "set", "treble", "6",
                 "close"})
                .exit,
            0);
  velto::ResetMixerState();
  EXPECT_EQ(Run({"--system", card, "open", "--default", "get", "treble"}).out, "treble: +6 dB\n");
  std::remove(card.c_str());
}

}  // namespace
}  // namespace veltomix::testing
