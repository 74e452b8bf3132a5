// The corpus of topologies translated from real drivers and devices
// (tests/systems/corpus): every card bound through the exports as a host
// binds it, against its line in the corpus's expectations table.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "mixer_fixture.h"
#include "topology_support.h"

namespace velto::testing {
namespace {

// One OpenSoundCard of a card, and where each control must end up: a part
// id, "endpoint" for the endpoint's own volume, or "-" (also when unlisted).
struct Binding {
  std::string where;  // card and line, for messages
  std::string card;
  std::array<std::string, 3> texts;  // playback, microphone, line; "" to skip
  int result = 0;
  std::map<std::string, std::string> bound;
  // What the walks bind instead when every part's links come in reverse order.
  std::map<std::string, std::string> reversed;
};

// Each control the table names, with the MixerState slot that holds it.
const std::map<std::string, std::string> kSlotOf = {
    {"master", "playbackEndpoint"},        {"bass", "bassControl"},
    {"treble", "trebleControl"},           {"midrange", "midrangeControl"},
    {"line-monitor", "linePlaybackLevel"}, {"line-monitor-mute", "linePlaybackMute"},
    {"mic-monitor", "micPlaybackLevel"},   {"mic-monitor-mute", "micPlaybackMute"},
    {"line-record", "lineEndpoint"},       {"line-agc", "lineAgc"},
    {"mic-record", "micEndpoint"},         {"mic-boost", "micBoostSwitch"},
    {"mic-boost-level", "micBoostLevel"},
};

std::vector<std::string> Columns(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, '|');) {
    const auto first = field.find_first_not_of(' ');
    const auto last = field.find_last_not_of(' ');
    fields.push_back(first == std::string::npos ? "" : field.substr(first, last - first + 1));
  }
  return fields;
}

// `card | open | texts | result` starts a binding; `card | control |
// expected | bound [| where the search stops]` lines follow it, and `card |
// control reversed | bound | why` where reversed links change what is bound.
std::vector<Binding> ReadExpectations() {
  std::ifstream in(SystemPath("corpus/expectations.txt"));
  EXPECT_TRUE(in) << "corpus/expectations.txt is missing";
  std::vector<Binding> bindings;
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f = Columns(line);
    const std::string where = "expectations.txt:" + std::to_string(number);
    if (f.size() == 4 && f[1] == "open") {
      Binding b{.where = where, .card = f[0], .result = std::stoi(f[3])};
      std::istringstream texts(f[2]);
      for (std::string& text : b.texts) texts >> text, text = text == "-" ? "" : text;
      bindings.push_back(b);
      continue;
    }
    const std::string kReversed = " reversed";
    const bool reversed = f.size() == 4 && f[1].size() > kReversed.size() &&
                          f[1].ends_with(kReversed) && !f[3].empty();
    if (reversed) f[1].resize(f[1].size() - kReversed.size());
    // Where a person expects more than the walks bind, the line says why.
    const bool plain = f.size() == 4 && f[2] == f[3];
    const bool limit = f.size() == 5 && f[2] != f[3] && !f[4].empty();
    if ((!plain && !limit && !reversed) || !kSlotOf.count(f[1])) {
      ADD_FAILURE() << where << ": a known control, then expected == bound, or a fifth "
                    << "field saying where the search stops";
      continue;
    }
    if (bindings.empty() || bindings.back().card != f[0]) {
      ADD_FAILURE() << where << ": no open line for " << f[0] << " above";
      continue;
    }
    if (reversed) {
      bindings.back().reversed[f[1]] = f[2];
    } else {
      bindings.back().bound[f[1]] = f[3];
    }
  }
  return bindings;
}

class CorpusTest : public MixerTest {
 protected:
  // The endpoint whose id holds `text`: its id and name.
  std::pair<std::string, std::string> Endpoint(const std::string& text) {
    const nlohmann::json now = state();
    for (const auto& endpoint : now["endpoints"]) {
      const std::string id = endpoint["id"];
      if (id.find(text) != std::string::npos) return {id, endpoint["name"]};
    }
    ADD_FAILURE() << "no endpoint id holds " << text;
    return {};
  }

  void Check(const Binding& b, bool reverse, const std::string& control,
             const std::string& object) {
    const auto turned = b.reversed.find(control);
    const auto listed = b.bound.find(control);
    const std::string want = reverse && turned != b.reversed.end() ? turned->second
                             : listed == b.bound.end()             ? "-"
                                                                   : listed->second;
    if (want == "-") {
      EXPECT_EQ(object, "") << control;
    } else if (want == "endpoint") {
      const std::string text = b.texts[control == "master" ? 0 : control == "mic-record" ? 1 : 2];
      EXPECT_EQ(object, "device:" + Endpoint(text).first + "/volume") << control;
    } else {
      EXPECT_TRUE(object.rfind("part:", 0) == 0 &&
                  object.find("/" + want + "/") != std::string::npos)
          << control << " is " << (object.empty() ? "unbound" : object) << ", not part " << want;
    }
  }
};

TEST_F(CorpusTest, EveryCardBindsWhatItsTableSays) {
  const std::vector<Binding> bindings = ReadExpectations();
  std::set<std::string> cards;
  for (const Binding& b : bindings) cards.insert(b.card);
  for (const auto& file : std::filesystem::directory_iterator(SystemPath("corpus"))) {
    const std::string name = file.path().filename().string();
    if (file.path().extension() == ".json") {
      EXPECT_TRUE(cards.count(name)) << name << " has no line in the table";
    }
  }
  ASSERT_GE(cards.size(), 16u);
  // The order of a parts list is not documented: every card runs once more
  // with each part's incoming and outgoing lists turned round.
  for (const bool reverse : {false, true}) {
    for (const Binding& b : bindings) {
      SCOPED_TRACE(b.where + " " + b.card + (reverse ? ", links reversed" : ""));
      nlohmann::json description =
          nlohmann::json::parse(std::ifstream(SystemPath("corpus/" + b.card)));
      if (reverse) {
        for (nlohmann::json& adapter : description["adapters"]) {
          std::reverse(adapter["links"].begin(), adapter["links"].end());
        }
      }
      UseSystemJson(description);
      EXPECT_EQ(OpenSoundCard(b.texts[0].c_str(), b.texts[1].c_str(), b.texts[2].c_str()),
                b.result);
      const std::map<std::string, std::string> slots = BoundSlots();
      for (const auto& [control, field] : kSlotOf) {
        const auto held = slots.find(field);
        Check(b, reverse, control, held == slots.end() ? "" : held->second);
      }
      // The playback flag of the result (1, 2, 4, 7 say playback failed).
      if (!b.texts[0].empty() && b.result != 1 && b.result != 2 && b.result != 4 && b.result != 7) {
        char playback[255] = "unset", line[255], mic[255];
        GetDeviceNames(playback, line, mic);
        EXPECT_EQ(std::string(playback), Endpoint(b.texts[0]).second);
        int volumeStatus = -1, muteStatus = -1;
        GetMasterVolume(&volumeStatus);
        GetMasterMute(&muteStatus);
        EXPECT_EQ(volumeStatus, 0);
        EXPECT_EQ(muteStatus, 0);
      }
      CloseSoundCard(0);
      EXPECT_EQ(system().LiveReferences(), 0);
    }
  }
}

}  // namespace
}  // namespace velto::testing
