// One export call's walks share one budget of steps: a topology on which
// every search runs to its own bound cannot make a single OpenSoundCard cost
// millions of platform calls.
#include <gtest/gtest.h>

#include "generated_systems.h"
#include "platform_checks.h"
#include "topology/discovery.h"
#include "veltosound.h"

namespace velto::hardening {
namespace {

// A step of a walk makes a handful of platform calls (the part, its name,
// its activations, the next list); this many per step is generous.
constexpr std::uint64_t kCallsPerStep = 8;

TEST(CallBudgetTest, EveryWalkOfOneBindingDrawsFromOneBudget) {
  // 64 mixer inputs and 64 microphone connectors: each of their searches
  // would run to the 4096-step bound of its own, about five million
  // platform calls in all.
  const TestSystem card = HostileCard(64);
  sim::SimSystem& system = InstallFresh(card);
  const std::uint64_t before = system.CallCount();
  EXPECT_EQ(OpenSoundCard(card.playback.c_str(), card.mic.c_str(), ""), 0);
  const std::uint64_t calls = system.CallCount() - before;
  EXPECT_LT(calls, kCallsPerStep * kMaxCallSteps);
  // The budget bounds hostile work only: the endpoints are still bound.
  int status = -1;
  GetMasterVolume(&status);
  EXPECT_EQ(status, 0);
  GetMicRecordVolume(&status);
  EXPECT_EQ(status, 0);
  CloseSoundCard(0);
}

TEST(CallBudgetTest, EachBindingCallHasABudgetOfItsOwn) {
  // The second call is not starved by the first.
  const TestSystem card = HostileCard(64);
  sim::SimSystem& system = InstallFresh(card);
  OpenSoundCard(card.playback.c_str(), "", "");
  const std::uint64_t first = system.CallCount();
  OpenSoundCard(card.playback.c_str(), "", "");
  const std::uint64_t second = system.CallCount() - first;
  EXPECT_GT(second, static_cast<std::uint64_t>(kMaxCallSteps));
  CloseSoundCard(0);
}

}  // namespace
}  // namespace velto::hardening
