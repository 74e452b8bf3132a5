#include <string>
#include <tuple>
#include <vector>

#include "platform/node_types.h"
#include "sim_fixture.h"

namespace velto::sim::testing {
namespace {

using nlohmann::json;
using Names = std::vector<std::string>;

class TopologyTest : public SimTest {
 protected:
  Ref<DeviceTopology> Adapter() {
    Ref<DeviceTopology> adapter;
    EXPECT_EQ(AdapterConnectorPart(kSpeakers)->GetTopologyObject(adapter), kS_OK);
    return adapter;
  }
  Ref<Part> First(Part& part, bool incoming) {
    Ref<PartsList> list;
    Ref<Part> first;
    EXPECT_EQ(incoming ? part.EnumPartsIncoming(list) : part.EnumPartsOutgoing(list), kS_OK);
    EXPECT_EQ(list->GetPart(0, first), kS_OK);
    return first;
  }
};

TEST_F(TopologyTest, EndpointTopologyHasOneConnectorJoinedToTheAdapter) {
  Ref<DeviceTopology> topology = EndpointTopology(kSpeakers);
  std::uint32_t count = 0;
  ASSERT_EQ(topology->GetConnectorCount(&count), kS_OK);
  EXPECT_EQ(count, 1u);
  Ref<Connector> own;
  EXPECT_EQ(topology->GetConnector(1, own), kE_INVALIDARG);
  ASSERT_EQ(topology->GetConnector(0, own), kS_OK);
  // Every connector is a part, the endpoint's own too.
  Ref<Part> ownPart;
  ASSERT_EQ(own->QueryPart(ownPart), kS_OK);
  EXPECT_EQ(PartName(*ownPart), "Speakers (Velto HD Audio)");
  Ref<DeviceTopology> ownTopology;
  ASSERT_EQ(ownPart->GetTopologyObject(ownTopology), kS_OK);
  EXPECT_EQ(ownTopology->Identity(), topology->Identity());

  Ref<Connector> adapterSide;
  ASSERT_EQ(own->GetConnectedTo(adapterSide), kS_OK);
  Ref<Part> part;
  ASSERT_EQ(adapterSide->QueryPart(part), kS_OK);
  EXPECT_EQ(PartName(*part), "Speaker Out");

  // And back again: the adapter connector leads to the same endpoint connector.
  Ref<Connector> back;
  ASSERT_EQ(adapterSide->GetConnectedTo(back), kS_OK);
  EXPECT_EQ(back.Get(), own.Get());
}

TEST_F(TopologyTest, UnjoinedConnectorsAreNotConnected) {
  json description = sys_->Dump();
  description["endpoints"][1]["connector"] = nullptr;  // the digital output
  Load(description);
  Ref<Connector> own;
  Ref<Connector> other;
  ASSERT_EQ(EndpointTopology(kDigital)->GetConnector(0, own), kS_OK);
  EXPECT_EQ(own->GetConnectedTo(other), kE_NOTFOUND);
  EXPECT_FALSE(other);

  Ref<Connector> spdif;
  ASSERT_EQ(Adapter()->GetConnector(1, spdif), kS_OK);
  EXPECT_EQ(spdif->GetConnectedTo(other), kE_NOTFOUND);
}

TEST_F(TopologyTest, AdapterConnectorsInDescriptionOrder) {
  Ref<DeviceTopology> adapter = Adapter();
  std::uint32_t count = 0;
  ASSERT_EQ(adapter->GetConnectorCount(&count), kS_OK);
  Names names;
  for (std::uint32_t i = 0; i < count; ++i) {
    Ref<Connector> connector;
    Ref<Part> part;
    ASSERT_EQ(adapter->GetConnector(i, connector), kS_OK);
    ASSERT_EQ(connector->QueryPart(part), kS_OK);
    names.push_back(PartName(*part));
  }
  EXPECT_EQ(names, (Names{"Speaker Out", "SPDIF Out", "Headphone Out", "Line In", "Mic In", "Wave",
                          "Line Capture", "Mic Capture"}));
  Ref<Connector> none;
  EXPECT_EQ(adapter->GetConnector(count, none), kE_INVALIDARG);
  // Every part reports the same adapter topology.
  Ref<DeviceTopology> fromSubunit;
  ASSERT_EQ(PartNamed("Mic Boost")->GetTopologyObject(fromSubunit), kS_OK);
  EXPECT_EQ(fromSubunit.Get(), adapter.Get());
}

TEST_F(TopologyTest, PartListsFollowLinkOrderAndFailWhenEmpty) {
  EXPECT_EQ(Neighbours(*PartNamed("Output Mixer"), true),
            (Names{"Line In Mute", "Mic Mute", "Wave Mute"}));
  EXPECT_EQ(Neighbours(*PartNamed("Output Mixer"), false), (Names{"Tone Controls", "SPDIF Out"}));
  EXPECT_EQ(Neighbours(*PartNamed("Line In"), false),
            (Names{"Line Capture Volume", "Line In Volume"}));
  Ref<PartsList> list;
  EXPECT_EQ(PartNamed("Line In")->EnumPartsIncoming(list), kE_NOTFOUND);
  EXPECT_FALSE(list);
  EXPECT_EQ(PartNamed("Mic Capture")->EnumPartsOutgoing(list), kE_NOTFOUND);
  ASSERT_EQ(PartNamed("Wave")->EnumPartsOutgoing(list), kS_OK);
  Ref<Part> beyond;
  EXPECT_EQ(list->GetPart(1, beyond), kE_INVALIDARG);
  EXPECT_FALSE(beyond);
}

TEST_F(TopologyTest, LoopsAreWalkable) {
  Load(json::parse(R"({
    "endpoints": [ { "id": "e", "name": "E", "flow": "render",
                     "connector": { "adapter": "Loop", "part": "out" } } ],
    "adapters": [ { "name": "Loop", "parts": [
        { "id": "out", "name": "Out", "kind": "connector" },
        { "id": "a", "name": "A", "kind": "subunit" },
        { "id": "b", "name": "B", "kind": "subunit" } ],
      "links": [ ["a", "out"], ["b", "a"], ["a", "b"], ["b", "b"] ] } ] })"));
  Ref<Part> a = First(*AdapterConnectorPart("e"), true);
  Ref<Part> b = First(*a, true);
  EXPECT_EQ(PartName(*b), "B");
  EXPECT_EQ(Neighbours(*b, true), (Names{"A", "B"}));
  EXPECT_EQ(PartName(*First(*b, true)), "A");
}

TEST_F(TopologyTest, SubTypeIsTheDescribedOneOrGuidNull) {
  Load(json::parse(R"({
    "endpoints": [ { "id": "e", "name": "E", "flow": "capture",
                     "connector": { "adapter": "Card", "part": "mic" } } ],
    "adapters": [ { "name": "Card", "parts": [
        { "id": "mic", "name": "Mikrofon", "kind": "connector", "subtype": "KSNODETYPE_MICROPHONE" },
        { "id": "agc", "name": "A", "kind": "subunit",
          "subtype": "{e88c9ba0-C557-11D0-8A2B-00A0C9255AC1}" },
        { "id": "other", "name": "B", "kind": "subunit" } ],
      "links": [ ["mic", "agc"], ["agc", "other"] ] } ] })"));
  Ref<Part> mic = AdapterConnectorPart("e");
  Ref<Part> agc = First(*mic, false);
  Ref<Part> other = First(*agc, false);
  const std::pair<Part*, platform::Guid> expected[] = {
      {mic.Get(), platform::NodeType("KSNODETYPE_MICROPHONE")},
      {agc.Get(), platform::NodeType("KSNODETYPE_AGC")},
      {other.Get(), platform::Guid{}},
  };
  for (const auto& [part, subtype] : expected) {
    platform::Guid read{.data1 = 1};
    EXPECT_EQ(part->GetSubType(&read), kS_OK);
    EXPECT_EQ(platform::SubTypeText(read), platform::SubTypeText(subtype));
  }
  EXPECT_EQ(mic->GetSubType(nullptr), kE_POINTER);
}

TEST_F(TopologyTest, PartNamesAreFreshTaskMemory) {
  Ref<Part> part = PartNamed("Tone Controls");
  TaskString first;
  TaskString second;
  ASSERT_EQ(part->GetName(first), kS_OK);
  ASSERT_EQ(part->GetName(second), kS_OK);
  EXPECT_NE(first.Get(), second.Get());
  EXPECT_EQ(std::u16string(first.Get()), u"Tone Controls");
}

// The sample card is laid out for the three discovery walks; these pin the
// shape each walk depends on.
TEST_F(TopologyTest, SamplePlaybackPathIsOneChainIntoAMixerWithThreeBranches) {
  Ref<Part> part = AdapterConnectorPart(kSpeakers);
  Names chain;
  for (;;) {
    Ref<PartsList> list;
    ASSERT_EQ(part->EnumPartsIncoming(list), kS_OK);
    std::uint32_t count = 0;
    ASSERT_EQ(list->GetCount(&count), kS_OK);
    if (count != 1) break;
    part = First(*part, true);
    chain.push_back(PartName(*part));
  }
  EXPECT_EQ(chain, (Names{"Master Volume", "Tone Controls", "Output Mixer"}));
  const std::pair<const char*, const char*> branches[] = {
      {"Line In Mute", "Line In Volume"}, {"Mic Mute", "Mic Volume"}, {"Wave Mute", "Wave Volume"}};
  for (const auto& [muteName, levelName] : branches) {
    Ref<Part> mute = PartNamed(muteName);
    Ref<MuteControl> muteControl;
    EXPECT_EQ(mute->Activate(MuteInterface::AudioMute, kClsctxAll, muteControl), kS_OK);
    Ref<Part> level = First(*mute, true);
    EXPECT_EQ(PartName(*level), levelName);
    Ref<LevelControl> levelControl;
    EXPECT_EQ(level->Activate(LevelInterface::AudioVolumeLevel, kClsctxAll, levelControl), kS_OK);
  }
}

TEST_F(TopologyTest, SampleLineInputReachesItsAgcTwoStepsDownstream) {
  Ref<Part> lineIn = PartNamed("Line In");
  Ref<Part> agcPart = First(*First(*lineIn, false), false);
  EXPECT_EQ(PartName(*agcPart), "Line AGC");
  Ref<SwitchControl> agc;
  ASSERT_EQ(agcPart->Activate(SwitchInterface::AudioAutoGainControl, kClsctxAll, agc), kS_OK);
  std::int32_t enabled = 0;
  ASSERT_EQ(agc->GetEnabled(&enabled), kS_OK);
  EXPECT_EQ(enabled, 1);
  // The other "line" connector is skipped for having nothing downstream.
  Ref<PartsList> none;
  EXPECT_EQ(PartNamed("Line Capture")->EnumPartsOutgoing(none), kE_NOTFOUND);
}

TEST_F(TopologyTest, SampleMicBoostIsALevelWithNoSwitchOnItsPath) {
  EXPECT_EQ(Neighbours(*PartNamed("Mic In"), false), (Names{"Mic Volume", "Mic Boost"}));
  // The boost search descends by the last part of each list.
  Names path;
  Ref<Part> part = PartNamed("Mic Boost");
  for (;;) {
    path.push_back(PartName(*part));
    for (SwitchInterface iid :
         {SwitchInterface::AudioAutoGainControl, SwitchInterface::AudioLoudness}) {
      Ref<SwitchControl> control;
      EXPECT_EQ(part->Activate(iid, kClsctxAll, control), kE_NOINTERFACE) << path.back();
    }
    Ref<PartsList> list;
    if (part->EnumPartsOutgoing(list) != kS_OK) break;
    part = ListedParts(*list).back();
  }
  EXPECT_EQ(path, (Names{"Mic Boost", "Mic Capture Volume", "Mic Capture"}));
  auto boost = Activated<LevelControl>("Mic Boost", LevelInterface::AudioVolumeLevel);
  float min = 0, max = 0, step = 0, level = 0;
  ASSERT_EQ(boost->GetLevelRange(0, &min, &max, &step), kS_OK);
  ASSERT_EQ(boost->GetLevel(0, &level), kS_OK);
  EXPECT_EQ(std::make_tuple(min, max, step, level), std::make_tuple(0.0f, 30.0f, 10.0f, 10.0f));
}

}  // namespace
}  // namespace velto::sim::testing
