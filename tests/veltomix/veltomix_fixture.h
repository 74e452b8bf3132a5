// Runs veltomix in-process on a simulated sound system of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
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

inline bool Has(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos;
}

// Every line of `out` parsed as one JSON document.
inline std::vector<nlohmann::json> Documents(const std::string& out) {
  std::vector<nlohmann::json> documents;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    EXPECT_TRUE(nlohmann::json::accept(line)) << line;
    if (nlohmann::json::accept(line)) documents.push_back(nlohmann::json::parse(line));
  }
  return documents;
}

// A part of the sample's adapter, by id, as the simulation dumps it.
inline nlohmann::json Part(const nlohmann::json& state, const std::string& id) {
  for (const nlohmann::json& part : state["adapters"][0]["parts"]) {
    if (part["id"] == id) return part;
  }
  ADD_FAILURE() << "no part " << id;
  return {};
}

// A command line written as one text, its words apart by spaces.
inline std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
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

  // A command line refused: its exit status, a piece of what it says on
  // stderr, and nothing on stdout.
  struct Refusal {
    std::vector<std::string> args;
    const char* says;
    int exit = kExitUsage;
  };
  // Each on a fresh sample card.
  void ExpectRefusals(const std::vector<Refusal>& refusals) {
    for (const Refusal& refusal : refusals) {
      SCOPED_TRACE(refusal.says);
      ResetMixerAndCard();
      const Outcome outcome = Run(refusal.args);
      EXPECT_EQ(outcome.exit, refusal.exit);
      EXPECT_EQ(outcome.out, "");
      EXPECT_TRUE(Has(outcome.err, refusal.says)) << outcome.err;
    }
  }

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
