// Running the exports on a simulated system and checking what the platform
// was left with. Free of any test framework: each check returns the problems
// it found as text, empty when all is well.
#pragma once

#include <string>
#include <vector>

#include "generated_systems.h"
#include "host_calls.h"
#include "platform/sim/sim_system.h"

namespace velto::hardening {

// A fresh copy of `system` as the platform, with the mixer unbound and empty.
// Throws sim::DescriptionError for a description the simulator refuses.
sim::SimSystem& InstallFresh(const TestSystem& system);
// The same from a model, without JSON.
sim::SimSystem& InstallFresh(description::Description model);

// Empties the mixer and destroys the installed system with all it still
// holds, so that nothing of a run outlives it. Only after LeftAfterClosing
// found the library holding nothing.
void DiscardInstalled();

// Valid arguments for `call` on `system`: its search texts, 50%, 2.5 dB, a
// boost of 20 dB, a close that restores.
Inputs OrdinaryInputs(const HostCall& call, const TestSystem& system);

// Problems one to a line, indented: "" when there are none.
std::string Join(const std::vector<std::string>& lines);

// OpenSoundCard with the system's three texts, then OpenVirtual_1.
void BindAll(const TestSystem& system);

// Misuse the simulator saw (use after release, double release or free, an
// unbalanced CoUninitialize) and COM left initialised.
std::vector<std::string> PlatformMisuse(const sim::SimSystem& system);

// Every reference, string or PROPVARIANT still held on `system`, the
// multithreaded apartment if still held, and any misuse: what a test that ends clean finds nothing of.
// `unclearedByPlatform` PROPVARIANTs are not counted (see LeftAfterClosing).
std::vector<std::string> PlatformLeftovers(const sim::SimSystem& system,
                                           std::size_t unclearedByPlatform = 0);

// Lets the mixer go (CloseSoundCard without restore, CloseVirtual_1) and
// reports every reference, string or PROPVARIANT still held, and any misuse.
// `unclearedByPlatform` PROPVARIANTs are not counted: a PropVariantClear that
// failed left its payload with the platform, and nothing can free it after.
std::vector<std::string> LeftAfterClosing(sim::SimSystem& system,
                                          std::size_t unclearedByPlatform = 0);

// A platform call that returns an HRESULT, as the trace shows it.
struct PlatformCall {
  std::string object;
  std::string op;
  std::string args;
  std::string Site() const { return object + " " + op; }
};
std::vector<PlatformCall> FailableCalls(const std::vector<sim::TraceEntry>& trace);

}  // namespace velto::hardening
