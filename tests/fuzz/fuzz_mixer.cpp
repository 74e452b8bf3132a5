// libFuzzer target: the input bytes build a random sound system (endpoints,
// parts, links that may loop, fault rules) and a random sequence of exports
// with random, often hostile, arguments; between calls it may arm a fault
// rule aimed at a bound control's own reads and writes. After every call:
// the outcome keeps its family's ties, nothing was misused, COM is balanced,
// and what is known of the mixer (bound or not, virtual endpoint or not, how
// many endpoints) agrees with what the call reported. At the end, closing
// leaves nothing held. Any violation aborts with a description.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "generated_systems.h"
#include "host_calls.h"
#include "outcome_rules.h"
#include "platform/description/text.h"
#include "platform/description/writer.h"
#include "platform/readable.h"
#include "platform_checks.h"

namespace velto::hardening {
namespace {

class FuzzChooser final : public Chooser {
 public:
  explicit FuzzChooser(FuzzedDataProvider& input) : input_(input) {}
  std::uint32_t Below(std::uint32_t n) override {
    return input_.ConsumeIntegralInRange<std::uint32_t>(0, n - 1);
  }
  FuzzedDataProvider& Input() { return input_; }

 private:
  FuzzedDataProvider& input_;
};

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "fuzz_mixer: %s\n", what.c_str());
  std::abort();
}

// `where` names the place only when there is something to report.
template <class Where>
void FailIfAny(const std::vector<std::string>& problems, const Where& where) {
  if (problems.empty()) return;
  std::string text = where() + ":";
  for (const std::string& problem : problems) text += "\n  " + problem;
  Fail(text);
}

enum class Known { No, Yes, Unknown };

// What the outcomes so far prove about the mixer.
struct MixerModel {
  Known bound = Known::No;
  Known virtualBound = Known::No;

  void After(const HostCall& call, const Inputs& in, const Outcome& out) {
    switch (call.family) {
      case Family::Close:
        bound = Known::No;
        break;
      case Family::Open:
        OnOpen(in, out.result);
        break;
      case Family::OpenDefaults:
        // 0 means the default capture endpoint was looked up and found.
        if (out.result == 0) bound = Known::Yes;
        if (out.result != 0 && bound == Known::No) bound = Known::Unknown;
        break;
      case Family::OpenVirtual:
        if (out.result == 0) bound = Known::Yes;
        if (out.result != 0 && bound == Known::No) bound = Known::Unknown;
        virtualBound = out.result == 0 ? Known::Yes : Known::Unknown;
        break;
      case Family::CloseVirtual:
        virtualBound = Known::No;
        break;
      default:
        break;
    }
  }

  void OnOpen(const Inputs& in, std::int32_t result) {
    static const std::int32_t kCodes[] = {1, 3, 6};
    bool anyBound = false;
    bool anyTried = false;
    for (std::size_t i = 0; i < 3; ++i) {
      const bool empty = ((in.nullPointers >> i) & 1u) || in.texts[i].c_str()[0] == '\0';
      if (empty) continue;
      anyTried = true;
      // Only one combination of failures gives each result.
      bool failed = false;
      for (std::int32_t mask = 0; mask < 8; ++mask) {
        std::int32_t code = 0;
        for (std::size_t b = 0; b < 3; ++b) {
          if (mask >> b & 1) code ^= kCodes[b];
        }
        if (code == result) failed = (mask >> i) & 1;
      }
      anyBound = anyBound || !failed;
    }
    if (anyBound) bound = Known::Yes;
    if (!anyBound && anyTried && bound == Known::No) bound = Known::Unknown;
  }

  // The status a control must (not) report given what is known.
  void Check(const HostCall& call, const Outcome& out) const {
    if (call.family == Family::EqRange) {
      if (bound == Known::No && out.result != 3) Fail("GetEQRange: not 3 while unbound");
      if (bound == Known::Yes && out.result == 3) Fail("GetEQRange: 3 while bound");
      return;
    }
    if (out.status == kUnset || !IsControl(call.family)) return;
    const std::string name = call.name;
    if (call.rules.checksDevice) {
      if (bound == Known::No && out.status != 3) Fail(name + ": not 3 while unbound");
      if (bound == Known::Yes && out.status == 3) Fail(name + ": 3 while bound");
    } else if (virtualBound == Known::No && out.status != 1) {
      Fail(name + ": not 1 without a virtual endpoint");
    }
  }
};

// The narrowed name and the id of each active endpoint of a flow, in order.
struct Listed {
  std::string name;
  std::string id;
};
struct Listing {
  std::vector<Listed> render;
  std::vector<Listed> capture;
};

