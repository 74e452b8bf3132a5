// A sound-system description held in memory: what the simulated system
// answers from, and what veltomix's capture fills from a real card. The JSON
// format is documented in docs/sound-system-format.md; reader.h loads it,
// writer.h writes it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/readable.h"

namespace velto::description {

// A description that cannot be loaded. what() names the file, the JSON place
// and the problem.
struct DescriptionError : std::runtime_error {
  using runtime_error::runtime_error;
};

// Where a part's level control puts a value asked for: clamped to min..max,
// then kept as asked (Exact) or moved onto the grid min + k * step, to the
// nearest grid point (a tie goes down) or to the one above or below.
enum class Rounding { Exact, Nearest, Up, Down };
extern const std::array<const char*, 4> kRoundingNames;  // "exact", "nearest", "up", "down"

// A per-channel decibel control: endpoint volume, or a part's volume level,
// bass, treble or midrange.
struct LevelState {
  float min = 0;
  float max = 0;
  float step = 0;
  std::vector<float> channels;
  Rounding rounding = Rounding::Exact;  // the endpoint volume's stays Exact
};

// Where a level control with this range and rounding stores `asked` (not NaN).
float SteppedLevel(const LevelState& level, float asked, Rounding rounding);

// The description format's keys of a part's controls. Indices follow
// platform::LevelInterface and platform::SwitchInterface.
constexpr std::size_t kLevelKinds = 4;
constexpr std::size_t kSwitchKinds = 2;
extern const std::array<const char*, kLevelKinds> kLevelKeys;    // "volume", "bass", ...
extern const std::array<const char*, kSwitchKinds> kSwitchKeys;  // "agc", "loudness"

struct PartState {
  std::string id;
  std::string name;
  std::u16string wideName;  // the reader fills it; writers ignore it
  bool isConnector = false;
  // What IPart::GetSubType answers: GUID_NULL unless the description says.
  platform::Guid subtype;
  std::array<std::optional<LevelState>, kLevelKinds> levels;
  std::optional<std::int32_t> mute;
  std::array<std::optional<std::int32_t>, kSwitchKinds> switches;
};

struct AdapterState {
  std::string name;
  std::vector<PartState> parts;
  // Signal direction: from, to; indices into parts.
  std::vector<std::pair<std::size_t, std::size_t>> links;
};

struct PartPlace {
  std::size_t adapter;  // index into Description::adapters
  std::size_t part;     // index into that adapter's parts
  bool operator==(const PartPlace& other) const {
    return adapter == other.adapter && part == other.part;
  }
};

struct EndpointState {
  std::string id;
  std::u16string wideId;  // the reader fills it; writers ignore it
  std::string name;
  std::u16string wideName;  // the reader fills it; writers ignore it
  platform::DataFlow flow = platform::DataFlow::Render;
  std::uint32_t state = platform::kDeviceStateActive;
  bool isDefault = false;
  bool hasTopology = true;
  std::optional<LevelState> volume;
  // The endpoint's master level when the description gives one; without it
  // the master reads as the loudest channel.
  std::optional<float> master;
  std::int32_t mute = 0;  // any 32-bit value a driver holds, only with a volume
  // The adapter connector part this endpoint is joined to.
  std::optional<PartPlace> connector;
};

// Makes matching calls fail. Object paths and operation names are listed in
// docs/sound-system-format.md; both patterns are globs where '*' matches any
// run of characters.
struct FaultRule {
  FaultRule() = default;
  FaultRule(std::string objectGlob, std::string opGlob,
            platform::HRESULT answer = platform::kE_FAIL,
            std::optional<std::uint32_t> onChannel = std::nullopt, std::uint64_t succeedFirst = 0,
            std::uint64_t failTimes = UINT64_MAX)
      : object(std::move(objectGlob)),
        op(std::move(opGlob)),
        result(answer),
        channel(onChannel),
        after(succeedFirst),
        times(failTimes) {}

  std::string object = "*";
  std::string op = "*";
  platform::HRESULT result = platform::kE_FAIL;
  // Restricts the rule to calls with this channel argument.
  std::optional<std::uint32_t> channel;
  // The first `after` matching calls succeed, the next `times` fail.
  std::uint64_t after = 0;
  std::uint64_t times = UINT64_MAX;
  // Further restrictions to one call argument: the interface an Activate asks
  // for ("IAudioMute"), the index of Item, GetPart and GetConnector, the data
  // flow of EnumAudioEndpoints and GetDefaultAudioEndpoint (0 render, 1
  // capture, 2 all) and the endpoint id GetDevice is asked for.
  std::optional<std::string> interfaceName;
  std::optional<std::uint32_t> index;
  std::optional<std::int32_t> flow;
  std::optional<std::string> id;
  // Written to the call's value output (a count, level or switch value) when
  // the rule fires, whatever the result.
  std::optional<double> output;
  // A rule that gives a rounding fails nothing: a SetLevel it fires on runs
  // with this rounding instead of the control's own.
  std::optional<Rounding> rounding;
};

struct Description {
  std::vector<EndpointState> endpoints;
  std::vector<AdapterState> adapters;
  std::vector<FaultRule> faults;
};

// The format's words for device states and flows, both ways.
struct NamedState {
  const char* name;
  std::uint32_t value;
};
extern const std::array<NamedState, 4> kDeviceStates;  // "active", "disabled", ...
const char* StateName(std::uint32_t state);            // "active" for an unnamed state
const char* FlowName(platform::DataFlow flow);         // "render" or "capture"

// The interfaces an Activate can ask for, by the names fault rules use.
using platform::kInterfaceNames;

// Result codes by name ("E_FAIL", platform::kNamedResults) or as hex
// ("0x80004005"); platform::ResultName writes them.
std::optional<platform::HRESULT> ParseResult(const std::string& text);

}  // namespace velto::description
