// `show`: the bound devices and every control at a glance.
#pragma once

#include <string>

namespace veltomix {

// Each device with its name and its controls as labelled bars, read through
// the exports. `color` adds ANSI colours; `virtualName` names the virtual
// endpoint when the session knows it (no export reports it).
std::string RenderShow(bool color, const std::string& virtualName);

}  // namespace veltomix
