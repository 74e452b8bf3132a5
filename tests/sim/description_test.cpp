#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "sim_fixture.h"

namespace velto::sim::testing {
namespace {

using nlohmann::json;

// Small but complete: every kind of entry appears once.
json Minimal() { return OwnSystemJson("every_kind.json"); }

struct BadCase {
  const char* name;
  std::function<void(json&)> spoil;
  const char* place;    // JSON pointer the message must name
  const char* problem;  // words the message must contain
};

void PrintTo(const BadCase& c, std::ostream* os) { *os << c.name; }

json& PartVolume(json& d) { return d["adapters"][0]["parts"][1]["controls"]["volume"]; }

const BadCase kBadCases[] = {
    {"UnknownTopKey", [](json& d) { d["extra"] = 1; }, "/extra", "unknown key"},
    {"UnknownEndpointKey", [](json& d) { d["endpoints"][0]["colour"] = "red"; },
     "/endpoints/0/colour", "unknown key"},
    {"EndpointsNotArray", [](json& d) { d["endpoints"] = json::object(); }, "/endpoints",
     "must be an array"},
    {"NameWrongType", [](json& d) { d["endpoints"][0]["name"] = 5; }, "/endpoints/0/name",
     "must be a string"},
    {"NameMissing", [](json& d) { d["endpoints"][1].erase("name"); }, "/endpoints/1",
     "missing key \"name\""},
    {"BadFlow", [](json& d) { d["endpoints"][0]["flow"] = "sideways"; }, "/endpoints/0/flow",
     "must be one of"},
    {"BadState", [](json& d) { d["endpoints"][0]["state"] = "asleep"; }, "/endpoints/0/state",
     "must be one of"},
    {"DefaultNotBool", [](json& d) { d["endpoints"][0]["default"] = 1; }, "/endpoints/0/default",
     "true or false"},
    {"DuplicateEndpointId", [](json& d) { d["endpoints"][1]["id"] = "ep-render"; }, "/endpoints/1",
     "duplicate endpoint id"},
    {"TwoDefaultsOneFlow",
     [](json& d) {
       d["endpoints"][1]["flow"] = "render";
       d["endpoints"][1]["default"] = true;
     },
     "/endpoints/1/default", "second default"},
    {"EndpointMuteNotSwitch", [](json& d) { d["endpoints"][0]["volume"]["mute"] = "on"; },
     "/endpoints/0/volume/mute", "true, false or an integer"},
    {"EndpointVolumeWithoutChannelsOrMaster",
     [](json& d) { d["endpoints"][0]["volume"]["channels"] = json::array(); },
     "/endpoints/0/volume", "needs a \"master\""},
    {"EndpointMasterNotNumber", [](json& d) { d["endpoints"][0]["volume"]["master"] = "loud"; },
     "/endpoints/0/volume/master", "must be a number"},
    {"EndpointVolumeMinAboveMax", [](json& d) { d["endpoints"][0]["volume"]["min"] = 1; },
     "/endpoints/0/volume/min", "greater than max"},
    {"UnknownAdapter", [](json& d) { d["endpoints"][0]["connector"]["adapter"] = "Nope"; },
     "/endpoints/0/connector/adapter", "unknown adapter \"Nope\""},
    {"UnknownConnectorPart", [](json& d) { d["endpoints"][0]["connector"]["part"] = "gone"; },
     "/endpoints/0/connector/part", "has no part \"gone\""},
    {"DuplicateAdapter", [](json& d) { d["adapters"].push_back(d["adapters"][0]); },
     "/adapters/1/name", "duplicate adapter name"},
    {"DuplicatePartId", [](json& d) { d["adapters"][0]["parts"][1]["id"] = "out"; },
     "/adapters/0/parts/1", "duplicate part id \"out\""},
    {"BadKind", [](json& d) { d["adapters"][0]["parts"][0]["kind"] = "jack"; },
     "/adapters/0/parts/0/kind", "must be one of"},
    {"UnknownSubtype", [](json& d) { d["adapters"][0]["parts"][0]["subtype"] = "KSNODETYPE_JACK"; },
     "/adapters/0/parts/0/subtype", "must be a KSNODETYPE_ name of ksmedia.h or a GUID"},
    {"UnknownControl", [](json& d) { d["adapters"][0]["parts"][1]["controls"]["reverb"] = 1; },
     "/adapters/0/parts/1/controls/reverb", "unknown key"},
    {"LevelUnknownKey", [](json& d) { PartVolume(d)["mni"] = 0; },
     "/adapters/0/parts/1/controls/volume/mni", "unknown key"},
    {"LevelMissingStep", [](json& d) { PartVolume(d).erase("step"); },
     "/adapters/0/parts/1/controls/volume", "missing key \"step\""},
    {"LevelMinAboveMax", [](json& d) { PartVolume(d)["min"] = 3; },
     "/adapters/0/parts/1/controls/volume/min", "greater than max"},
    {"LevelNegativeStep", [](json& d) { PartVolume(d)["step"] = -1; },
     "/adapters/0/parts/1/controls/volume/step", "must not be negative"},
    {"LevelChannelNotNumber", [](json& d) { PartVolume(d)["channels"] = {"loud"}; },
     "/adapters/0/parts/1/controls/volume/channels/0", "must be a number"},
    {"LevelBeyondFloat", [](json& d) { PartVolume(d)["min"] = -1e39; },
     "/adapters/0/parts/1/controls/volume/min", "finite 32-bit float"},
    {"MuteNotInteger", [](json& d) { d["adapters"][0]["parts"][1]["controls"]["mute"] = true; },
     "/adapters/0/parts/1/controls/mute", "must be an integer"},
    {"AgcBeyondInt32",
     [](json& d) { d["adapters"][0]["parts"][1]["controls"]["agc"] = 4294967296LL; },
     "/adapters/0/parts/1/controls/agc", "must lie in"},
    {"LinkToUnknownPart", [](json& d) { d["adapters"][0]["links"][0][1] = "nowhere"; },
     "/adapters/0/links/0/1", "unknown part \"nowhere\""},
    {"LinkNotPair", [](json& d) { d["adapters"][0]["links"][0] = {"vol"}; }, "/adapters/0/links/0",
     "pair"},
    {"DuplicateLink",
     [](json& d) {
       d["adapters"][0]["links"].push_back({"vol", "out"});
     },
     "/adapters/0/links/1", "duplicate link"},
    {"FaultUnknownResult", [](json& d) { d["faults"][0]["result"] = "E_WHATEVER"; },
     "/faults/0/result", "unknown result"},
    {"FaultNegativeChannel", [](json& d) { d["faults"][0]["channel"] = -1; }, "/faults/0/channel",
     "must lie in"},
    {"FaultUnknownInterface", [](json& d) { d["faults"][0]["interface"] = "IAudioReverb"; },
     "/faults/0/interface", "unknown interface"},
    {"FaultBadFlow", [](json& d) { d["faults"][0]["flow"] = "both"; }, "/faults/0/flow",
     "must be one of"},
    {"FaultNegativeIndex", [](json& d) { d["faults"][0]["index"] = -1; }, "/faults/0/index",
     "must lie in"},
    {"FaultOutputNotNumber", [](json& d) { d["faults"][0]["output"] = "many"; }, "/faults/0/output",
     "must be a number"},
    {"FaultNegativeAfter", [](json& d) { d["faults"][0]["after"] = -3; }, "/faults/0/after",
     "non-negative integer"},
    {"InvalidUtf8Name", [](json& d) { d["endpoints"][1]["name"] = std::string("Mic \xff"); },
     "/endpoints/1/name", "UTF-8"},
    {"SlashInKeyEscaped", [](json& d) { d["a/b"] = 1; }, "/a~1b", "unknown key"},
};

class BadDescriptionTest : public ::testing::TestWithParam<BadCase> {};

// What loading fails with; a load that succeeds fails the test.
template <class Load>
std::string LoadError(Load load) {
  try {
    load();
  } catch (const DescriptionError& error) {
    return error.what();
  }
  ADD_FAILURE() << "loaded a bad description";
  return {};
}

TEST_P(BadDescriptionTest, NamesSourcePlaceAndProblem) {
  json description = Minimal();
  ASSERT_NO_THROW(SimSystem::FromJson(description, "cards/bad.json"));
  GetParam().spoil(description);
  const std::string message =
      LoadError([&] { SimSystem::FromJson(description, "cards/bad.json"); });
  EXPECT_EQ(message.rfind(std::string("cards/bad.json: ") + GetParam().place + ": ", 0), 0u)
      << message;
  EXPECT_NE(message.find(GetParam().problem), std::string::npos) << message;
}

INSTANTIATE_TEST_SUITE_P(All, BadDescriptionTest, ::testing::ValuesIn(kBadCases),
                         [](const auto& info) { return std::string(info.param.name); });

std::string WriteTemp(const std::string& name, const std::string& text) {
  const auto path = std::filesystem::temp_directory_path() / name;
  std::ofstream(path) << text;
  return path.string();
}

TEST(DescriptionFileTest, UnreadableFileIsNamed) {
  const std::string message =
      LoadError([] { SimSystem::FromFile("/nonexistent/velto/system.json"); });
  EXPECT_NE(message.find("/nonexistent/velto/system.json: cannot be read"), std::string::npos)
      << message;
}

TEST(DescriptionFileTest, SyntaxErrorNamesLineAndColumn) {
  const std::string path =
      WriteTemp("velto_sim_syntax.json", "{\n  \"endpoints\": [\n    oops\n  ]\n}\n");
  const std::string message = LoadError([&] { SimSystem::FromFile(path); });
  EXPECT_EQ(message.rfind(path + ": ", 0), 0u) << message;
  EXPECT_NE(message.find("line 3, column"), std::string::npos) << message;
}

TEST(DescriptionFileTest, DuplicateKeyIsAnError) {
  const std::string path = WriteTemp(
      "velto_sim_dupkey.json",
      R"({"endpoints": [{"name": "A", "flow": "render"}, {"name": "B", "flow": "render", "name": "C"}]})");
  const std::string message = LoadError([&] { SimSystem::FromFile(path); });
  EXPECT_NE(message.find(path + ": /endpoints/1/name: duplicate key"), std::string::npos)
      << message;
}

TEST(DescriptionFileTest, EveryTestSystemLoads) {
  int loaded = 0;
  for (const auto& entry : std::filesystem::directory_iterator(VELTO_SIM_SYSTEMS)) {
    if (entry.path().extension() != ".json") continue;
    EXPECT_NO_THROW(SimSystem::FromFile(entry.path().string())) << entry.path();
    ++loaded;
  }
  EXPECT_GE(loaded, 3);
}

TEST(DescriptionFileTest, DocumentedExampleLoads) {
  std::ifstream file(VELTO_SIM_FORMAT_DOC);
  const std::string doc((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const auto start = doc.find("```json\n");
  ASSERT_NE(start, std::string::npos);
  const auto end = doc.find("```", start + 8);
  auto example = SimSystem::FromJson(json::parse(doc.substr(start + 8, end - start - 8)), "doc");
  EXPECT_EQ(example->Dump()["faults"][0]["after"], 1);
}

TEST(DescriptionRoundTripTest, SampleDumpsAsWritten) {
  std::ifstream file(VELTO_SIM_SAMPLE);
  const json written = json::parse(file);
  const json dumped = SimSystem::Sample()->Dump();
  EXPECT_EQ(dumped, written) << json::diff(written, dumped).dump(2);
  EXPECT_EQ(SimSystem::FromJson(dumped, "dump")->Dump(), dumped);
}

TEST(DescriptionRoundTripTest, DefaultsAreWrittenOut) {
  const json dumped = SimSystem::FromJson(Minimal(), "minimal")->Dump();
  const json& capture = dumped["endpoints"][1];
  EXPECT_EQ(capture["id"], "ep-capture");
  EXPECT_EQ(capture["state"], "active");
  EXPECT_EQ(capture["default"], false);
  EXPECT_EQ(capture["topology"], true);
  EXPECT_TRUE(capture["volume"].is_null());
  // A subtype given as a GUID is written by its name when ksmedia.h has one.
  EXPECT_EQ(dumped["adapters"][0]["parts"][0]["subtype"], "KSNODETYPE_SPEAKER");
  EXPECT_EQ(dumped["adapters"][0]["parts"][1]["subtype"], "KSNODETYPE_VOLUME");
  EXPECT_EQ(dumped["faults"][0],
            json::parse(R"({"object": "part:Card/vol/volume", "op": "GetLevel", "result": "E_FAIL",
                           "channel": null, "after": 0, "times": null})"));
  EXPECT_EQ(SimSystem::FromJson(dumped, "dump")->Dump(), dumped);
}

std::uint32_t Bits(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

class LevelRoundTripTest : public SimTest {};

// Levels a client sets (results of decibel arithmetic) and levels written in
// decimal that no float holds exactly must come back bit for bit.
TEST_F(LevelRoundTripTest, FloatsSurviveDumpAndLoadBitExactly) {
  const float levels[] = {-6.02059984f, -2.49877477f, std::nextafter(-10.0f, 0.0f),
                          -0.1f,        -1e-40f,      -0.0f};
  {
    auto volume = Activated<LevelControl>("Line In Volume", LevelInterface::AudioVolumeLevel);
    auto endpoint = Volume(kSpeakers);
    for (float level : levels) {
      ASSERT_EQ(volume->SetLevel(0, level), kS_OK);
      ASSERT_EQ(endpoint->SetChannelVolumeLevel(1, level), kS_OK);
      const json dumped = sys_->Dump();
      auto reloaded = SimSystem::FromJson(dumped, "dump");
      EXPECT_EQ(reloaded->Dump(), dumped);
      std::swap(sys_, reloaded);
      float read = 0;
      {
        auto again = Activated<LevelControl>("Line In Volume", LevelInterface::AudioVolumeLevel);
        ASSERT_EQ(again->GetLevel(0, &read), kS_OK);
        EXPECT_EQ(Bits(read), Bits(level)) << level;
        ASSERT_EQ(Volume(kSpeakers)->GetChannelVolumeLevel(1, &read), kS_OK);
        EXPECT_EQ(Bits(read), Bits(level)) << level;
      }
      std::swap(sys_, reloaded);
    }
  }
}

TEST_F(LevelRoundTripTest, DecimalInputIsHeldAsTheNearestFloat) {
  json description = Minimal();
  PartVolume(description)["channels"] = {-0.1};
  Load(description);
  const double dumped =
      sys_->Dump()["adapters"][0]["parts"][1]["controls"]["volume"]["channels"][0].get<double>();
  EXPECT_EQ(dumped, static_cast<double>(-0.1f));
}

TEST_F(SimTest, DumpReflectsChangesAndSpentFaults) {
  {
    auto bass = Activated<LevelControl>("Tone Controls", LevelInterface::AudioBass);
    ASSERT_EQ(bass->SetLevel(1, -4.5f), kS_OK);
    auto mute = Activated<MuteControl>("Mic Mute", MuteInterface::AudioMute);
    ASSERT_EQ(mute->SetMute(7), kS_OK);
    ASSERT_EQ(Volume(kSpeakers)->SetMute(1), kS_OK);
  }
  sys_->AddFault({"*", "GetLevel", kE_FAIL, std::nullopt, 2, 3});
  float level;
  auto bass = Activated<LevelControl>("Tone Controls", LevelInterface::AudioBass);
  for (int i = 0; i < 3; ++i) bass->GetLevel(0, &level);
  const json dumped = sys_->Dump();
  const json& parts = dumped["adapters"][0]["parts"];
  for (const json& part : parts) {
    if (part["name"] == "Tone Controls") {
      EXPECT_EQ(part["controls"]["bass"]["channels"], json({3.0, -4.5}));
    }
    if (part["name"] == "Mic Mute") {
      EXPECT_EQ(part["controls"]["mute"], 7);
    }
  }
  EXPECT_EQ(dumped["endpoints"][0]["volume"]["mute"], true);
  // Three matches: two passed, one failed; two failures remain.
  EXPECT_EQ(dumped["faults"][0]["after"], 0);
  EXPECT_EQ(dumped["faults"][0]["times"], 2);
}

}  // namespace
}  // namespace velto::sim::testing
