#include "platform/sim/objects.h"

#include <algorithm>
#include <cmath>

#include "platform/description/text.h"
#include "platform/node_types.h"
#include "platform/readable.h"

namespace velto::sim {
namespace {

using description::FormatFloat;
using description::Utf16ToUtf8;
using platform::HexText;

using p::kE_INVALIDARG;
using p::kE_NOINTERFACE;
using p::kE_NOTFOUND;
using p::kE_POINTER;
using p::kS_FALSE;
using p::kS_OK;

// Trace text: the arguments, then "-> output" when the call produced one.
std::string Args(std::string arguments, bool produced = false, const std::string& output = {}) {
  if (!produced || output.empty()) return arguments;
  return arguments.empty() ? "-> " + output : arguments + " -> " + output;
}

std::string Number(std::uint64_t value) { return std::to_string(value); }
std::string Channel(std::uint32_t channel) { return "channel=" + Number(channel); }
std::string Clsctx(std::uint32_t clsctx) { return "clsctx=" + HexText(clsctx); }
std::string Quote(const std::u16string& text) { return p::InQuotes(Utf16ToUtf8(text)); }

const char* FlowName(int flow) {
  const char* word = p::FlowText(flow);
  return word ? word : "invalid";
}

std::u16string WideString(const p::WChar* text) {
  std::u16string out;
  for (; *text; ++text) out += *text;
  return out;
}

}  // namespace

// --- What every part answers ---------------------------------------------------

HRESULT ObjectBase::AnswerName(const std::u16string& text, p::TaskString& name) {
  return CallOut(
      "GetName", name,
      [&]() -> HRESULT {
        if (engine_.FailsPlainCall(Path(), "CoTaskMemAlloc")) return p::kE_OUTOFMEMORY;
        name = p::TaskString(engine_.owner, engine_.taskMemory.Allocate(text.data(), text.size()));
        return kS_OK;
      },
      [&](bool produced) { return Args("", produced, Quote(text)); });
}

HRESULT ObjectBase::AnswerSubType(const p::Guid& value, p::Guid* subtype) {
  return Call(
      "GetSubType", {},
      [&]() -> HRESULT {
        if (!subtype) return kE_POINTER;
        *subtype = value;
        return kS_OK;
      },
      [&](bool produced) { return Args("", produced, produced ? p::SubTypeText(*subtype) : ""); });
}

// --- IMMDeviceEnumerator, IMMDeviceCollection ---------------------------------

HRESULT EnumeratorObject::EnumAudioEndpoints(p::DataFlow flow, std::uint32_t stateMask,
                                             p::Ref<p::DeviceCollection>& devices) {
  const int flowValue = static_cast<int>(flow);
  return CallOut(
      "EnumAudioEndpoints", devices,
      [&]() -> HRESULT {
        if (flowValue < 0 || flowValue > 2 || stateMask == 0 || stateMask > 0xF)
          return kE_INVALIDARG;
        Hand(devices, engine_.CollectionFor(flowValue, stateMask));
        return kS_OK;
      },
      [&](bool) {
        return std::string("flow=") + FlowName(flowValue) + " stateMask=" + HexText(stateMask);
      },
      CallArgs::Flow(flowValue));
}

HRESULT EnumeratorObject::GetDefaultAudioEndpoint(p::DataFlow flow, p::Role role,
                                                  p::Ref<p::Device>& device) {
  const int flowValue = static_cast<int>(flow);
  const int roleValue = static_cast<int>(role);
  return CallOut(
      "GetDefaultAudioEndpoint", device,
      [&]() -> HRESULT {
        if (flowValue < 0 || flowValue > 1 || roleValue < 0 || roleValue > 2) return kE_INVALIDARG;
        for (std::size_t i = 0; i < engine_.devices.size(); ++i) {
          DeviceObject* candidate = engine_.devices[i];
          const EndpointState& endpoint = candidate->Endpoint();
          if (engine_.removed[i]) continue;
          if (static_cast<int>(endpoint.flow) != flowValue || !endpoint.isDefault) continue;
          if (endpoint.state != p::kDeviceStateActive) return kE_NOTFOUND;
          Hand(device, candidate);
          return kS_OK;
        }
        return kE_NOTFOUND;
      },
      [&](bool produced) {
        return Args(std::string("flow=") + FlowName(flowValue) + " role=" + Number(roleValue),
                    produced, produced ? static_cast<DeviceObject*>(device.Get())->Path() : "");
      },
      CallArgs::Flow(flowValue));
}

HRESULT EnumeratorObject::GetDevice(const p::WChar* id, p::Ref<p::Device>& device) {
  CallArgs args;
  if (id) args.id = Utf16ToUtf8(WideString(id));
  return CallOut(
      "GetDevice", device,
      [&]() -> HRESULT {
        if (!id) return kE_POINTER;
        const std::u16string wanted = WideString(id);
        for (std::size_t i = 0; i < engine_.devices.size(); ++i) {
          DeviceObject* candidate = engine_.devices[i];
          if (engine_.removed[i] || candidate->Endpoint().wideId != wanted) continue;
          Hand(device, candidate);
          return kS_OK;
        }
        return kE_NOTFOUND;
      },
      [&](bool) { return id ? "id=" + Quote(WideString(id)) : std::string("id=null"); }, args);
}

HRESULT CollectionObject::GetCount(std::uint32_t* count) {
  return Call(
      "GetCount", CallArgs::Output(count),
      [&]() -> HRESULT {
        if (!count) return kE_POINTER;
        *count = static_cast<std::uint32_t>(devices_.size());
        return kS_OK;
      },
      [&](bool produced) { return Args("", produced, produced ? Number(*count) : ""); });
}

HRESULT CollectionObject::Item(std::uint32_t index, p::Ref<p::Device>& device) {
  return CallOut(
      "Item", device,
      [&]() -> HRESULT {
        if (index >= devices_.size()) return kE_INVALIDARG;
        Hand(device, devices_[index]);
        return kS_OK;
      },
      [&](bool produced) {
        return Args("index=" + Number(index), produced, produced ? devices_[index]->Path() : "");
      },
      CallArgs::Index(index));
}

// --- IMMDevice, IPropertyStore -----------------------------------------------------

HRESULT DeviceObject::Activate(std::uint32_t clsctx, p::Ref<p::DeviceTopology>& out) {
  return CallOut(
      "Activate", out,
      [&]() -> HRESULT {
        if (!parts_.topology) return kE_NOINTERFACE;
        Hand(out, parts_.topology);
        return kS_OK;
      },
      [&](bool) { return "iid=IDeviceTopology " + Clsctx(clsctx); },
      CallArgs::Interface(p::kDeviceTopologyName));
}

HRESULT DeviceObject::Activate(std::uint32_t clsctx, p::Ref<p::EndpointVolume>& out) {
  return CallOut(
      "Activate", out,
      [&]() -> HRESULT {
        if (!parts_.volume) return kE_NOINTERFACE;
        Hand(out, parts_.volume);
        return kS_OK;
      },
      [&](bool) { return "iid=IAudioEndpointVolume " + Clsctx(clsctx); },
      CallArgs::Interface(p::kEndpointVolumeName));
}

HRESULT DeviceObject::OpenPropertyStore(std::uint32_t access, p::Ref<p::PropertyStore>& store) {
  return CallOut(
      "OpenPropertyStore", store,
      [&]() -> HRESULT {
        if (access > 2) return kE_INVALIDARG;  // STGM_READ, STGM_WRITE, STGM_READWRITE
        Hand(store, parts_.store);
        return kS_OK;
      },
      [&](bool) { return "access=" + Number(access); });
}

HRESULT DeviceObject::GetId(p::TaskString& id) {
  return CallOut(
      "GetId", id,
      [&]() -> HRESULT {
        if (engine_.FailsPlainCall(Path(), "CoTaskMemAlloc")) return p::kE_OUTOFMEMORY;
        const std::u16string& text = endpoint_.wideId;
        id = p::TaskString(engine_.owner, engine_.taskMemory.Allocate(text.data(), text.size()));
        return kS_OK;
      },
      [&](bool produced) { return Args("", produced, Quote(endpoint_.wideId)); });
}

HRESULT PropertyStoreObject::GetValue(p::PropertyKey key, p::PropVariantData* value) {
  return Call(
      "GetValue", std::nullopt,
      [&]() -> HRESULT {
        if (!value) return kE_POINTER;
        if (key != p::PropertyKey::DeviceFriendlyName) return kE_INVALIDARG;
        WriteVariant(*value, kVtLpwstr, engine_.propVariants.Allocate(endpoint_.wideName));
        return kS_OK;
      },
      [&](bool produced) {
        return Args(
            "key=PKEY_Device_FriendlyName", produced,
            produced ? "handle " + Number(VariantHandle(*value)) + " " + Quote(endpoint_.wideName)
                     : "");
      });
}

// --- IAudioEndpointVolume -------------------------------------------------------------

bool EndpointVolumeObject::Settable(float levelDb) const {
  return !std::isnan(levelDb) && levelDb >= level_.min && levelDb <= level_.max;
}

HRESULT EndpointVolumeObject::GetChannelCount(std::uint32_t* count) {
  return Call(
      "GetChannelCount", CallArgs::Output(count),
      [&]() -> HRESULT {
        if (!count) return kE_POINTER;
        *count = static_cast<std::uint32_t>(level_.channels.size());
        return kS_OK;
      },
      [&](bool produced) { return Args("", produced, produced ? Number(*count) : ""); });
}

HRESULT EndpointVolumeObject::SetMasterVolumeLevel(float levelDb) {
  return Call(
      "SetMasterVolumeLevel", std::nullopt,
      [&]() -> HRESULT {
        if (!Settable(levelDb)) return kE_INVALIDARG;
        // Every channel moves by the same amount, so the balance between them
        // survives; the loudest takes the new level exactly.
        if (!level_.channels.empty()) {
          const float loudest = Loudest();
          const double shift = static_cast<double>(levelDb) - loudest;
          for (float& channel : level_.channels) {
            const auto moved = static_cast<float>(channel + shift);
            channel = channel == loudest ? levelDb : std::clamp(moved, level_.min, level_.max);
          }
        }
        if (master_) master_ = levelDb;
        return kS_OK;
      },
      [&](bool) { return "level=" + FormatFloat(levelDb); });
}

HRESULT EndpointVolumeObject::SetChannelVolumeLevel(std::uint32_t channel, float levelDb) {
  return Call(
      "SetChannelVolumeLevel", channel,
      [&]() -> HRESULT {
        if (channel >= level_.channels.size() || !Settable(levelDb)) return kE_INVALIDARG;
        level_.channels[channel] = levelDb;
        return kS_OK;
      },
      [&](bool) { return Channel(channel) + " level=" + FormatFloat(levelDb); });
}

float EndpointVolumeObject::Loudest() const {
  if (level_.channels.empty()) return level_.min;
  return *std::max_element(level_.channels.begin(), level_.channels.end());
}

HRESULT EndpointVolumeObject::GetMasterVolumeLevel(float* levelDb) {
  return Call(
      "GetMasterVolumeLevel", CallArgs::Output(levelDb),
      [&]() -> HRESULT {
        if (!levelDb) return kE_POINTER;
        *levelDb = master_ ? *master_ : Loudest();
        return kS_OK;
      },
      [&](bool produced) { return Args("", produced, produced ? FormatFloat(*levelDb) : ""); });
}

HRESULT EndpointVolumeObject::GetChannelVolumeLevel(std::uint32_t channel, float* levelDb) {
  CallArgs args = CallArgs::Output(levelDb);
  args.channel = channel;
  return Call(
      "GetChannelVolumeLevel", args,
      [&]() -> HRESULT {
        if (!levelDb) return kE_POINTER;
        if (channel >= level_.channels.size()) return kE_INVALIDARG;
        *levelDb = level_.channels[channel];
        return kS_OK;
      },
      [&](bool produced) {
        return Args(Channel(channel), produced, produced ? FormatFloat(*levelDb) : "");
      });
}

HRESULT EndpointVolumeObject::SetMute(std::int32_t mute) {
  return Call(
      "SetMute", std::nullopt,
      [&]() -> HRESULT {
        if (mute == mute_) return kS_FALSE;
        mute_ = mute;
        return kS_OK;
      },
      [&](bool) { return "mute=" + std::to_string(mute); });
}

HRESULT EndpointVolumeObject::GetMute(std::int32_t* mute) {
  return Call(
      "GetMute", CallArgs::Output(mute),
      [&]() -> HRESULT {
        if (!mute) return kE_POINTER;
        *mute = mute_;
        return kS_OK;
      },
      [&](bool produced) { return Args("", produced, produced ? std::to_string(*mute) : ""); });
}

HRESULT EndpointVolumeObject::GetVolumeRange(float* minDb, float* maxDb, float* incrementDb) {
  return Call(
      "GetVolumeRange", std::nullopt,
      [&]() -> HRESULT {
        if (!minDb || !maxDb || !incrementDb) return kE_POINTER;
        *minDb = level_.min;
        *maxDb = level_.max;
        *incrementDb = level_.step;
        return kS_OK;
      },
      [&](bool produced) {
        return Args("", produced,
                    produced ? FormatFloat(*minDb) + ".." + FormatFloat(*maxDb) + " step " +
                                   FormatFloat(*incrementDb)
                             : "");
      });
}

// --- Topology: IDeviceTopology, IConnector -----------------------------------------------

HRESULT EndpointTopologyObject::GetConnectorCount(std::uint32_t* count) {
  return Call(
      "GetConnectorCount", CallArgs::Output(count),
      [&]() -> HRESULT {
        if (!count) return kE_POINTER;
        *count = 1;
        return kS_OK;
      },
      [&](bool produced) { return Args("", produced, "1"); });
}

HRESULT EndpointTopologyObject::GetConnector(std::uint32_t index, p::Ref<p::Connector>& connector) {
  return CallOut(
      "GetConnector", connector,
      [&]() -> HRESULT {
        if (index != 0) return kE_INVALIDARG;
        Hand(connector, connector_);
        return kS_OK;
      },
      [&](bool) { return "index=" + Number(index); }, CallArgs::Index(index));
}

HRESULT EndpointConnectorObject::GetConnectedTo(p::Ref<p::Connector>& other) {
  return CallOut(
      "GetConnectedTo", other,
      [&]() -> HRESULT {
        if (!joined_) return kE_NOTFOUND;
        Hand<p::Connector>(other, joined_);
        return kS_OK;
      },
      [&](bool produced) { return Args("", produced, produced ? joined_->Path() : ""); });
}

HRESULT EndpointConnectorObject::QueryPart(p::Ref<p::Part>& part) {
  return CallOut(
      "QueryPart", part,
      [&]() -> HRESULT {
        Hand<p::Part>(part, this);
        return kS_OK;
      },
      [&](bool) { return ""; });
}

HRESULT EndpointConnectorObject::GetName(p::TaskString& name) {
  return AnswerName(endpoint_.wideName, name);
}

HRESULT EndpointConnectorObject::GetSubType(p::Guid* subtype) {
  return AnswerSubType(joined_ ? joined_->State().subtype : p::Guid{}, subtype);
}

HRESULT EndpointConnectorObject::NothingThere(const char* op, HRESULT answer) {
  return Call(op, {}, [&]() -> HRESULT { return answer; }, [&](bool) { return ""; });
}

HRESULT EndpointConnectorObject::EnumPartsIncoming(p::Ref<p::PartsList>&) {
  return NothingThere("EnumPartsIncoming", kE_NOTFOUND);
}
HRESULT EndpointConnectorObject::EnumPartsOutgoing(p::Ref<p::PartsList>&) {
  return NothingThere("EnumPartsOutgoing", kE_NOTFOUND);
}
HRESULT EndpointConnectorObject::Activate(p::LevelInterface, std::uint32_t,
                                          p::Ref<p::LevelControl>&) {
  return NothingThere("Activate", kE_NOINTERFACE);
}
HRESULT EndpointConnectorObject::Activate(p::SwitchInterface, std::uint32_t,
                                          p::Ref<p::SwitchControl>&) {
  return NothingThere("Activate", kE_NOINTERFACE);
}
HRESULT EndpointConnectorObject::Activate(p::MuteInterface, std::uint32_t,
                                          p::Ref<p::MuteControl>&) {
  return NothingThere("Activate", kE_NOINTERFACE);
}

HRESULT EndpointConnectorObject::GetTopologyObject(p::Ref<p::DeviceTopology>& out) {
  return CallOut(
      "GetTopologyObject", out,
      [&]() -> HRESULT {
        if (!topology) return kE_NOTFOUND;
        Hand(out, topology);
        return kS_OK;
      },
      [&](bool) { return ""; });
}

HRESULT AdapterTopologyObject::GetConnectorCount(std::uint32_t* count) {
  return Call(
      "GetConnectorCount", CallArgs::Output(count),
      [&]() -> HRESULT {
        if (!count) return kE_POINTER;
        *count = static_cast<std::uint32_t>(connectors.size());
        return kS_OK;
      },
      [&](bool produced) { return Args("", produced, produced ? Number(*count) : ""); });
}

HRESULT AdapterTopologyObject::GetConnector(std::uint32_t index, p::Ref<p::Connector>& connector) {
  return CallOut(
      "GetConnector", connector,
      [&]() -> HRESULT {
        if (index >= connectors.size()) return kE_INVALIDARG;
        Hand<p::Connector>(connector, connectors[index]);
        return kS_OK;
      },
      [&](bool produced) {
        return Args("index=" + Number(index), produced, produced ? connectors[index]->Path() : "");
      },
      CallArgs::Index(index));
}

// --- IPartsList, IPart -----------------------------------------------------------------

HRESULT PartsListObject::GetCount(std::uint32_t* count) {
  return Call(
      "GetCount", CallArgs::Output(count),
      [&]() -> HRESULT {
        if (!count) return kE_POINTER;
        *count = static_cast<std::uint32_t>(parts_.size());
        return kS_OK;
      },
      [&](bool produced) { return Args("", produced, produced ? Number(*count) : ""); });
}

HRESULT PartsListObject::GetPart(std::uint32_t index, p::Ref<p::Part>& part) {
  return CallOut(
      "GetPart", part,
      [&]() -> HRESULT {
        if (index >= parts_.size()) return kE_INVALIDARG;
        Hand<p::Part>(part, parts_[index]);
        return kS_OK;
      },
      [&](bool produced) {
        return Args("index=" + Number(index), produced, produced ? parts_[index]->Path() : "");
      },
      CallArgs::Index(index));
}

HRESULT PartObject::GetName(p::TaskString& name) { return AnswerName(part_.wideName, name); }

HRESULT PartObject::GetSubType(p::Guid* subtype) { return AnswerSubType(part_.subtype, subtype); }

HRESULT PartObject::EnumParts(const char* op, PartsListObject* list, p::Ref<p::PartsList>& parts) {
  return CallOut(
      op, parts,
      [&]() -> HRESULT {
        if (!list) return kE_NOTFOUND;
        Hand(parts, list);
        return kS_OK;
      },
      [&](bool) { return ""; });
}

HRESULT PartObject::EnumPartsIncoming(p::Ref<p::PartsList>& parts) {
  return EnumParts("EnumPartsIncoming", incoming, parts);
}

HRESULT PartObject::EnumPartsOutgoing(p::Ref<p::PartsList>& parts) {
  return EnumParts("EnumPartsOutgoing", outgoing, parts);
}

HRESULT PartObject::GetTopologyObject(p::Ref<p::DeviceTopology>& topology) {
  return CallOut(
      "GetTopologyObject", topology,
      [&]() -> HRESULT {
        Hand(topology, topology_);
        return kS_OK;
      },
      [&](bool) { return ""; });
}

HRESULT PartObject::Activate(p::LevelInterface iid, std::uint32_t clsctx,
                             p::Ref<p::LevelControl>& out) {
  return CallOut(
      "Activate", out,
      [&]() -> HRESULT {
        LevelControlObject* control = levels[static_cast<std::size_t>(iid)];
        if (!control) return kE_NOINTERFACE;
        Hand(out, control);
        return kS_OK;
      },
      [&](bool) { return std::string("iid=") + p::InterfaceName(iid) + " " + Clsctx(clsctx); },
      CallArgs::Interface(p::InterfaceName(iid)));
}

HRESULT PartObject::Activate(p::SwitchInterface iid, std::uint32_t clsctx,
                             p::Ref<p::SwitchControl>& out) {
  return CallOut(
      "Activate", out,
      [&]() -> HRESULT {
        SwitchControlObject* control = switches[static_cast<std::size_t>(iid)];
        if (!control) return kE_NOINTERFACE;
        Hand(out, control);
        return kS_OK;
      },
      [&](bool) { return std::string("iid=") + p::InterfaceName(iid) + " " + Clsctx(clsctx); },
      CallArgs::Interface(p::InterfaceName(iid)));
}

HRESULT PartObject::Activate(p::MuteInterface, std::uint32_t clsctx, p::Ref<p::MuteControl>& out) {
  return CallOut(
      "Activate", out,
      [&]() -> HRESULT {
        if (!mute) return kE_NOINTERFACE;
        Hand(out, mute);
        return kS_OK;
      },
      [&](bool) { return std::string("iid=") + p::kMuteInterfaceName + " " + Clsctx(clsctx); },
      CallArgs::Interface(p::kMuteInterfaceName));
}

HRESULT PartObject::GetConnectedTo(p::Ref<p::Connector>& other) {
  return CallOut(
      "GetConnectedTo", other,
      [&]() -> HRESULT {
        if (!joined) return kE_NOTFOUND;
        Hand(other, joined);
        return kS_OK;
      },
      [&](bool produced) { return Args("", produced, produced ? joined->Path() : ""); });
}

HRESULT PartObject::QueryPart(p::Ref<p::Part>& part) {
  return CallOut(
      "QueryPart", part,
      [&]() -> HRESULT {
        Hand<p::Part>(part, this);
        return kS_OK;
      },
      [&](bool) { return ""; });
}

// --- Part controls ---------------------------------------------------------------------

HRESULT LevelControlObject::GetChannelCount(std::uint32_t* count) {
  return Call(
      "GetChannelCount", CallArgs::Output(count),
      [&]() -> HRESULT {
        if (!count) return kE_POINTER;
        *count = static_cast<std::uint32_t>(level_.channels.size());
        return kS_OK;
      },
      [&](bool produced) { return Args("", produced, produced ? Number(*count) : ""); });
}

HRESULT LevelControlObject::GetLevelRange(std::uint32_t channel, float* minDb, float* maxDb,
                                          float* stepDb) {
  return Call(
      "GetLevelRange", channel,
      [&]() -> HRESULT {
        if (!minDb || !maxDb || !stepDb) return kE_POINTER;
        if (channel >= level_.channels.size()) return kE_INVALIDARG;
        *minDb = level_.min;
        *maxDb = level_.max;
        *stepDb = level_.step;
        return kS_OK;
      },
      [&](bool produced) {
        return Args(Channel(channel), produced,
                    produced ? FormatFloat(*minDb) + ".." + FormatFloat(*maxDb) + " step " +
                                   FormatFloat(*stepDb)
                             : "");
      });
}

HRESULT LevelControlObject::GetLevel(std::uint32_t channel, float* levelDb) {
  CallArgs args = CallArgs::Output(levelDb);
  args.channel = channel;
  return Call(
      "GetLevel", args,
      [&]() -> HRESULT {
        if (!levelDb) return kE_POINTER;
        if (channel >= level_.channels.size()) return kE_INVALIDARG;
        *levelDb = level_.channels[channel];
        return kS_OK;
      },
      [&](bool produced) {
        return Args(Channel(channel), produced, produced ? FormatFloat(*levelDb) : "");
      });
}

HRESULT LevelControlObject::SetLevel(std::uint32_t channel, float levelDb) {
  return Call(
      "SetLevel", channel,
      [&](std::optional<Rounding> ruleRounding) -> HRESULT {
        if (channel >= level_.channels.size() || std::isnan(levelDb)) return kE_INVALIDARG;
        level_.channels[channel] =
            description::SteppedLevel(level_, levelDb, ruleRounding.value_or(level_.rounding));
        return kS_OK;
      },
      [&](bool produced) {
        return Args(Channel(channel) + " level=" + FormatFloat(levelDb), produced,
                    produced ? FormatFloat(level_.channels[channel]) : "");
      });
}

HRESULT MuteControlObject::SetMute(std::int32_t mute) {
  return Call(
      "SetMute", std::nullopt,
      [&]() -> HRESULT {
        mute_ = mute;
        return kS_OK;
      },
      [&](bool) { return "mute=" + std::to_string(mute); });
}

HRESULT MuteControlObject::GetMute(std::int32_t* mute) {
  return Call(
      "GetMute", CallArgs::Output(mute),
      [&]() -> HRESULT {
        if (!mute) return kE_POINTER;
        *mute = mute_;
        return kS_OK;
      },
      [&](bool produced) { return Args("", produced, produced ? std::to_string(*mute) : ""); });
}

HRESULT SwitchControlObject::GetEnabled(std::int32_t* enabled) {
  return Call(
      "GetEnabled", CallArgs::Output(enabled),
      [&]() -> HRESULT {
        if (!enabled) return kE_POINTER;
        *enabled = enabled_;
        return kS_OK;
      },
      [&](bool produced) { return Args("", produced, produced ? std::to_string(*enabled) : ""); });
}

HRESULT SwitchControlObject::SetEnabled(std::int32_t enabled) {
  return Call(
      "SetEnabled", std::nullopt,
      [&]() -> HRESULT {
        enabled_ = enabled;
        return kS_OK;
      },
      [&](bool) { return "enabled=" + std::to_string(enabled); });
}

}  // namespace velto::sim
