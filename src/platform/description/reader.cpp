#include "platform/description/reader.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <deque>
#include <fstream>
#include <initializer_list>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>

#include "platform/description/text.h"
#include "platform/node_types.h"

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

std::string Quoted(const std::string& text) { return p::InQuotes(text); }

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

// Reads a document into the model, one element of a list at a time: from a
// tree already in memory (Parse), or as the JSON library's events complete
// each element (Loader below), so that a document read from text is never
// held whole. Endpoints' connectors are resolved at the end, since the
// adapters they name may come later in the text.
template <class Json>
class Parser {
 public:
  using Place = description::Place<Json>;

  explicit Parser(const std::string& source) : source_(source) {}

  Description Parse(Json& root) {
    const Place top{&root, nullptr, {}, 0, false};
    RequireObject(top, {"endpoints", "adapters", "faults"});
    if (auto adapters = Find(top, "adapters")) {
      const std::size_t count = ArraySize(*adapters);
      for (std::size_t i = 0; i < count; ++i) {
        const Place item = Element(*adapters, i);
        BeginAdapter();
        const auto parts = item->is_object() ? Find(item, "parts") : std::nullopt;
        const std::size_t partCount = parts && (*parts)->is_array() ? (*parts)->size() : 0;
        for (std::size_t j = 0; j < partCount; ++j) AddPart(Element(*parts, j));
        EndAdapter(item);
      }
    }
    if (auto endpoints = Find(top, "endpoints")) {
      const std::size_t count = ArraySize(*endpoints);
      for (std::size_t i = 0; i < count; ++i) AddEndpoint(Element(*endpoints, i));
    }
    if (auto faults = Find(top, "faults")) {
      const std::size_t count = ArraySize(*faults);
      for (std::size_t i = 0; i < count; ++i) AddFault(Element(*faults, i));
    }
    return Finish(top);
  }

  // --- One element at a time, in document order -------------------------------------

  void BeginAdapter() {
    description_.adapters.emplace_back();
    parts_.clear();
    partIndex_.emplace_back();
    linksRead_ = false;
    links_.clear();
  }

  void AddPart(const Place& item) {
    parts_.push_back(Part(item));
    if (!partIndex_.back().emplace(parts_.back().id, parts_.size() - 1).second)
      Fail(item, "duplicate part id " + Quoted(parts_.back().id));
    Release(item);
  }

  // Only once the adapter's parts are all known.
  void AddLink(const Place& link) {
    if (!link->is_array() || link->size() != 2) Fail(link, "must be a pair [from, to]");
    std::size_t ends[2];
    for (std::size_t e = 0; e < 2; ++e) {
      const Place end = Element(link, e);
      const std::string id = String(end);
      const auto found = partIndex_.back().find(id);
      if (found == partIndex_.back().end()) Fail(end, "unknown part " + Quoted(id));
      ends[e] = found->second;
    }
    if (!links_.insert(static_cast<std::uint64_t>(ends[0]) << 32 | ends[1]).second)
      Fail(link, "duplicate link");
    description_.adapters.back().links.emplace_back(ends[0], ends[1]);
    linksRead_ = true;
    Release(link);
  }

  // The adapter's own members, once its parts (and perhaps links) are read.
  void EndAdapter(const Place& place) {
    RequireObject(place, {"name", "parts", "links"});
    AdapterState& adapter = description_.adapters.back();
    adapter.name = String(Require(place, "name"));
    if (adapter.name.empty()) Fail(Child(place, "name"), "must not be empty");
    Wide(Child(place, "name"), adapter.name);
    ArraySize(Require(place, "parts"));
    if (auto links = Find(place, "links"); links && !linksRead_) {
      const std::size_t count = ArraySize(*links);
      for (std::size_t i = 0; i < count; ++i) AddLink(Element(*links, i));
    }
    if (!adapterIndex_.emplace(adapter.name, description_.adapters.size() - 1).second)
      Fail(Child(place, "name"), "duplicate adapter name " + Quoted(adapter.name));
    MoveInto(parts_, adapter.parts);
    adapter.links.shrink_to_fit();
    links_ = {};
    Release(place);
  }

