// The fuzzer loads random cards as models, the failure sweep as JSON: both
// must be the same card for the same choices.
#include "generated_systems.h"

#include <gtest/gtest.h>

#include "platform/sim/sim_system.h"

namespace velto::hardening {
namespace {

TEST(GeneratedSystemsTest, RandomCardIsTheSameAsModelAndAsJson) {
  RandomOptions options;
  options.maxParts = 40;
  options.loops = true;
  options.faults = true;
  for (std::uint32_t seed = 1; seed <= 50; ++seed) {
    SeededChooser forJson(seed);
    SeededChooser forModel(seed);
    const TestSystem system = RandomSystem(forJson, options);
    RandomCard card = RandomModel(forModel, options);
    EXPECT_EQ(sim::SimSystem::FromJson(system.description, "json")->Dump(),
              sim::SimSystem::FromModel(std::move(card.model))->Dump())
        << "seed " << seed;
    EXPECT_EQ(system.playback, card.playback);
    EXPECT_EQ(system.virtualEndpoint, card.virtualEndpoint);
  }
}

}  // namespace
}  // namespace velto::hardening
