// `show`: the bound devices and every control at a glance.
#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "mixer/mixer_controls.h"

namespace veltomix {

struct DeviceView {
  BoundEndpoint device;
  std::string name;                                              // empty when not bound
  std::vector<std::pair<const ControlInfo*, Reading>> controls;  // when bound
};

// Every device with its controls, read through the exports. A device counts
// as bound when the library names it, when `chosenNames` (what `open` chose)
// does, or when its own volume answers: a binding whose walk failed still
// serves the controls it found.
std::vector<DeviceView> ReadMixer(const std::map<BoundEndpoint, std::string>& chosenNames);

// Each device with its name and its controls as labelled bars. `color`
// adds ANSI colours.
std::string RenderShow(const std::vector<DeviceView>& mixer, bool color);
nlohmann::ordered_json ShowJson(const std::vector<DeviceView>& mixer);

// kExitNothingBound when no device is bound, kExitPlatform when a control
// could not be read; a control the device lacks is no failure here.
int ShowExit(const std::vector<DeviceView>& mixer);

}  // namespace veltomix
