// A test that runs the exports on a simulated sound system of its own.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "core/mixer_state.h"
#include "platform/sim/sim_system.h"
#include "veltosound.h"

namespace velto::testing {

inline std::string SystemPath(const std::string& name) {
  return std::string(VELTO_TEST_SYSTEMS) + "/" + name;
}

class MixerTest : public ::testing::Test {
 protected:
  void SetUp() override { UseSystem(sim::SimSystem::Sample()); }

  // Every test ends with nothing held and nothing misused on the platform.
  void TearDown() override {
    CloseSoundCard(0);
    CloseVirtual_1();
    EXPECT_EQ(system().LiveReferences(), 0) << "platform references leaked";
    EXPECT_EQ(system().LiveTaskStrings(), 0u);
    EXPECT_EQ(system().LiveBstrs(), 0u);
    EXPECT_EQ(system().LivePropVariants(), 0u);
    EXPECT_EQ(system().ComInitDepth(), 0);
    EXPECT_TRUE(system().Problems().empty()) << ::testing::PrintToString(system().Problems());
    ResetMixerState();
  }

  // Installs `system` as the platform; the mixer starts unbound and empty.
  sim::SimSystem& UseSystem(std::unique_ptr<sim::SimSystem> system) {
    ResetMixerState();
    sim::Install(std::move(system));
    return sim::Installed();
  }
  sim::SimSystem& UseSystemFile(const std::string& name) {
    return UseSystem(sim::SimSystem::FromFile(SystemPath(name)));
  }
  sim::SimSystem& UseSystemJson(const nlohmann::json& description) {
    return UseSystem(sim::SimSystem::FromJson(description, "test description"));
  }

  sim::SimSystem& system() { return sim::Installed(); }
  nlohmann::json state() { return system().Dump(); }
  MixerState& mixer() { return Mixer(); }
};

}  // namespace velto::testing
