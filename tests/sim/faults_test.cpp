#include <string>
#include <vector>

#include "platform/com_scope.h"
#include "sim_fixture.h"

namespace velto::sim::testing {
namespace {

class FaultTest : public SimTest {
 protected:
  // Results of `calls` GetLevel calls on channel `channel` of the master part.
  std::vector<HRESULT> GetLevels(int calls, std::uint32_t channel = 0) {
    auto volume = Activated<LevelControl>("Master Volume", LevelInterface::AudioVolumeLevel);
    std::vector<HRESULT> results;
    for (int i = 0; i < calls; ++i) {
      float level;
      results.push_back(volume->GetLevel(channel, &level));
    }
    return results;
  }
};

TEST_F(FaultTest, AfterAndTimesCountMatchingCalls) {
  sys_->AddFault({"part:Velto HD Audio/master/volume", "GetLevel", kE_FAIL, std::nullopt, 1, 2});
  EXPECT_EQ(GetLevels(5), (std::vector<HRESULT>{kS_OK, kE_FAIL, kE_FAIL, kS_OK, kS_OK}));
}

TEST_F(FaultTest, ChannelRestrictsTheRule) {
  sys_->AddFault({"*", "GetLevel", kE_INVALIDARG, 1u, 0, UINT64_MAX});
  EXPECT_EQ(GetLevels(2, 0), (std::vector<HRESULT>{kS_OK, kS_OK}));
  EXPECT_EQ(GetLevels(2, 1), (std::vector<HRESULT>{kE_INVALIDARG, kE_INVALIDARG}));
  // A channel rule never matches an operation without a channel.
  auto volume = Activated<LevelControl>("Master Volume", LevelInterface::AudioVolumeLevel);
  std::uint32_t count;
  EXPECT_EQ(volume->GetChannelCount(&count), kS_OK);
}

TEST_F(FaultTest, GlobsMatchObjectsAndOperations) {
  struct Case {
    const char* object;
    const char* op;
    bool hits;
  };
  const Case cases[] = {
      {"*", "*", true},
      {"part:*/master/*", "Get*", true},
      {"part:*/volume", "*Level", true},
      {"part:Velto HD Audio/master", "GetLevel", false},  // the part, not its control
      {"part:*/tone/*", "*", false},
      {"*", "SetLevel", false},
      {"part:Velto HD Audio/master/volume*", "GetLevel*", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.object) + " " + c.op);
    auto volume = Activated<LevelControl>("Master Volume", LevelInterface::AudioVolumeLevel);
    sys_->AddFault({c.object, c.op, kE_FAIL, std::nullopt, 0, UINT64_MAX});
    float level;
    EXPECT_EQ(volume->GetLevel(0, &level), c.hits ? kE_FAIL : kS_OK);
    sys_->ClearFaults();
  }
}

TEST_F(FaultTest, FirstFiringRuleWinsButEveryMatchingRuleCounts) {
  sys_->AddFault({"*", "GetLevel", kE_POINTER, std::nullopt, 1, 1});
  sys_->AddFault({"*", "GetLevel", kE_OUTOFMEMORY, std::nullopt, 0, 2});
  // Call 1: only rule 2 fires. Call 2: both fire, rule 1 wins (and rule 2 is spent).
  EXPECT_EQ(GetLevels(3), (std::vector<HRESULT>{kE_OUTOFMEMORY, kE_POINTER, kS_OK}));
}

// A lookup in the way the library makes them, stopping at the first call
// that does not answer S_OK and giving everything back by scope.
void FindAndReadMasterLevel(SimSystem& sys) {
  ComScope com(sys);
  Ref<DeviceEnumerator> enumerator;
  Ref<DeviceCollection> devices;
  Ref<Device> device;
  Ref<PropertyStore> store;
  PropVariant name(sys);
  Bstr nameText;
  TaskString id;
  Ref<DeviceTopology> topology;
  Ref<Connector> own;
  Ref<Connector> adapterSide;
  Ref<Part> output;
  Ref<PartsList> incoming;
  Ref<Part> master;
  TaskString masterName;
  Ref<LevelControl> volume;
  std::uint32_t count = 0;
  float level = 0;
  const bool done =
      sys.CreateDeviceEnumerator(kClsctxInprocServer, enumerator) == kS_OK &&
      enumerator->EnumAudioEndpoints(DataFlow::Render, kDeviceStateActive, devices) == kS_OK &&
      devices->GetCount(&count) == kS_OK && devices->Item(0, device) == kS_OK &&
      device->OpenPropertyStore(kStgmRead, store) == kS_OK &&
      store->GetValue(PropertyKey::DeviceFriendlyName, name.Data()) == kS_OK &&
      sys.PropVariantToBSTR(name.data(), nameText) == kS_OK && device->GetId(id) == kS_OK &&
      device->Activate(kClsctxAll, topology) == kS_OK && topology->GetConnector(0, own) == kS_OK &&
      own->GetConnectedTo(adapterSide) == kS_OK && adapterSide->QueryPart(output) == kS_OK &&
      output->EnumPartsIncoming(incoming) == kS_OK && incoming->GetPart(0, master) == kS_OK &&
      master->GetName(masterName) == kS_OK &&
      master->Activate(LevelInterface::AudioVolumeLevel, kClsctxAll, volume) == kS_OK &&
      volume->GetLevel(0, &level) == kS_OK;
  (void)done;
}

// Fails every HRESULT call in turn: with after = k the failure lands on call
// k + 1, whatever object or operation it is, and the failed call hands out
// nothing that could leak.
TEST_F(FaultTest, CatchAllRuleFailsExactlyTheKthCall) {
  FindAndReadMasterLevel(*sys_);
  const std::uint64_t total = sys_->CallCount();
  ASSERT_EQ(total, 19u);
  for (std::uint64_t k = 0; k < total; ++k) {
    SCOPED_TRACE("k=" + std::to_string(k));
    Use(SimSystem::Sample());
    sys_->AddFault({"*", "*", kHrInvalidFunction, std::nullopt, k, 1});
    sys_->SetTracing(true);
    FindAndReadMasterLevel(*sys_);
    std::uint64_t failable = 0;
    std::vector<std::uint64_t> failed;
    for (const TraceEntry& entry : sys_->Trace()) {
      if (!entry.hasResult) continue;
      ++failable;
      if (entry.result == kHrInvalidFunction) failed.push_back(failable);
    }
    EXPECT_EQ(failed, std::vector<std::uint64_t>{k + 1});
    EXPECT_EQ(sys_->LiveReferences(), 0);
    EXPECT_EQ(sys_->LiveTaskStrings() + sys_->LiveBstrs(), 0u);
    // The last call is the PROPVARIANT's clear: when that fails, nothing is freed.
    EXPECT_EQ(sys_->LivePropVariants(), k == total - 1 ? 1u : 0u);
    EXPECT_EQ(sys_->ComInitDepth(), 0);
    EXPECT_TRUE(sys_->Problems().empty()) << ::testing::PrintToString(sys_->Problems());
  }
  Use(SimSystem::Sample());
}

TEST_F(FaultTest, FailedOutCallLeavesTheOutputEmpty) {
  Ref<Part> part = PartNamed("Tone Controls");
  Ref<LevelControl> bass;
  ASSERT_EQ(part->Activate(LevelInterface::AudioBass, kClsctxAll, bass), kS_OK);
  sys_->AddFault({"part:*/tone", "Activate", kE_OUTOFMEMORY, std::nullopt, 0, 1});
  EXPECT_EQ(part->Activate(LevelInterface::AudioBass, kClsctxAll, bass), kE_OUTOFMEMORY);
  EXPECT_FALSE(bass);
  EXPECT_EQ(part->Activate(LevelInterface::AudioBass, kClsctxAll, bass), kS_OK);
}

TEST_F(FaultTest, InjectedSFalseLeavesOutputsUntouched) {
  auto volume = Activated<LevelControl>("Master Volume", LevelInterface::AudioVolumeLevel);
  sys_->AddFault({"*", "GetLevel", kS_FALSE, std::nullopt, 0, 1});
  sys_->AddFault({"*", "GetConnectedTo", kS_FALSE, std::nullopt, 0, 1});
  float level = 42.0f;
  EXPECT_EQ(volume->GetLevel(0, &level), kS_FALSE);
  EXPECT_EQ(level, 42.0f);
  Ref<Connector> own;
  Ref<Connector> other;
  ASSERT_EQ(EndpointTopology(kSpeakers)->GetConnector(0, own), kS_OK);
  EXPECT_EQ(own->GetConnectedTo(other), kS_FALSE);
  EXPECT_FALSE(other);
}

TEST_F(FaultTest, InjectedSetterFailureChangesNothing) {
  sys_->AddFault({"device:*/volume", "SetMasterVolumeLevel", kE_FAIL, std::nullopt, 0, 1});
  auto volume = Volume(kSpeakers);
  EXPECT_EQ(volume->SetMasterVolumeLevel(-3.0f), kE_FAIL);
  float level = 0;
  ASSERT_EQ(volume->GetMasterVolumeLevel(&level), kS_OK);
  EXPECT_EQ(level, -10.0f);
}

TEST_F(FaultTest, ComRuntimeCallsCanFail) {
  sys_->AddFault({"com", "CreateDeviceEnumerator", kE_OUTOFMEMORY, std::nullopt, 0, 1});
  Ref<DeviceEnumerator> enumerator;
  EXPECT_EQ(sys_->CreateDeviceEnumerator(kClsctxInprocServer, enumerator), kE_OUTOFMEMORY);
  EXPECT_FALSE(enumerator);

  sys_->AddFault({"com", "PropVariantClear", kE_FAIL, std::nullopt, 0, 1});
  Ref<PropertyStore> store;
  ASSERT_EQ(DeviceById(kSpeakers)->OpenPropertyStore(kStgmRead, store), kS_OK);
  PropVariantData value;
  ASSERT_EQ(store->GetValue(PropertyKey::DeviceFriendlyName, &value), kS_OK);
  EXPECT_EQ(sys_->PropVariantClear(&value), kE_FAIL);
  EXPECT_EQ(sys_->LivePropVariants(), 1u) << "a failed clear frees nothing";
  EXPECT_EQ(sys_->PropVariantClear(&value), kS_OK);
}

TEST_F(FaultTest, RulesFromADescriptionFile) {
  Use(SimSystem::FromFile(SystemFile("faults.json")));
  Ref<DeviceEnumerator> enumerator = Enumerator();
  Ref<Device> device;
  EXPECT_EQ(enumerator->GetDefaultAudioEndpoint(DataFlow::Render, Role::Console, device), kS_OK);
  Ref<EndpointVolume> volume;
  EXPECT_EQ(device->Activate(kClsctxInprocServer, volume), kS_OK);
  float level;
  EXPECT_EQ(volume->GetChannelVolumeLevel(0, &level), kS_OK);
  EXPECT_EQ(volume->GetChannelVolumeLevel(1, &level), kE_FAIL);
  EXPECT_EQ(volume->GetChannelVolumeLevel(1, &level), kS_OK);
  EXPECT_EQ(volume->SetMute(1), kHrInvalidFunction);
  EXPECT_EQ(sys_->CoInitialize(), kRPC_E_CHANGED_MODE);
  EXPECT_EQ(sys_->ComInitDepth(), 0);
}

}  // namespace
}  // namespace velto::sim::testing
