#include "platform_checks.h"

#include "core/mixer_state.h"
#include "veltosound.h"

namespace velto::hardening {

sim::SimSystem& InstallFresh(const TestSystem& system) {
  ResetMixerState();
  sim::Install(sim::SimSystem::FromJson(system.description, system.name));
  return sim::Installed();
}

sim::SimSystem& InstallFresh(description::Description model) {
  ResetMixerState();
  sim::Install(sim::SimSystem::FromModel(std::move(model)));
  return sim::Installed();
}

void DiscardInstalled() {
  ResetMixerState();
  sim::Uninstall();
}

void BindAll(const TestSystem& system) {
  OpenSoundCard(system.playback.c_str(), system.mic.c_str(), system.line.c_str());
  OpenVirtual_1(system.virtualEndpoint.c_str());
}

std::vector<std::string> PlatformMisuse(const sim::SimSystem& system) {
  std::vector<std::string> found = system.Problems();
  if (system.ComInitDepth() != 0)
    found.push_back("COM left initialised, depth " + std::to_string(system.ComInitDepth()));
  return found;
}

std::vector<std::string> LeftAfterClosing(sim::SimSystem& system, std::size_t unclearedByPlatform) {
  CloseSoundCard(0);
  CloseVirtual_1();
  return PlatformLeftovers(system, unclearedByPlatform);
}

std::vector<std::string> PlatformLeftovers(const sim::SimSystem& system,
                                           std::size_t unclearedByPlatform) {
  std::vector<std::string> found = PlatformMisuse(system);
  for (const auto& [object, references] : system.LiveReferencesByObject())
    found.push_back(std::to_string(references) + " reference(s) leaked on " + object);
  if (system.LiveTaskStrings() != 0)
    found.push_back(std::to_string(system.LiveTaskStrings()) + " task-memory string(s) leaked");
  if (system.LiveBstrs() != 0)
    found.push_back(std::to_string(system.LiveBstrs()) + " BSTR(s) leaked");
  if (system.LiveMtaUsages() != 0)
    found.push_back("the multithreaded apartment still held " +
                    std::to_string(system.LiveMtaUsages()) + " time(s)");
  if (system.LivePropVariants() != unclearedByPlatform)
    found.push_back(std::to_string(system.LivePropVariants()) + " PROPVARIANT(s) held, " +
                    std::to_string(unclearedByPlatform) + " expected");
  return found;
}

std::vector<PlatformCall> FailableCalls(const std::vector<sim::TraceEntry>& trace) {
  std::vector<PlatformCall> calls;
  for (const sim::TraceEntry& entry : trace) {
    if (entry.hasResult) calls.push_back({entry.object, entry.op, entry.args});
  }
  return calls;
}

Inputs OrdinaryInputs(const HostCall& call, const TestSystem& system) {
  Inputs in;
  in.value = 50;
  in.level = 2.5;
  if (call.family == Family::Open) in.texts = {system.playback, system.mic, system.line};
  if (call.family == Family::OpenVirtual) in.texts[0] = system.virtualEndpoint;
  if (call.family == Family::BoostSet) in.value = 20;
  if (call.family == Family::Close) in.value = 1;
  return in;
}

std::string Join(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += "\n  " + line;
  return out;
}

}  // namespace velto::hardening
