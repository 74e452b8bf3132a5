// The tracing platform in front of the simulated system: every call reaches
// the system as if nothing were in between (same calls, same order, same
// results, references and strings balanced), and the trace reports exactly
// those calls.
#include "platform/tracing/tracing_platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/mixer_state.h"
#include "generated_systems.h"
#include "host_calls.h"
#include "platform_checks.h"

namespace velto::hardening {
namespace {

namespace p = platform;
using p::tracing::TracedCall;
using p::tracing::TraceScope;
using p::tracing::TracingPlatform;

// Every export while bound, then every export in ordinal order (binding,
// restoring and closing among them), then closing: what each returned and
// what the platform was left with.
struct ExportsRun {
  std::vector<Outcome> outcomes;
  std::vector<std::string> left;
  nlohmann::json state;  // the system after closing, which writes show in
};

ExportsRun RunEveryExport(const TestSystem& system, sim::SimSystem& sim) {
  ExportsRun run;
  BindAll(system);
  for (int pass = 0; pass < 2; ++pass) {
    for (const HostCall& call : AllHostCalls()) {
      if (pass == 0 && IsBinding(call.family)) continue;
      run.outcomes.push_back(call(OrdinaryInputs(call, system)));
    }
  }
  run.left = LeftAfterClosing(sim);
  run.state = sim.Dump();
  return run;
}

struct FaultCase {
  const char* label;
  std::vector<sim::FaultRule> faults;
};

std::vector<FaultCase> FaultCases() {
  return {
      {"no faults", {}},
      {"activations refused after two", {{"*", "Activate", p::kE_NOINTERFACE, std::nullopt, 2}}},
      {"parts lists failing now and then", {{"*", "GetPart", p::kE_FAIL, std::nullopt, 5, 3}}},
      {"an id that cannot be read", {{"*", "GetId", p::kE_OUTOFMEMORY, std::nullopt, 1, 1}}},
      {"names that cannot be converted", {{"com", "PropVariantToBSTR", p::kE_FAIL}}},
      {"an enumerator refused once",
       {{"com", "CreateDeviceEnumerator", p::kE_FAIL, std::nullopt, 3, 1}}},
      {"levels refused", {{"*", "*Level*", p::kE_INVALIDARG}}},
      {"writes that change nothing", {{"*", "Set*", p::kS_FALSE}}},
  };
}

sim::SimSystem& Fresh(const TestSystem& system, const FaultCase& faults) {
  sim::SimSystem& sim = InstallFresh(system);
  for (const sim::FaultRule& rule : faults.faults) sim.AddFault(rule);
  return sim;
}

// The same call in the system's own trace and in the tracer's: the same
// method and result, on the object the tracer's name stands for. Reports the
// first difference only.
void ExpectSameCalls(const std::vector<sim::TraceEntry>& own,
                     const std::vector<TracedCall>& traced) {
  EXPECT_EQ(own.size(), traced.size());
  std::map<std::string, std::string> pathOf;  // tracer's name -> system's path
  for (std::size_t i = 0; i < own.size() && i < traced.size(); ++i) {
    const bool sameResult = own[i].hasResult == traced[i].result.has_value() &&
                            (!own[i].hasResult || own[i].result == *traced[i].result);
    const auto [it, added] = pathOf.emplace(traced[i].object, own[i].object);
    if (own[i].op == traced[i].method && sameResult && it->second == own[i].object) continue;
    ADD_FAILURE() << "call " << i << ": the system saw " << own[i].object << " " << own[i].op << "("
                  << own[i].args << "), the tracer reported " << p::tracing::FormatCall(traced[i])
                  << " (its object was " << it->second << " before)";
    return;
  }
}

// Table: every system shape under every fault case, traced and not.
TEST(TracingPlatformTest, EveryExportReachesTheSystemUnchangedAndIsTracedCallForCall) {
  std::vector<TestSystem> systems = ShapedSystems();
  systems.insert(systems.begin(), SampleSystem());
  for (const TestSystem& system : systems) {
    for (const FaultCase& faults : FaultCases()) {
      SCOPED_TRACE(system.name + ", " + faults.label);
      const ExportsRun direct = RunEveryExport(system, Fresh(system, faults));

      sim::SimSystem& sim = Fresh(system, faults);
      std::vector<TracedCall> traced;
      TracingPlatform tracer(sim, [&](const TracedCall& call) { traced.push_back(call); });
      sim.SetTracing(true);
      p::Platform* previous = p::InstallPlatform(&tracer);
      const ExportsRun throughTracer = RunEveryExport(system, sim);
      p::InstallPlatform(previous);

      EXPECT_EQ(direct.outcomes, throughTracer.outcomes);
      EXPECT_EQ(nlohmann::json::diff(direct.state, throughTracer.state), nlohmann::json::array());
      EXPECT_EQ(throughTracer.left, std::vector<std::string>{});
      EXPECT_EQ(direct.left, std::vector<std::string>{});
      EXPECT_GT(traced.size(), 100u);
      ExpectSameCalls(sim.Trace(), traced);
    }
  }
  ResetMixerState();
}

// Direct platform use, with the system's accounting checked at the end.
class TracedObjectsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim_ = &InstallFresh(SampleSystem());
    sim_->SetApartmentChecks(false);  // the objects are called directly, without COM
    tracer_ = std::make_unique<TracingPlatform>(
        *sim_, [this](const TracedCall& call) { traced_.push_back(call); });
  }
  void TearDown() override { EXPECT_EQ(PlatformLeftovers(*sim_), std::vector<std::string>{}); }

