// Devices that go away while the mixer is bound: an endpoint removed,
// disabled or unplugged, the default switched. Each scenario binds the
// sample card, moves every control, changes the system, then calls every
// export: each answers as its failure rules allow, the controls of what went
// away report the platform failure and the others answer as before. Closing
// with restore puts back what is still there and releases everything, and
// binding again finds what remains.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "generated_systems.h"
#include "host_calls.h"
#include "outcome_rules.h"
#include "platform_checks.h"
#include "veltosound.h"

namespace velto::hardening {
namespace {

namespace p = platform;
using nlohmann::json;

using namespace sample;

Inputs InputsFor(const HostCall& call) {
  Inputs in;
  in.value = call.family == Family::BoostSet ? 10 : call.family == Family::SwitchSet ? 1 : 30;
  in.level = 2.0;
  return in;
}

// Every export but the binding ones, once each, in ordinal order.
std::map<std::string, Outcome> CallEveryExport() {
  std::map<std::string, Outcome> outcomes;
  for (const HostCall& call : AllHostCalls()) {
    if (IsBinding(call.family)) continue;
    const Inputs in = InputsFor(call);
    const Outcome outcome = call(in);
    for (const std::string& problem : CheckReport(call, in, outcome))
      ADD_FAILURE() << call.name << ": " << problem;
    outcomes[call.name] = outcome;
  }
  return outcomes;
}

// A control's answer: its status, or GetEQRange's result.
std::int32_t Answer(const HostCall& call, const Outcome& outcome) {
  return call.family == Family::EqRange ? outcome.result : outcome.status;
}

std::int32_t FailureAnswer(const HostCall& call) {
  return call.family == Family::SwitchSet ? call.rules.writeFailure : 2;
}

// What CloseSoundCard can restore: active endpoints but the virtual one, and
// the adapter while one is left.
json Reachable(json dump) {
  json endpoints = json::array();
  for (const json& endpoint : dump["endpoints"]) {
    if (endpoint["state"] == "active" && endpoint["id"] != kDigital) endpoints.push_back(endpoint);
  }
  if (endpoints.empty()) dump.erase("adapters");
  dump["endpoints"] = endpoints;
  return dump;
}

struct Scenario {
  const char* label;
  std::function<void(sim::SimSystem&)> change;
  std::set<std::string> failing;  // controls that report the platform failure afterwards
  std::int32_t playCount;         // what the listing exports count afterwards
  std::int32_t recordCount;
  std::int32_t reopen;          // OpenSoundCard with the sample's three texts
  std::int32_t reopenDefaults;  // OpenDefaultDevices
  const char* defaultPlayback;  // the playback name OpenDefaultDevices binds, if any
};

const std::set<std::string> kPlaybackVolume = {"GetMasterVolume", "SetMasterVolume",
                                               "GetMasterMute", "SetMasterMute"};
const std::set<std::string> kVirtual = {"GetVirtualVolume", "SetVirtualVolume", "GetVirtualMute",
                                        "SetVirtualMute"};

std::set<std::string> EveryControl() {
  std::set<std::string> names;
  for (const HostCall& call : AllHostCalls()) {
    if (IsControl(call.family)) names.insert(call.name);
  }
  return names;
}

void Remove(sim::SimSystem& s, std::initializer_list<const char*> ids) {
  for (const char* id : ids) s.RemoveEndpoint(id);
}

// clang-format off
std::vector<Scenario> Scenarios() {
  const char* speakers = "Speakers (Velto HD Audio)";
  const char* digital = "Digital Output (Velto HD Audio)";
  return {
      {"speakers removed", [](sim::SimSystem& s) { Remove(s, {kSpeakers}); },
       kPlaybackVolume, 1, 2, 1, 0, digital},
      {"microphone unplugged",
       [](sim::SimSystem& s) { s.SetEndpointState(kMicrophone, p::kDeviceStateUnplugged); },
       {"GetMicRecordVolume", "SetMicRecordVolume"}, 2, 1, 3, 1, speakers},
      {"line input disabled",
       [](sim::SimSystem& s) { s.SetEndpointState(kLineIn, p::kDeviceStateDisabled); },
       {"GetLineRecordVolume", "SetLineRecordVolume"}, 2, 1, 6, 0, speakers},
      {"virtual endpoint removed", [](sim::SimSystem& s) { Remove(s, {kDigital}); },
       kVirtual, 1, 2, 0, 0, speakers},
      {"default playback switched", [](sim::SimSystem& s) { s.SetDefaultEndpoint(kDigital); },
       {}, 2, 2, 0, 0, digital},
      {"whole card removed",
       [](sim::SimSystem& s) {
         Remove(s, {kSpeakers, kDigital, kHeadphones, kMicrophone, kLineIn});
       },
       EveryControl(), 0, 0, 4, 1, nullptr},
  };
}
// clang-format on

std::string PlaybackName() {
  std::array<char, 256> playback{}, line{}, mic{};
  GetDeviceNames(playback.data(), line.data(), mic.data());
  return playback.data();
}

TEST(DeviceRemoval, EveryExportAnswersAndWhatRemainsBindsAgain) {
  const TestSystem sample = SampleSystem();
  for (const Scenario& scenario : Scenarios()) {
    SCOPED_TRACE(scenario.label);
    sim::SimSystem& system = InstallFresh(sample);
    scenario.change(system);
    const json expected = Reachable(system.Dump());

    InstallFresh(sample);
    BindAll(sample);
    const std::map<std::string, Outcome> before = CallEveryExport();
    scenario.change(sim::Installed());
    const std::map<std::string, Outcome> after = CallEveryExport();
    for (const HostCall& call : AllHostCalls()) {
      if (!IsControl(call.family)) continue;
      // A control the card lacks (status 1) stays missing.
      const std::int32_t baseline = Answer(call, before.at(call.name));
      const bool fails = scenario.failing.count(call.name) != 0 && baseline != 1;
      EXPECT_EQ(Answer(call, after.at(call.name)), fails ? FailureAnswer(call) : baseline)
          << call.name << ": " << after.at(call.name).Describe();
    }

    EXPECT_EQ(after.at("GetNumberPlayDevices").ints[0], scenario.playCount);
    EXPECT_EQ(after.at("GetNumberRecordDevices").ints[0], scenario.recordCount);

    EXPECT_EQ(CloseSoundCard(1), 0);
    EXPECT_EQ(Reachable(sim::Installed().Dump()), expected) << "restored what remains";
    for (const std::string& left : LeftAfterClosing(sim::Installed())) ADD_FAILURE() << left;

    EXPECT_EQ(OpenSoundCard(sample.playback.c_str(), sample.mic.c_str(), sample.line.c_str()),
              scenario.reopen);
    EXPECT_EQ(CloseSoundCard(0), 0);
    EXPECT_EQ(OpenDefaultDevices(), scenario.reopenDefaults);
    if (scenario.defaultPlayback) {
      EXPECT_EQ(PlaybackName(), scenario.defaultPlayback);
    }
    for (const std::string& left : LeftAfterClosing(sim::Installed())) ADD_FAILURE() << left;
    DiscardInstalled();
  }
}

}  // namespace
}  // namespace velto::hardening
