// What the library may report. Two levels of knowledge:
// - CheckReport: the ties every call's outcome must show whatever the
//   platform answered (a getter that fails returns 0, a setter's result goes
//   with its status, untouched outputs stay untouched, ...);
// - AllowedUnderFailure: given the outcome when nothing fails and which one
//   platform call fails, the outcomes the exports' failure rules allow.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "host_calls.h"
#include "platform/platform.h"
#include "platform_checks.h"

namespace velto::hardening {

std::vector<std::string> CheckReport(const HostCall& call, const Inputs& inputs,
                                     const Outcome& outcome);

std::vector<Outcome> AllowedUnderFailure(const HostCall& call, const Inputs& inputs,
                                         const Outcome& baseline,
                                         const std::vector<PlatformCall>& calls, std::size_t failed,
                                         platform::HRESULT answer);

}  // namespace velto::hardening
