// The simulated Core Audio objects. Each answers from the engine's world and
// passes every HRESULT call through Engine::Call.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/engine.h"

namespace velto::sim {

namespace p = platform;

class PartObject;
class EndpointConnectorObject;

class EnumeratorObject final : public SimObject<p::DeviceEnumerator> {
 public:
  using SimObject::SimObject;
  HRESULT EnumAudioEndpoints(p::DataFlow flow, std::uint32_t stateMask,
                             p::Ref<p::DeviceCollection>& devices) override;
  HRESULT GetDefaultAudioEndpoint(p::DataFlow flow, p::Role role,
                                  p::Ref<p::Device>& device) override;
  HRESULT GetDevice(const p::WChar* id, p::Ref<p::Device>& device) override;
};

class CollectionObject final : public SimObject<p::DeviceCollection> {
 public:
  CollectionObject(Engine& engine, std::string path, std::vector<DeviceObject*> devices)
      : SimObject(engine, std::move(path)), devices_(std::move(devices)) {}
  HRESULT GetCount(std::uint32_t* count) override;
  HRESULT Item(std::uint32_t index, p::Ref<p::Device>& device) override;

 private:
  std::vector<DeviceObject*> devices_;
};

class PropertyStoreObject final : public SimObject<p::PropertyStore> {
 public:
  PropertyStoreObject(Engine& engine, std::string path, const EndpointState& endpoint)
      : SimObject(engine, std::move(path)), endpoint_(endpoint) {}
  HRESULT GetValue(p::PropertyKey key, p::PropVariantData* value) override;

 private:
  const EndpointState& endpoint_;
};

class EndpointVolumeObject final : public SimObject<p::EndpointVolume> {
 public:
  EndpointVolumeObject(Engine& engine, std::string path, EndpointState& endpoint)
      : SimObject(engine, std::move(path)),
        level_(*endpoint.volume),
        master_(endpoint.master),
        mute_(endpoint.mute) {}
  HRESULT GetChannelCount(std::uint32_t* count) override;
  HRESULT SetMasterVolumeLevel(float levelDb) override;
  HRESULT SetChannelVolumeLevel(std::uint32_t channel, float levelDb) override;
  HRESULT GetMasterVolumeLevel(float* levelDb) override;
  HRESULT GetChannelVolumeLevel(std::uint32_t channel, float* levelDb) override;
  HRESULT SetMute(std::int32_t mute) override;
  HRESULT GetMute(std::int32_t* mute) override;
  HRESULT GetVolumeRange(float* minDb, float* maxDb, float* incrementDb) override;

 private:
  bool Settable(float levelDb) const;
  float Loudest() const;
  LevelState& level_;
  std::optional<float>& master_;  // empty: the master is the loudest channel
  std::int32_t& mute_;
};

class EndpointTopologyObject final : public SimObject<p::DeviceTopology> {
 public:
  EndpointTopologyObject(Engine& engine, std::string path, EndpointConnectorObject* connector)
      : SimObject(engine, std::move(path)), connector_(connector) {}
  HRESULT GetConnectorCount(std::uint32_t* count) override;
  HRESULT GetConnector(std::uint32_t index, p::Ref<p::Connector>& connector) override;

 private:
  EndpointConnectorObject* connector_;
};

// The endpoint side of the joint between an endpoint and its adapter. Like
// every connector it is a part too: named as its endpoint, of its joined
// pin's category, with nothing either side of it in the endpoint's topology.
class EndpointConnectorObject final : public SimObject<p::Connector, p::Part> {
 public:
  EndpointConnectorObject(Engine& engine, std::string path, const EndpointState& endpoint,
                          PartObject* joined)
      : SimObject(engine, std::move(path)), endpoint_(endpoint), joined_(joined) {}
  HRESULT GetConnectedTo(p::Ref<p::Connector>& other) override;
  HRESULT QueryPart(p::Ref<p::Part>& part) override;

  HRESULT GetName(p::TaskString& name) override;
  HRESULT GetSubType(p::Guid* subtype) override;
  HRESULT EnumPartsIncoming(p::Ref<p::PartsList>& parts) override;
  HRESULT EnumPartsOutgoing(p::Ref<p::PartsList>& parts) override;
  HRESULT GetTopologyObject(p::Ref<p::DeviceTopology>& topology) override;
  HRESULT Activate(p::LevelInterface iid, std::uint32_t clsctx,
                   p::Ref<p::LevelControl>& out) override;
  HRESULT Activate(p::SwitchInterface iid, std::uint32_t clsctx,
                   p::Ref<p::SwitchControl>& out) override;
  HRESULT Activate(p::MuteInterface iid, std::uint32_t clsctx,
                   p::Ref<p::MuteControl>& out) override;

  EndpointTopologyObject* topology = nullptr;  // null when the endpoint offers none

