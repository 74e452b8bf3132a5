// A sound-system description held in memory: what the simulation answers
// from and what Dump() writes back. The JSON format is documented in
// docs/sound-system-format.md.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_system.h"

namespace velto::sim {

// A per-channel decibel control: endpoint volume, or a part's volume level,
// bass, treble or midrange.
struct LevelState {
  float min = 0;
  float max = 0;
  float step = 0;
  std::vector<float> channels;
};

// Indices follow platform::LevelInterface and platform::SwitchInterface.
constexpr std::size_t kLevelKinds = 4;
constexpr std::size_t kSwitchKinds = 2;
extern const std::array<const char*, kLevelKinds> kLevelKeys;    // "volume", "bass", ...
extern const std::array<const char*, kSwitchKinds> kSwitchKeys;  // "agc", "loudness"

struct PartState {
  std::string id;
  std::string name;
  std::u16string wideName;
  bool isConnector = false;
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

struct EndpointState {
  std::string id;
  std::u16string wideId;
  std::string name;
  std::u16string wideName;
  platform::DataFlow flow = platform::DataFlow::Render;
  std::uint32_t state = platform::kDeviceStateActive;
  bool isDefault = false;
  bool hasTopology = true;
  std::optional<LevelState> volume;
  std::int32_t mute = 0;  // 0 or 1, only with a volume
  // The adapter connector part this endpoint is joined to.
  std::optional<std::pair<std::size_t, std::size_t>> connector;  // adapter, part
};

struct Description {
  std::vector<EndpointState> endpoints;
  std::vector<AdapterState> adapters;
  std::vector<FaultRule> faults;
};

// Throws DescriptionError naming `source`, the JSON place and the problem.
Description ParseDescription(const nlohmann::json& json, const std::string& source);
nlohmann::json DescriptionToJson(const Description& description);

// A key as one token of a JSON pointer ("~" and "/" escaped).
std::string EscapePointerToken(const std::string& key);

// Result codes by name ("E_FAIL") or as hex ("0x80004005").
std::optional<platform::HRESULT> ParseResult(const std::string& text);
std::string ResultName(platform::HRESULT result);  // "E_FAIL", or hex when unnamed

}  // namespace velto::sim