Listing ActiveEndpoints(const description::Description& model) {
  Listing listing;
  for (const description::EndpointState& endpoint : model.endpoints) {
    if (endpoint.state != platform::kDeviceStateActive) continue;
    const auto wide = description::Utf8ToUtf16(endpoint.name);
    std::string name;
    for (char16_t unit : wide.value_or(u"")) name += static_cast<char>(unit & 0xFF);
    name = name.substr(0, std::min(name.find('\0'), kHostBufferSize - 1));
    auto& flow = endpoint.flow == platform::DataFlow::Render ? listing.render : listing.capture;
    flow.push_back({name, endpoint.id.substr(0, kHostBufferSize - 1)});
  }
  return listing;
}

void CheckListing(const HostCall& call, const Inputs& in, const Outcome& out,
                  const Listing& listing) {
  const bool render = call.name == std::string("GetNumberPlayDevices") ||
                      call.name == std::string("GetPlayBackDevice");
  const std::vector<Listed>& active = render ? listing.render : listing.capture;
  const std::string name = call.name;
  if (call.family == Family::Count) {
    if (out.result == 0 && out.ints[0] != kUnset && out.ints[0] != std::int32_t(active.size()))
      Fail(name + ": count " + std::to_string(out.ints[0]) + ", not " +
           std::to_string(active.size()));
    return;
  }
  if (out.result > 0 && out.result != std::int32_t(active.size()))
    Fail(name + ": answered " + std::to_string(out.result) + " for the count");
  if (out.result != 0) return;
  if (in.index >= active.size()) Fail(name + ": succeeded past the end");
  const Listed& expected = active[in.index];
  if (out.texts[1] && *out.texts[1] != expected.id) Fail(name + ": id " + *out.texts[1]);
  // A name that cannot be read is the empty name.
  if (out.texts[0] && !out.texts[0]->empty() && *out.texts[0] != expected.name)
    Fail(name + ": name " + *out.texts[0]);
}

std::string RandomBytes(FuzzedDataProvider& input) { return input.ConsumeRandomLengthString(300); }

Inputs RandomInputs(FuzzChooser& chooser, const RandomCard& system) {
  static const std::int32_t kValues[] = {
      0,  1,       2,       50,  99,  100,   101,
      -1, INT_MIN, INT_MAX, 256, 257, 0x100, static_cast<std::int32_t>(0xFFFFFF01u)};
  static const std::uint32_t kIndices[] = {0, 1, 2, 3, 0xFFFFFFFFu, 0x80000000u};
  const double inf = std::numeric_limits<double>::infinity();
  static const double kLevels[] = {0, 2.5, -12, 12, 1.0 / 3, 1e300, -1e300};
  Inputs in;
  const std::string choices[] = {system.playback, system.mic, system.line, system.virtualEndpoint,
                                 ""};
  for (std::string& text : in.texts) {
    text = chooser.Chance(85) ? choices[chooser.Below(5)] : RandomBytes(chooser.Input());
  }
  in.value = chooser.Chance(80) ? kValues[chooser.Below(std::size(kValues))]
                                : chooser.Input().ConsumeIntegral<std::int32_t>();
  in.index = chooser.Chance(90) ? kIndices[chooser.Below(std::size(kIndices))]
                                : chooser.Input().ConsumeIntegral<std::uint32_t>();
  switch (chooser.Below(6)) {
    case 0:
      in.level = std::nan("");
      break;
    case 1:
      in.level = chooser.Chance(50) ? inf : -inf;
      break;
    case 2:
      in.level = chooser.Input().ConsumeFloatingPoint<double>();
      break;
    default:
      in.level = kLevels[chooser.Below(std::size(kLevels))];
      break;
  }
  if (chooser.Chance(10)) in.nullPointers = chooser.Below(16);
  return in;
}

// A PropVariantClear that fails keeps its payload on the platform's side.
bool MayFailPropVariantClear(const std::vector<description::FaultRule>& faults) {
  for (const description::FaultRule& rule : faults) {
    if ((rule.object == "*" || rule.object == "com") &&
        (rule.op == "*" || rule.op == "PropVariantClear"))
      return true;
  }
  return false;
}

// VELTO_FUZZ_VERBOSE=1 when running a single input: the system and every
// step with its outcome, to see how a reported input got where it did.
bool Verbose() {
  static const bool verbose = std::getenv("VELTO_FUZZ_VERBOSE") != nullptr;
  return verbose;
}

std::string Printable(const std::string& text) {
  return platform::Quoted(text.data(), std::min<std::size_t>(text.size(), 80)) +
         (text.size() > 80 ? "..." : "");
}