 private:
  HRESULT NothingThere(const char* op, HRESULT answer);
  const EndpointState& endpoint_;
  PartObject* joined_;
};

class DeviceObject final : public SimObject<p::Device> {
 public:
  struct Parts {
    PropertyStoreObject* store;
    EndpointVolumeObject* volume;      // null without endpoint volume
    EndpointTopologyObject* topology;  // null when the endpoint offers none
  };
  DeviceObject(Engine& engine, std::string path, const EndpointState& endpoint, Parts parts)
      : SimObject(engine, std::move(path)), endpoint_(endpoint), parts_(parts) {}
  HRESULT Activate(std::uint32_t clsctx, p::Ref<p::DeviceTopology>& out) override;
  HRESULT Activate(std::uint32_t clsctx, p::Ref<p::EndpointVolume>& out) override;
  HRESULT OpenPropertyStore(std::uint32_t access, p::Ref<p::PropertyStore>& store) override;
  HRESULT GetId(p::TaskString& id) override;

  const EndpointState& Endpoint() const { return endpoint_; }

 private:
  const EndpointState& endpoint_;
  Parts parts_;
};

class AdapterTopologyObject final : public SimObject<p::DeviceTopology> {
 public:
  using SimObject::SimObject;
  HRESULT GetConnectorCount(std::uint32_t* count) override;
  HRESULT GetConnector(std::uint32_t index, p::Ref<p::Connector>& connector) override;

  std::vector<PartObject*> connectors;  // the adapter's connector parts, in order
};

class PartsListObject final : public SimObject<p::PartsList> {
 public:
  PartsListObject(Engine& engine, std::string path, std::vector<PartObject*> parts)
      : SimObject(engine, std::move(path)), parts_(std::move(parts)) {}
  HRESULT GetCount(std::uint32_t* count) override;
  HRESULT GetPart(std::uint32_t index, p::Ref<p::Part>& part) override;

 private:
  std::vector<PartObject*> parts_;
};

class LevelControlObject final : public SimObject<p::LevelControl> {
 public:
  LevelControlObject(Engine& engine, std::string path, LevelState& level)
      : SimObject(engine, std::move(path)), level_(level) {}
  HRESULT GetChannelCount(std::uint32_t* count) override;
  HRESULT GetLevelRange(std::uint32_t channel, float* minDb, float* maxDb, float* stepDb) override;
  HRESULT GetLevel(std::uint32_t channel, float* levelDb) override;
  HRESULT SetLevel(std::uint32_t channel, float levelDb) override;

 private:
  LevelState& level_;
};

class MuteControlObject final : public SimObject<p::MuteControl> {
 public:
  MuteControlObject(Engine& engine, std::string path, std::int32_t& mute)
      : SimObject(engine, std::move(path)), mute_(mute) {}
  HRESULT SetMute(std::int32_t mute) override;
  HRESULT GetMute(std::int32_t* mute) override;

 private:
  std::int32_t& mute_;
};

class SwitchControlObject final : public SimObject<p::SwitchControl> {
 public:
  SwitchControlObject(Engine& engine, std::string path, std::int32_t& enabled)
      : SimObject(engine, std::move(path)), enabled_(enabled) {}
  HRESULT GetEnabled(std::int32_t* enabled) override;
  HRESULT SetEnabled(std::int32_t enabled) override;

 private:
  std::int32_t& enabled_;
};

// A part of an adapter topology. Connector parts are reached as IConnector
// too; both interfaces share the one reference count, as in COM.
class PartObject final : public SimObject<p::Part, p::Connector> {
 public:
  PartObject(Engine& engine, std::string path, const PartState& part,
             AdapterTopologyObject* topology)
      : SimObject(engine, std::move(path)), part_(part), topology_(topology) {}

  HRESULT GetName(p::TaskString& name) override;
  HRESULT GetSubType(p::Guid* subtype) override;
  HRESULT EnumPartsIncoming(p::Ref<p::PartsList>& parts) override;
  HRESULT EnumPartsOutgoing(p::Ref<p::PartsList>& parts) override;
  HRESULT GetTopologyObject(p::Ref<p::DeviceTopology>& topology) override;
  HRESULT Activate(p::LevelInterface iid, std::uint32_t clsctx,
                   p::Ref<p::LevelControl>& out) override;
  HRESULT Activate(p::SwitchInterface iid, std::uint32_t clsctx,
                   p::Ref<p::SwitchControl>& out) override;
  HRESULT Activate(p::MuteInterface iid, std::uint32_t clsctx,
                   p::Ref<p::MuteControl>& out) override;
  HRESULT GetConnectedTo(p::Ref<p::Connector>& other) override;
  HRESULT QueryPart(p::Ref<p::Part>& part) override;

  const PartState& State() const { return part_; }
  PartsListObject* incoming = nullptr;  // null when nothing lies that way
  PartsListObject* outgoing = nullptr;
  std::array<LevelControlObject*, kLevelKinds> levels{};
  MuteControlObject* mute = nullptr;
  std::array<SwitchControlObject*, kSwitchKinds> switches{};
  EndpointConnectorObject* joined = nullptr;  // the endpoint joined to this connector

 private:
  HRESULT EnumParts(const char* op, PartsListObject* list, p::Ref<p::PartsList>& parts);
  const PartState& part_;
  AdapterTopologyObject* topology_;
};

}  // namespace velto::sim
