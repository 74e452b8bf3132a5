// capture: a sound system walked through the platform interface and written
// as a description must describe the system it was taken from, up to what
// the platform cannot show (fault rules, part ids, adapter names, the order
// of subunits and of links beyond each part's own lists, parts no link ties
// to a connector, adapters no endpoint is joined to, connectors of endpoints
// without topology, the default mark of an endpoint that is not active).
#include <algorithm>
#include <deque>
#include <filesystem>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "calls/call_output.h"
#include "calls/call_script.h"
#include "calls/export_table.h"
#include "system/system_description.h"
#include "system/system_walk.h"
#include "system/walk_names.h"
#include "system/walk_readings.h"
#include "veltomix_fixture.h"

namespace veltomix::testing {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

// --- A description reduced to what the platform shows --------------------------------------

struct AdapterGraph {
  const json* parts = nullptr;
  std::map<std::string, std::size_t> index;  // part id -> position in parts
  std::vector<std::vector<std::size_t>> incoming, outgoing;
};

AdapterGraph Graph(const json& adapter) {
  AdapterGraph graph;
  graph.parts = &adapter.at("parts");
  for (std::size_t i = 0; i < graph.parts->size(); ++i)
    graph.index[(*graph.parts)[i].at("id").get<std::string>()] = i;
  graph.incoming.resize(graph.parts->size());
  graph.outgoing.resize(graph.parts->size());
  for (const json& link : adapter.value("links", json::array())) {
    const std::size_t from = graph.index.at(link[0].get<std::string>());
    const std::size_t to = graph.index.at(link[1].get<std::string>());
    graph.outgoing[from].push_back(to);
    graph.incoming[to].push_back(from);
  }
  return graph;
}

// Parts numbered as a walk from the platform meets them: the connectors in
// their order, then, part by part, its incoming and then its outgoing list.
std::vector<std::size_t> WalkOrder(const AdapterGraph& graph) {
  std::vector<std::size_t> order;
  std::vector<bool> seen(graph.parts->size(), false);
  const auto visit = [&](std::size_t k) {
    if (!seen[k]) order.push_back(k);
    seen[k] = true;
  };
  for (std::size_t k = 0; k < graph.parts->size(); ++k) {
    if ((*graph.parts)[k].at("kind") == "connector") visit(k);
  }
  for (std::size_t i = 0; i < order.size(); ++i) {
    for (std::size_t k : graph.incoming[order[i]]) visit(k);
    for (std::size_t k : graph.outgoing[order[i]]) visit(k);
  }
  return order;
}

json CanonicalAdapter(const AdapterGraph& graph, std::map<std::size_t, std::size_t>& labels) {
  const std::vector<std::size_t> order = WalkOrder(graph);
  for (std::size_t i = 0; i < order.size(); ++i) labels[order[i]] = i;
  const auto relabel = [&](const std::vector<std::size_t>& parts) {
    json out = json::array();
    for (std::size_t k : parts) out.push_back(labels.at(k));
    return out;
  };
  json parts = json::array();
  for (std::size_t k : order) {
    const json& part = (*graph.parts)[k];
    json controls = part.value("controls", json::object());
    for (auto& [key, control] : controls.items())  // a driver's rounding is not readable
      if (control.is_object()) control.erase("rounding");
    parts.push_back({{"name", part.at("name")},
                     {"kind", part.at("kind")},
                     {"controls", controls},
                     {"in", relabel(graph.incoming[k])},
                     {"out", relabel(graph.outgoing[k])}});
  }
  return parts;
}

json Canonical(const json& description) {
  std::map<std::string, std::size_t> adapterByName;
  for (std::size_t a = 0; a < description.at("adapters").size(); ++a)
    adapterByName[description["adapters"][a].at("name").get<std::string>()] = a;
  std::vector<AdapterGraph> graphs;
  for (const json& adapter : description.at("adapters")) graphs.push_back(Graph(adapter));

  std::vector<std::size_t> adapterOrder;  // as endpoints reach them
  std::vector<std::map<std::size_t, std::size_t>> labels(graphs.size());
  json adapters = json::array();
  json endpoints = json::array();
  for (const json& endpoint : description.at("endpoints")) {
    json connector = nullptr;
    if (endpoint.at("topology").get<bool>() && !endpoint.at("connector").is_null()) {
      const std::size_t a = adapterByName.at(endpoint["connector"].at("adapter"));
      auto known = std::find(adapterOrder.begin(), adapterOrder.end(), a);
      if (known == adapterOrder.end()) {
        adapters.push_back(CanonicalAdapter(graphs[a], labels[a]));
        adapterOrder.push_back(a);
        known = adapterOrder.end() - 1;
      }
      const std::size_t part = graphs[a].index.at(endpoint["connector"].at("part"));
      connector = {known - adapterOrder.begin(), labels[a].at(part)};
    }
    const bool active = endpoint.at("state") == "active";
    endpoints.push_back({{"id", endpoint.at("id")},
                         {"name", endpoint.at("name")},
                         {"flow", endpoint.at("flow")},
                         {"state", endpoint.at("state")},
                         {"default", active && endpoint.at("default").get<bool>()},
                         {"topology", endpoint.at("topology")},
                         {"volume", endpoint.at("volume")},
                         {"connector", connector}});
  }
  return {{"endpoints", endpoints}, {"adapters", adapters}};
}

// --- Running the library on a system ---------------------------------------------------------

std::vector<std::string> EndpointIds(const json& description, const char* flow) {
  std::vector<std::string> ids;
  for (const json& endpoint : description.at("endpoints")) {
    if (endpoint.at("flow") == flow && endpoint.at("state") == "active")
      ids.push_back(endpoint.at("id"));
  }
  return ids;
}

// Lists, binds every active endpoint in each role and reads every control:
// what a host sees of the system.
std::vector<std::string> HostView(const json& description) {
  const std::vector<std::string> kGetters = Words(
      "GetDeviceNames GetMasterVolume GetMasterMute GetLinePlayBack GetLinePlayBackMute "
      "GetMicPlayBack GetMicPlayBackMute GetMicRecordVolume GetLineRecordVolume GetMicBoost "
      "GetNoMonitor GetEQRange GetBass GetTreble GetMidRange GetMicSliderBoost "
      "GetMicSliderDetails");
  std::ostringstream script;
  script << "GetNumberPlayDevices\nGetNumberRecordDevices\n";
  for (int i = 0; i < 4; ++i)
    script << "GetPlayBackDevice " << i << "\nGetRecordDevice " << i << "\n";
  const auto readAll = [&] {
    for (const std::string& getter : kGetters) script << getter << "\n";
    script << "CloseSoundCard 0\n";
  };
  script << "OpenDefaultDevices\n";
  readAll();
  const std::vector<std::string> render = EndpointIds(description, "render");
  const std::vector<std::string> capture = EndpointIds(description, "capture");
  for (std::size_t i = 0; i < std::max(render.size(), capture.size()); ++i) {
    const std::string r = i < render.size() ? render[i] : "";
    const std::string c = i < capture.size() ? capture[i] : "";
    script << "OpenSoundCard \"" << r << "\" \"" << c << "\" \"" << c << "\"\n";
    readAll();
  }
  std::istringstream in(script.str());
  std::vector<std::string> lines;
  for (const Call& call : ParseScript(in, "host view"))
    lines.push_back(FormatCallLine(*call.info, Invoke(*call.info, call.arguments)));
  return lines;
}

// --- The round trip --------------------------------------------------------------------------

struct Described {
  std::string name;
  json description;
};

// The sample and every loadable description under tests/systems.
std::vector<Described> Descriptions() {
  std::vector<Described> all = {{"sample", velto::sim::SimSystem::Sample()->Dump()}};
  std::vector<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(VELTO_TEST_SYSTEMS)) {
    if (entry.path().extension() == ".json") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    try {
      all.push_back({fs::relative(file, VELTO_TEST_SYSTEMS).string(),
                     velto::sim::SimSystem::FromFile(file.string())->Dump()});
    } catch (const velto::sim::DescriptionError&) {
      // a description written to be refused: nothing to capture
    }
  }
  return all;
}