void Show(const HostCall& call, const Inputs& in, const Outcome& out) {
  std::fprintf(stderr, "%s texts=[%s %s %s] value=%d index=%u level=%g null=%u -> %s\n", call.name,
               Printable(in.texts[0]).c_str(), Printable(in.texts[1]).c_str(),
               Printable(in.texts[2]).c_str(), in.value, in.index, in.level, in.nullPointers,
               out.Describe().c_str());
}

// The platform operations a control export may make, by its family.
const std::vector<std::string>& ControlOps(Family family) {
  static const std::vector<std::string> kVolume = Names(
      "GetVolumeRange|GetMasterVolumeLevel|GetChannelVolumeLevel|SetChannelVolumeLevel|"
      "SetMasterVolumeLevel|GetChannelCount|GetLevelRange|GetLevel|SetLevel|");
  static const std::vector<std::string> kSwitch = Names("GetMute|SetMute|GetEnabled|SetEnabled|");
  static const std::vector<std::string> kLevel =
      Names("GetLevelRange|GetLevel|SetLevel|GetChannelCount|");
  switch (family) {
    case Family::VolumeGet:
    case Family::VolumeSet:
      return kVolume;
    case Family::SwitchGet:
    case Family::SwitchSet:
      return kSwitch;
    default:
      return kLevel;
  }
}

void ShowFault(const description::FaultRule& rule) {
  std::fprintf(stderr, "armed: %s %s -> %s after %llu times %llu\n", rule.object.c_str(),
               rule.op.c_str(), platform::ResultName(rule.result).c_str(),
               static_cast<unsigned long long>(rule.after),
               static_cast<unsigned long long>(rule.times));
}

void RunOne(FuzzedDataProvider& input) {
  FuzzChooser chooser(input);
  RandomOptions options;
  options.maxParts = 40;
  options.loops = true;
  options.faults = true;
  RandomCard card = RandomModel(chooser, options);
  const Listing listing = ActiveEndpoints(card.model);
  // The library holds no PROPVARIANT between calls; any still live at the end
  // is one the platform refused to clear.
  const bool platformMayKeep = MayFailPropVariantClear(card.model.faults);
  if (Verbose())
    std::fprintf(stderr, "%s\n", description::DescriptionToJson(card.model).dump(1).c_str());
  sim::SimSystem* installed = nullptr;
  try {
    installed = &InstallFresh(std::move(card.model));
  } catch (const sim::DescriptionError& error) {
    Fail(std::string("generated a description the simulator refuses: ") + error.what());
  }
  MixerModel model;
  const auto& calls = AllHostCalls();
  const std::uint32_t steps = 1 + chooser.Below(24);
  for (std::uint32_t step = 0; step < steps; ++step) {
    const HostCall& call = calls[chooser.Below(static_cast<std::uint32_t>(calls.size()))];
    // One control call in ten; not where the input has run out, which reads as 0.
    if (IsControl(call.family) && call.family != Family::EqRange && chooser.Below(10) == 9) {
      const description::FaultRule rule = RandomControlFault(chooser, ControlOps(call.family));
      if (Verbose()) ShowFault(rule);
      installed->AddFault(rule);
    }
    const Inputs in = RandomInputs(chooser, card);
    const Outcome out = call(in);
    if (Verbose()) Show(call, in, out);
    const auto where = [&] { return "step " + std::to_string(step) + " " + call.name; };
    FailIfAny(CheckReport(call, in, out), where);
    FailIfAny(PlatformMisuse(*installed), where);
    model.Check(call, out);
    if (call.family == Family::Count || call.family == Family::Describe)
      CheckListing(call, in, out, listing);
    model.After(call, in, out);
  }
  installed->ClearFaults();
  const std::size_t uncleared = platformMayKeep ? installed->LivePropVariants() : 0;
  FailIfAny(LeftAfterClosing(*installed, uncleared), [] { return std::string("after closing"); });
  // Nothing of this run outlives it: libFuzzer sees as many frees as
  // allocations and has no cause to run the input again for a leak check.
  DiscardInstalled();
}

}  // namespace
}  // namespace velto::hardening

// A run frees all it allocated, far less than 16 MB, so a quarantine of that
// size still catches a use after free within a run, and the fuzzer's memory
// stays flat instead of growing into ASan's default of 256 MB. Allocation
// stacks of 4 frames instead of 30: recording them was a fifth of the
// fuzzer's time. ASAN_OPTIONS overrides both (malloc_context_size=30 to see
// a report's whole allocation stack).
extern "C" const char* __asan_default_options() {
  return "quarantine_size_mb=16:malloc_context_size=4";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  velto::hardening::RunOne(input);
  return 0;
}
