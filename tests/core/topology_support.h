// Shared by the discovery, opening/closing and restore tests: loading and
// patching the topology descriptions, and telling which simulated object
// each MixerState slot holds.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <type_traits>
#include <vector>

#include "core/mixer_state.h"
#include "mixer_fixture.h"
#include "platform/sim/sim_system.h"
#include "slot_object.h"
#include "topology/discovery.h"

namespace velto::testing {

// A walk's result as a number, for tables of cases: 0 completed, 1 not.
inline int ResultCode(Discovery discovery) { return discovery == Discovery::Completed ? 0 : 1; }

using nlohmann::json;

// One walk as an export call of its own runs it: with a budget of its own.
template <class Walk>
Discovery WalkAlone(Walk walk, const char* searchText, platform::DataFlow flow) {
  CallBudget budget;
  return walk(Mixer(), budget, searchText, flow);
}

inline json LoadDescription(const std::string& name) {
  std::ifstream in(SystemPath(name));
  EXPECT_TRUE(in) << "cannot read " << name;
  return json::parse(in);
}

inline void RemoveLink(json& description, const std::string& from, const std::string& to) {
  for (json& adapter : description["adapters"]) {
    json& links = adapter["links"];
    for (auto it = links.begin(); it != links.end(); ++it) {
      if ((*it)[0] == from && (*it)[1] == to) {
        links.erase(it);
        return;
      }
    }
  }
  ADD_FAILURE() << "no link " << from << " -> " << to;
}

// Every filled slot but virtualEndpoint, by field name, with the object it
// holds.
inline std::map<std::string, std::string> BoundSlots() {
  const MixerState& s = Mixer();
  std::map<std::string, std::string> slots;
  auto add = [&](const char* field, const std::string& object) {
    if (!object.empty()) slots[field] = object;
  };
  add("playbackEndpoint", SlotObject(s.playbackEndpoint));
  add("micEndpoint", SlotObject(s.micEndpoint));
  add("lineEndpoint", SlotObject(s.lineEndpoint));
  add("linePlaybackLevel", SlotObject(s.linePlaybackLevel));
  add("linePlaybackMute", SlotObject(s.linePlaybackMute));
  add("micPlaybackLevel", SlotObject(s.micPlaybackLevel));
  add("micPlaybackMute", SlotObject(s.micPlaybackMute));
  add("micBoostSwitch", SlotObject(s.micBoostSwitch));
  add("lineAgc", SlotObject(s.lineAgc));
  add("bassControl", SlotObject(s.bassControl));
  add("trebleControl", SlotObject(s.trebleControl));
  add("midrangeControl", SlotObject(s.midrangeControl));
  add("micBoostLevel", SlotObject(s.micBoostLevel));
  return slots;
}

// The objects released while `action` ran, in order.
inline std::vector<std::string> ReleasesDuring(const std::function<void()>& action) {
  sim::SimSystem& system = sim::Installed();
  system.ClearTrace();
  system.SetTracing(true);
  action();
  system.SetTracing(false);
  std::vector<std::string> released;
  for (const sim::TraceEntry& entry : system.Trace()) {
    if (entry.op == "Release") released.push_back(entry.object);
  }
  return released;
}

// The saved value of a field, or "-" when binding did not read it.
template <class T>
std::string SavedText(const Saved<T>& saved) {
  if (!saved.valid) return "-";
  return ::testing::PrintToString(saved.value);
}

// Every saved field by name.
inline std::map<std::string, std::string> SavedValues() {
  const MixerState& s = Mixer();
  return {
      {"savedLinePlaybackLevel", SavedText(s.savedLinePlaybackLevel)},
      {"savedMicPlaybackLevel", SavedText(s.savedMicPlaybackLevel)},
      {"savedPlaybackLevel", SavedText(s.savedPlaybackLevel)},
      {"savedBass", SavedText(s.savedBass)},
      {"savedTreble", SavedText(s.savedTreble)},
      {"savedMidrange", SavedText(s.savedMidrange)},
      {"savedMicRecordLevel", SavedText(s.savedMicRecordLevel)},
      {"savedLineRecordLevel", SavedText(s.savedLineRecordLevel)},
      {"savedMicBoostLevel", SavedText(s.savedMicBoostLevel)},
      {"savedLinePlaybackMute", SavedText(s.savedLinePlaybackMute)},
      {"savedMicPlaybackMute", SavedText(s.savedMicPlaybackMute)},
      {"savedPlaybackMute", SavedText(s.savedPlaybackMute)},
      {"savedMicBoostSwitch", SavedText(s.savedMicBoostSwitch)},
      {"savedLineAgc", SavedText(s.savedLineAgc)},
  };
}

// The saved fields named in `expected`, as they are now.
inline std::map<std::string, std::string> SavedSubset(
    const std::map<std::string, std::string>& expected) {
  const auto all = SavedValues();
  std::map<std::string, std::string> subset;
  for (const auto& entry : expected) {
    const auto found = all.find(entry.first);
    subset[entry.first] = found == all.end() ? "<no such field>" : found->second;
  }
  return subset;
}

using Slots = std::map<std::string, std::string>;
using Fields = std::map<std::string, std::string>;
using Faults = std::vector<sim::FaultRule>;

// One walk over a description, patched and with faults, and what it must
// leave behind: its result, every filled slot, and the named saved fields.
struct WalkCase {
  const char* what;
  int result;
  Slots slots;
  Fields saved = {};
  Faults faults = {};
  std::function<void(json&)> patch = nullptr;
};

using Walk = std::function<int()>;

// A discovery walk run alone, by its result code.
template <class Discover>
Walk WalkOf(Discover discover, const char* searchText, platform::DataFlow flow) {
  return [=] { return ResultCode(WalkAlone(discover, searchText, flow)); };
}

class WalkTest : public MixerTest {
 protected:
  void Run(const char* file, const Walk& walk, const WalkCase& c) {
    SCOPED_TRACE(c.what);
    json description = LoadDescription(file);
    if (c.patch) c.patch(description);
    UseSystemJson(description);
    for (const sim::FaultRule& fault : c.faults) system().AddFault(fault);
    EXPECT_EQ(walk(), c.result);
    system().ClearFaults();
    EXPECT_EQ(BoundSlots(), c.slots);
    EXPECT_EQ(SavedSubset(c.saved), c.saved);
  }

  // Runs each case on a binding of its own.
  template <std::size_t N>
  void RunEach(const char* file, const Walk& walk, const WalkCase (&cases)[N]) {
    for (const WalkCase& c : cases) {
      Run(file, walk, c);
      CloseCase();
    }
  }

  // Closes the binding of one case; the walk must have left nothing else.
  void CloseCase() {
    CloseSoundCard(0);
    EXPECT_EQ(system().LiveReferences(), 0);
    EXPECT_TRUE(system().Problems().empty()) << ::testing::PrintToString(system().Problems());
  }
};

inline Slots With(Slots slots, const Slots& changes) {
  for (const auto& change : changes) {
    if (change.second.empty()) {
      slots.erase(change.first);
    } else {
      slots[change.first] = change.second;
    }
  }
  return slots;
}

inline void Rename(json& description, const std::string& id, const std::string& name) {
  PartById(description, id)["name"] = name;
}

}  // namespace velto::testing