class CaptureTest : public VeltomixTest {
 protected:
  // Installs `description` without its fault rules, which only the
  // simulation knows of, and returns its state as the simulation dumps it.
  json Install(const json& description) {
    UseSystem(velto::sim::SimSystem::FromJson(description, "test"));
    system().ClearFaults();
    json state = system().Dump();
    state["faults"] = json::array();
    return state;
  }

  json Capture() {
    SystemModel model = WalkSystem(system());
    EXPECT_TRUE(model.warnings.empty()) << ::testing::PrintToString(model.warnings);
    return json::parse(PrettyJson(DescribeSystem(model)));
  }
};

TEST_F(CaptureTest, EveryTestDescriptionComesBackAsItWas) {
  const std::vector<Described> all = Descriptions();
  ASSERT_GE(all.size(), 6u) << "tests/systems was not found";
  for (const Described& described : all) {
    SCOPED_TRACE(described.name);
    const json original = Install(described.description);
    const json captured = Capture();
    EXPECT_EQ(Canonical(captured).dump(1), Canonical(original).dump(1));
    EXPECT_EQ(system().LiveReferences(), 0);
    EXPECT_EQ(system().ComInitDepth(), 0);
    EXPECT_TRUE(system().Problems().empty()) << ::testing::PrintToString(system().Problems());

    // The captured description loads, and captures to itself.
    EXPECT_EQ(Install(captured), captured);
    EXPECT_EQ(Capture(), captured);
  }
}

