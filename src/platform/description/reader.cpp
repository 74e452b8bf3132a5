#include "platform/description/reader.h"

#include <cmath>
#include <initializer_list>
#include <map>
#include <set>

#include "platform/description/text.h"

namespace velto::description {

using nlohmann::json;
namespace p = platform;

std::string EscapePointerToken(const std::string& key) {
  std::string out;
  for (char c : key) {
    if (c == '~') {
      out += "~0";
    } else if (c == '/') {
      out += "~1";
    } else {
      out += c;
    }
  }
  return out;
}

namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// A value inside the document together with its JSON pointer.
struct Place {
  const json* value;
  std::string pointer;
  const json& operator*() const { return *value; }
  const json* operator->() const { return value; }
};

class Parser {
 public:
  explicit Parser(const std::string& source) : source_(source) {}

  Description Parse(const json& root) {
    const Place top{&root, ""};
    RequireObject(top, {"endpoints", "adapters", "faults"});
    Description description;
    if (auto adapters = Find(top, "adapters")) description.adapters = Adapters(*adapters);
    if (auto endpoints = Find(top, "endpoints"))
      description.endpoints = Endpoints(*endpoints, description.adapters);
    if (auto faults = Find(top, "faults")) description.faults = Faults(*faults);
    return description;
  }

 private:
  [[noreturn]] void Fail(const Place& place, const std::string& problem) const {
    const std::string where = place.pointer.empty() ? "(document root)" : place.pointer;
    throw DescriptionError(source_ + ": " + where + ": " + problem);
  }

  static Place Child(const Place& place, const std::string& key) {
    return {&place->at(key), place.pointer + "/" + EscapePointerToken(key)};
  }
  static Place Element(const Place& place, std::size_t index) {
    return {&place->at(index), place.pointer + "/" + std::to_string(index)};
  }

  void RequireObject(const Place& place, std::initializer_list<const char*> allowed) const {
    if (!place->is_object()) Fail(place, "must be an object");
    for (const auto& item : place->items()) {
      bool known = false;
      for (const char* key : allowed) known = known || item.key() == key;
      if (!known) Fail(Child(place, item.key()), "unknown key " + Quoted(item.key()));
    }
  }

  // The member `key`, or nullopt when it is absent or null.
  static std::optional<Place> Find(const Place& place, const char* key) {
    const auto it = place->find(key);
    if (it == place->end() || it->is_null()) return std::nullopt;
    return Child(place, key);
  }
  Place Require(const Place& place, const char* key) const {
    auto found = Find(place, key);
    if (!found) Fail(place, std::string("missing key ") + Quoted(key));
    return *found;
  }

  const json& Array(const Place& place) const {
    if (!place->is_array()) Fail(place, "must be an array");
    return *place;
  }
  std::string String(const Place& place) const {
    if (!place->is_string()) Fail(place, "must be a string");
    return place->get<std::string>();
  }
  std::u16string Wide(const Place& place, const std::string& text) const {
    auto wide = Utf8ToUtf16(text);
    if (!wide) Fail(place, "is not valid UTF-8");
    return *wide;
  }
  bool Bool(const Place& place) const {
    if (!place->is_boolean()) Fail(place, "must be true or false");
    return place->get<bool>();
  }
  float Float(const Place& place) const {
    if (!place->is_number()) Fail(place, "must be a number");
    const double value = place->get<double>();
    if (!std::isfinite(value) || !std::isfinite(static_cast<float>(value)))
      Fail(place, "must be a finite 32-bit float");
    return static_cast<float>(value);
  }
  std::int64_t Integer(const Place& place, std::int64_t low, std::int64_t high) const {
    if (!place->is_number_integer()) Fail(place, "must be an integer");
    const bool inRange =
        place->is_number_unsigned()
            ? place->get<std::uint64_t>() <= static_cast<std::uint64_t>(high)
            : place->get<std::int64_t>() >= low && place->get<std::int64_t>() <= high;
    if (!inRange) Fail(place, "must lie in " + std::to_string(low) + ".." + std::to_string(high));
    return place->get<std::int64_t>();
  }
  std::uint64_t Unsigned(const Place& place) const {
    if (!place->is_number_integer() ||
        (!place->is_number_unsigned() && place->get<std::int64_t>() < 0))
      Fail(place, "must be a non-negative integer");
    return place->get<std::uint64_t>();
  }
  template <class T, std::size_t N>
  T Choice(const Place& place, const std::pair<const char*, T> (&choices)[N]) const {
    const std::string text = String(place);
    std::string known;
    for (const auto& [name, value] : choices) {
      if (text == name) return value;
      known += (known.empty() ? "" : ", ") + Quoted(name);
    }
    Fail(place, "must be one of " + known + ", not " + Quoted(text));
  }

