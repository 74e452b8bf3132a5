#include "platform/description/reader.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <set>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>

#include "platform/description/text.h"

namespace velto::description {

using nlohmann::json;
namespace p = platform;

namespace {
// What text is read into: members kept in a list, which costs less memory
// than a tree per object.
using Document = nlohmann::ordered_json;
}  // namespace

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

// A value inside the document with the way to it; its JSON pointer is only
// spelt out for an error.
template <class Json>
struct Place {
  Json* value;
  const Place* parent = nullptr;
  std::string_view key;   // within an object
  std::size_t index = 0;  // within an array
  bool inArray = false;

  Json& operator*() const { return *value; }
  Json* operator->() const { return value; }

  std::string Pointer() const {
    if (!parent) return "";
    return parent->Pointer() + "/" +
           (inArray ? std::to_string(index) : EscapePointerToken(std::string(key)));
  }
};

// Reads a document into the model. With a mutable document (one read from
// text), each element of a list is released as soon as it has been read, so
// that the document shrinks while the model grows.
template <class Json>
class Parser {
 public:
  using Place = description::Place<Json>;

  explicit Parser(const std::string& source) : source_(source) {}

  Description Parse(Json& root) {
    const Place top{&root, nullptr, {}, 0, false};
    RequireObject(top, {"endpoints", "adapters", "faults"});
    Description description;
    if (auto adapters = Find(top, "adapters")) description.adapters = Adapters(*adapters);
    if (auto endpoints = Find(top, "endpoints")) description.endpoints = Endpoints(*endpoints);
    if (auto faults = Find(top, "faults")) description.faults = Faults(*faults);
    return description;
  }

 private:
  [[noreturn]] void Fail(const Place& place, const std::string& problem) const {
    std::string where = place.Pointer();
    if (where.empty()) where = "(document root)";
    throw DescriptionError(source_ + ": " + where + ": " + problem);
  }

  static Place Child(const Place& place, std::string_view key) {
    return {&place->at(std::string(key)), &place, key, 0, false};
  }
  static Place Element(const Place& place, std::size_t index) {
    return {&place->at(index), &place, {}, index, true};
  }
  static void Release(const Place& place) {
    if constexpr (!std::is_const_v<Json>) *place = nullptr;
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
    return Place{&*it, &place, key, 0, false};
  }
  Place Require(const Place& place, const char* key) const {
    auto found = Find(place, key);
    if (!found) Fail(place, std::string("missing key ") + Quoted(key));
    return *found;
  }

  std::size_t ArraySize(const Place& place) const {
    if (!place->is_array()) Fail(place, "must be an array");
    return place->size();
  }
  std::string String(const Place& place) const {
    if (!place->is_string()) Fail(place, "must be a string");
    return place->template get<std::string>();
  }
  std::u16string Wide(const Place& place, const std::string& text) const {
    auto wide = Utf8ToUtf16(text);
    if (!wide) Fail(place, "is not valid UTF-8");
    return *wide;
  }
  // Ids travel through the platform as NUL-terminated strings: one with a
  // NUL inside would reach the host cut short, and two could look alike.
  void RequireNoNul(const Place& place, const std::string& id, const char* what) const {
    if (id.find('\0') != std::string::npos)
      Fail(place, std::string(what) + " id must not contain a NUL character");
  }
  bool Bool(const Place& place) const {
    if (!place->is_boolean()) Fail(place, "must be true or false");
    return place->template get<bool>();
  }
  float Float(const Place& place) const {
    if (!place->is_number()) Fail(place, "must be a number");
    const double value = place->template get<double>();
    if (!std::isfinite(value) || !std::isfinite(static_cast<float>(value)))
      Fail(place, "must be a finite 32-bit float");
    return static_cast<float>(value);
  }
  std::int64_t Integer(const Place& place, std::int64_t low, std::int64_t high) const {
    if (!place->is_number_integer()) Fail(place, "must be an integer");
    const bool inRange =
        place->is_number_unsigned()
            ? place->template get<std::uint64_t>() <= static_cast<std::uint64_t>(high)
            : place->template get<std::int64_t>() >= low &&
                  place->template get<std::int64_t>() <= high;
    if (!inRange) Fail(place, "must lie in " + std::to_string(low) + ".." + std::to_string(high));
    return place->template get<std::int64_t>();
  }
  std::uint64_t Unsigned(const Place& place) const {
    if (!place->is_number_integer() ||
        (!place->is_number_unsigned() && place->template get<std::int64_t>() < 0))
      Fail(place, "must be a non-negative integer");
    return place->template get<std::uint64_t>();
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
    return LevelValues(place);
  }