TEST_F(CaptureTest, HostsSeeTheReplayAsTheOriginal) {
  for (const Described& described : Descriptions()) {
    SCOPED_TRACE(described.name);
    const json original = Install(described.description);
    const json captured = Capture();
    const std::vector<std::string> before = HostView(original);
    velto::ResetMixerState();
    Install(captured);
    EXPECT_EQ(HostView(captured), before);
  }
}

TEST_F(CaptureTest, TheSampleKeepsItsAdapterNameAndPartNames) {
  const json captured = Capture();
  ASSERT_EQ(captured["adapters"].size(), 1u);
  EXPECT_EQ(captured["adapters"][0]["name"], "Velto HD Audio");
  EXPECT_EQ(captured["endpoints"][0]["connector"],
            json({{"adapter", "Velto HD Audio"}, {"part", "speaker-out"}}));
  std::vector<std::string> ids;
  for (const json& part : captured["adapters"][0]["parts"]) ids.push_back(part["id"]);
  // Connectors first in their own order; ids made from the names.
  EXPECT_EQ(std::vector<std::string>(ids.begin(), ids.begin() + 8),
            (std::vector<std::string>{"speaker-out", "spdif-out", "headphone-out", "line-in",
                                      "mic-in", "wave", "line-capture", "mic-capture"}));
  EXPECT_NE(std::find(ids.begin(), ids.end(), "tone-controls"), ids.end());
}