  static p::Ref<p::Device> DefaultRender(p::Platform& platform) {
    p::Ref<p::DeviceEnumerator> enumerator;
    EXPECT_EQ(platform.CreateDeviceEnumerator(p::kClsctxInprocServer, enumerator), p::kS_OK);
    p::Ref<p::Device> device;
    EXPECT_EQ(enumerator->GetDefaultAudioEndpoint(p::DataFlow::Render, p::Role::Console, device),
              p::kS_OK);
    return device;
  }

  std::vector<std::string> Methods() const {
    std::vector<std::string> methods;
    for (const TracedCall& call : traced_) methods.push_back(call.method);
    return methods;
  }

  sim::SimSystem* sim_ = nullptr;
  std::vector<TracedCall> traced_;
  std::unique_ptr<TracingPlatform> tracer_;
};

TEST_F(TracedObjectsTest, HoldsOneReferencePerReferenceAndAnswersForTheWrappedIdentity) {
  const p::Ref<p::Device> direct = DefaultRender(*sim_);
  const long before = sim_->LiveReferences();
  {
    const p::Ref<p::Device> traced = DefaultRender(*tracer_);
    EXPECT_EQ(traced->Identity(), direct->Identity());
    EXPECT_EQ(sim_->LiveReferences(), before + 1);
    const p::Ref<p::Device> copy = traced;
    EXPECT_EQ(sim_->LiveReferences(), before + 2);
  }
  EXPECT_EQ(sim_->LiveReferences(), before);
}

// A Windows heap address comes back for another object once the first is
// gone: a number must not outlive the object it names.
TEST_F(TracedObjectsTest, AnObjectKeepsItsNumberWhileHeldAndGetsAFreshOneAfter) {
  auto deviceName = [this] {
    const auto handed = std::find_if(traced_.rbegin(), traced_.rend(), [](const TracedCall& c) {
      return std::string(c.method) == "GetDefaultAudioEndpoint";
    });
    return handed == traced_.rend() ? std::string() : handed->outputs;
  };
  p::Ref<p::Device> first = DefaultRender(*tracer_);
  const std::string held = deviceName();
  p::Ref<p::Device> again = DefaultRender(*tracer_);
  EXPECT_EQ(deviceName(), held);
  first.Reset();
  again.Reset();
  const p::Ref<p::Device> later = DefaultRender(*tracer_);
  EXPECT_NE(deviceName(), held);
  EXPECT_EQ(held.rfind("out=IMMDevice#", 0), 0u) << held;
}