  // The members of a level; the caller has checked the keys.
  LevelState LevelValues(const Place& place) const {
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
    const std::size_t count = ArraySize(channels);
    level.channels.reserve(count);
    for (std::size_t i = 0; i < count; ++i) level.channels.push_back(Float(Element(channels, i)));
    return level;
  }

  std::vector<AdapterState> Adapters(const Place& place) {
    std::vector<AdapterState> adapters;
    const std::size_t count = ArraySize(place);
    adapters.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
      const Place item = Element(place, i);
      adapters.push_back(Adapter(item));
      if (!adapterIndex_.emplace(adapters.back().name, i).second)
        Fail(Child(item, "name"), "duplicate adapter name " + Quoted(adapters.back().name));
      Release(item);
    }
    return adapters;
  }

  AdapterState Adapter(const Place& place) {
    RequireObject(place, {"name", "parts", "links"});
    AdapterState adapter;
    adapter.name = String(Require(place, "name"));
    if (adapter.name.empty()) Fail(Child(place, "name"), "must not be empty");
    Wide(Child(place, "name"), adapter.name);
    std::unordered_map<std::string, std::size_t>& partIndex = partIndex_.emplace_back();
    const Place parts = Require(place, "parts");
    const std::size_t count = ArraySize(parts);
    adapter.parts.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
      const Place item = Element(parts, i);
      adapter.parts.push_back(Part(item));
      if (!partIndex.emplace(adapter.parts.back().id, i).second)
        Fail(item, "duplicate part id " + Quoted(adapter.parts.back().id));
      Release(item);
    }
    if (auto links = Find(place, "links")) adapter.links = Links(*links, partIndex);
    return adapter;
  }

  struct Naming {
    std::string name, id;
    std::u16string wideName, wideId;
  };
  // A part's or endpoint's name and its id, which is the name unless given.
  Naming Named(const Place& place, const char* what) const {
    Naming naming;
    naming.name = String(Require(place, "name"));
    naming.wideName = Wide(Child(place, "name"), naming.name);
    naming.id = naming.name;
    if (auto id = Find(place, "id")) naming.id = String(*id);
    if (naming.id.empty()) Fail(place, std::string(what) + " id must not be empty");
    RequireNoNul(place, naming.id, what);
    naming.wideId = Wide(place, naming.id);
    return naming;
  }

  PartState Part(const Place& place) const {
    RequireObject(place, {"id", "name", "kind", "controls"});
    PartState part;
    Naming naming = Named(place, "part");
    part.name = std::move(naming.name);
    part.wideName = std::move(naming.wideName);
    part.id = std::move(naming.id);
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
    if (place->is_boolean()) return place->template get<bool>() ? 1 : 0;
    if (!place->is_number_integer()) Fail(place, "must be true, false or an integer");
    return Int32(place);
  }

  std::int32_t Int32(const Place& place) const {
    return static_cast<std::int32_t>(Integer(place, INT32_MIN, INT32_MAX));
  }

  std::vector<std::pair<std::size_t, std::size_t>> Links(
      const Place& place, const std::unordered_map<std::string, std::size_t>& partIndex) const {
    std::vector<std::pair<std::size_t, std::size_t>> links;
    std::set<std::pair<std::size_t, std::size_t>> seen;
    const std::size_t count = ArraySize(place);
    links.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
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
      Release(link);
    }
    return links;
  }

  std::vector<EndpointState> Endpoints(const Place& place) const {
    std::vector<EndpointState> endpoints;
    std::unordered_set<std::string> ids;
    bool hasDefault[2] = {false, false};
    const std::size_t count = ArraySize(place);
    endpoints.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
      const Place item = Element(place, i);
      EndpointState endpoint = Endpoint(item);
      if (!ids.insert(endpoint.id).second)
        Fail(item, "duplicate endpoint id " + Quoted(endpoint.id));
      bool& flowDefault = hasDefault[static_cast<int>(endpoint.flow)];
      if (endpoint.isDefault && flowDefault)
        Fail(Child(item, "default"), "a second default endpoint of the same flow");
      flowDefault = flowDefault || endpoint.isDefault;
      endpoints.push_back(std::move(endpoint));
      Release(item);
    }
    return endpoints;
  }

  EndpointState Endpoint(const Place& place) const {
    RequireObject(place,
                  {"id", "name", "flow", "state", "default", "topology", "volume", "connector"});
    EndpointState endpoint;
    Naming naming = Named(place, "endpoint");
    endpoint.name = std::move(naming.name);
    endpoint.wideName = std::move(naming.wideName);
    endpoint.id = std::move(naming.id);
    endpoint.wideId = std::move(naming.wideId);
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
    if (auto connector = Find(place, "connector")) endpoint.connector = Connection(*connector);
    return endpoint;
  }

  void EndpointVolume(const Place& place, EndpointState& endpoint) const {
    RequireObject(place, {"min", "max", "step", "channels", "master", "mute"});
    endpoint.volume = LevelValues(place);
    if (auto master = Find(place, "master")) endpoint.master = Float(*master);
    if (!endpoint.master && endpoint.volume->channels.empty())
      Fail(place, "a volume without channels needs a \"master\"");
    if (auto mute = Find(place, "mute")) endpoint.mute = Switch(*mute);
  }

  PartPlace Connection(const Place& place) const {
    RequireObject(place, {"adapter", "part"});
    const Place adapterPlace = Require(place, "adapter");
    const Place partPlace = Require(place, "part");
    const std::string adapterName = String(adapterPlace);
    const std::string partId = String(partPlace);
    const auto adapter = adapterIndex_.find(adapterName);
    if (adapter == adapterIndex_.end())
      Fail(adapterPlace, "unknown adapter " + Quoted(adapterName));
    const std::size_t a = adapter->second;
    const auto part = partIndex_[a].find(partId);
    if (part == partIndex_[a].end())
      Fail(partPlace, "adapter " + Quoted(adapterName) + " has no part " + Quoted(partId));
    return PartPlace{a, part->second};
  }

  std::vector<FaultRule> Faults(const Place& place) const {
    std::vector<FaultRule> faults;
    const std::size_t count = ArraySize(place);
    faults.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
      const Place item = Element(place, i);
      faults.push_back(Fault(item));
      Release(item);
    }
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
    if (auto iid = Find(place, "interface")) rule.interfaceName = InterfaceName(*iid);
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
    const std::string text = place->is_string() ? place->template get<std::string>() : "";
    if (!place->is_string()) Fail(place, "must be a result name or a hex string");
    const auto result = ParseResult(text);
    if (!result) Fail(place, "unknown result " + Quoted(text));
    return *result;
  }

  const std::string& source_;
  // Adapter names and each adapter's part ids, as endpoints' connectors name them.
  std::unordered_map<std::string, std::size_t> adapterIndex_;
  std::vector<std::unordered_map<std::string, std::size_t>> partIndex_;
};

