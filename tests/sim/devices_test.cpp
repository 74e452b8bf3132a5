#include <string>
#include <vector>

#include "platform/description/reader.h"
#include "sim_fixture.h"

namespace velto::sim::testing {
namespace {

using nlohmann::json;

class DevicesTest : public SimTest {
 protected:
  std::vector<std::string> Ids(DataFlow flow, std::uint32_t mask) {
    Ref<DeviceCollection> devices;
    EXPECT_EQ(Enumerator()->EnumAudioEndpoints(flow, mask, devices), kS_OK);
    std::uint32_t count = 0;
    EXPECT_EQ(devices->GetCount(&count), kS_OK);
    std::vector<std::string> ids;
    for (std::uint32_t i = 0; i < count; ++i) {
      Ref<Device> device;
      TaskString id;
      EXPECT_EQ(devices->Item(i, device), kS_OK);
      EXPECT_EQ(device->GetId(id), kS_OK);
      ids.push_back(Narrow(id.Get()));
    }
    return ids;
  }

  std::string FriendlyName(Device& device) {
    const std::u16string name = FriendlyText(device);
    return Narrow(name.c_str());
  }
  std::u16string FriendlyText(Device& device) {
    Ref<PropertyStore> store;
    EXPECT_EQ(device.OpenPropertyStore(kStgmRead, store), kS_OK);
    PropVariant value(*sys_);
    EXPECT_EQ(store->GetValue(PropertyKey::DeviceFriendlyName, value.Data()), kS_OK);
    Bstr name;
    EXPECT_EQ(sys_->PropVariantToBSTR(value.data(), name), kS_OK);
    EXPECT_EQ(sys_->SysStringLen(name.Get()), std::char_traits<char16_t>::length(name.Get()));
    return name.Get();
  }
};

TEST_F(DevicesTest, ListsEndpointsOfAFlowAndStateInDescriptionOrder) {
  EXPECT_EQ(Ids(DataFlow::Render, kDeviceStateActive),
            (std::vector<std::string>{kSpeakers, kDigital}));
  EXPECT_EQ(Ids(DataFlow::Capture, kDeviceStateActive),
            (std::vector<std::string>{kMicrophone, kLineIn}));
  EXPECT_EQ(Ids(DataFlow::Render, kDeviceStateDisabled), (std::vector<std::string>{kHeadphones}));
  EXPECT_EQ(Ids(DataFlow::Render, 0xF),
            (std::vector<std::string>{kSpeakers, kDigital, kHeadphones}));
  EXPECT_EQ(Ids(DataFlow::Render, kDeviceStateUnplugged), std::vector<std::string>{});
}

TEST_F(DevicesTest, RejectsInvalidFlowAndMask) {
  Ref<DeviceCollection> devices;
  EXPECT_EQ(Enumerator()->EnumAudioEndpoints(DataFlow::Render, 0, devices), kE_INVALIDARG);
  EXPECT_EQ(Enumerator()->EnumAudioEndpoints(static_cast<DataFlow>(3), 1, devices), kE_INVALIDARG);
  EXPECT_FALSE(devices);
  std::uint32_t count = 0;
  ASSERT_EQ(Enumerator()->EnumAudioEndpoints(DataFlow::Render, 1, devices), kS_OK);
  Ref<Device> device;
  EXPECT_EQ(devices->Item(2, device), kE_INVALIDARG);
  EXPECT_FALSE(device);
  EXPECT_EQ(devices->GetCount(&count), kS_OK);
  EXPECT_EQ(count, 2u);
}

TEST_F(DevicesTest, DefaultEndpointPerFlow) {
  Ref<Device> device;
  TaskString id;
  ASSERT_EQ(Enumerator()->GetDefaultAudioEndpoint(DataFlow::Render, Role::Console, device), kS_OK);
  ASSERT_EQ(device->GetId(id), kS_OK);
  EXPECT_EQ(Narrow(id.Get()), kSpeakers);
  ASSERT_EQ(Enumerator()->GetDefaultAudioEndpoint(DataFlow::Capture, Role::Console, device), kS_OK);
  ASSERT_EQ(device->GetId(id), kS_OK);
  EXPECT_EQ(Narrow(id.Get()), kMicrophone);
}

TEST_F(DevicesTest, NoDefaultWhenNoneMarkedOrItIsNotActive) {
  json description = sys_->Dump();
  description["endpoints"][0]["state"] = "unplugged";  // the render default
  description["endpoints"][3]["default"] = false;      // the capture default
  Load(description);
  Ref<Device> device;
  EXPECT_EQ(Enumerator()->GetDefaultAudioEndpoint(DataFlow::Render, Role::Console, device),
            kE_NOTFOUND);
  EXPECT_EQ(Enumerator()->GetDefaultAudioEndpoint(DataFlow::Capture, Role::Console, device),
            kE_NOTFOUND);
  EXPECT_FALSE(device);
}

TEST_F(DevicesTest, GetDeviceTakesExactIdsInAnyState) {
  Ref<Device> device;
  const std::u16string disabled = Ascii16(kHeadphones);
  EXPECT_EQ(Enumerator()->GetDevice(disabled.c_str(), device), kS_OK);
  EXPECT_TRUE(device);
  const std::u16string partial = Ascii16(std::string(kHeadphones).substr(0, 20));
  EXPECT_EQ(Enumerator()->GetDevice(partial.c_str(), device), kE_NOTFOUND);
  EXPECT_FALSE(device) << "a failed lookup must leave the output empty";
  std::u16string upper = Ascii16(kHeadphones);
  for (auto& c : upper) c = (c >= u'a' && c <= u'f') ? c - 32 : c;
  EXPECT_EQ(Enumerator()->GetDevice(upper.c_str(), device), kE_NOTFOUND);
  EXPECT_EQ(Enumerator()->GetDevice(nullptr, device), kE_POINTER);
}

TEST_F(DevicesTest, GetIdHandsOutAFreshCopyEachTime) {
  Ref<Device> device = DeviceById(kDigital);
  TaskString first;
  TaskString second;
  ASSERT_EQ(device->GetId(first), kS_OK);
  ASSERT_EQ(device->GetId(second), kS_OK);
  EXPECT_NE(first.Get(), second.Get());
  EXPECT_EQ(Narrow(first.Get()), Narrow(second.Get()));
  EXPECT_EQ(sys_->LiveTaskStrings(), 2u);
  first.Reset();
  EXPECT_EQ(sys_->LiveTaskStrings(), 1u);
}

TEST_F(DevicesTest, FriendlyNameThroughPropVariantAndBstr) {
  EXPECT_EQ(FriendlyName(*DeviceById(kSpeakers)), "Speakers (Velto HD Audio)");
  EXPECT_EQ(FriendlyName(*DeviceById(kLineIn)), "Line In (Velto HD Audio)");
}

// The sample's model as the reader leaves it, less the wide texts, which a
// model built in memory does not have.
description::Description SampleModelWithoutWideTexts() {
  description::Description model =
      description::ParseDescription(SimSystem::Sample()->Dump(), "sample");
  for (auto& endpoint : model.endpoints) {
    endpoint.wideId.clear();
    endpoint.wideName.clear();
  }
  for (auto& part : model.adapters[0].parts) part.wideName.clear();
  return model;
}

TEST_F(DevicesTest, ModelBuiltInMemoryAnswersAsItsDescription) {
  Use(SimSystem::FromModel(SampleModelWithoutWideTexts()));
  // Found by its wide id, named by its wide name; the part found by name.
  EXPECT_EQ(FriendlyName(*DeviceById(kSpeakers)), "Speakers (Velto HD Audio)");
  EXPECT_TRUE(Activated<LevelControl>("Line In Volume", LevelInterface::AudioVolumeLevel));
  EXPECT_EQ(sys_->Dump(), SimSystem::Sample()->Dump());
}

TEST(ModelTest, RefusesAModelThatReachesPastItsLists) {
  const struct {
    const char* name;
    void (*spoil)(description::Description&);
  } cases[] = {
      {"link", [](auto& m) { m.adapters[0].links.emplace_back(0, m.adapters[0].parts.size()); }},
      {"connector adapter", [](auto& m) { m.endpoints[0].connector->adapter = 1; }},
      {"connector part",
       [](auto& m) { m.endpoints[0].connector->part = m.adapters[0].parts.size(); }},
      {"part name", [](auto& m) { m.adapters[0].parts[0].name = "\xC3"; }},
      {"endpoint id", [](auto& m) { m.endpoints[0].id = "\xFF"; }},
  };
  for (const auto& spoilt : cases) {
    description::Description model = SampleModelWithoutWideTexts();
    ASSERT_TRUE(model.endpoints[0].connector);
    spoilt.spoil(model);
    EXPECT_THROW(SimSystem::FromModel(std::move(model)), DescriptionError) << spoilt.name;
  }
}

TEST_F(DevicesTest, NamesKeepEveryUnicodeCharacter) {
  json description = sys_->Dump();
  description["endpoints"][0]["name"] = "Ł\u00e9 \U0001F50A";
  Load(description);
  // Five UTF-16 units, and the BSTR says so.
  EXPECT_EQ(FriendlyText(*DeviceById(kSpeakers)), u"Ł\u00e9 \U0001F50A");
}

TEST_F(DevicesTest, ActivateGivesOnlyWhatTheEndpointOffers) {
  json description = sys_->Dump();
  description["endpoints"][1]["topology"] = false;
  description["endpoints"][1]["volume"] = nullptr;
  Load(description);
  Ref<Device> plain = DeviceById(kDigital);
  Ref<DeviceTopology> topology;
  Ref<EndpointVolume> volume;
  ASSERT_EQ(DeviceById(kSpeakers)->Activate(kClsctxAll, topology), kS_OK);
  ASSERT_EQ(DeviceById(kSpeakers)->Activate(kClsctxInprocServer, volume), kS_OK);
  // A failed activation empties the output, giving back what it held.
  EXPECT_EQ(plain->Activate(kClsctxAll, topology), kE_NOINTERFACE);
  EXPECT_EQ(plain->Activate(kClsctxInprocServer, volume), kE_NOINTERFACE);
  EXPECT_FALSE(topology);
  EXPECT_FALSE(volume);
  EXPECT_EQ(sys_->LiveReferences(), 1);  // just `plain`
}

struct PartOffer {
  const char* part;
  std::vector<LevelInterface> levels;
  bool mute;
  std::vector<SwitchInterface> switches;
};

TEST_F(DevicesTest, PartActivateGivesOnlyOfferedInterfaces) {
  const PartOffer offers[] = {
      {"Master Volume", {LevelInterface::AudioVolumeLevel}, true, {}},
      {"Tone Controls",
       {LevelInterface::AudioBass, LevelInterface::AudioTreble, LevelInterface::AudioMidrange},
       false,
       {}},
      {"Output Mixer", {}, false, {}},
      {"Line AGC", {}, false, {SwitchInterface::AudioAutoGainControl}},
      {"Mic Boost", {LevelInterface::AudioVolumeLevel}, false, {}},
      {"Speaker Out", {}, false, {}},
  };
  const LevelInterface allLevels[] = {LevelInterface::AudioVolumeLevel, LevelInterface::AudioBass,
                                      LevelInterface::AudioTreble, LevelInterface::AudioMidrange};
  const SwitchInterface allSwitches[] = {SwitchInterface::AudioAutoGainControl,
                                         SwitchInterface::AudioLoudness};
  for (const PartOffer& offer : offers) {
    SCOPED_TRACE(offer.part);
    Ref<Part> part = PartNamed(offer.part);
    auto expectOffer = [&](auto iid, const auto& offered, auto control) {
      const bool isOffered = std::find(offered.begin(), offered.end(), iid) != offered.end();
      EXPECT_EQ(part->Activate(iid, kClsctxAll, control), isOffered ? kS_OK : kE_NOINTERFACE);
      EXPECT_EQ(static_cast<bool>(control), isOffered);
    };
    for (LevelInterface iid : allLevels) expectOffer(iid, offer.levels, Ref<LevelControl>());
    for (SwitchInterface iid : allSwitches) expectOffer(iid, offer.switches, Ref<SwitchControl>());
    Ref<MuteControl> mute;
    EXPECT_EQ(part->Activate(MuteInterface::AudioMute, kClsctxAll, mute),
              offer.mute ? kS_OK : kE_NOINTERFACE);
    EXPECT_EQ(static_cast<bool>(mute), offer.mute);
  }
}

}  // namespace
}  // namespace velto::sim::testing
