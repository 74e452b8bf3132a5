// The lists kept outside the control table, checked against it: veltomix's
// export table, the hosts' view of the exports in the test support, and the
// Python and C# modules' control methods. A control row whose exports one of
// them lacks, or a list entry no row names, fails here by name.
#include "core/control_table.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "calls/export_table.h"
#include "host_calls.h"

namespace veltomix::testing {
namespace {

using velto::hardening::ControlRules;
using velto::hardening::Family;

std::string SourceText(const std::string& path) {
  std::ifstream in(std::string(VELTO_SOURCE_DIR) + "/" + path);
  std::ostringstream text;
  text << in.rdbuf();
  EXPECT_FALSE(text.str().empty()) << path;
  return text.str();
}

// One export of a row: what the hosts' view must say of it.
struct Expected {
  const char* name;
  Family family;
  ControlRules rules;
};

ControlRules LevelRules(const velto::LevelPart& level, bool setter) {
  ControlRules rules;
  rules.checksDevice = level.volume.check == velto::DeviceCheck::Required;
  rules.successResult = level.successResult;
  if (!setter || level.unit != velto::LevelUnit::Percent) return rules;
  rules.failureReturnsValue = level.volume.failureReturnsPercent;
  rules.perChannel = level.volume.apply == velto::Apply::EveryChannel;
  rules.invalidFunctionIsSuccess = level.volume.invalidFunctionIsSuccess;
  return rules;
}

ControlRules StateRules(const velto::SwitchRules& state, bool setter) {
  ControlRules rules;
  rules.checksDevice = state.check == velto::DeviceCheck::Required;
  if (!setter) return rules;
  rules.writeFailure = state.writeFailure;
  rules.invalidFunctionIsSuccess = state.invalidFunctionIsSuccess;
  return rules;
}

std::vector<Expected> ExportsOfTheTable() {
  std::vector<Expected> all;
  for (const velto::ControlRow& row : velto::kControls) {
    const velto::LevelPart& level = row.level;
    if (level.unit != velto::LevelUnit::None) {
      const bool tone = level.unit == velto::LevelUnit::Decibels;
      const bool boost = level.unit == velto::LevelUnit::WholeDecibels;
      all.push_back({level.get,
                     tone    ? Family::ToneGet
                     : boost ? Family::BoostGet
                             : Family::VolumeGet,
                     LevelRules(level, false)});
      all.push_back({level.set,
                     tone    ? Family::ToneSet
                     : boost ? Family::BoostSet
                             : Family::VolumeSet,
                     LevelRules(level, true)});
    }
    if (row.state.get) {
      all.push_back({row.state.get, Family::SwitchGet, StateRules(row.state.rules, false)});
      all.push_back({row.state.set, Family::SwitchSet, StateRules(row.state.rules, true)});
    }
  }
  return all;
}

TEST(ControlTableTest, EveryListOutsideTheTableHasItsControlsAndNoOthers) {
  const std::string python = SourceText("python/veltosound/__init__.py");
  const std::string csharp = SourceText("bindings/csharp/VeltoSound.cs");
  std::set<std::string> named;
  for (const Expected& expected : ExportsOfTheTable()) {
    SCOPED_TRACE(expected.name);
    named.insert(expected.name);
    EXPECT_NE(FindExport(expected.name), nullptr) << "tools/veltomix/export_table.cpp";
    EXPECT_NE(python.find('"' + std::string(expected.name) + '"'), std::string::npos)
        << "python/veltosound/__init__.py";
    EXPECT_NE(csharp.find("NativeMethods." + std::string(expected.name)), std::string::npos)
        << "bindings/csharp/VeltoSound.cs";
    const auto& host = velto::hardening::HostCallNamed(expected.name);
    const ControlRules& rules = host.rules;
    EXPECT_EQ(host.family, expected.family) << "tests/support/host_calls.cpp";
    EXPECT_EQ(rules.checksDevice, expected.rules.checksDevice);
    EXPECT_EQ(rules.failureReturnsValue, expected.rules.failureReturnsValue);
    EXPECT_EQ(rules.perChannel, expected.rules.perChannel);
    EXPECT_EQ(rules.invalidFunctionIsSuccess, expected.rules.invalidFunctionIsSuccess);
    EXPECT_EQ(rules.writeFailure, expected.rules.writeFailure);
    EXPECT_EQ(rules.successResult, expected.rules.successResult);
  }
  // A control export in the hosts' view that no row names is a control the
  // table lacks (the ranges belong to the exports beside the controls).
  for (const auto& host : velto::hardening::AllHostCalls()) {
    if (!velto::hardening::IsControl(host.family) || host.family == Family::EqRange ||
        host.family == Family::BoostDetails)
      continue;
    EXPECT_TRUE(named.count(host.name)) << host.name << " has no row in the control table";
  }
}

}  // namespace
}  // namespace veltomix::testing