// Builds the document from the JSON library's events. Keys go straight into
// each object's member list, after a look-up in a set of the keys that object
// has so far: the library's own duplicate detection (a parser callback) scans
// every array again at the end of each element, quadratic in its length.
// An object's members as the list they are kept in.
Document::object_t::Container& Members(Document& object) {
  return object.get_ref<Document::object_t&>();
}
const Document::object_t::Container& Members(const Document& object) {
  return object.get_ref<const Document::object_t&>();
}

class StrictBuilder {
 public:
  using number_integer_t = Document::number_integer_t;
  using number_unsigned_t = Document::number_unsigned_t;
  using number_float_t = Document::number_float_t;
  using string_t = Document::string_t;
  using binary_t = Document::binary_t;

  explicit StrictBuilder(const std::string& source) : source_(source) {}

  Document Take() { return std::move(root_); }

  bool null() { return Add(nullptr); }
  bool boolean(bool value) { return Add(value); }
  bool number_integer(number_integer_t value) { return Add(value); }
  bool number_unsigned(number_unsigned_t value) { return Add(value); }
  bool number_float(number_float_t value, const string_t&) { return Add(value); }
  bool string(string_t& value) { return Add(std::move(value)); }
  bool binary(binary_t& value) { return Add(std::move(value)); }

