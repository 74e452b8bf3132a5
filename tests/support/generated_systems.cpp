#include "generated_systems.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "platform/description/writer.h"
#include "platform/sim/sim_system.h"

namespace velto::hardening {

using description::AdapterState;
using description::EndpointState;
using description::FaultRule;
using description::LevelState;
using description::PartState;
using nlohmann::json;

namespace {

json Level(double min, double max, double step, std::vector<double> channels) {
  return {{"min", min}, {"max", max}, {"step", step}, {"channels", std::move(channels)}};
}

json EndpointVolume(double min, double max, std::vector<double> channels, bool mute = false) {
  json volume = Level(min, max, 0.5, std::move(channels));
  volume["mute"] = mute;
  return volume;
}

struct EndpointSpec {
  std::string id;
  std::string name;
  const char* flow = "render";
  std::string connector;  // part id, or empty for none
  json volume = nullptr;
  bool isDefault = false;
  const char* state = "active";
  bool topology = true;
};

// Builds one adapter and the endpoints joined to it.
class Card {
 public:
  explicit Card(std::string adapter) : adapter_(std::move(adapter)) {}

  Card& Part(const std::string& id, const std::string& name, bool connector,
             json controls = nullptr) {
    json part = {{"id", id}, {"name", name}, {"kind", connector ? "connector" : "subunit"}};
    if (!controls.is_null()) part["controls"] = std::move(controls);
    parts_.push_back(std::move(part));
    return *this;
  }
  Card& Connector(const std::string& id, const std::string& name) { return Part(id, name, true); }
  Card& Subunit(const std::string& id, const std::string& name, json controls = nullptr) {
    return Part(id, name, false, std::move(controls));
  }
  // Signal runs from each id to the next.
  Card& Chain(const std::vector<std::string>& ids) {
    for (std::size_t i = 0; i + 1 < ids.size(); ++i) links_.push_back({ids[i], ids[i + 1]});
    return *this;
  }
  Card& Endpoint(const EndpointSpec& spec) {
    json endpoint = {
        {"id", spec.id},        {"name", spec.name},         {"flow", spec.flow},
        {"state", spec.state},  {"default", spec.isDefault}, {"topology", spec.topology},
        {"volume", spec.volume}};
    if (!spec.connector.empty())
      endpoint["connector"] = {{"adapter", adapter_}, {"part", spec.connector}};
    endpoints_.push_back(std::move(endpoint));
    return *this;
  }

  json Build() const {
    return {{"endpoints", endpoints_},
            {"adapters", json::array({{{"name", adapter_}, {"parts", parts_}, {"links", links_}}})},
            {"faults", json::array()}};
  }

