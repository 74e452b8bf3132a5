// Sound systems to run the exports on: the built-in sample, cards shaped to
// meet the walks' rarer turns, random cards, and cards of a chosen size.
//
// Shared by the hardening tests, the fuzz target and the benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "platform/description/model.h"
#include "sample_ids.h"

namespace velto::hardening {

// Where a random card's choices come from: a seeded engine in the tests, the
// fuzzer's input bytes in the fuzz target.
class Chooser {
 public:
  virtual ~Chooser() = default;
  // A number in [0, n); n is at least 1.
  virtual std::uint32_t Below(std::uint32_t n) = 0;

  bool Chance(std::uint32_t percent) { return Below(100) < percent; }
  template <class T>
  const T& PickFrom(const std::vector<T>& items) {
    return items[Below(static_cast<std::uint32_t>(items.size()))];
  }
};

class SeededChooser final : public Chooser {
 public:
  explicit SeededChooser(std::uint32_t seed) : engine_(seed) {}
  std::uint32_t Below(std::uint32_t n) override {
    return std::uniform_int_distribution<std::uint32_t>(0, n - 1)(engine_);
  }

 private:
  std::mt19937 engine_;
};

// A list of names written as one text, each name followed by '|'.
std::vector<std::string> Names(const std::string& text);

// A description and the search texts that bind its devices.
struct TestSystem {
  std::string name;
  nlohmann::json description;
  std::string playback;
  std::string mic;
  std::string line;
  std::string virtualEndpoint;
};

TestSystem SampleSystem();

// The sample's endpoint ids, whole.
namespace sample = velto::testing::sample;

// Cards that take the walks through several branches, a switch found by
// IAudioLoudness, a boost level, dead ends, missing interfaces, a second
// matching connector, multi-channel controls.
std::vector<TestSystem> ShapedSystems();

struct RandomOptions {
  std::uint32_t maxParts = 24;
  bool loops = false;   // links that lead back upstream
  bool faults = false;  // fault rules in the description
};
// A random card as the simulator's model, with the search texts that bind
// its devices: what the fuzzer builds on every run, without a JSON round trip.
struct RandomCard {
  description::Description model;
  std::string playback;
  std::string mic;
  std::string line;
  std::string virtualEndpoint;
};
RandomCard RandomModel(Chooser& chooser, const RandomOptions& options);
// The same card (for the same choices) as a description.
TestSystem RandomSystem(Chooser& chooser, const RandomOptions& options);

// A rule that fails one of `ops` on any object within the next few such
// calls. Rules in a description count from the start, so the walks use most
// of them up before binding ends; the fuzzer arms these just before a
// control export, with the operations that export may make.
description::FaultRule RandomControlFault(Chooser& chooser, const std::vector<std::string>& ops);

// A card of about `parts` adapter parts, every name matching at most one
// search word once: the playback walk searches every input of the output
// mixer (the line and microphone inputs come last), and the capture walks
// examine every adapter connector.
TestSystem ScaledCard(std::size_t parts);

// A card on which every search of every walk runs to its own step bound:
// `inputs` output-mixer inputs whose chains circle between a part named like
// the line path and one named like the microphone path, and `inputs`
// microphone connectors that each feed a circle of boost-named parts that
// offer nothing.
TestSystem HostileCard(std::size_t inputs);

}  // namespace velto::hardening
