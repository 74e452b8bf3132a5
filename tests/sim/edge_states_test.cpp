// The states real drivers show that the mixer must survive: levels without
// channels or outside their range, an endpoint master of its own, switch
// values other than 0 and 1, shared and unusual connectors, fault rules that
// aim at one argument or answer with an output, and failures of the calls
// that return no HRESULT.
#include <string>
#include <vector>

#include "sim_fixture.h"

namespace velto::sim::testing {
namespace {

using nlohmann::json;

constexpr const char* kFront = "{0.0.0.00000000}.{front}";
constexpr const char* kRear = "{0.0.0.00000000}.{rear}";

json EdgeSystem() { return OwnSystemJson("edge_states.json"); }

class EdgeStateTest : public SimTest {
 protected:
  // Without the description's fault rules, which only some tests try.
  void SetUp() override {
    Load(EdgeSystem());
    sys_->ClearFaults();
  }

  std::vector<float> ChannelLevels(EndpointVolume& volume) {
    std::uint32_t count = 0;
    EXPECT_EQ(volume.GetChannelCount(&count), kS_OK);
    std::vector<float> levels(count);
    for (std::uint32_t c = 0; c < count; ++c)
      EXPECT_EQ(volume.GetChannelVolumeLevel(c, &levels[c]), kS_OK);
    return levels;
  }
  float Master(EndpointVolume& volume) {
    float master = 0;
    EXPECT_EQ(volume.GetMasterVolumeLevel(&master), kS_OK);
    return master;
  }
};

TEST_F(EdgeStateTest, EveryAdditionDumpsBackAsWritten) {
  Load(EdgeSystem());
  const json dumped = sys_->Dump();
  EXPECT_EQ(dumped["endpoints"][0]["volume"], EdgeSystem()["endpoints"][0]["volume"]);
  EXPECT_EQ(dumped["endpoints"][1]["volume"]["master"], -12.0);
  EXPECT_EQ(dumped["endpoints"][2]["volume"], EdgeSystem()["endpoints"][2]["volume"]);
  EXPECT_EQ(dumped["endpoints"][2]["connector"], EdgeSystem()["endpoints"][2]["connector"]);
  EXPECT_EQ(dumped["adapters"], EdgeSystem()["adapters"]);
  EXPECT_EQ(dumped["faults"], EdgeSystem()["faults"]);
  EXPECT_EQ(SimSystem::FromJson(dumped, "dump")->Dump(), dumped);
}

TEST_F(EdgeStateTest, MasterMovesEveryChannelBySameAmountAndKeepsTheBalance) {
  struct Step {
    const char* endpoint;
    bool setMaster;  // else channel 0
    float level;
    std::vector<float> channels;
    float master;
  };
  const Step steps[] = {
      // Without a master of its own it reads as the loudest channel.
      {kFront, true, -20.0f, {-20.0f, -26.0f}, -20.0f},
      {kFront, true, -60.0f, {-60.0f, -65.25f}, -60.0f},  // the quieter one clamped
      {kFront, false, -70.0f + 65.0f, {-5.0f, -65.25f}, -5.0f},
      // With one, it is held apart; setting a channel leaves it alone.
      {kRear, false, -5.0f, {-5.0f, -16.0f}, -12.0f},
      {kRear, true, -30.0f, {-30.0f, -41.0f}, -30.0f},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(std::string(step.endpoint) + " " + std::to_string(step.level));
    auto volume = Volume(step.endpoint);
    const HRESULT set = step.setMaster ? volume->SetMasterVolumeLevel(step.level)
                                       : volume->SetChannelVolumeLevel(0, step.level);
    ASSERT_EQ(set, kS_OK);
    EXPECT_EQ(ChannelLevels(*volume), step.channels);
    EXPECT_EQ(Master(*volume), step.master);
  }
}

TEST_F(EdgeStateTest, LevelsWithoutChannelsAndOutsideTheirRangeAreServedAsDescribed) {
  auto odd = Volume("{0.0.1.00000000}.{odd}");
  EXPECT_TRUE(ChannelLevels(*odd).empty());
  EXPECT_EQ(Master(*odd), -7.0f);
  ASSERT_EQ(odd->SetMasterVolumeLevel(3.0f), kS_OK);
  EXPECT_EQ(Master(*odd), 3.0f);
  float level = 0;
  EXPECT_EQ(odd->GetChannelVolumeLevel(0, &level), kE_INVALIDARG);

  Ref<Part> tone = PartNamed("Tone", kFront);
  Ref<LevelControl> bass;
  ASSERT_EQ(tone->Activate(LevelInterface::AudioBass, kClsctxAll, bass), kS_OK);
  std::uint32_t count = 7;
  EXPECT_EQ(bass->GetChannelCount(&count), kS_OK);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(bass->SetLevel(0, 1.0f), kE_INVALIDARG);

  Ref<LevelControl> volume;
  ASSERT_EQ(tone->Activate(LevelInterface::AudioVolumeLevel, kClsctxAll, volume), kS_OK);
  ASSERT_EQ(volume->GetLevel(0, &level), kS_OK);
  EXPECT_EQ(level, 3.0f) << "above its maximum, as the driver reports it";
  ASSERT_EQ(volume->GetLevel(1, &level), kS_OK);
  EXPECT_EQ(level, -60.0f);
}

TEST_F(EdgeStateTest, SwitchValuesReadBackAsStored) {
  std::int32_t value = 0;
  ASSERT_EQ(Volume(kFront)->GetMute(&value), kS_OK);
  EXPECT_EQ(value, 5);
  auto agc = Activated<SwitchControl>("Tone", SwitchInterface::AudioAutoGainControl, kFront);
  ASSERT_TRUE(agc);
  ASSERT_EQ(agc->GetEnabled(&value), kS_OK);
  EXPECT_EQ(value, -2);
}

TEST_F(EdgeStateTest, SharedAndSubunitConnectorsLeadWhereDescribed) {
  EXPECT_EQ(PartName(*AdapterConnectorPart(kFront)), "Out");
  EXPECT_EQ(PartName(*AdapterConnectorPart(kRear)), "Out");
  EXPECT_EQ(PartName(*AdapterConnectorPart("{0.0.1.00000000}.{odd}")), "Tone");
  // The shared connector leads back to the first endpoint joined to it.
  Ref<Connector> back;
  Ref<Connector> out;
  ASSERT_EQ(EndpointTopology(kFront)->GetConnector(0, out), kS_OK);
  Ref<Connector> adapterSide;
  ASSERT_EQ(out->GetConnectedTo(adapterSide), kS_OK);
  ASSERT_EQ(adapterSide->GetConnectedTo(back), kS_OK);
  EXPECT_EQ(back.Get(), out.Get());
}

TEST_F(EdgeStateTest, RulesAimAtOneArgument) {
  Load(EdgeSystem());
  Ref<DeviceCollection> render;
  ASSERT_EQ(Enumerator()->EnumAudioEndpoints(DataFlow::Render, 1, render), kS_OK);
  Ref<Device> device;
  EXPECT_EQ(render->Item(0, device), kS_OK);
  EXPECT_EQ(render->Item(1, device), kE_FAIL) << "only index 1";
  EXPECT_EQ(render->Item(1, device), kS_OK) << "and only once";

  Ref<DeviceCollection> capture;
  EXPECT_EQ(Enumerator()->EnumAudioEndpoints(DataFlow::Capture, 1, capture), kE_OUTOFMEMORY);
  EXPECT_EQ(Enumerator()->EnumAudioEndpoints(static_cast<DataFlow>(2), 1, capture), kS_OK);

  const std::u16string rear = Ascii16(kRear);
  const std::u16string front = Ascii16(kFront);
  EXPECT_EQ(Enumerator()->GetDevice(rear.c_str(), device), kE_NOTFOUND);
  EXPECT_EQ(Enumerator()->GetDevice(front.c_str(), device), kS_OK);

  Ref<Part> tone = PartNamed("Tone", kFront);
  Ref<MuteControl> mute;
  Ref<SwitchControl> agc;
  EXPECT_EQ(tone->Activate(MuteInterface::AudioMute, kClsctxAll, mute), kE_NOINTERFACE);
  EXPECT_FALSE(mute);
  EXPECT_EQ(tone->Activate(SwitchInterface::AudioAutoGainControl, kClsctxAll, agc), kS_OK);
}

TEST_F(EdgeStateTest, OutputsAreWrittenWhateverTheResult) {
  FaultRule claim("part:Card/tone/volume", "GetChannelCount", kS_OK);
  claim.output = 4;
  sys_->AddFault(claim);
  auto volume = Activated<LevelControl>("Tone", LevelInterface::AudioVolumeLevel, kFront);
  ASSERT_TRUE(volume);
  std::uint32_t count = 0;
  EXPECT_EQ(volume->GetChannelCount(&count), kS_OK);
  EXPECT_EQ(count, 4u) << "a count the control cannot serve";
  float level = 0;
  EXPECT_EQ(volume->GetLevel(3, &level), kE_INVALIDARG);

  sys_->ClearFaults();
  FaultRule failedCount("collection:render", "GetCount", kE_FAIL);
  failedCount.output = 9;
  sys_->AddFault(failedCount);
  Ref<DeviceCollection> render;
  ASSERT_EQ(Enumerator()->EnumAudioEndpoints(DataFlow::Render, 1, render), kS_OK);
  EXPECT_EQ(render->GetCount(&count), kE_FAIL);
  EXPECT_EQ(count, 9u) << "a failed call may still have written";
}

TEST_F(EdgeStateTest, CallsWithoutAnHresultFailOnlyByRulesThatNameThem) {
  // A glob counts HRESULT calls only; it never reaches these.
  sys_->AddFault(FaultRule("*", "*"));
  const std::u16string text = u"abc";
  WChar* bstr = sys_->SysAllocStringLen(text.data(), 3);
  EXPECT_NE(bstr, nullptr);
  sys_->SysFreeString(bstr);
  sys_->ClearFaults();

  sys_->AddFault(FaultRule("com", "SysAllocStringLen", kE_FAIL, std::nullopt, 1, 1));
  bstr = sys_->SysAllocStringLen(text.data(), 3);
  EXPECT_NE(bstr, nullptr);
  sys_->SysFreeString(bstr);
  EXPECT_EQ(sys_->SysAllocStringLen(text.data(), 3), nullptr) << "the second one";
  EXPECT_EQ(sys_->LiveBstrs(), 0u);

  sys_->AddFault(FaultRule("com", "MultiByteToWideChar"));
  sys_->AddFault(FaultRule("com", "WideCharToMultiByte"));
  WChar wide[4] = {u'x', u'x', u'x', u'x'};
  char narrow[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(sys_->MultiByteToWideChar(0, 0, "ab", -1, wide, 4), 0);
  EXPECT_EQ(wide[0], u'x');
  EXPECT_EQ(sys_->WideCharToMultiByte(0, 0, u"ab", -1, narrow, 4), 0);
  EXPECT_EQ(narrow[0], 'x');

  sys_->AddFault(FaultRule(std::string("device:") + kFront, "CoTaskMemAlloc"));
  TaskString id;
  EXPECT_EQ(DeviceById(kFront)->GetId(id), kE_OUTOFMEMORY);
  EXPECT_FALSE(id);
  EXPECT_EQ(DeviceById("{0.0.1.00000000}.{odd}")->GetId(id), kS_OK) << "only the named object";
}

}  // namespace
}  // namespace velto::sim::testing