 private:
  std::string adapter_;
  json parts_ = json::array();
  json links_ = json::array();
  json endpoints_ = json::array();
};

std::string RenderId(const std::string& tag) { return "{0.0.0.00000000}.{" + tag + "}"; }
std::string CaptureId(const std::string& tag) { return "{0.0.1.00000000}.{" + tag + "}"; }

// --- Random cards ----------------------------------------------------------------

const std::vector<std::string> kPartNames = Names(
    "Line In|Line Volume|Mic|Mic Boost|Front Pin|Green|Wave|Master|Tone|AGC|"
    "+20 dB|Boost|Loudness|Output Mixer|SPDIF|CD Audio|Aux|Sum|MICROPHONE|line|"
    "Volume|Mikrofon \xC3\x84|L\xC3\xADnea|\xE9\xBA\xA6\xE5\x85\x8B\xE9\xA3\x8E|"
    "Mux|Selector|Mic Array|");

const std::vector<std::string> kEndpointNames = Names(
    "Speakers|Headphones|Microphone|Line In|Mic Array|Digital Output|"
    "Lautsprecher (H\xC3\xB6rer)|Line-in (Gr\xC3\xBCn)|MIC Input||");

const std::vector<std::string> kFaultObjects = Names(
    "*|com|enumerator|collection:*|device:*|device:*/volume|device:*/topology|"
    "part:*|part:*/volume|part:*/mute|part:*/agc|part:*/bass|adapter:*|"
    "part:*/incoming|part:*/outgoing|device:*/properties|");

const std::vector<std::string> kFaultOps = Names(
    "*|CoInitialize|CreateDeviceEnumerator|EnumAudioEndpoints|GetCount|Item|"
    "GetId|GetValue|PropVariantToBSTR|GetDevice|GetDefaultAudioEndpoint|Activate|"
    "GetConnector|GetConnectedTo|QueryPart|GetTopologyObject|GetConnectorCount|"
    "EnumPartsIncoming|EnumPartsOutgoing|GetPart|GetName|GetLevel|SetLevel|"
    "GetLevelRange|GetChannelCount|GetMute|SetMute|GetEnabled|SetEnabled|"
    "GetVolumeRange|GetMasterVolumeLevel|SetChannelVolumeLevel|"
    "GetChannelVolumeLevel|SetMasterVolumeLevel|");

const std::vector<std::string> kFaultResults = {
    "E_FAIL",        "S_FALSE",   "E_INVALIDARG", "ERROR_INVALID_FUNCTION", "RPC_E_CHANGED_MODE",
    "E_NOINTERFACE", "0x00000002"};

LevelState RandomLevel(Chooser& chooser) {
  const double max = static_cast<double>(chooser.Below(25)) - 6;
  const double min = max - 1 - chooser.Below(96);
  const double step = 0.25 * (1 + chooser.Below(8));
  LevelState level{static_cast<float>(min), static_cast<float>(max), static_cast<float>(step), {}};
  const std::uint32_t count = 1 + chooser.Below(chooser.Chance(10) ? 8 : 3);
  for (std::uint32_t c = 0; c < count; ++c) {
    level.channels.push_back(static_cast<float>(min + (max - min) * chooser.Below(101) / 100.0));
  }
  return level;
}

std::size_t LevelKind(const char* key) {
  const auto& keys = description::kLevelKeys;
  return static_cast<std::size_t>(
      std::find_if(keys.begin(), keys.end(),
                   [&](const char* k) { return std::strcmp(k, key) == 0; }) -
      keys.begin());
}

void RandomControls(Chooser& chooser, PartState& part) {
  if (chooser.Chance(45)) part.levels[LevelKind("volume")] = RandomLevel(chooser);
  for (const char* tone : {"bass", "treble", "midrange"}) {
    if (chooser.Chance(12)) part.levels[LevelKind(tone)] = RandomLevel(chooser);
  }
  if (chooser.Chance(30)) part.mute = static_cast<std::int32_t>(chooser.Below(3));
  for (std::size_t k = 0; k < description::kSwitchKinds; ++k) {  // agc, loudness
    if (chooser.Chance(15)) part.switches[k] = static_cast<std::int32_t>(chooser.Below(2));
  }
}

std::string RandomName(Chooser& chooser) {
  std::string name = chooser.PickFrom(kPartNames);
  if (chooser.Chance(30)) name += " " + std::to_string(chooser.Below(10));
  if (chooser.Chance(3)) name = std::string(260 + chooser.Below(40), 'N') + name;
  return name;
}

// A piece of `id` (often all of it), or an unrelated text.
std::string SearchFor(Chooser& chooser, const std::vector<std::string>& ids) {
  if (ids.empty() || chooser.Chance(10)) return chooser.Chance(50) ? "" : "no-such-endpoint";
  const std::string& id = chooser.PickFrom(ids);
  if (chooser.Chance(60)) return id;
  const std::size_t start = chooser.Below(static_cast<std::uint32_t>(id.size()));
  return id.substr(start, 1 + chooser.Below(static_cast<std::uint32_t>(id.size() - start)));
}

std::vector<FaultRule> RandomFaults(Chooser& chooser) {
  std::vector<FaultRule> faults;
  const std::uint32_t count = chooser.Below(4);
  for (std::uint32_t i = 0; i < count; ++i) {
    FaultRule rule;
    rule.object = chooser.PickFrom(kFaultObjects);
    rule.op = chooser.PickFrom(kFaultOps);
    rule.result = *description::ParseResult(chooser.PickFrom(kFaultResults));
    rule.after = chooser.Below(40);
    if (chooser.Chance(20)) rule.channel = chooser.Below(3);
    if (chooser.Chance(70)) rule.times = 1 + chooser.Below(3);
    faults.push_back(std::move(rule));
  }
  return faults;
}

struct RandomEndpoints {
  std::vector<EndpointState> list;
  std::vector<std::string> renderIds;
  std::vector<std::string> captureIds;
};

// Joined to connectors of adapter 0.
RandomEndpoints MakeRandomEndpoints(Chooser& chooser, std::vector<std::size_t> freeConnectors) {
  RandomEndpoints out;
  bool hasDefault[2] = {false, false};
  const std::uint32_t count = 1 + chooser.Below(6);
  for (std::uint32_t i = 0; i < count; ++i) {
    const bool capture = chooser.Chance(50);
    const std::string tag = "rnd" + std::to_string(i) + (chooser.Chance(20) ? "-Ab" : "");
    EndpointState endpoint;
    endpoint.id = capture ? CaptureId(tag) : RenderId(tag);
    endpoint.name = chooser.PickFrom(kEndpointNames);
    endpoint.flow = capture ? platform::DataFlow::Capture : platform::DataFlow::Render;
    endpoint.state =
        chooser.Chance(80) ? platform::kDeviceStateActive : platform::kDeviceStateDisabled;
    endpoint.hasTopology = chooser.Chance(90);
    if (chooser.Chance(3)) endpoint.name = std::string(300, 'E');
    if (!hasDefault[capture] && chooser.Chance(60)) {
      endpoint.isDefault = true;
      hasDefault[capture] = true;
    }
    if (chooser.Chance(90)) {
      endpoint.volume = RandomLevel(chooser);
      endpoint.mute = chooser.Chance(30) ? 1 : 0;
    }
    if (!freeConnectors.empty() && chooser.Chance(85)) {
      const std::uint32_t pick = chooser.Below(static_cast<std::uint32_t>(freeConnectors.size()));
      endpoint.connector = description::PartPlace{0, freeConnectors[pick]};
      freeConnectors.erase(freeConnectors.begin() + pick);
    }
    (capture ? out.captureIds : out.renderIds).push_back(endpoint.id);
    out.list.push_back(std::move(endpoint));
  }
  return out;
}

}  // namespace

std::vector<std::string> Names(const std::string& text) {
  std::vector<std::string> names;
  std::istringstream in(text);
  for (std::string name; std::getline(in, name, '|');) names.push_back(name);
  return names;
}

TestSystem SampleSystem() {
  return {"sample",  velto::sim::SimSystem::Sample()->Dump(), "4f6a2c1e", "6b8e3f2a", "d1f5a9c3",
          "a3e91b57"};
}

// A card under systems/ beside this file, with the texts that bind it.
TestSystem Shaped(const std::string& name, std::string playback, std::string mic, std::string line,
                  std::string virtualEndpoint) {
  std::ifstream file(std::string(VELTO_SHAPED_SYSTEMS) + "/" + name + ".json");
  if (!file) throw std::runtime_error("cannot read the shaped card " + name);
  return {name,           json::parse(file), std::move(playback),
          std::move(mic), std::move(line),   std::move(virtualEndpoint)};
}

std::vector<TestSystem> ShapedSystems() {
  return {
      // Three inputs mixed behind a chain of tone parts; a line path found by
      // "gree" with its level one part further up, a microphone path found by
      // "pin"; two microphone connectors of which the second has a loudness
      // switch; two line connectors of which only the first has a gain control.
      Shaped("crossed-paths", "crossed-speakers", "CROSSED-MIC", "crossed-line", "crossed-headset"),
      // Two inputs straight into the output part (no tone search), one of them
      // leading nowhere; a boost level where no switch is; a line connector
      // whose path ends one part too early; a virtual endpoint without a
      // topology.
      Shaped("dead-ends", "dead-speakers", "dead-mic", "dead-line", "dead-notopo"),
      // A playback chain that runs out before it reaches a mixer, a microphone
      // without a topology, a line input without an endpoint volume.
      Shaped("broken-bindings", "broken-speakers", "broken-mic", "broken-line", "broken-speakers"),
  };
}

RandomCard RandomModel(Chooser& chooser, const RandomOptions& options) {
  AdapterState adapter;
  adapter.name = "Random Card";
  const std::uint32_t partCount =
      2 + chooser.Below(std::max<std::uint32_t>(options.maxParts, 2) - 1);
  adapter.parts.resize(partCount);
  std::vector<std::size_t> connectors;
  for (std::uint32_t i = 0; i < partCount; ++i) {
    PartState& part = adapter.parts[i];
    part.id = "p" + std::to_string(i);
    part.isConnector = chooser.Chance(40);
    part.name = RandomName(chooser);
    RandomControls(chooser, part);
    if (part.isConnector) connectors.push_back(i);
  }
  // Signal runs from lower to higher indices; a loop is a link back.
  auto link = [&](std::size_t from, std::size_t to) {
    const auto pair = std::make_pair(from, to);
    if (std::find(adapter.links.begin(), adapter.links.end(), pair) == adapter.links.end())
      adapter.links.push_back(pair);
  };
  for (std::uint32_t to = 1; to < partCount; ++to) {
    const std::uint32_t inputs = chooser.Below(4);
    for (std::uint32_t k = 0; k < inputs; ++k) link(chooser.Below(to), to);
    if (options.loops && chooser.Chance(10)) link(to, chooser.Below(to + 1));
  }
  RandomEndpoints endpoints = MakeRandomEndpoints(chooser, std::move(connectors));
  RandomCard card;
  card.model.endpoints = std::move(endpoints.list);
  card.model.adapters.push_back(std::move(adapter));
  if (options.faults) card.model.faults = RandomFaults(chooser);
  card.playback = SearchFor(chooser, endpoints.renderIds);
  card.mic = SearchFor(chooser, endpoints.captureIds);
  card.line = SearchFor(chooser, endpoints.captureIds);
  card.virtualEndpoint = SearchFor(chooser, endpoints.renderIds);
  return card;
}

TestSystem RandomSystem(Chooser& chooser, const RandomOptions& options) {
  RandomCard card = RandomModel(chooser, options);
  return {"random",
          json(description::DescriptionToJson(card.model)),
          std::move(card.playback),
          std::move(card.mic),
          std::move(card.line),
          std::move(card.virtualEndpoint)};
}

FaultRule RandomControlFault(Chooser& chooser, const std::vector<std::string>& ops) {
  FaultRule rule;
  rule.op = chooser.PickFrom(ops);
  rule.result = *description::ParseResult(chooser.PickFrom(kFaultResults));
  rule.after = chooser.Below(3);
  if (chooser.Chance(20)) rule.channel = chooser.Below(3);
  if (chooser.Chance(70)) rule.times = 1 + chooser.Below(3);
  return rule;
}

TestSystem ScaledCard(std::size_t parts) {
  // Inputs and the length of each input's chain grow together, so neither
  // a long list nor a long chain dominates.
  constexpr std::size_t kFixedParts = 9;
  std::size_t inputs = 2;
  while ((inputs + 1) * (inputs + 1) + kFixedParts <= parts) ++inputs;
  const std::size_t chain = std::max<std::size_t>(3, (parts - kFixedParts) / inputs) - 2;

  Card card("Scaled Card");
  card.Connector("out", "Speaker Out")
      .Connector("line-capture", "Line Capture")
      .Connector("mic-capture", "Mic Capture")
      .Subunit("vol", "Master Volume", {{"volume", Level(-60, 0, 0.5, {-10, -10})}, {"mute", 0}})
      .Subunit("tone", "Tone",
               {{"bass", Level(-12, 12, 1, {0, 0})},
                {"treble", Level(-12, 12, 1, {0, 0})},
                {"midrange", Level(-12, 12, 1, {0, 0})}})
      .Subunit("mixer", "Output Mixer")
      .Subunit("line-cap-vol", "Capture Volume A", {{"volume", Level(-12, 30, 1, {0, 0})}})
      .Subunit("line-agc", "Automatic Gain", {{"agc", 1}})
      .Subunit("mic-boost", "Boost", {{"volume", Level(0, 30, 10, {10})}})
      .Subunit("mic-cap-vol", "Capture Volume B", {{"volume", Level(-12, 30, 1, {0, 0})}})
      .Chain({"mixer", "tone", "vol", "out"})
      .Chain({"line-cap-vol", "line-agc", "line-capture"})
      .Chain({"mic-boost", "mic-cap-vol", "mic-capture"});
  for (std::size_t i = 0; i < inputs; ++i) {
    const bool line = i == inputs - 2;
    const bool mic = i == inputs - 1;
    const std::string tag = std::to_string(i);
    const std::string source = line ? "Line In" : mic ? "Mic In" : "Aux " + tag;
    std::vector<std::string> path = {"src" + tag};
    card.Connector(path.back(), source);
    for (std::size_t k = 0; k < chain; ++k) {
      path.push_back("stage" + tag + "-" + std::to_string(k));
      json controls = nullptr;
      if (k + 1 == chain) controls = {{"volume", Level(-34.5, 12, 1.5, {0, 0})}};
      card.Subunit(path.back(), "Stage " + tag + "." + std::to_string(k), controls);
    }
    path.push_back("mute" + tag);
    card.Subunit(path.back(), "Input Mute " + tag, {{"mute", 0}});
    path.push_back("mixer");
    // The capture path comes first in the connector's outgoing list: the
    // line walk follows part 0 only.
    if (line) card.Chain({"src" + tag, "line-cap-vol"});
    if (mic) card.Chain({"src" + tag, "mic-boost"});
    card.Chain(path);
  }
  card.Endpoint({RenderId("scaled-speakers"), "Speakers", "render", "out",
                 EndpointVolume(-65.25, 0, {-10, -10}), true})
      .Endpoint({CaptureId("scaled-mic"), "Microphone", "capture", "mic-capture",
                 EndpointVolume(-12, 30, {0, 0}), true})
      .Endpoint({CaptureId("scaled-line"), "Line In", "capture", "line-capture",
                 EndpointVolume(-12, 30, {0, 0})});
  return {"scaled-" + std::to_string(parts),
          card.Build(),
          "scaled-speakers",
          "scaled-mic",
          "scaled-line",
          "scaled-speakers"};
}

TestSystem HostileCard(std::size_t inputs) {
  Card card("Hostile Card");
  card.Connector("out", "Speaker Out")
      .Connector("mic-capture", "Capture")
      .Subunit("mixer", "Output Mixer")
      .Subunit("line-loop", "Line Loop")
      .Subunit("mic-loop", "Mic Loop")
      .Subunit("boost-p", "Boost P")
      .Subunit("boost-q", "Boost Q")
      .Chain({"mixer", "out"})
      .Chain({"line-loop", "mic-loop", "line-loop"})
      .Chain({"boost-p", "boost-q", "boost-p"});
  for (std::size_t i = 0; i < inputs; ++i) {
    const std::string tag = std::to_string(i);
    card.Subunit("mute" + tag, "Input Mute " + tag, {{"mute", 0}})
        .Chain({"line-loop", "mute" + tag, "mixer"})
        .Connector("mic" + tag, "Mic In " + tag)
        .Chain({"mic" + tag, "boost-p"});
  }
  card.Endpoint({RenderId("hostile-speakers"), "Speakers", "render", "out",
                 EndpointVolume(-65.25, 0, {-10, -10}), true})
      .Endpoint({CaptureId("hostile-mic"), "Microphone", "capture", "mic-capture",
                 EndpointVolume(-12, 30, {0, 0}), true});
  return {"hostile-" + std::to_string(inputs),
          card.Build(),
          "hostile-speakers",
          "hostile-mic",
          "",
          "hostile-speakers"};
}

}  // namespace velto::hardening
