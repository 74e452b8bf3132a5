// Runs veltomix in-process on a simulated sound system of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli.h"
#include "core/mixer_state.h"
#include "platform/sim/sim_system.h"
#include "platform_checks.h"
#include "veltosound.h"

namespace veltomix::testing {

inline std::string SystemPath(const std::string& name) {
  return std::string(VELTO_TEST_SYSTEMS) + "/" + name;
}

// `first` followed by `more`: command lines built from pieces.
inline std::vector<std::string> Then(std::vector<std::string> first,
                                     const std::vector<std::string>& more) {
  first.insert(first.end(), more.begin(), more.end());
  return first;
}

struct Outcome {
  int exit = -1;
  std::string out;
  std::string err;
};

class VeltomixTest : public ::testing::Test {
 protected:
  void SetUp() override { UseSystem(velto::sim::SimSystem::Sample()); }

  // Nothing held or misused on the platform once the bindings are closed.
  void TearDown() override {
    EXPECT_EQ(velto::hardening::LeftAfterClosing(system()), std::vector<std::string>{});
    velto::ResetMixerState();
  }

  velto::sim::SimSystem& UseSystem(std::unique_ptr<velto::sim::SimSystem> system) {
    velto::ResetMixerState();
    velto::sim::Install(std::move(system));
    return velto::sim::Installed();
  }

  // A fresh sample card and an unbound mixer, within one test.
  void ResetMixerAndCard() {
    CloseSoundCard(0);
    CloseVirtual_1();
    UseSystem(velto::sim::SimSystem::Sample());
  }

  velto::sim::SimSystem& system() { return velto::sim::Installed(); }

  Outcome Run(const std::vector<std::string>& args, bool terminal = false) {
    std::ostringstream out, err;
    Outcome outcome;
    outcome.exit = RunVeltomix(args, out, err, terminal);
    outcome.out = out.str();
    outcome.err = err.str();
    return outcome;
  }
};

}  // namespace veltomix::testing
