// Binding the virtual endpoint: a second playback endpoint whose volume and
// mute the host drives beside the bound mixer.
#include "core/endpoint_lookup.h"
#include "core/export_guard.h"
#include "core/mixer_state.h"
#include "veltosound.h"

using namespace velto;
using namespace velto::platform;

extern "C" {

int VELTO_CALL OpenVirtual_1(const char* search) {
  return GuardedExport(1, [&] {
    MixerState& state = Mixer();
    state.virtualEndpoint.Reset();
    Ref<DeviceTopology> topology;
    // The topology only proves that the endpoint is a real device; the volume
    // stays bound without it.
    const Activation activation =
        ActivateEndpoint(state, search, topology, ControlId::VirtualEndpoint, DataFlow::Render);
    topology.Reset();
    SettleComHold(state);
    return activation == Activation::Activated ? 0 : 1;
  });
}

int VELTO_CALL CloseVirtual_1(void) {
  return GuardedExport(0, [] {
    MixerState& state = Mixer();
    state.virtualEndpoint.Reset();
    SettleComHold(state);
    return 0;
  });
}

}  // extern "C"
