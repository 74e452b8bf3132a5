// Binds MixerState slots straight from the simulated system, without the
// topology walks: the control tests reach a part by its name and activate
// the interface they need, as a walk would.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/mixer_state.h"
#include "joined_part.h"
#include "mixer_fixture.h"
#include "platform/com_scope.h"
#include "platform/platform.h"

namespace velto::testing {

using namespace platform;

// The endpoint with id `endpointId` (ASCII), or empty.
inline Ref<Device> EndpointDevice(Platform& platform, const std::string& endpointId) {
  Ref<DeviceEnumerator> enumerator;
  if (platform.CreateDeviceEnumerator(kClsctxInprocServer, enumerator) != kS_OK) return nullptr;
  Ref<Device> device;
  enumerator->GetDevice(Ascii16(endpointId).c_str(), device);
  return device;
}

// The adapter part joined to the endpoint's connector 0.
inline Ref<Part> AdapterConnector(Device& device) {
  Ref<DeviceTopology> topology;
  if (device.Activate(kClsctxAll, topology) != kS_OK) return nullptr;
  return JoinedPart(*topology);
}

// The part named `partName` anywhere in the adapter topology behind the
// endpoint, searched both ways from the endpoint's adapter connector.
inline Ref<Part> PartBehind(Platform& platform, const std::string& endpointId,
                            const std::string& partName) {
  Ref<Device> device = EndpointDevice(platform, endpointId);
  if (!device) return nullptr;
  return FindPart({AdapterConnector(*device)}, partName);
}

// Activates interface `iid` of the named part into `slot`.
template <class Interface, class Iid>
void BindPartControl(const std::string& endpointId, const std::string& partName, Iid iid,
                     Ref<Interface>& slot) {
  Platform& platform = CurrentPlatform();
  ComScope com(platform);
  Mixer().comHold.Take(platform);  // as ActivateEndpoint does for a binding
  Ref<Part> part = PartBehind(platform, endpointId, partName);
  ASSERT_TRUE(part) << "no part " << partName << " behind " << endpointId;
  ASSERT_EQ(part->Activate(iid, kClsctxAll, slot), kS_OK) << partName;
}

// Activates the endpoint's IAudioEndpointVolume into `slot`.
inline void BindEndpointVolume(const std::string& endpointId, Ref<EndpointVolume>& slot) {
  Platform& platform = CurrentPlatform();
  ComScope com(platform);
  Mixer().comHold.Take(platform);
  Ref<Device> device = EndpointDevice(platform, endpointId);
  ASSERT_TRUE(device) << "no endpoint " << endpointId;
  ASSERT_EQ(device->Activate(kClsctxInprocServer, slot), kS_OK) << endpointId;
}

// A level control whose answers the test chooses. Unlike an injected fault,
// a failing call here still fills its outputs, as a driver may; and it can
// report no channel at all, which no described part can.
class ScriptedLevel final : public LevelControl {
 public:
  // Puts a new ScriptedLevel into `slot`, which owns it.
  static ScriptedLevel& Into(Ref<LevelControl>& slot) {
    auto* control = new ScriptedLevel;
    slot = Ref<LevelControl>::Adopt(control);
    return *control;
  }

  unsigned long AddRef() override { return ++references_; }
  unsigned long Release() override {
    const unsigned long left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT GetChannelCount(std::uint32_t* count) override {
    *count = channels;
    return countAnswer;
  }
  HRESULT GetLevelRange(std::uint32_t, float* minDb, float* maxDb, float* stepDb) override {
    *minDb = 5.5f, *maxDb = 6.5f, *stepDb = 7.5f;
    return readAnswer;
  }
  HRESULT GetLevel(std::uint32_t, float* levelDb) override {
    *levelDb = 8.5f;
    return readAnswer;
  }
  HRESULT SetLevel(std::uint32_t, float) override {
    ++sets;
    return kE_INVALIDARG;
  }

  std::uint32_t channels = 0;
  HRESULT countAnswer = kS_OK;
  HRESULT readAnswer = kE_FAIL;
  int sets = 0;

 private:
  ScriptedLevel() = default;
  unsigned long references_ = 1;
};

constexpr const char* kSpeakers = "{0.0.0.00000000}.{control-speakers}";
constexpr const char* kHeadphones = "{0.0.0.00000000}.{control-headphones}";
constexpr const char* kMicrophone = "{0.0.1.00000000}.{control-mic}";
constexpr const char* kLineIn = "{0.0.1.00000000}.{control-line}";

// Runs on the control card, with slots bound by hand. The slots are given
// back before the fixture counts references, whether or not the test set
// the device-bound marker.
class ControlCardTest : public MixerTest {
 protected:
  void SetUp() override { UseSystemFile("controls/control_card.json"); }
  void TearDown() override {
    ReleaseBoundControls(mixer());
    mixer().virtualEndpoint.Reset();
    SettleComHold(mixer());
    MixerTest::TearDown();
  }
};

}  // namespace velto::testing
