#include <array>
#include <cctype>
#include <cstring>
#include <string>

#include "core/endpoint_lookup.h"
#include "mixer_fixture.h"

namespace velto::testing {
namespace {

using nlohmann::json;
using namespace platform;

const std::string kLongName = "Speakers " + std::string(291, 'N');
const std::string kLongId = "{0.0.0.00000000}.{long-" + std::string(290, '7') + "}";

// Render and capture endpoints between inactive ones, with names and ids
// outside ASCII and beyond the host's buffers.
json ListingSystem() {
  return {{"endpoints",
           {Endpoint("{0.0.0.00000000}.{render-one}", "Speakers", "render"),
            Endpoint("{0.0.0.00000000}.{render-off}", "Disabled Out", "render", "disabled"),
            Endpoint("{0.0.0.00000000}.{\u00e9-\u20ac-render}", "Caf\u00e9 \u0141\u00f3d\u017a",
                     "render"),
            Endpoint(kLongId, kLongName, "render"),
            Endpoint("{0.0.1.00000000}.{capture-mic}", "Microphone", "capture"),
            Endpoint("{0.0.1.00000000}.{capture-gone}", "Unplugged In", "capture", "unplugged"),
            Endpoint("{0.0.1.00000000}.{capture-line}", "Line In", "capture")}},
          {"adapters", json::array()}};
}

struct Listing {
  int result;
  HostBuffer name, id;
};

using Describe = int (*)(unsigned int, char*, char*);

Listing List(Describe describe, unsigned int index) {
  Listing l;
  l.result = describe(index, l.name.data(), l.id.data());
  return l;
}

class EnumerationTest : public MixerTest {
 protected:
  void SetUp() override { UseSystemJson(ListingSystem()); }
};

TEST_F(EnumerationTest, CountsOnlyActiveEndpoints) {
  int count = -1;
  EXPECT_EQ(GetNumberPlayDevices(&count), 0);
  EXPECT_EQ(count, 3);
  count = -1;
  EXPECT_EQ(GetNumberRecordDevices(&count), 0);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(GetNumberPlayDevices(nullptr), 0);
}

TEST_F(EnumerationTest, ListsNamesByLowByteAndIdsThroughTheAnsiPage) {
  const struct {
    Describe describe;
    unsigned int index;
    std::string name, id;
  } cases[] = {
      {GetPlayBackDevice, 0, "Speakers", "{0.0.0.00000000}.{render-one}"},
      // U+00E9 and U+00F3 keep their byte, U+0141 and U+017A their low byte.
      {GetPlayBackDevice, 1,
       "Caf\xE9 A\xF3"
       "dz",
       "{0.0.0.00000000}.{\xE9-\x80-render}"},
      {GetPlayBackDevice, 2, kLongName.substr(0, 254), kLongId.substr(0, 254)},
      {GetRecordDevice, 0, "Microphone", "{0.0.1.00000000}.{capture-mic}"},
      {GetRecordDevice, 1, "Line In", "{0.0.1.00000000}.{capture-line}"},
  };
  for (const auto& c : cases) {
    const Listing l = List(c.describe, c.index);
    EXPECT_EQ(l.result, 0) << c.name;
    EXPECT_EQ(l.name.text(), c.name);
    EXPECT_EQ(l.id.text(), c.id);
    EXPECT_TRUE(l.name.guardIntactFrom(c.name.size() + 1)) << c.name;
    EXPECT_TRUE(l.id.guardIntactFrom(c.id.size() + 1)) << c.id;
  }
}

TEST_F(EnumerationTest, ListedIdFindsItsOwnEndpoint) {
  const struct {
    Describe describe;
    DataFlow flow;
    unsigned int count;
  } twins[] = {{GetPlayBackDevice, DataFlow::Render, 3}, {GetRecordDevice, DataFlow::Capture, 2}};
  for (const auto& twin : twins) {
    for (unsigned int i = 0; i < twin.count; ++i) {
      const Listing l = List(twin.describe, i);
      ASSERT_EQ(l.result, 0);
      ASSERT_EQ(Lookup(l.id.data(), twin.flow), 0) << l.id.text();
      EXPECT_EQ(mixer().lastFoundName->substr(0, 254), l.name.text());
    }
  }
  // As a host would use it: the listed id binds the virtual endpoint.
  const Listing accented = List(GetPlayBackDevice, 1);
  EXPECT_EQ(OpenVirtual_1(accented.id.data()), 0);
  EXPECT_EQ(*mixer().lastFoundName,
            "Caf\xE9 A\xF3"
            "dz");
}

TEST_F(EnumerationTest, TwinsAnswerAnIndexPastTheEndDifferently) {
  const struct {
    Describe describe;
    unsigned int index;
    int result;
  } cases[] = {
      {GetPlayBackDevice, 3, -1},
      {GetPlayBackDevice, 0xFFFFFFFFu, -1},
      {GetRecordDevice, 2, 2},
      {GetRecordDevice, 0xFFFFFFFFu, 2},
  };
  for (const auto& c : cases) {
    const Listing l = List(c.describe, c.index);
    EXPECT_EQ(l.result, c.result) << c.index;
    EXPECT_TRUE(l.name.untouched());
    EXPECT_TRUE(l.id.untouched());
  }
}

TEST_F(EnumerationTest, NoActiveEndpointIsNeverSuccess) {
  UseSystemJson({{"endpoints",
                  {Endpoint("{off-render}", "Off", "render", "disabled"),
                   Endpoint("{off-capture}", "Off", "capture", "notpresent")}},
                 {"adapters", json::array()}});
  for (auto countOf : {GetNumberPlayDevices, GetNumberRecordDevices}) {
    int count = -1;
    EXPECT_EQ(countOf(&count), 0);
    EXPECT_EQ(count, 0);
  }
  for (Describe describe : {GetPlayBackDevice, GetRecordDevice}) {
    for (unsigned int index : {0u, 1u, 0xFFFFFFFFu}) {
      const Listing l = List(describe, index);
      EXPECT_EQ(l.result, -1) << index;
      EXPECT_TRUE(l.name.untouched());
      EXPECT_TRUE(l.id.untouched());
    }
  }
}

TEST_F(EnumerationTest, FailedStepsAreReportedAndWriteNothing) {
  const struct {
    const char* op;
    HRESULT answer;
    int countResult;  // of both counting twins
    int listResult;   // of both per-index twins
  } cases[] = {
      {"CreateDeviceEnumerator", kE_FAIL, 1, -1},
      {"EnumAudioEndpoints", kE_OUTOFMEMORY, 1, -1},
      {"GetCount", kE_FAIL, 1, -1},
      {"GetCount", kS_FALSE, 1, -1},
      {"Item", kE_INVALIDARG, 0, -1},
      {"GetId", kE_OUTOFMEMORY, 0, -1},
      // An endpoint whose name cannot be read is not listed: lookup passes it over.
      {"OpenPropertyStore", kE_FAIL, 0, -1},
      {"GetValue", kE_FAIL, 0, -1},
      {"GetValue", kINPLACE_S_TRUNCATED, 0, 0},  // the value is there, cut to fit
      {"PropVariantToBSTR", kE_OUTOFMEMORY, 0, -1},
      {"CoTaskMemAlloc", kE_FAIL, 0, -1},
      {"WideCharToMultiByte", kE_FAIL, 0, -1},
      {"CoInitialize", kRPC_E_CHANGED_MODE, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.op);
    system().ClearFaults();
    Fail(c.op, c.answer);
    for (auto countOf : {GetNumberPlayDevices, GetNumberRecordDevices}) {
      int count = -1;
      EXPECT_EQ(countOf(&count), c.countResult);
      if (c.countResult != 0) {
        EXPECT_EQ(count, -1);
      }
    }
    for (Describe describe : {GetPlayBackDevice, GetRecordDevice}) {
      const Listing l = List(describe, 0);
      EXPECT_EQ(l.result, c.listResult);
      if (c.listResult != 0) {
        EXPECT_TRUE(l.name.untouched());
        EXPECT_TRUE(l.id.untouched());
      } else {
        EXPECT_FALSE(l.name.text().empty());
        EXPECT_FALSE(l.id.text().empty());
      }
    }
  }
}

TEST_F(EnumerationTest, NullBuffersAreSkipped) {
  HostBuffer id, name;
  EXPECT_EQ(GetPlayBackDevice(0, nullptr, id.data()), 0);
  EXPECT_EQ(id.text(), "{0.0.0.00000000}.{render-one}");
  EXPECT_EQ(GetRecordDevice(1, name.data(), nullptr), 0);
  EXPECT_EQ(name.text(), "Line In");
  EXPECT_EQ(GetRecordDevice(0, nullptr, nullptr), 0);
}

TEST_F(EnumerationTest, DeviceNamesCopiesOnlyBoundNames) {
  HostBuffer playback, line, mic;
  GetDeviceNames(playback.data(), line.data(), mic.data());
  EXPECT_TRUE(playback.untouched());
  EXPECT_TRUE(line.untouched());
  EXPECT_TRUE(mic.untouched());

  mixer().lastFoundName = std::make_unique<std::string>(kLongName);
  RefillDeviceName(mixer(), mixer().playbackDeviceName);
  mixer().lastFoundName = std::make_unique<std::string>("Line In");
  RefillDeviceName(mixer(), mixer().lineDeviceName);
  GetDeviceNames(playback.data(), line.data(), mic.data());
  EXPECT_EQ(playback.text(), kLongName.substr(0, 254));
  EXPECT_TRUE(playback.guardIntactFrom(255));
  EXPECT_EQ(line.text(), "Line In");
  EXPECT_TRUE(mic.untouched());
  GetDeviceNames(nullptr, nullptr, nullptr);
}

// What a host does: list, bind by the listed ids, read back the names.
TEST_F(MixerTest, ListedIdsBindExactlyTheNamedDevices) {
  const Listing speakers = List(GetPlayBackDevice, 0);
  const Listing mic = List(GetRecordDevice, 0);
  const Listing line = List(GetRecordDevice, 1);
  ASSERT_EQ(speakers.result, 0);
  ASSERT_EQ(mic.result, 0);
  ASSERT_EQ(line.result, 0);

  // Microphone left out: its buffer is not touched.
  ASSERT_EQ(OpenSoundCard(speakers.id.data(), "", line.id.data()), 0);
  HostBuffer playbackName, lineName, micName;
  GetDeviceNames(playbackName.data(), lineName.data(), micName.data());
  EXPECT_EQ(playbackName.text(), speakers.name.text());
  EXPECT_EQ(lineName.text(), line.name.text());
  EXPECT_TRUE(micName.untouched());

  // Ids in upper case, as some hosts keep them, bind the same devices.
  std::string micId = mic.id.text();
  for (char& ch : micId) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  ASSERT_EQ(OpenSoundCard(speakers.id.data(), micId.c_str(), ""), 0);
  GetDeviceNames(nullptr, nullptr, micName.data());
  EXPECT_EQ(micName.text(), mic.name.text());
  EXPECT_NE(mic.name.text(), line.name.text());
}

}  // namespace
}  // namespace velto::testing
