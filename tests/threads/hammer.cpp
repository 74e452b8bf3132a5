// Host threads calling every export at once, on the sample card: a mix of
// binding, listing, getters, setters, the virtual endpoint and close with
// restore. One program for both sides: on Linux over the simulated system in
// process (ThreadSanitizer, AddressSanitizer's leak checker), on Windows
// through VeltoSound.dll over the Core Audio test server, each thread in a
// COM state of its own.
//
//   threads_hammer [--threads N] [--calls TOTAL] [--rounds N]
//
// The calls are made in rounds, the threads started afresh for each. After
// each round the Windows build prints the process's private bytes, and after
// the last it requires them flat after the first round (the warm-up). At the
// end the main thread closes with restore and lets the virtual endpoint go;
// on Linux it then requires every reference released, every outcome
// well-formed and no misuse seen by the simulator. Exit status 0 when all
// holds.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host_calls.h"
#include "veltosound.h"

#ifdef _WIN32
// clang-format off
#include <windows.h>
#include <objbase.h>
// clang-format on
#else
#include <thread>

#include "outcome_rules.h"
#include "platform/sim/sim_system.h"
#include "platform_checks.h"
#endif

namespace {

using velto::hardening::AllHostCalls;
using velto::hardening::Family;
using velto::hardening::HostCall;
using velto::hardening::Inputs;

struct Settings {
  unsigned threads = 4;
  unsigned long calls = 100000;
  unsigned rounds = 1;

  // Each thread's calls in a round, rounded up so that at least `calls` are
  // made in all.
  unsigned long Share() const {
    const unsigned long parts = static_cast<unsigned long>(threads) * rounds;
    return (calls + parts - 1) / parts;
  }
};

// The sample card's endpoints by a piece of their ids: speakers, microphone,
// line in, and the digital output as the virtual endpoint.
Inputs InputsFor(const HostCall& call, unsigned long step) {
  Inputs inputs;
  inputs.texts = {"4f6a2c1e", "6b8e3f2a", "d1f5a9c3"};
  if (call.family == Family::OpenVirtual) inputs.texts[0] = "a3e91b57";
  inputs.value = static_cast<int>(step % 101);
  if (call.family == Family::Close) inputs.value = 1;  // with restore
  inputs.index = static_cast<unsigned>(step % 3);
  inputs.level = static_cast<double>(step % 13) - 6.0;
  return inputs;
}

std::atomic<unsigned long> malformed{0};

// A thread's share of a round: exports picked by a generator of its own.
void CallExports(unsigned thread, unsigned long calls) {
  const auto& all = AllHostCalls();
  unsigned long state = 0x9E3779B9ul * (thread + 1);
  for (unsigned long step = 0; step < calls; ++step) {
    state = state * 1103515245ul + 12345ul;
    const HostCall& call = all[(state >> 8) % all.size()];
    const Inputs inputs = InputsFor(call, step);
    const auto outcome = call(inputs);
#ifndef _WIN32
    if (!velto::hardening::CheckReport(call, inputs, outcome).empty() && malformed++ == 0) {
      std::printf("FAIL %s answered %s\n", call.name, outcome.Describe().c_str());
    }
#endif
  }
}

#ifdef _WIN32
// Threads in turn in a single-threaded apartment, in the multithreaded one
// and with COM uninitialised (a lone thread is a host's window thread).
DWORD WINAPI ThreadMain(void* parameter) {
  const auto* job = static_cast<const std::pair<unsigned, unsigned long>*>(parameter);
  const unsigned state = (job->first + 1) % 3;
  const bool initialised =
      state != 0 && SUCCEEDED(CoInitializeEx(
                        nullptr, state == 1 ? COINIT_APARTMENTTHREADED : COINIT_MULTITHREADED));
  CallExports(job->first, job->second);
  if (initialised) CoUninitialize();
  return 0;
}

void RunRound(const Settings& settings) {
  std::vector<std::pair<unsigned, unsigned long>> jobs;
  for (unsigned t = 0; t < settings.threads; ++t) jobs.emplace_back(t, settings.Share());
  std::vector<HANDLE> handles;
  for (auto& job : jobs) handles.push_back(CreateThread(nullptr, 0, ThreadMain, &job, 0, nullptr));
  for (HANDLE handle : handles) {
    WaitForSingleObject(handle, INFINITE);
    CloseHandle(handle);
  }
}

// Committed private memory, region by region: what Windows counts as the
// process's private bytes (Wine leaves PROCESS_MEMORY_COUNTERS_EX.PrivateUsage
// at 0).
std::size_t PrivateBytes() {
  std::size_t total = 0;
  MEMORY_BASIC_INFORMATION region{};
  for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;
       at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
  }
  return total;
}

// Allowed growth from the end of the first round to the end of the last:
// room for the heap's own growth steps (64 KiB seen once, early), never for
// a per-call leak (one byte per call is 900 KB over the nine later rounds of
// a million calls).
constexpr std::size_t kFlatSlack = 256 * 1024;

int Finish(const std::vector<std::size_t>& memory) {
  CloseSoundCard(1);
  CloseVirtual_1();
  if (memory.size() < 2) return 0;
  std::printf("private KiB after each round:");
  for (const std::size_t bytes : memory) std::printf(" %zu", bytes / 1024);
  std::printf("\n");
  const std::size_t peak = *std::max_element(memory.begin() + 1, memory.end());
  std::printf("private bytes after the warm-up %zu, at the end %zu, peak %zu\n", memory[0],
              memory.back(), peak);
  if (peak <= memory[0] + kFlatSlack) return 0;
  std::printf("FAIL private memory grew by %zu bytes after the warm-up\n", peak - memory[0]);
  return 1;
}
#else
void RunRound(const Settings& settings) {
  std::vector<std::thread> threads;
  for (unsigned t = 0; t < settings.threads; ++t)
    threads.emplace_back(CallExports, t, settings.Share());
  for (auto& thread : threads) thread.join();
}

std::size_t PrivateBytes() { return 0; }

int Finish(const std::vector<std::size_t>&) {
  CloseSoundCard(1);
  const auto left = velto::hardening::LeftAfterClosing(velto::sim::Installed());
  for (const auto& problem : left) std::printf("FAIL %s\n", problem.c_str());
  if (malformed) std::printf("FAIL %lu malformed outcome(s)\n", malformed.load());
  return left.empty() && !malformed ? 0 : 1;
}
#endif

Settings ParseArguments(int argc, char** argv) {
  Settings settings;
  for (int i = 1; i + 1 < argc; i += 2) {
    const unsigned long value = std::strtoul(argv[i + 1], nullptr, 10);
    if (std::strcmp(argv[i], "--threads") == 0) settings.threads = std::max(1ul, value);
    if (std::strcmp(argv[i], "--calls") == 0) settings.calls = value;
    if (std::strcmp(argv[i], "--rounds") == 0) settings.rounds = std::max(1ul, value);
  }
  return settings;
}

}  // namespace

int main(int argc, char** argv) {
  const Settings settings = ParseArguments(argc, argv);
#ifndef _WIN32
  velto::sim::Install(velto::sim::SimSystem::Sample());
#endif
  std::vector<std::size_t> memory;
  for (unsigned round = 0; round < settings.rounds; ++round) {
    RunRound(settings);
    memory.push_back(PrivateBytes());
  }
  std::printf("%u threads made %lu export calls in %u round(s)\n", settings.threads,
              settings.Share() * settings.threads * settings.rounds, settings.rounds);
  const int result = Finish(memory);
  std::puts(result == 0 ? "threads: all held" : "threads: FAILED");
  return result;
}