TEST(AdapterName, IsTheWholeBalancedParenthesisedSuffix) {
  const struct {
    const char* endpoint;
    const char* adapter;
  } cases[] = {
      {"Speakers (Realtek High Definition Audio)", "Realtek High Definition Audio"},
      {"Speakers (Intel(r) 82801 Controller)", "Intel(r) 82801 Controller"},
      {"Line (2- Foo (USB) (Rev (B)))", "2- Foo (USB) (Rev (B))"},
      {"Mic (A) (B)", "B"},
      {"Speakers", ""},
      {"Speakers ()", ""},
      {"Speakers r) 82801 Controller)", ""},
      {")", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(AdapterNameOf(c.endpoint), c.adapter) << c.endpoint;
}

TEST_F(CaptureTest, AdaptersWhoseEndpointsDisagreeOnTheNameAreNumbered) {
  json description = system().Dump();
  description["endpoints"][1]["name"] = "Digital Output (Other Card)";
  Install(description);
  EXPECT_EQ(Capture()["adapters"][0]["name"], "Adapter 1");
}

TEST_F(CaptureTest, DuplicatePartNamesGetDistinctIds) {
  json description = system().Dump();
  for (json& part : description["adapters"][0]["parts"]) {
    if (part["id"] == "wave-volume" || part["id"] == "mic-volume") part["name"] = "Volume";
  }
  Install(description);
  const json captured = Capture();
  std::vector<std::string> ids;
  for (const json& part : captured["adapters"][0]["parts"]) {
    if (part["name"] == "Volume") ids.push_back(part["id"]);
  }
  EXPECT_EQ(ids, (std::vector<std::string>{"volume", "volume-2"}));
}

TEST_F(CaptureTest, ANameThatLooksNumberedDoesNotTakeAnotherPartsId) {
  // A capture lists the parts in the order the walk meets them, so the
  // second subunit met can be given a name that takes "volume-3" before the
  // third "Volume" would be numbered 3.
  json description = Capture();
  std::vector<std::string> expected;
  for (json& part : description["adapters"][0]["parts"]) {
    if (part["kind"] != "subunit") continue;
    const std::size_t k = expected.size();
    part["name"] = k == 1 ? "Volume 3" : "Volume";
    // volume, volume-3, volume-2, then volume-4, volume-5, ... past the taken 3
    expected.push_back(k == 0 ? "volume"
                              : "volume-" + std::to_string(k == 1   ? 3
                                                           : k == 2 ? 2
                                                                    : k + 1));
  }
  ASSERT_GE(expected.size(), 4u);
  Install(description);
  const json captured = Capture();
  std::vector<std::string> ids;
  for (const json& part : captured["adapters"][0]["parts"]) {
    if (part["kind"] == "subunit") ids.push_back(part["id"]);
  }
  EXPECT_EQ(ids, expected);
}

// What a real card may report and the description format cannot hold.
TEST(FitLevel, LevelsAreWrittenAsReportedOrLeftOut) {
  // One call per case rather than a table: GCC 12 at -O3 reports the unwind
  // path of an array of aggregates holding vectors as "maybe uninitialized".
  const auto expectFit = [](const velto::description::LevelState& level,
                            const std::optional<std::vector<float>>& channels, bool warned) {
    SCOPED_TRACE(::testing::Message()
                 << "level " << level.min << ".." << level.max << " step " << level.step << ", "
                 << level.channels.size() << " channel(s)");
    std::vector<std::string> warnings;
    const auto fitted = FitLevel(level, "test level", warnings);
    ASSERT_EQ(fitted.has_value(), channels.has_value());  // nullopt: left out
    if (fitted) {
      EXPECT_EQ(fitted->channels, *channels);
      EXPECT_GE(fitted->step, 0);
    }
    EXPECT_EQ(!warnings.empty(), warned);
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  expectFit({-10, 0, 1, {-5, -5}}, std::vector<float>{-5, -5}, false);
  expectFit({-10, 0, 1, {5, -20}}, std::vector<float>{5, -20},
            true);                                          // as reported, with a warning
  expectFit({-10, 0, 1, {}}, std::vector<float>{}, false);  // no channel
  expectFit({0, -10, 1, {-5}}, std::nullopt, true);         // min above max
  expectFit({-10, 0, 1, {nan}}, std::nullopt, true);
  expectFit({-10, 0, -1, {-5}}, std::vector<float>{-5}, false);  // a negative step is its size
}

TEST(OrderedLinks, KeepsEveryIncomingAndOutgoingListInItsOrder) {
  // Part 2 lists its inputs as 1 then 0, part 0 its outputs as 3 then 2: no
  // order of first meeting gives both, a topological one does.
  WalkedAdapter adapter;
  adapter.parts.resize(4);
  adapter.parts[0].outgoing = {3, 2};
  adapter.parts[1].outgoing = {2};
  adapter.parts[2].incoming = {1, 0};
  adapter.parts[3].incoming = {0};
  bool consistent = false;
  const auto links = OrderedLinks(adapter, &consistent);
  EXPECT_TRUE(consistent);
  using Link = std::pair<std::size_t, std::size_t>;
  EXPECT_EQ(links, (std::vector<Link>{{0, 3}, {1, 2}, {0, 2}}));
}

TEST(OrderedLinks, ListsThatContradictEachOtherAreReported) {
  // (0,2) < (0,3) by part 0's outputs, (0,3) < (1,3) by part 3's inputs,
  // (1,3) < (1,2) by part 1's outputs, (1,2) < (0,2) by part 2's inputs.
  WalkedAdapter adapter;
  adapter.parts.resize(4);
  adapter.parts[0].outgoing = {2, 3};
  adapter.parts[1].outgoing = {3, 2};
  adapter.parts[2].incoming = {1, 0};
  adapter.parts[3].incoming = {0, 1};
  bool consistent = true;
  const auto links = OrderedLinks(adapter, &consistent);
  EXPECT_FALSE(consistent);
  EXPECT_EQ(links.size(), 4u);
}

}  // namespace
}  // namespace veltomix::testing