  void AddEndpoint(const Place& item) {
    EndpointState endpoint = Endpoint(item);
    if (!endpointIds_.insert(endpoint.id).second)
      Fail(item, "duplicate endpoint id " + Quoted(endpoint.id));
    bool& flowDefault = hasDefault_[static_cast<int>(endpoint.flow)];
    if (endpoint.isDefault && flowDefault)
      Fail(Child(item, "default"), "a second default endpoint of the same flow");
    flowDefault = flowDefault || endpoint.isDefault;
    endpoints_.push_back(std::move(endpoint));
    Release(item);
  }

  void AddFault(const Place& item) {
    faults_.push_back(Fault(item));
    Release(item);
  }

  // The top level, once every element has been read.
  Description Finish(const Place& top) {
    RequireObject(top, {"endpoints", "adapters", "faults"});
    for (const char* key : {"adapters", "endpoints", "faults"}) {
      if (auto list = Find(top, key)) ArraySize(*list);
    }
    MoveInto(endpoints_, description_.endpoints);
    MoveInto(faults_, description_.faults);
    for (const Connector& connector : connectors_)
      description_.endpoints[connector.endpoint].connector = Resolve(connector);
    return std::move(description_);
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

  // A part's level; only it rounds (the endpoint volume keeps the value asked).
  LevelState Level(const Place& place) const {
    RequireObject(place, {"min", "max", "step", "channels", "rounding"});
    LevelState level = LevelValues(place);
    if (auto rounding = Find(place, "rounding")) level.rounding = RoundingChoice(*rounding);
    return level;
  }

  Rounding RoundingChoice(const Place& place) const {
    static const std::pair<const char*, Rounding> kRoundings[] = {
        {kRoundingNames[0], Rounding::Exact},
        {kRoundingNames[1], Rounding::Nearest},
        {kRoundingNames[2], Rounding::Up},
        {kRoundingNames[3], Rounding::Down}};
    return Choice(place, kRoundings);
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
    RequireObject(place, {"id", "name", "kind", "subtype", "controls"});
    PartState part;
    Naming naming = Named(place, "part");
    part.name = std::move(naming.name);
    part.wideName = std::move(naming.wideName);
    part.id = std::move(naming.id);
    static const std::pair<const char*, bool> kKinds[] = {{"connector", true}, {"subunit", false}};
    part.isConnector = Choice(Require(place, "kind"), kKinds);
    if (auto subtype = Find(place, "subtype")) part.subtype = SubType(*subtype);
    if (auto controls = Find(place, "controls")) Controls(*controls, part);
    return part;
  }

  p::Guid SubType(const Place& place) const {
    const std::optional<p::Guid> subtype = p::ParseSubType(String(place));
    if (!subtype) Fail(place, "must be a KSNODETYPE_ name of ksmedia.h or a GUID");
    return *subtype;
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

  EndpointState Endpoint(const Place& place) {
    RequireObject(place,
                  {"id", "name", "flow", "state", "default", "topology", "volume", "connector"});
    EndpointState endpoint;
    Naming naming = Named(place, "endpoint");
    endpoint.name = std::move(naming.name);
    endpoint.wideName = std::move(naming.wideName);
    endpoint.id = std::move(naming.id);
    endpoint.wideId = std::move(naming.wideId);
    static const std::pair<const char*, p::DataFlow> kFlows[] = {
        {p::FlowText(p::DataFlow::Render), p::DataFlow::Render},
        {p::FlowText(p::DataFlow::Capture), p::DataFlow::Capture}};
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

  // An endpoint's connector as written, found at once when its adapter has
  // been read, else once all adapters are known.
  struct Connector {
    std::size_t endpoint;
    std::string adapter, part;
  };

  std::optional<PartPlace> Connection(const Place& place) {
    RequireObject(place, {"adapter", "part"});
    Connector connector{endpoints_.size(), String(Require(place, "adapter")),
                        String(Require(place, "part"))};
    if (adapterIndex_.count(connector.adapter)) return Resolve(connector);
    connectors_.push_back(std::move(connector));
    return std::nullopt;
  }

  PartPlace Resolve(const Connector& connector) const {
    const Place root{nullptr, nullptr, {}, 0, false};
    const Place list{nullptr, &root, "endpoints", 0, false};
    const Place item{nullptr, &list, {}, connector.endpoint, true};
    const Place place{nullptr, &item, "connector", 0, false};
    const auto adapter = adapterIndex_.find(connector.adapter);
    if (adapter == adapterIndex_.end())
      Fail({nullptr, &place, "adapter", 0, false}, "unknown adapter " + Quoted(connector.adapter));
    const std::size_t a = adapter->second;
    const auto part = partIndex_[a].find(connector.part);
    if (part == partIndex_[a].end())
      Fail({nullptr, &place, "part", 0, false},
           "adapter " + Quoted(connector.adapter) + " has no part " + Quoted(connector.part));
    return PartPlace{a, part->second};
  }

  // Lists are gathered in deques, which grow without copying, and moved into
  // the model's vectors at their exact size, the deque shrinking as it goes.
  template <class T>
  static void MoveInto(std::deque<T>& from, std::vector<T>& to) {
    to.reserve(to.size() + from.size());
    while (!from.empty()) {
      to.push_back(std::move(from.front()));
      from.pop_front();
    }
  }

  FaultRule Fault(const Place& place) const {
    RequireObject(place, {"object", "op", "result", "channel", "after", "times", "interface",
                          "index", "flow", "id", "output", "rounding"});
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
        {p::FlowText(0), 0}, {p::FlowText(1), 1}, {p::FlowText(p::kAllFlows), p::kAllFlows}};
    if (auto flow = Find(place, "flow")) rule.flow = Choice(*flow, kFlows);
    if (auto id = Find(place, "id")) rule.id = String(*id);
    if (auto output = Find(place, "output")) rule.output = Output(*output);
    if (auto rounding = Find(place, "rounding")) rule.rounding = RoundingChoice(*rounding);
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
  Description description_;
  // Adapter names and each adapter's part ids, as endpoints' connectors name them.
  std::unordered_map<std::string, std::size_t> adapterIndex_;
  std::vector<std::unordered_map<std::string, std::size_t>> partIndex_;
  std::vector<Connector> connectors_;
  // The open adapter's links so far (from << 32 | to), and whether its list
  // has been read already.
  std::unordered_set<std::uint64_t> links_;
  bool linksRead_ = false;
  std::unordered_set<std::string> endpointIds_;
  std::deque<PartState> parts_;  // the open adapter's
  std::deque<EndpointState> endpoints_;
  std::deque<FaultRule> faults_;
  bool hasDefault_[2] = {false, false};
};

// An object's members as the list they are kept in.
Document::object_t::Container& Members(Document& object) {
  return object.get_ref<Document::object_t&>();
}
const Document::object_t::Container& Members(const Document& object) {
  return object.get_ref<const Document::object_t&>();
}

// Reads text through the JSON library's events. Keys go straight into each
// object's member list, after a look-up in a set of the keys that object has
// so far: the library's own duplicate detection (a parser callback) scans
// every array again at the end of each element, quadratic in its length.
// Each element of a list (an endpoint, a fault rule, an adapter's part or
// link, an adapter) is handed to the parser as soon as it is complete and
// then dropped, so that only the document's frame stays: its lists hold a
// null for each element read. The first problem the parser finds is kept
// until the text has been read, so that a syntax error anywhere still wins.
class Loader {
 public:
  using number_integer_t = Document::number_integer_t;
  using number_unsigned_t = Document::number_unsigned_t;
  using number_float_t = Document::number_float_t;
  using string_t = Document::string_t;
  using binary_t = Document::binary_t;
  using Place = description::Place<Document>;

  explicit Loader(const std::string& source) : source_(source), parser_(source) {}

  // Throws the first problem found, else builds what the elements left out.
  Description Finish() {
    if (problem_) throw *problem_;
    return parser_.Finish(Place{&root_, nullptr, {}, 0, false});
  }

  bool null() { return Scalar(nullptr); }
  bool boolean(bool value) { return Scalar(value); }
  bool number_integer(number_integer_t value) { return Scalar(value); }
  bool number_unsigned(number_unsigned_t value) { return Scalar(value); }
  bool number_float(number_float_t value, const string_t&) { return Scalar(value); }
  bool string(string_t& value) { return Scalar(std::move(value)); }
  bool binary(binary_t& value) { return Scalar(std::move(value)); }

  bool start_object(std::size_t) {
    if (InTopList("adapters") && !problem_) parser_.BeginAdapter();
    return Open(Document::object());
  }
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

  template <class Value>
  bool Scalar(Value&& value) {
    Add(std::forward<Value>(value));
    Completed();
    return true;
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
    Completed();
    return true;
  }

  // The key under which frame `i + 1` sits in frame `i`, an object.
  const std::string* KeyBelow(std::size_t i) const {
    const Document& container = *frames_[i].container;
    if (!container.is_object() || Members(container).empty()) return nullptr;
    return &Members(container).back().first;
  }
  bool IsList(std::size_t i, const char* key) const {
    const std::string* name = i > 0 ? KeyBelow(i - 1) : nullptr;
    return frames_[i].container->is_array() && name && *name == key;
  }
  // Whether the value now starting or just completed is an element of the
  // top-level list `key`, or of the open adapter's list `key`.
  bool InTopList(const char* key) const { return frames_.size() == 2 && IsList(1, key); }
  bool InAdapterList(const char* key) const {
    return frames_.size() == 4 && IsList(1, "adapters") && frames_[2].container->is_object() &&
           IsList(3, key);
  }
  // The open adapter's parts are all read once a member named "parts" has
  // been completed before the one being read.
  bool AdapterPartsRead() const {
    const auto& members = Members(*frames_[2].container);
    for (std::size_t i = 0; i + 1 < members.size(); ++i) {
      if (members[i].first == "parts" && members[i].second.is_array()) return true;
    }
    return false;
  }

  // Hands the list element just completed to the parser, which drops it.
  void Completed() {
    if (InTopList("endpoints")) return Hand([&](const Place& item) { parser_.AddEndpoint(item); });
    if (InTopList("faults")) return Hand([&](const Place& item) { parser_.AddFault(item); });
    if (InTopList("adapters")) return Hand([&](const Place& item) { parser_.EndAdapter(item); });
    if (InAdapterList("parts")) return Hand([&](const Place& item) { parser_.AddPart(item); });
    if (InAdapterList("links") && AdapterPartsRead())
      return Hand([&](const Place& item) { parser_.AddLink(item); });
  }

  // Calls `use` with the place of the innermost list's last element.
  template <class Use>
  void Hand(Use&& use) {
    if (problem_) return;
    std::vector<Place> chain;
    chain.reserve(frames_.size() + 1);
    chain.push_back(Place{frames_[0].container, nullptr, {}, 0, false});
    for (std::size_t i = 1; i <= frames_.size(); ++i) {
      Document& outer = *frames_[i - 1].container;
      Document* inner = i < frames_.size() ? frames_[i].container : nullptr;
      if (outer.is_array()) {
        if (!inner && !outer.empty()) inner = &outer.back();
        chain.push_back(Place{inner, &chain.back(), {}, outer.size() - 1, true});
      } else {
        chain.push_back(Place{inner, &chain.back(), *KeyBelow(i - 1), 0, false});
      }
    }
    try {
      use(chain.back());
    } catch (const DescriptionError& error) {
      problem_ = error;
    }
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
  Parser<Document> parser_;
  Document root_;
  std::vector<Frame> frames_;
  std::optional<DescriptionError> problem_;
};

template <class Input>
Description Load(Input&& input, const std::string& source) {
  Loader loader(source);
  Document::sax_parse(std::forward<Input>(input), &loader);
  return loader.Finish();
}

}  // namespace

Description ParseDescription(const json& json, const std::string& source) {
  return Parser<const nlohmann::json>(source).Parse(json);
}

Description ReadDescription(std::string_view text, const std::string& source) {
  return Load(text, source);
}

Description ReadDescriptionFile(const std::string& path) {
  // Read as a stream, so that the text is never held whole: the model is
  // built element by element as the text is read.
  std::ifstream file(path, std::ios::binary);
  if (!file) throw DescriptionError(path + ": cannot be read: " + std::strerror(errno));
  Loader loader(path);
  Document::sax_parse(file, &loader);
  if (file.bad()) throw DescriptionError(path + ": cannot be read");
  return loader.Finish();
}

}  // namespace velto::description