  bool start_object(std::size_t) { return Open(Document::object()); }
  bool start_array(std::size_t) { return Open(Document::array()); }
  bool end_object() { return Close(); }
  bool end_array() { return Close(); }

  bool key(string_t& key) {
    Frame& frame = frames_.back();
    if (!frame.keys.insert(key).second)
      throw DescriptionError(source_ + ": " + Pointer(&key) + ": duplicate key " + Quoted(key));
    frame.key = std::move(key);
    return true;
  }

  bool parse_error(std::size_t, const std::string& token,
                   const nlohmann::detail::exception& error) {
    if (dynamic_cast<const Document::out_of_range*>(&error))
      throw DescriptionError(source_ + ": " + Where() + ": number " + token + " is out of range");
    // The library's message already names line and column; drop its tag.
    std::string message = error.what();
    const auto tagEnd = message.find("] ");
    if (tagEnd != std::string::npos) message.erase(0, tagEnd + 2);
    throw DescriptionError(source_ + ": " + message);
  }

 private:
  struct Frame {
    Document* container;
    std::unordered_set<std::string> keys;  // objects only
    std::string key;                       // the member being read
  };

  template <class Value>
  Document* Add(Value&& value) {
    if (frames_.empty()) {
      root_ = Document(std::forward<Value>(value));
      return &root_;
    }
    Frame& frame = frames_.back();
    if (frame.container->is_array()) {
      auto& array = frame.container->template get_ref<Document::array_t&>();
      return &array.emplace_back(std::forward<Value>(value));
    }
    // The key set has refused repeats, so the member list can grow without a search.
    return &Members(*frame.container)
                .emplace_back(std::move(frame.key), std::forward<Value>(value))
                .second;
  }

  bool Open(Document&& container) {
    frames_.push_back({Add(std::move(container)), {}, {}});
    return true;
  }

  bool Close() {
    Document& container = *frames_.back().container;
    if (container.is_array()) {
      container.template get_ref<Document::array_t&>().shrink_to_fit();
    } else {
      Members(container).shrink_to_fit();
    }
    frames_.pop_back();
    return true;
  }

  // The pointer of the value being read, or of `key` in the innermost object.
  // An enclosing container's member on the way is the last it holds.
  std::string Pointer(const std::string* key) const {
    std::string out;
    for (std::size_t i = 0; i < frames_.size(); ++i) {
      const Document& container = *frames_[i].container;
      const bool innermost = i + 1 == frames_.size();
      if (container.is_array()) {
        out += "/" + std::to_string(container.size() - (innermost ? 0 : 1));
      } else if (!innermost) {
        out += "/" + EscapePointerToken(Members(container).back().first);
      } else {
        out += "/" + EscapePointerToken(key ? *key : frames_[i].key);
      }
    }
    return out;
  }
  std::string Where() const {
    const std::string pointer = Pointer(nullptr);
    return pointer.empty() ? "(document root)" : pointer;
  }

  const std::string& source_;
  Document root_;
  std::vector<Frame> frames_;
};

template <class Input>
Document Build(Input&& input, const std::string& source) {
  StrictBuilder builder(source);
  Document::sax_parse(std::forward<Input>(input), &builder);
  return builder.Take();
}

}  // namespace

Description ParseDescription(const json& json, const std::string& source) {
  return Parser<const nlohmann::json>(source).Parse(json);
}

Description ReadDescription(std::string_view text, const std::string& source) {
  Document document = Build(text, source);
  return Parser<Document>(source).Parse(document);
}

Description ReadDescriptionFile(const std::string& path) {
  // Read as a stream, so that the text is never held whole next to the
  // document; the document goes element by element as the model is built.
  std::ifstream file(path, std::ios::binary);
  if (!file) throw DescriptionError(path + ": cannot be read: " + std::strerror(errno));
  Document document = Build(file, path);
  if (file.bad()) throw DescriptionError(path + ": cannot be read");
  file.close();
  return Parser<Document>(path).Parse(document);
}

}  // namespace velto::description