  LevelState Level(const Place& place) const {
    RequireObject(place, {"min", "max", "step", "channels"});
    LevelState level;
    level.min = Float(Require(place, "min"));
    level.max = Float(Require(place, "max"));
    level.step = Float(Require(place, "step"));
    if (level.min > level.max)
      Fail(Child(place, "min"),
           "min " + FormatFloat(level.min) + " is greater than max " + FormatFloat(level.max));
    if (level.step < 0) Fail(Child(place, "step"), "must not be negative");
    // No channels, and channels outside min..max, are what some drivers report.
    const Place channels = Require(place, "channels");
    for (std::size_t i = 0; i < Array(channels).size(); ++i)
      level.channels.push_back(Float(Element(channels, i)));
    return level;
  }

  std::vector<AdapterState> Adapters(const Place& place) const {
    std::vector<AdapterState> adapters;
    std::set<std::string> names;
    for (std::size_t i = 0; i < Array(place).size(); ++i) {
      const Place item = Element(place, i);
      adapters.push_back(Adapter(item));
      if (!names.insert(adapters.back().name).second)
        Fail(Child(item, "name"), "duplicate adapter name " + Quoted(adapters.back().name));
    }
    return adapters;
  }

  AdapterState Adapter(const Place& place) const {
    RequireObject(place, {"name", "parts", "links"});
    AdapterState adapter;
    adapter.name = String(Require(place, "name"));
    if (adapter.name.empty()) Fail(Child(place, "name"), "must not be empty");
    Wide(Child(place, "name"), adapter.name);
    std::map<std::string, std::size_t> partIndex;
    const Place parts = Require(place, "parts");
    for (std::size_t i = 0; i < Array(parts).size(); ++i) {
      const Place item = Element(parts, i);
      adapter.parts.push_back(Part(item));
      if (!partIndex.emplace(adapter.parts.back().id, i).second)
        Fail(item, "duplicate part id " + Quoted(adapter.parts.back().id));
    }
    if (auto links = Find(place, "links")) adapter.links = Links(*links, partIndex);
    return adapter;
  }

  PartState Part(const Place& place) const {
    RequireObject(place, {"id", "name", "kind", "controls"});
    PartState part;
    part.name = String(Require(place, "name"));
    part.wideName = Wide(Child(place, "name"), part.name);
    part.id = part.name;
    if (auto id = Find(place, "id")) part.id = String(*id);
    if (part.id.empty()) Fail(place, "part id must not be empty");
    Wide(place, part.id);
    static const std::pair<const char*, bool> kKinds[] = {{"connector", true}, {"subunit", false}};
    part.isConnector = Choice(Require(place, "kind"), kKinds);
    if (auto controls = Find(place, "controls")) Controls(*controls, part);
    return part;
  }

  void Controls(const Place& place, PartState& part) const {
    RequireObject(place, {"volume", "bass", "treble", "midrange", "mute", "agc", "loudness"});
    for (std::size_t k = 0; k < kLevelKinds; ++k) {
      if (auto level = Find(place, kLevelKeys[k])) part.levels[k] = Level(*level);
    }
    if (auto mute = Find(place, "mute")) part.mute = Int32(*mute);
    for (std::size_t k = 0; k < kSwitchKinds; ++k) {
      if (auto value = Find(place, kSwitchKeys[k])) part.switches[k] = Int32(*value);
    }
  }

  // true, false or the 32-bit value a driver holds.
  std::int32_t Switch(const Place& place) const {
    if (place->is_boolean()) return place->get<bool>() ? 1 : 0;
    if (!place->is_number_integer()) Fail(place, "must be true, false or an integer");
    return Int32(place);
  }

  std::int32_t Int32(const Place& place) const {
    return static_cast<std::int32_t>(Integer(place, INT32_MIN, INT32_MAX));
  }

  std::vector<std::pair<std::size_t, std::size_t>> Links(
      const Place& place, const std::map<std::string, std::size_t>& partIndex) const {
    std::vector<std::pair<std::size_t, std::size_t>> links;
    std::set<std::pair<std::size_t, std::size_t>> seen;
    for (std::size_t i = 0; i < Array(place).size(); ++i) {
      const Place link = Element(place, i);
      if (!link->is_array() || link->size() != 2) Fail(link, "must be a pair [from, to]");
      std::size_t ends[2];
      for (std::size_t e = 0; e < 2; ++e) {
        const Place end = Element(link, e);
        const std::string id = String(end);
        const auto found = partIndex.find(id);
        if (found == partIndex.end()) Fail(end, "unknown part " + Quoted(id));
        ends[e] = found->second;
      }
      if (!seen.emplace(ends[0], ends[1]).second) Fail(link, "duplicate link");
      links.emplace_back(ends[0], ends[1]);
    }
    return links;
  }

