#include "core/endpoint_lookup.h"

#include <gtest/gtest.h>

#include "core/text.h"
#include "mixer_fixture.h"

namespace velto::testing {
namespace {

using nlohmann::json;
using platform::DataFlow;

// Endpoints without adapters: lookup and activation only need the endpoint.
json ThreeRenderOneCapture() {
  return {{"endpoints",
           {Endpoint("{0.0.0.00000000}.{aaaa-0001}", "Speakers", "render", "disabled"),
            Endpoint("{0.0.0.00000000}.{bbbb-0002}", "Headphones", "render"),
            Endpoint("{0.0.0.00000000}.{bbbb-0003}", "Digital Output", "render"),
            Endpoint("{0.0.1.00000000}.{cccc-0004}", "Microphone", "capture")}}};
}

class EndpointLookupTest : public MixerTest {
 protected:
  void SetUp() override { UseSystemJson(ThreeRenderOneCapture()); }
  std::string LastName() { return mixer().lastFoundName ? *mixer().lastFoundName : "<none>"; }
};

TEST_F(EndpointLookupTest, FindsFirstActiveEndpointWhoseIdContainsTheText) {
  struct Case {
    const char* search;
    DataFlow flow;
    int result;
    const char* name;
  } cases[] = {
      {"", DataFlow::Render, 0, "Headphones"},               // the disabled one is never searched
      {nullptr, DataFlow::Render, 0, "Headphones"},          // null counts as empty
      {"bbbb", DataFlow::Render, 0, "Headphones"},           // two matches: the first wins
      {"BBBB-0003", DataFlow::Render, 0, "Digital Output"},  // A to Z fold
      {"{0.0.1", DataFlow::Capture, 0, "Microphone"},
      {"aaaa", DataFlow::Render, -1, "<none>"},  // disabled
      {"cccc", DataFlow::Render, -1, "<none>"},  // wrong data flow
      {"zzzz", DataFlow::Capture, -1, "<none>"},
  };
  for (const Case& c : cases) {
    ResetMixerState();
    EXPECT_EQ(Lookup(c.search, c.flow), c.result) << (c.search ? c.search : "null");
    EXPECT_EQ(LastName(), c.name) << (c.search ? c.search : "null");
    EXPECT_EQ(mixer().deviceBound, c.result == 0);
  }
}

TEST_F(EndpointLookupTest, OnlyAsciiLettersFoldAndFailedLookupKeepsThePreviousBinding) {
  json description = ThreeRenderOneCapture();
  description["endpoints"][1]["id"] = "{0.0.0.00000000}.{\xC3\x89tude}";  // "Étude"
  UseSystemJson(description);
  ASSERT_EQ(Lookup("TUDE", DataFlow::Render), 0);
  EXPECT_EQ(LastName(), "Headphones");
  // 0xC9 is É in the ANSI code page; é (0xE9) must not match it.
  EXPECT_EQ(Lookup("\xE9tude", DataFlow::Render), -1);
  EXPECT_EQ(Lookup("\xC9tude", DataFlow::Render), 0);
  EXPECT_EQ(Lookup("zzzz", DataFlow::Render), -1);
  EXPECT_EQ(LastName(), "Headphones");
  EXPECT_TRUE(mixer().deviceBound);
}

TEST_F(EndpointLookupTest, UnreadableEndpointsArePassedOverAndMissingServicesAreNotFound) {
  struct Case {
    sim::FaultRule fault;
    int result;
    const char* name;
  } cases[] = {
      {{"device:{0.0.0.00000000}.{bbbb-0002}", "GetId"}, 0, "Digital Output"},
      {{"collection:render", "Item", platform::kE_FAIL, {}, 0, 1}, 0, "Digital Output"},
      // An endpoint whose name cannot be read is passed over like one without an id.
      {{"device:{0.0.0.00000000}.{bbbb-0002}/properties", "GetValue"}, 0, "Digital Output"},
      // A name handed over cut to fit is still its name.
      {{"device:{0.0.0.00000000}.{bbbb-0002}/properties", "GetValue",
        platform::kINPLACE_S_TRUNCATED},
       0,
       "Headphones"},
      {{"device:{0.0.0.00000000}.{bbbb-0002}", "OpenPropertyStore"}, 0, "Digital Output"},
      {{"com", "PropVariantToBSTR", platform::kE_FAIL, {}, 0, 1}, 0, "Digital Output"},
      {{"com", "PropVariantToBSTR"}, -1, "<none>"},
      {{"device:{0.0.0.00000000}.{bbbb-0002}", "CoTaskMemAlloc"}, 0, "Digital Output"},
      // The search text cannot be widened: nothing can be compared.
      {{"com", "SysAllocStringLen"}, -1, "<none>"},
      {{"com", "CreateDeviceEnumerator"}, -1, "<none>"},
      {{"enumerator", "EnumAudioEndpoints"}, -1, "<none>"},
      {{"collection:render", "GetCount"}, -1, "<none>"},
      {{"collection:render", "GetCount", platform::kS_FALSE}, -1, "<none>"},
  };
  for (const Case& c : cases) {
    UseSystemJson(ThreeRenderOneCapture());
    system().AddFault(c.fault);
    EXPECT_EQ(Lookup("bbbb", DataFlow::Render), c.result) << c.fault.object << " " << c.fault.op;
    EXPECT_EQ(LastName(), c.name) << c.fault.object << " " << c.fault.op;
    EXPECT_EQ(system().ComInitDepth(), 0);
    EXPECT_EQ(system().LiveReferences(), 0);
    EXPECT_EQ(system().LiveTaskStrings(), 1u * (c.result == 0)) << "only the bound id is kept";
  }
}

TEST_F(EndpointLookupTest, HostThreadInAnotherApartmentKeepsItsComInitialisation) {
  system().AddFault({"com", "CoInitialize", platform::kRPC_E_CHANGED_MODE});
  EXPECT_EQ(Lookup("", DataFlow::Render), 0);
  EXPECT_EQ(system().ComInitDepth(), 0);
  EXPECT_TRUE(system().Problems().empty()) << ::testing::PrintToString(system().Problems());
}

TEST(NarrowBstr, KeepsTheLowByteOfEachCodeUnit) {
  auto system = sim::SimSystem::FromJson(json::object(), "empty");
  auto narrow = [&](const std::u16string& text) {
    platform::Bstr bstr(system.get(), system->SysAllocStringLen(
                                          text.data(), static_cast<std::uint32_t>(text.size())));
    return NarrowBstr(*system, bstr.Get());
  };
  EXPECT_EQ(narrow(u"\u0141"), "\x41");
  EXPECT_EQ(narrow(u"Caf\u00E9"), "Caf\xE9");
  EXPECT_EQ(narrow(u""), "");
  EXPECT_EQ(NarrowBstr(*system, nullptr), "");
  EXPECT_STREQ(narrow(std::u16string(u"ab\0cd", 5)).c_str(), "ab");
}

class VirtualEndpointTest : public EndpointLookupTest {};

TEST_F(VirtualEndpointTest, BindsTheVolumeAndSetsTheDeviceMarker) {
  int status = -1;
  EXPECT_EQ(GetMasterVolume(&status), 0);
  EXPECT_EQ(status, 3);
  EXPECT_EQ(OpenVirtual_1(""), 0);
  EXPECT_EQ(GetMasterVolume(&status), 0);
  EXPECT_EQ(status, 1) << "the marker is set, the master volume is simply missing";
  EXPECT_EQ(SetVirtualVolume(50, &status), 50);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(state()["endpoints"][1]["volume"]["channels"][0].get<float>(), -6.02059984f);
  EXPECT_EQ(CloseSoundCard(0), 0);
  EXPECT_EQ(GetVirtualVolume(&status), 50) << "CloseSoundCard leaves the virtual endpoint";
  EXPECT_EQ(status, 0);
  EXPECT_EQ(CloseVirtual_1(), 0);
  EXPECT_EQ(GetVirtualVolume(&status), 0);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(system().LiveReferences(), 0);
  EXPECT_EQ(CloseVirtual_1(), 0);
}

TEST_F(VirtualEndpointTest, FailedLookupLeavesNoVirtualEndpoint) {
  ASSERT_EQ(OpenVirtual_1("bbbb-0003"), 0);
  EXPECT_EQ(OpenVirtual_1("no such id"), 1);
  int status = -1;
  EXPECT_EQ(GetVirtualVolume(&status), 0);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(system().LiveReferences(), 0);
}

TEST_F(VirtualEndpointTest, EndpointWithoutTopologyReportsFailureButStaysBound) {
  json description = ThreeRenderOneCapture();
  description["endpoints"][1]["topology"] = false;
  UseSystemJson(description);
  EXPECT_EQ(OpenVirtual_1("bbbb-0002"), 1);
  int status = -1;
  EXPECT_EQ(GetVirtualVolume(&status), 31);
  EXPECT_EQ(status, 0);
}

TEST_F(VirtualEndpointTest, NoActiveRenderEndpoint) {
  json description = ThreeRenderOneCapture();
  for (auto& endpoint : description["endpoints"]) {
    if (endpoint["flow"] == "render") endpoint["state"] = "unplugged";
  }
  UseSystemJson(description);
  EXPECT_EQ(OpenVirtual_1(""), 1);
  EXPECT_FALSE(mixer().deviceBound);
}

TEST_F(VirtualEndpointTest, VolumeActivationFailureLeavesTheSlotEmpty) {
  system().AddFault({"device:*", "Activate"});
  EXPECT_EQ(OpenVirtual_1(""), 1);
  int status = -1;
  EXPECT_EQ(GetVirtualVolume(&status), 0);
  EXPECT_EQ(status, 1);
  EXPECT_TRUE(mixer().deviceBound) << "the lookup itself succeeded";
}

}  // namespace
}  // namespace velto::testing
