// What the library may report. Two levels of knowledge:
// - CheckReport: the ties every call's outcome must show whatever the
//   platform answered (a getter that fails returns 0, a setter's result goes
//   with its status, untouched outputs stay untouched, ...);
// - AllowedUnderFailure: given the outcome when nothing fails and which one
//   platform call fails, the outcomes the exports' failure rules allow.
#pragma once

#include <cstddef>
#include <optional>
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

// A call that answers no HRESULT failed: an allocation (SysAllocStringLen,
// the task memory of GetId or GetName) or a code-page conversion. Which
// HRESULT failure must show the same outcome (an index into the failable
// calls), and whether the export may also come through unharmed: a search
// word lost in a walk need not change what the walk finds, and a failed id
// conversion is retried piece by piece.
struct PlainFailure {
  std::size_t equivalent;
  bool mayBeHarmless;
};
// The plain call at `position` of a clean run's trace whose failure can be
// injected, and what it corresponds to; nullopt for any other entry.
std::optional<PlainFailure> PlainFailureAt(const std::vector<sim::TraceEntry>& trace,
                                           std::size_t position);
// The outcomes allowed when a search word of a walk in the lookup starting
// at `lookup` (an index into `calls`) was lost.
std::vector<Outcome> AllowedUnderLostWord(const HostCall& call, const Inputs& inputs,
                                          const Outcome& baseline,
                                          const std::vector<PlatformCall>& calls,
                                          std::size_t lookup);
// The operation a fault rule names to fail the plain call at that entry.
const char* PlainOperation(const sim::TraceEntry& entry);

}  // namespace velto::hardening