  std::vector<EndpointState> Endpoints(const Place& place,
                                       const std::vector<AdapterState>& adapters) const {
    std::vector<EndpointState> endpoints;
    std::set<std::string> ids;
    bool hasDefault[2] = {false, false};
    for (std::size_t i = 0; i < Array(place).size(); ++i) {
      const Place item = Element(place, i);
      EndpointState endpoint = Endpoint(item, adapters);
      if (!ids.insert(endpoint.id).second)
        Fail(item, "duplicate endpoint id " + Quoted(endpoint.id));
      bool& flowDefault = hasDefault[static_cast<int>(endpoint.flow)];
      if (endpoint.isDefault && flowDefault)
        Fail(Child(item, "default"), "a second default endpoint of the same flow");
      flowDefault = flowDefault || endpoint.isDefault;
      endpoints.push_back(std::move(endpoint));
    }
    return endpoints;
  }

  EndpointState Endpoint(const Place& place, const std::vector<AdapterState>& adapters) const {
    RequireObject(place,
                  {"id", "name", "flow", "state", "default", "topology", "volume", "connector"});
    EndpointState endpoint;
    endpoint.name = String(Require(place, "name"));
    endpoint.wideName = Wide(Child(place, "name"), endpoint.name);
    endpoint.id = endpoint.name;
    if (auto id = Find(place, "id")) endpoint.id = String(*id);
    if (endpoint.id.empty()) Fail(place, "endpoint id must not be empty");
    endpoint.wideId = Wide(place, endpoint.id);
    static const std::pair<const char*, p::DataFlow> kFlows[] = {{"render", p::DataFlow::Render},
                                                                 {"capture", p::DataFlow::Capture}};
    endpoint.flow = Choice(Require(place, "flow"), kFlows);
    static const std::pair<const char*, std::uint32_t> kStateChoices[] = {
        {kDeviceStates[0].name, kDeviceStates[0].value},
        {kDeviceStates[1].name, kDeviceStates[1].value},
        {kDeviceStates[2].name, kDeviceStates[2].value},
        {kDeviceStates[3].name, kDeviceStates[3].value}};
    if (auto state = Find(place, "state")) endpoint.state = Choice(*state, kStateChoices);
    if (auto isDefault = Find(place, "default")) endpoint.isDefault = Bool(*isDefault);
    if (auto topology = Find(place, "topology")) endpoint.hasTopology = Bool(*topology);
    if (auto volume = Find(place, "volume")) EndpointVolume(*volume, endpoint);
    if (auto connector = Find(place, "connector"))
      endpoint.connector = Connection(*connector, adapters);
    return endpoint;
  }

  void EndpointVolume(const Place& place, EndpointState& endpoint) const {
    RequireObject(place, {"min", "max", "step", "channels", "master", "mute"});
    json levelOnly = *place;
    levelOnly.erase("mute");
    levelOnly.erase("master");
    endpoint.volume = Level(Place{&levelOnly, place.pointer});
    if (auto master = Find(place, "master")) endpoint.master = Float(*master);
    if (!endpoint.master && endpoint.volume->channels.empty())
      Fail(place, "a volume without channels needs a \"master\"");
    if (auto mute = Find(place, "mute")) endpoint.mute = Switch(*mute);
  }

  PartPlace Connection(const Place& place, const std::vector<AdapterState>& adapters) const {
    RequireObject(place, {"adapter", "part"});
    const Place adapterPlace = Require(place, "adapter");
    const Place partPlace = Require(place, "part");
    const std::string adapterName = String(adapterPlace);
    const std::string partId = String(partPlace);
    for (std::size_t a = 0; a < adapters.size(); ++a) {
      if (adapters[a].name != adapterName) continue;
      for (std::size_t i = 0; i < adapters[a].parts.size(); ++i) {
        if (adapters[a].parts[i].id == partId) return PartPlace{a, i};
      }
      Fail(partPlace, "adapter " + Quoted(adapterName) + " has no part " + Quoted(partId));
    }
    Fail(adapterPlace, "unknown adapter " + Quoted(adapterName));
  }

