// Binding the mixer as a whole and letting it go again.
#include <array>
#include <cstring>
#include <string>

#include "controls/restore.h"
#include "core/endpoint_lookup.h"
#include "core/export_guard.h"
#include "core/mixer_state.h"
#include "platform/com_scope.h"
#include "platform/obtained.h"
#include "topology/discovery.h"
#include "veltosound.h"

namespace velto {

using namespace platform;

namespace {

// What each failed binding adds (by exclusive or) to OpenSoundCard's result;
// every combination gives a different code.
constexpr int kPlaybackFailed = 1;
constexpr int kMicFailed = 3;
constexpr int kLineFailed = 6;

using DiscoverControls = Discovery (*)(MixerState&, CallBudget&, const char*, DataFlow);

bool IsEmpty(const char* text) { return !text || !*text; }

// Runs a discovery; when it succeeds, `name` is refilled from lastFoundName.
bool BindNamed(MixerState& state, CallBudget& budget, DiscoverControls discover,
               const char* searchText, DataFlow flow, NameBuffer& name) {
  if (discover(state, budget, searchText, flow) != Discovery::Completed) return false;
  // A name that cannot be allocated does not undo the binding.
  GuardedVoid([&] { RefillDeviceName(state, name); });
  return true;
}

int OpenNamed(MixerState& state, const char* playback, const char* mic, const char* line) {
  ReleaseBoundControls(state);
  CallBudget budget;
  int failures = 0;
  if (!IsEmpty(playback) && !BindNamed(state, budget, DiscoverPlaybackControls, playback,
                                       DataFlow::Render, state.playbackDeviceName)) {
    failures ^= kPlaybackFailed;
  }
  if (!IsEmpty(mic) && !BindNamed(state, budget, DiscoverMicCaptureControls, mic, DataFlow::Capture,
                                  state.micDeviceName)) {
    failures ^= kMicFailed;
  }
  if (!IsEmpty(line) && !BindNamed(state, budget, DiscoverLineCaptureControls, line,
                                   DataFlow::Capture, state.lineDeviceName)) {
    failures ^= kLineFailed;
  }
  return failures;
}

// The default endpoint's id as the text the discoveries search for, or an
// empty text when there is none.
std::string DefaultSearchText(DeviceEnumerator& enumerator, DataFlow flow) {
  Ref<Device> device;
  if (!Obtained(enumerator.GetDefaultAudioEndpoint(flow, Role::Console, device), device)) {
    return {};
  }
  TaskString id;
  if (device->GetId(id) != kS_OK || !id) return {};
  return IdSearchText(id.Get());
}

struct DefaultIds {
  std::string render;
  std::string capture;
};

// False when the device enumerator cannot be created.
bool ReadDefaultIds(DefaultIds& ids) {
  Platform& platform = CurrentPlatform();
  ComScope com(platform);
  Ref<DeviceEnumerator> enumerator;
  if (!Obtained(platform.CreateDeviceEnumerator(kClsctxInprocServer, enumerator), enumerator)) {
    return false;
  }
  ids.render = DefaultSearchText(*enumerator, DataFlow::Render);
  ids.capture = DefaultSearchText(*enumerator, DataFlow::Capture);
  return true;
}

// Upper-cases lastFoundName in place (a to z only) and looks for "MIC".
bool NamedLikeMicrophone(MixerState& state) {
  if (!state.lastFoundName) return false;
  for (char& c : *state.lastFoundName) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return std::strstr(state.lastFoundName->c_str(), "MIC") != nullptr;
}

// The default recording endpoint is bound as the microphone when its name
// says so and that works, otherwise as the line input; never as both.
void BindDefaultCapture(MixerState& state, CallBudget& budget, const char* captureId) {
  if (NamedLikeMicrophone(state) && BindNamed(state, budget, DiscoverMicCaptureControls, captureId,
                                              DataFlow::Capture, state.micDeviceName)) {
    return;
  }
  BindNamed(state, budget, DiscoverLineCaptureControls, captureId, DataFlow::Capture,
            state.lineDeviceName);
}

int OpenDefaults(MixerState& state) {
  DefaultIds ids;
  if (!ReadDefaultIds(ids)) return 1;

  CallBudget budget;
  // An empty text would match the first endpoint, not the default one.
  if (!ids.render.empty()) {
    const Discovery playback =
        DiscoverPlaybackControls(state, budget, ids.render.c_str(), DataFlow::Render);
    // The name of a device this call did not find would name one not bound.
    if (playback != Discovery::EndpointNotFound) {
      GuardedVoid([&] { RefillDeviceName(state, state.playbackDeviceName); });
    }
  }

  if (ids.capture.empty()) return 1;
  // Only the name is kept; the discovery looks the endpoint up afresh.
  std::optional<FoundEndpoint> found = FindEndpoint(ids.capture.c_str(), DataFlow::Capture);
  if (!found) return 1;
  KeepFound(state, std::move(found->name));
  found.reset();
  BindDefaultCapture(state, budget, ids.capture.c_str());
  return 0;
}

int Close(MixerState& state, int restore) {
  if (!state.deviceBound) return 0;
  if ((restore & 0xFF) != 0) RestoreSavedValues(state);
  state.lastFoundName.reset();
  state.playbackDeviceName.reset();
  state.lineDeviceName.reset();
  state.micDeviceName.reset();
  state.foundIds = {};
  ReleaseBoundControls(state);
  SettleComHold(state);
  state.deviceBound = false;
  return 0;
}

}  // namespace

}  // namespace velto

extern "C" {

int VELTO_CALL OpenSoundCard(const char* playback, const char* mic, const char* line) {
  return velto::GuardedExport(velto::kPlaybackFailed ^ velto::kMicFailed ^ velto::kLineFailed, [&] {
    velto::MixerState& state = velto::Mixer();
    const int failures = velto::OpenNamed(state, playback, mic, line);
    velto::SettleComHold(state);
    return failures;
  });
}

int VELTO_CALL OpenDefaultDevices(void) {
  return velto::GuardedExport(1, [] {
    velto::MixerState& state = velto::Mixer();
    const int result = velto::OpenDefaults(state);
    velto::SettleComHold(state);
    return result;
  });
}

int VELTO_CALL CloseSoundCard(int restore) {
  // Closing has no failure result: a refused close answers 0, as a close
  // with nothing bound does, and leaves the binding to its first caller.
  return velto::GuardedExport(0, [&] { return velto::Close(velto::Mixer(), restore); });
}

}  // extern "C"
