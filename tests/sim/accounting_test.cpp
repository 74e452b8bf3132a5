#include <algorithm>
#include <string>
#include <vector>

#include "sim_fixture.h"

namespace velto::sim::testing {
namespace {

class AccountingTest : public SimTest {
 protected:
  // The problems reported so far; the test owns them, so no clean check.
  std::vector<std::string> Problems() {
    SkipCleanCheck();
    return sys_->Problems();
  }
};

// Each problem, in order, contains the matching text.
void ExpectProblems(const std::vector<std::string>& problems,
                    const std::vector<std::string>& texts) {
  ASSERT_EQ(problems.size(), texts.size()) << ::testing::PrintToString(problems);
  for (std::size_t i = 0; i < texts.size(); ++i)
    EXPECT_NE(problems[i].find(texts[i]), std::string::npos) << problems[i];
}

bool Mentions(const std::vector<std::string>& problems, const std::string& a,
              const std::string& b) {
  return std::any_of(problems.begin(), problems.end(), [&](const std::string& problem) {
    return problem.find(a) != std::string::npos && problem.find(b) != std::string::npos;
  });
}

TEST_F(AccountingTest, CountsReferencesPerObject) {
  Ref<EndpointVolume> volume = Volume(kSpeakers);
  Ref<EndpointVolume> copy = volume;
  Ref<Device> device = DeviceById(kLineIn);
  EXPECT_EQ(sys_->LiveReferences(), 3);
  const auto byObject = sys_->LiveReferencesByObject();
  const std::pair<std::string, long> volumeRefs{std::string("device:") + kSpeakers + "/volume", 2};
  const std::pair<std::string, long> deviceRefs{std::string("device:") + kLineIn, 1};
  EXPECT_NE(std::find(byObject.begin(), byObject.end(), volumeRefs), byObject.end());
  EXPECT_NE(std::find(byObject.begin(), byObject.end(), deviceRefs), byObject.end());
  EXPECT_EQ(byObject.size(), 2u);
  copy.Reset();
  volume.Reset();
  device.Reset();
  EXPECT_EQ(sys_->LiveReferences(), 0);
}

TEST_F(AccountingTest, DoubleReleaseAndUseAfterReleaseAreReported) {
  Ref<EndpointVolume> volume = Volume(kSpeakers);
  EndpointVolume* stale = volume.Get();
  volume.Reset();
  float level = 0;
  EXPECT_EQ(stale->GetMasterVolumeLevel(&level), kS_OK) << "still answers, but is reported";
  EXPECT_EQ(ReferenceCount::Release(*stale), 0u);
  EXPECT_EQ(ReferenceCount::Add(*stale), 0u);
  const auto problems = Problems();
  const std::string path = std::string("device:") + kSpeakers + "/volume";
  EXPECT_TRUE(Mentions(problems, "use after release: GetMasterVolumeLevel", path))
      << ::testing::PrintToString(problems);
  EXPECT_TRUE(Mentions(problems, "double release", path));
  EXPECT_TRUE(Mentions(problems, "use after release: AddRef", path));
  EXPECT_EQ(problems.size(), 3u);
  EXPECT_EQ(sys_->LiveReferences(), 0);
}

TEST_F(AccountingTest, TaskMemoryFreedTwiceOrUnknownIsReported) {
  TaskString id;
  ASSERT_EQ(DeviceById(kSpeakers)->GetId(id), kS_OK);
  WChar* raw = id.Get();
  id.Reset();
  sys_->CoTaskMemFree(raw);
  WChar local[4] = {};
  sys_->CoTaskMemFree(local);
  sys_->CoTaskMemFree(nullptr);
  ExpectProblems(Problems(), {"double free of task memory", "did not allocate"});
  EXPECT_EQ(sys_->LiveTaskStrings(), 0u);
}

TEST_F(AccountingTest, BstrFreedTwiceOrUnknownIsReported) {
  WChar* text = sys_->SysAllocStringLen(u"abc", 3);
  EXPECT_EQ(sys_->LiveBstrs(), 1u);
  sys_->SysFreeString(text);
  EXPECT_EQ(sys_->LiveBstrs(), 0u);
  sys_->SysFreeString(text);
  EXPECT_EQ(sys_->SysStringLen(text), 0u);
  WChar local[4] = {u'x'};
  sys_->SysFreeString(local);
  sys_->SysFreeString(nullptr);
  ExpectProblems(Problems(), {"double free of BSTR", "SysStringLen of a freed BSTR", "no BSTR"});
}

TEST_F(AccountingTest, PropVariantClearedTwiceIsReportedOnlyForTheSameAllocation) {
  Ref<PropertyStore> store;
  ASSERT_EQ(DeviceById(kSpeakers)->OpenPropertyStore(kStgmRead, store), kS_OK);
  PropVariantData value;
  ASSERT_EQ(store->GetValue(PropertyKey::DeviceFriendlyName, &value), kS_OK);
  const PropVariantData copy = value;
  EXPECT_EQ(sys_->LivePropVariants(), 1u);
  EXPECT_EQ(sys_->PropVariantClear(&value), kS_OK);
  EXPECT_EQ(sys_->LivePropVariants(), 0u);
  EXPECT_EQ(sys_->PropVariantClear(&value), kS_OK) << "a cleared PROPVARIANT is empty";
  PropVariantData zero;
  EXPECT_EQ(sys_->PropVariantClear(&zero), kS_OK);
  EXPECT_TRUE(sys_->Problems().empty());

  PropVariantData again = copy;
  EXPECT_EQ(sys_->PropVariantClear(&again), kS_OK);
  Bstr text;
  EXPECT_EQ(sys_->PropVariantToBSTR(copy, text), kE_INVALIDARG);
  EXPECT_FALSE(text);
  ExpectProblems(Problems(), {"double free of PROPVARIANT", "PropVariantToBSTR of a cleared"});
}

TEST_F(AccountingTest, ComInitNestsAndAFailedInitDoesNotCount) {
  EXPECT_EQ(sys_->CoInitialize(), kS_OK);
  EXPECT_EQ(sys_->CoInitialize(), kS_FALSE);
  EXPECT_EQ(sys_->ComInitDepth(), 2);
  sys_->AddFault({"com", "CoInitialize", kRPC_E_CHANGED_MODE, std::nullopt, 0, 1});
  EXPECT_EQ(sys_->CoInitialize(), kRPC_E_CHANGED_MODE);
  EXPECT_EQ(sys_->ComInitDepth(), 2);
  sys_->CoUninitialize();
  sys_->CoUninitialize();
  EXPECT_EQ(sys_->ComInitDepth(), 0);
  EXPECT_TRUE(sys_->Problems().empty());
  // The bracket the failed CoInitialize would have opened must not be closed.
  sys_->CoUninitialize();
  EXPECT_EQ(sys_->ComInitDepth(), 0);
  ExpectProblems(Problems(), {"CoUninitialize without"});
  // After the thread is uninitialised, the next CoInitialize is the first again.
  EXPECT_EQ(sys_->CoInitialize(), kS_OK);
  sys_->CoUninitialize();
}

TEST_F(AccountingTest, CallCountCountsOnlyHresultCalls) {
  const std::uint64_t before = sys_->CallCount();
  Ref<EndpointVolume> volume = Volume(kSpeakers);  // CreateDeviceEnumerator, GetDevice, Activate
  EXPECT_EQ(sys_->CallCount(), before + 3);
  Ref<EndpointVolume> copy = volume;
  copy.Reset();
  sys_->SysFreeString(sys_->SysAllocStringLen(nullptr, 2));
  sys_->CoUninitialize();  // unbalanced on purpose: reported, but not a counted call
  EXPECT_EQ(sys_->CallCount(), before + 3);
  SkipCleanCheck();
}

TEST(InstallTest, ReplacedSystemOutlivesTheReferencesClientsStillHold) {
  Install(SimSystem::Sample());
  SimSystem& first = Installed();
  Ref<DeviceEnumerator> enumerator;
  ASSERT_EQ(first.CreateDeviceEnumerator(kClsctxInprocServer, enumerator), kS_OK);
  TaskString id;
  Ref<Device> device;
  ASSERT_EQ(enumerator->GetDefaultAudioEndpoint(DataFlow::Render, Role::Console, device), kS_OK);
  ASSERT_EQ(device->GetId(id), kS_OK);

  Install(SimSystem::FromFile(SystemFile("minimal.json")));
  EXPECT_NE(&Installed(), &first);
  EXPECT_EQ(&CurrentPlatform(), &Installed());
  // Released into the replaced system, which must still be there.
  id.Reset();
  device.Reset();
  enumerator.Reset();
  Install(SimSystem::Sample());
}

TEST(InstallTest, UninstallHandsTheSystemBackAndTheSampleFollows) {
  Install(SimSystem::Sample());
  SimSystem* first = &Installed();
  std::unique_ptr<SimSystem> taken = Uninstall();
  EXPECT_EQ(taken.get(), first);
  taken.reset();
  EXPECT_EQ(Installed().Dump(), SimSystem::Sample()->Dump());
  EXPECT_EQ(&CurrentPlatform(), &Installed());
}

}  // namespace
}  // namespace velto::sim::testing