  std::vector<FaultRule> Faults(const Place& place) const {
    std::vector<FaultRule> faults;
    for (std::size_t i = 0; i < Array(place).size(); ++i)
      faults.push_back(Fault(Element(place, i)));
    return faults;
  }

  FaultRule Fault(const Place& place) const {
    RequireObject(place, {"object", "op", "result", "channel", "after", "times", "interface",
                          "index", "flow", "id", "output"});
    FaultRule rule;
    if (auto object = Find(place, "object")) rule.object = String(*object);
    if (auto op = Find(place, "op")) rule.op = String(*op);
    if (auto result = Find(place, "result")) rule.result = Result(*result);
    if (auto channel = Find(place, "channel"))
      rule.channel = static_cast<std::uint32_t>(Integer(*channel, 0, UINT32_MAX));
    if (auto after = Find(place, "after")) rule.after = Unsigned(*after);
    if (auto times = Find(place, "times")) rule.times = Unsigned(*times);
    if (auto iid = Find(place, "interface")) rule.interface = InterfaceName(*iid);
    if (auto index = Find(place, "index"))
      rule.index = static_cast<std::uint32_t>(Integer(*index, 0, UINT32_MAX));
    static const std::pair<const char*, std::int32_t> kFlows[] = {
        {"render", 0}, {"capture", 1}, {"all", 2}};
    if (auto flow = Find(place, "flow")) rule.flow = Choice(*flow, kFlows);
    if (auto id = Find(place, "id")) rule.id = String(*id);
    if (auto output = Find(place, "output")) rule.output = Output(*output);
    return rule;
  }

  std::string InterfaceName(const Place& place) const {
    const std::string name = String(place);
    for (const char* known : kInterfaceNames) {
      if (name == known) return name;
    }
    Fail(place, "unknown interface " + Quoted(name));
  }

  // Counts, levels and switch values all fit a double exactly.
  double Output(const Place& place) const {
    if (place->is_number_integer())
      return static_cast<double>(Integer(place, INT32_MIN, UINT32_MAX));
    return static_cast<double>(Float(place));
  }

  p::HRESULT Result(const Place& place) const {
    if (place->is_number_integer())
      return static_cast<p::HRESULT>(
          static_cast<std::uint32_t>(Integer(place, INT32_MIN, UINT32_MAX)));
    if (!place->is_string()) Fail(place, "must be a result name or a hex string");
    const auto result = ParseResult(place->get<std::string>());
    if (!result) Fail(place, "unknown result " + Quoted(place->get<std::string>()));
    return *result;
  }

  const std::string& source_;
};

}  // namespace

Description ParseDescription(const json& json, const std::string& source) {
  return Parser(source).Parse(json);
}

// Parses JSON text, rejecting objects that repeat a key (the JSON library
// would silently keep the last one).
json ParseJsonStrict(const std::string& text, const std::string& source) {
  struct Frame {
    bool isArray = false;
    std::size_t index = 0;
    std::string key;
    std::set<std::string> keys;
  };
  std::vector<Frame> frames;
  auto pointer = [&frames] {
    std::string out;
    for (const Frame& frame : frames)
      out += "/" + (frame.isArray ? std::to_string(frame.index) : EscapePointerToken(frame.key));
    return out;
  };
  auto elementDone = [&frames] {
    if (!frames.empty() && frames.back().isArray) ++frames.back().index;
  };
  const json::parser_callback_t callback = [&](int, json::parse_event_t event, json& parsed) {
    switch (event) {
      case json::parse_event_t::object_start:
      case json::parse_event_t::array_start:
        frames.emplace_back();
        frames.back().isArray = event == json::parse_event_t::array_start;
        break;
      case json::parse_event_t::key: {
        const std::string key = parsed.get<std::string>();
        frames.back().key = key;
        if (!frames.back().keys.insert(key).second)
          throw DescriptionError(source + ": " + pointer() + ": duplicate key \"" + key + "\"");
        break;
      }
      case json::parse_event_t::object_end:
      case json::parse_event_t::array_end:
        frames.pop_back();
        elementDone();
        break;
      case json::parse_event_t::value:
        elementDone();
        break;
    }
    return true;
  };
  try {
    return json::parse(text, callback);
  } catch (const json::parse_error& error) {
    // The library's message already names line and column; drop its tag.
    std::string message = error.what();
    const auto tagEnd = message.find("] ");
    if (tagEnd != std::string::npos) message.erase(0, tagEnd + 2);
    throw DescriptionError(source + ": " + message);
  }
}

}  // namespace velto::description