TEST_F(TracedObjectsTest, HoldersThatAlreadyHoldSomethingGiveItBackThroughTheTracer) {
  p::Ref<p::Device> device = DefaultRender(*tracer_);
  p::TaskString id;
  ASSERT_EQ(device->GetId(id), p::kS_OK);
  traced_.clear();
  ASSERT_EQ(device->GetId(id), p::kS_OK);
  EXPECT_EQ(sim_->LiveTaskStrings(), 1u);
  id.Reset();
  EXPECT_EQ(Methods(), (std::vector<std::string>{"CoTaskMemFree", "GetId", "CoTaskMemFree"}));

  p::Ref<p::EndpointVolume> volume;
  ASSERT_EQ(device->Activate(p::kClsctxInprocServer, volume), p::kS_OK);
  const long held = sim_->LiveReferences();
  ASSERT_EQ(device->Activate(p::kClsctxInprocServer, volume), p::kS_OK);
  EXPECT_EQ(sim_->LiveReferences(), held);
}

TEST_F(TracedObjectsTest, ScopeStandsInFrontOfTheBackendAndItsObjectsReportToTheNextScope) {
  std::vector<TracedCall> first;
  std::vector<TracedCall> second;
  p::Ref<p::Device> device;
  {
    TraceScope scope(*sim_, [&](const TracedCall& call) { first.push_back(call); });
    EXPECT_NE(&p::CurrentPlatform(), sim_);
    device = DefaultRender(p::CurrentPlatform());
  }
  EXPECT_EQ(&p::CurrentPlatform(), sim_);
  const std::size_t reported = first.size();
  EXPECT_GT(reported, 0u);
  std::uint32_t ignored = 0;
  p::Ref<p::EndpointVolume> volume;
  EXPECT_EQ(device->Activate(p::kClsctxInprocServer, volume), p::kS_OK);
  EXPECT_EQ(volume->GetChannelCount(&ignored), p::kS_OK);
  EXPECT_EQ(first.size(), reported);
  {
    TraceScope scope(*sim_, [&](const TracedCall& call) { second.push_back(call); });
    volume.Reset();
  }
  ASSERT_EQ(second.size(), 1u);
  EXPECT_STREQ(second[0].method, "Release");
  device.Reset();
}

TEST(TraceFormatTest, NamesResultsItKnowsAndShowsOthersInHex) {
  struct Row {
    TracedCall call;
    const char* line;
  };
  const Row rows[] = {
      {{"com", "CoInitialize", "", p::kS_OK, ""}, "com CoInitialize() -> S_OK"},
      {{"IMMDeviceEnumerator#1", "GetDevice", "id=\"x\"", p::kE_NOTFOUND, ""},
       "IMMDeviceEnumerator#1 GetDevice(id=\"x\") -> E_NOTFOUND"},
      {{"IPart#3", "Activate", "iid=IAudioBass", static_cast<p::HRESULT>(0x88890008u), ""},
       "IPart#3 Activate(iid=IAudioBass) -> 0x88890008"},
      {{"IPart#3", "GetName", "", p::kAUDCLNT_E_DEVICE_INVALIDATED, ""},
       "IPart#3 GetName() -> AUDCLNT_E_DEVICE_INVALIDATED"},
      {{"IPart#3", "Release", "", std::nullopt, "refs=0"}, "IPart#3 Release() -> refs=0"},
      {{"IPartsList#2", "GetCount", "", p::kS_OK, "count=2"},
       "IPartsList#2 GetCount() -> S_OK count=2"},
  };
  for (const Row& row : rows) EXPECT_EQ(p::tracing::FormatCall(row.call), row.line);
}

}  // namespace
}  // namespace velto::hardening
