// How platform values read wherever they are shown: result codes,
// interfaces and flows by name, numbers in hex, text quoted. One home, so
// that traces, descriptions and messages spell them alike.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/platform.h"

namespace velto::platform {

struct NamedResult {
  HRESULT value;
  const char* name;
};

// The result codes known by name; descriptions take these names and traces
// show them.
inline constexpr NamedResult kNamedResults[] = {
    {kS_OK, "S_OK"},
    {kS_FALSE, "S_FALSE"},
    {kINPLACE_S_TRUNCATED, "INPLACE_S_TRUNCATED"},
    {kE_NOTIMPL, "E_NOTIMPL"},
    {kE_NOINTERFACE, "E_NOINTERFACE"},
    {kE_POINTER, "E_POINTER"},
    {static_cast<HRESULT>(0x80004004u), "E_ABORT"},
    {kE_FAIL, "E_FAIL"},
    {static_cast<HRESULT>(0x8000FFFFu), "E_UNEXPECTED"},
    {static_cast<HRESULT>(0x80020005u), "DISP_E_TYPEMISMATCH"},
    {static_cast<HRESULT>(0x80040154u), "REGDB_E_CLASSNOTREG"},
    {static_cast<HRESULT>(0x800401F0u), "CO_E_NOTINITIALIZED"},
    {kRPC_E_CHANGED_MODE, "RPC_E_CHANGED_MODE"},
    {kHrInvalidFunction, "ERROR_INVALID_FUNCTION"},
    {kHrPathNotFound, "ERROR_PATH_NOT_FOUND"},
    {static_cast<HRESULT>(0x80070005u), "E_ACCESSDENIED"},
    {kE_OUTOFMEMORY, "E_OUTOFMEMORY"},
    {kE_INVALIDARG, "E_INVALIDARG"},
    {kE_NOTFOUND, "E_NOTFOUND"},
    {kAUDCLNT_E_DEVICE_INVALIDATED, "AUDCLNT_E_DEVICE_INVALIDATED"},
};

// Interfaces by their Core Audio names, in the order of their enums.
inline constexpr const char* kDeviceTopologyName = "IDeviceTopology";
inline constexpr const char* kEndpointVolumeName = "IAudioEndpointVolume";
inline constexpr const char* kLevelInterfaceNames[] = {"IAudioVolumeLevel", "IAudioBass",
                                                       "IAudioTreble", "IAudioMidrange"};
inline constexpr const char* kSwitchInterfaceNames[] = {"IAudioAutoGainControl", "IAudioLoudness"};
inline constexpr const char* kMuteInterfaceName = "IAudioMute";

constexpr const char* InterfaceName(LevelInterface iid) {
  return kLevelInterfaceNames[static_cast<int>(iid)];
}
constexpr const char* InterfaceName(SwitchInterface iid) {
  return kSwitchInterfaceNames[static_cast<int>(iid)];
}
constexpr const char* InterfaceName(MuteInterface) { return kMuteInterfaceName; }

// Every interface an Activate can ask for: the names a fault rule may aim at.
inline constexpr std::array<const char*, 9> kInterfaceNames = {
    kDeviceTopologyName,      kEndpointVolumeName,      kLevelInterfaceNames[0],
    kLevelInterfaceNames[1],  kLevelInterfaceNames[2],  kLevelInterfaceNames[3],
    kSwitchInterfaceNames[0], kSwitchInterfaceNames[1], kMuteInterfaceName};

// A flow (eAll, 2, included) in two spellings: the word descriptions and the
// simulator's trace use, and the constant's name the tracer shows.
struct NamedFlow {
  const char* word;
  const char* constant;
};
inline constexpr NamedFlow kFlowNames[] = {
    {"render", "eRender"}, {"capture", "eCapture"}, {"all", "eAll"}};
constexpr int kAllFlows = 2;

// "render", "capture", "all"; null for a value no flow has.
constexpr const char* FlowText(int flow) {
  return flow >= 0 && flow <= kAllFlows ? kFlowNames[flow].word : nullptr;
}
constexpr const char* FlowText(DataFlow flow) { return FlowText(static_cast<int>(flow)); }
// "eRender", "eCapture", "eAll"; null for a value no flow has.
constexpr const char* FlowConstant(DataFlow flow) {
  const int value = static_cast<int>(flow);
  return value >= 0 && value <= kAllFlows ? kFlowNames[value].constant : nullptr;
}

// "0x" and at least `digits` upper-case hex digits: "0x80004005", "0x17".
inline std::string HexText(std::uint32_t value, int digits = 8) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%0*X", digits, static_cast<unsigned>(value));
  return buffer;
}

// "E_FAIL"; a code without a name in hex, eight digits.
inline std::string ResultName(HRESULT result) {
  for (const NamedResult& named : kNamedResults) {
    if (named.value == result) return named.name;
  }
  return HexText(static_cast<std::uint32_t>(result));
}

inline std::optional<HRESULT> ResultByName(std::string_view name) {
  for (const NamedResult& named : kNamedResults) {
    if (name == named.name) return named.value;
  }
  return std::nullopt;
}

// Text in double quotes, one line whatever it holds: printable ASCII but
// `"` and `\` as it is, every other code unit as \xNN (narrow text) or
// \uNNNN (UTF-16).
template <class Unit>
std::string Quoted(const Unit* text, std::size_t length) {
  static_assert(sizeof(Unit) <= 2);
  std::string out = "\"";
  for (std::size_t i = 0; i < length; ++i) {
    const auto unit = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<Unit>>(text[i]));
    if (unit >= 0x20 && unit < 0x7F && unit != '"' && unit != '\\') {
      out += static_cast<char>(unit);
      continue;
    }
    char escape[8];
    std::snprintf(escape, sizeof escape, sizeof(Unit) == 1 ? "\\x%02X" : "\\u%04X",
                  static_cast<unsigned>(unit));
    out += escape;
  }
  return out + "\"";
}

// Text in double quotes as it is, for messages that show a name whole
// (UTF-8) rather than one line per value as Quoted does.
inline std::string InQuotes(std::string_view text) {
  std::string out = "\"";
  out += text;
  return out + "\"";
}

}  // namespace velto::platform
