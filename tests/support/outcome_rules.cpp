#include "outcome_rules.h"

#include <cmath>
#include <sstream>

namespace velto::hardening {

namespace p = platform;

namespace {

bool Has(std::int32_t value) { return value != kUnset; }
bool Has(double level) { return !(level == kUnsetLevel); }

class Report {
 public:
  Report(const HostCall& call, const Outcome& outcome) : call_(call), outcome_(outcome) {}
  void Expect(bool holds, const std::string& what) {
    if (!holds)
      problems_.push_back(std::string(call_.name) + ": " + what + " (" + outcome_.Describe() + ")");
  }
  std::vector<std::string> Take() { return std::move(problems_); }

 private:
  const HostCall& call_;
  const Outcome& outcome_;
  std::vector<std::string> problems_;
};

bool StatusAllowed(const HostCall& call, std::int32_t status) {
  if (status == 3) return call.rules.checksDevice;
  return status >= 0 && status <= 2;
}

void CheckControl(const HostCall& call, const Inputs& in, const Outcome& out, Report& report) {
  const std::int32_t s = out.status;
  const bool known = Has(s);
  if (known) report.Expect(StatusAllowed(call, s), "status outside the family's codes");
  const ControlRules& rules = call.rules;
  switch (call.family) {
    case Family::VolumeGet:
      if (known && s != 0) report.Expect(out.result == 0, "a failed getter returns 0");
      if (known && s == 0)
        report.Expect(out.result >= 0 && out.result <= 100, "a level within range is 0..100 %");
      break;
    case Family::VolumeSet:
      if (!known) break;
      if (s == 0) report.Expect(out.result == in.value, "success returns the percentage");
      if (s == 1 || s == 3) report.Expect(out.result == 0, "no control returns 0");
      if (s == 2)
        report.Expect(out.result == (rules.failureReturnsValue ? in.value : 0),
                      "the setter's failure result");
      if (in.value < 0) report.Expect(s != 0, "a negative percentage has no level");
      break;
    case Family::SwitchGet:
    case Family::BoostGet:
      if (known && s != 0) report.Expect(out.result == 0, "a failed getter returns 0");
      break;
    case Family::SwitchSet:
      report.Expect(out.result == 0, "switch setters return 0");
      if (known && s == 2) report.Expect(rules.writeFailure == 2, "this setter reports 1, not 2");
      break;
    case Family::ToneGet:
      if (known)
        report.Expect(out.result == (s == 0 ? rules.successResult : 1), "result follows status");
      if (in.nullPointers & 1u) break;
      report.Expect(Has(out.levels[0]), "the level is always written");
      if (known && s != 0) report.Expect(out.levels[0] == 0.0, "a failed read leaves 0.0");
      break;
    case Family::ToneSet:
      if (known)
        report.Expect(out.result == (s == 0 ? rules.successResult : 1), "result follows status");
      if (known && std::isnan(in.level)) report.Expect(s != 0, "NaN is never set");
      break;
    case Family::BoostDetails:
      if (known) report.Expect(out.result == (s == 0 ? 0 : 1), "result follows status");
      for (std::size_t i = 0; i < 3; ++i) {
        if (in.nullPointers & (2u << i)) continue;
        if (known && (s == 1 || s == 3)) report.Expect(!Has(out.ints[i]), "range left untouched");
        if (known && s == 2) report.Expect(out.ints[i] == 0, "a failed range read gives zeros");
        if (out.result == 0) report.Expect(Has(out.ints[i]), "success writes the range");
      }
      if (out.result == 0 && Has(out.ints[0]) && Has(out.ints[1]))
        report.Expect(out.ints[0] <= out.ints[1], "minimum above maximum");
      break;
    case Family::BoostSet:
      if (known) report.Expect(out.result == (s == 0 ? 0 : 1), "result follows status");
      break;
    default:
      break;
  }
}

void CheckEqRange(const Inputs& in, const Outcome& out, Report& report) {
  report.Expect(out.result >= 0 && out.result <= 3, "result is a status code");
  for (std::size_t i = 0; i < 3; ++i) {
    if (in.nullPointers & (1u << i)) continue;
    report.Expect(Has(out.levels[i]), "every range output is written");
    if (out.result != 0) report.Expect(out.levels[i] == 0.0, "no range gives zeros");
  }
  if (out.result == 0 && Has(out.levels[0]) && Has(out.levels[1]))
    report.Expect(out.levels[0] <= out.levels[1], "minimum above maximum");
}

void CheckEnumeration(const HostCall& call, const Inputs& in, const Outcome& out, Report& report) {
  if (call.family == Family::Count) {
    report.Expect(out.result == 0 || out.result == 1, "result 0 or 1");
    const bool pointer = !(in.nullPointers & 1u);
    if (out.result == 0 && pointer) report.Expect(out.ints[0] >= 0, "success writes the count");
    if (out.result != 0) report.Expect(!Has(out.ints[0]), "a failure writes no count");
    return;
  }
  const bool record = std::string(call.name) == "GetRecordDevice";
  const bool countResult = record && out.result > 0 && in.index >= std::uint32_t(out.result);
  report.Expect(out.result == 0 || out.result == -1 || countResult, "result 0, -1 or the count");
  for (std::size_t i = 0; i < 2; ++i) {
    if (in.nullPointers & (1u << i)) continue;
    if (out.result == 0) report.Expect(out.texts[i].has_value(), "success fills both buffers");
    if (out.result != 0) report.Expect(!out.texts[i], "a failure leaves the buffers untouched");
  }
}

void CheckBinding(const HostCall& call, const Outcome& out, Report& report) {
  switch (call.family) {
    case Family::Open:
      report.Expect(out.result >= 0 && out.result <= 7, "a combination of 1, 3 and 6");
      break;
    case Family::OpenDefaults:
    case Family::OpenVirtual:
      report.Expect(out.result == 0 || out.result == 1, "result 0 or 1");
      break;
    case Family::Close:
    case Family::CloseVirtual:
      report.Expect(out.result == 0, "always 0");
      break;
    default:
      break;
  }
}

// --- Failure rules ------------------------------------------------------------------

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

bool IsWrite(const PlatformCall& call) { return StartsWith(call.op, "Set"); }

// A write answered S_FALSE did what was asked; so does a monitor write
// answered ERROR_INVALID_FUNCTION where that counts as success.
bool WriteAccepted(const HostCall& host, const PlatformCall& call, p::HRESULT answer) {
  if (!IsWrite(call)) return false;
  return answer == p::kS_FALSE ||
         (answer == p::kHrInvalidFunction && host.rules.invalidFunctionIsSuccess);
}

// A failed call that cannot change what a binding export returns: COM
// initialisation (not examined), the apartment hold (the binding goes on
// without it), a part's control activation (the control
// is simply absent) and the read of a part control's value (only the saved
// value is lost). An unreadable friendly name is not neutral: lookup passes
// that endpoint over.
bool ResultNeutral(const PlatformCall& call) {
  static const char* const kNeutralOps[] = {"CoInitialize", "CoIncrementMTAUsage",
                                            "CoDecrementMTAUsage", "PropVariantClear"};
  for (const char* op : kNeutralOps) {
    if (call.op == op) return true;
  }
  if (!StartsWith(call.object, "part:")) return false;
  if (call.op == "Activate") return true;
  return call.op == "GetLevel" || call.op == "GetMute" || call.op == "GetEnabled";
}

// Every lookup starts CoInitialize, CreateDeviceEnumerator,
// EnumAudioEndpoints; each binding of an open export starts with one.
std::vector<std::size_t> LookupStarts(const std::vector<PlatformCall>& calls) {
  std::vector<std::size_t> starts;
  for (std::size_t i = 2; i < calls.size(); ++i) {
    if (calls[i].op == "EnumAudioEndpoints") starts.push_back(i - 2);
  }
  return starts;
}

// Index of the lookup the call belongs to, -1 before the first.
int LookupOf(const std::vector<std::size_t>& starts, std::size_t failed) {
  int phase = -1;
  for (std::size_t start : starts) {
    if (start <= failed) ++phase;
  }
  return phase;
}

Outcome WithResult(Outcome outcome, std::int32_t result) {
  outcome.result = result;
  return outcome;
}

// A failed call after which its binding cannot succeed, whatever else the
// card holds: the lookup's enumerator, collection and count, the activation,
// the way from the endpoint to its adapter and the adapter's connector list,
// and, for the playback walk only, the endpoint's own level and mute.
bool FailsItsBinding(const PlatformCall& call, bool playbackWalk) {
  static const char* const kFatalOps[] = {
      "CreateDeviceEnumerator", "EnumAudioEndpoints", "GetDevice", "GetConnectorCount",
      "GetConnector",           "GetConnectedTo",     "QueryPart", "GetTopologyObject"};
  for (const char* op : kFatalOps) {
    if (call.op == op) return true;
  }
  if (StartsWith(call.object, "collection:") && call.op == "GetCount") return true;
  const bool endpointObject = StartsWith(call.object, "device:");
  if (endpointObject && call.op == "Activate") return true;
  return playbackWalk && endpointObject &&
         (call.op == "GetMasterVolumeLevel" || call.op == "GetMute");
}

// An endpoint the lookup passes over (its Item or GetId failed) before the
// one it matched: the lookup goes on and finds the same endpoint.
bool PassedOverBeforeTheMatch(const std::vector<PlatformCall>& calls, std::size_t begin,
                              std::size_t end, std::size_t failed) {
  const PlatformCall& call = calls[failed];
  const bool endpointStep = (StartsWith(call.object, "collection:") && call.op == "Item") ||
                            (StartsWith(call.object, "device:") && call.op == "GetId");
  if (!endpointStep) return false;
  std::size_t lastItem = begin;
  for (std::size_t i = begin; i < end; ++i) {
    if (calls[i].op == "Item") lastItem = i;
  }
  return failed < lastItem;
}

// The failure codes whose exclusive or makes `result`; each combination of
// 1, 3 and 6 gives a different code, so there is one.
std::vector<bool> FailedBindings(std::int32_t result, const std::vector<std::int32_t>& codes) {
  const std::size_t n = codes.size();
  for (std::uint32_t mask = 0; mask < (1u << n); ++mask) {
    std::int32_t code = 0;
    for (std::size_t b = 0; b < n; ++b) {
      if ((mask >> b) & 1u) code ^= codes[b];
    }
    if (code != result) continue;
    std::vector<bool> failed(n);
    for (std::size_t b = 0; b < n; ++b) failed[b] = (mask >> b) & 1u;
    return failed;
  }
  return std::vector<bool>(n, false);
}

std::vector<Outcome> OpenSoundCardRule(const Inputs& in, const Outcome& baseline,
                                       const std::vector<PlatformCall>& calls, std::size_t failed) {
  static const std::int32_t kFailureCode[] = {1, 3, 6};
  std::vector<std::int32_t> codes;
  std::vector<std::size_t> roles;  // 0 playback, 1 microphone, 2 line
  for (std::size_t i = 0; i < 3; ++i) {
    const bool isNull = (in.nullPointers >> i) & 1u;
    if (isNull || in.texts[i].c_str()[0] == '\0') continue;
    codes.push_back(kFailureCode[i]);
    roles.push_back(i);
  }
  const std::vector<std::size_t> starts = LookupStarts(calls);
  const int phase = LookupOf(starts, failed);
  if (ResultNeutral(calls[failed]) || phase < 0 || phase >= static_cast<int>(codes.size()))
    return {baseline};
  const auto index = static_cast<std::size_t>(phase);
  const std::size_t end = index + 1 < starts.size() ? starts[index + 1] : calls.size();
  if (PassedOverBeforeTheMatch(calls, starts[index], end, failed)) return {baseline};

  const Outcome flipped = WithResult(baseline, baseline.result ^ codes[index]);
  if (FailsItsBinding(calls[failed], roles[index] == 0)) {
    const bool alreadyFailed = FailedBindings(baseline.result, codes)[index];
    return {alreadyFailed ? baseline : flipped};
  }
  return {baseline, flipped};
}

// The result reports only the default ids and the capture lookup; failures
// inside the discoveries never show in it.
std::vector<Outcome> OpenDefaultsRule(const Outcome& baseline,
                                      const std::vector<PlatformCall>& calls, std::size_t failed) {
  const std::vector<std::size_t> starts = LookupStarts(calls);
  const int phase = LookupOf(starts, failed);
  bool mayFail = phase < 0;
  if (!mayFail) {
    int captureLookups = 0;
    for (int i = 0; i <= phase; ++i) {
      const std::string& args = calls[starts[static_cast<std::size_t>(i)] + 2].args;
      if (args.find("flow=capture") != std::string::npos) ++captureLookups;
    }
    const std::string& args = calls[starts[static_cast<std::size_t>(phase)] + 2].args;
    mayFail = captureLookups == 1 && args.find("flow=capture") != std::string::npos;
  }
  if (ResultNeutral(calls[failed]) || !mayFail) return {baseline};
  return {baseline, WithResult(baseline, 1)};
}

std::vector<Outcome> DescribeRule(const Outcome& baseline, const PlatformCall& call) {
  if (call.op == "CoInitialize" || call.op == "PropVariantClear") return {baseline};
  // An endpoint whose name cannot be read is not listed, as lookup passes it over.
  Outcome failed = baseline;
  failed.result = -1;
  failed.texts = {};
  return {failed};
}

std::vector<Outcome> CountRule(const Outcome& baseline, const PlatformCall& call) {
  if (call.op == "CoInitialize") return {baseline};
  Outcome failed = baseline;
  failed.result = 1;
  failed.ints[0] = kUnset;
  return {failed};
}

Outcome Failed(const Outcome& baseline, std::int32_t result, std::int32_t status) {
  Outcome out = baseline;
  out.result = result;
  if (Has(out.status)) out.status = status;
  return out;
}

// A control export with one failed platform call: a read (range, count or
// value) that fails gives status 2, except a channel count the setter does
// not use; a write that fails gives the setter's failure status.
Outcome ControlRule(const HostCall& host, const Outcome& baseline, const PlatformCall& call,
                    p::HRESULT answer) {
  if (WriteAccepted(host, call, answer)) return baseline;
  const ControlRules& rules = host.rules;
  switch (host.family) {
    case Family::VolumeGet:
    case Family::SwitchGet:
    case Family::BoostGet:
      return Failed(baseline, 0, 2);
    case Family::VolumeSet:
      if (call.op == "GetChannelCount" && !rules.perChannel) return baseline;
      return Failed(baseline, rules.failureReturnsValue ? baseline.result : 0, 2);
    case Family::SwitchSet:
      return Failed(baseline, 0, rules.writeFailure);
    case Family::ToneGet: {
      Outcome out = Failed(baseline, 1, 2);
      if (Has(out.levels[0])) out.levels[0] = 0.0;
      return out;
    }
    case Family::ToneSet:
    case Family::BoostSet:
      return Failed(baseline, 1, 2);
    case Family::EqRange: {
      Outcome out = Failed(baseline, 2, 2);
      for (double& level : out.levels) {
        if (Has(level)) level = 0.0;
      }
      return out;
    }
    case Family::BoostDetails: {
      Outcome out = Failed(baseline, 1, 2);
      for (std::int32_t& value : out.ints) {
        if (Has(value)) value = 0;
      }
      return out;
    }
    default:
      return baseline;
  }
}

}  // namespace

std::vector<std::string> CheckReport(const HostCall& call, const Inputs& inputs,
                                     const Outcome& outcome) {
  Report report(call, outcome);
  report.Expect(outcome.overruns.empty(), "a host buffer was overrun");
  switch (call.family) {
    case Family::Open:
    case Family::OpenDefaults:
    case Family::Close:
    case Family::OpenVirtual:
    case Family::CloseVirtual:
      CheckBinding(call, outcome, report);
      break;
    case Family::Count:
    case Family::Describe:
      CheckEnumeration(call, inputs, outcome, report);
      break;
    case Family::Names:
      break;
    case Family::EqRange:
      CheckEqRange(inputs, outcome, report);
      break;
    default:
      CheckControl(call, inputs, outcome, report);
      break;
  }
  return report.Take();
}

std::vector<Outcome> AllowedUnderFailure(const HostCall& call, const Inputs& inputs,
                                         const Outcome& baseline,
                                         const std::vector<PlatformCall>& calls, std::size_t failed,
                                         p::HRESULT answer) {
  const PlatformCall& failedCall = calls.at(failed);
  switch (call.family) {
    case Family::Open:
      return OpenSoundCardRule(inputs, baseline, calls, failed);
    case Family::OpenDefaults:
      return OpenDefaultsRule(baseline, calls, failed);
    case Family::OpenVirtual: {
      if (ResultNeutral(failedCall)) return {baseline};
      const std::size_t end = calls.size();
      if (PassedOverBeforeTheMatch(calls, 0, end, failed)) return {baseline};
      // The virtual endpoint is only looked up and activated: every step of
      // those decides the result.
      if (FailsItsBinding(failedCall, false)) return {WithResult(baseline, 1)};
      return {baseline, WithResult(baseline, 1)};
    }
    case Family::Close:
    case Family::CloseVirtual:
    case Family::Names:
      return {baseline};
    case Family::Count:
      return CountRule(baseline, failedCall);
    case Family::Describe:
      return DescribeRule(baseline, failedCall);
    default:
      return {ControlRule(call, baseline, failedCall, answer)};
  }
}

// --- Failures of calls without an HRESULT ---------------------------------------------

const char* PlainOperation(const sim::TraceEntry& entry) {
  if (entry.hasResult) {
    return entry.op == "GetId" || entry.op == "GetName" ? "CoTaskMemAlloc" : nullptr;
  }
  for (const char* op : {"SysAllocStringLen", "MultiByteToWideChar", "WideCharToMultiByte"}) {
    if (entry.op == op) return op;
  }
  return nullptr;
}

std::optional<PlainFailure> PlainFailureAt(const std::vector<sim::TraceEntry>& trace,
                                           std::size_t position) {
  const sim::TraceEntry& entry = trace.at(position);
  const char* op = PlainOperation(entry);
  if (!op) return std::nullopt;
  // Indices into the failable calls (those with a result) before `position`.
  std::optional<std::size_t> lastLookup, lastId;
  const sim::TraceEntry* previous = nullptr;
  std::size_t index = 0;
  for (std::size_t i = 0; i < position; ++i) {
    if (!trace[i].hasResult) continue;
    if (trace[i].op == "EnumAudioEndpoints") lastLookup = index;
    if (trace[i].op == "GetId") lastId = index;
    previous = &trace[i];
    ++index;
  }
  if (entry.hasResult) return PlainFailure{.equivalent = index, .mayBeHarmless = false};
  if (std::string(op) == "WideCharToMultiByte") {
    if (!lastId) return std::nullopt;
    return PlainFailure{.equivalent = *lastId, .mayBeHarmless = true};
  }
  if (!lastLookup) return std::nullopt;
  // The search text is widened right after the collection is counted; a
  // lookup without it finds nothing, as one without its collection.
  const bool widensSearch =
      previous && previous->op == "GetCount" && previous->object.rfind("collection:", 0) == 0;
  return PlainFailure{.equivalent = *lastLookup, .mayBeHarmless = !widensSearch};
}

std::vector<Outcome> AllowedUnderLostWord(const HostCall& call, const Inputs& inputs,
                                          const Outcome& baseline,
                                          const std::vector<PlatformCall>& calls,
                                          std::size_t lookup) {
  std::vector<Outcome> allowed =
      AllowedUnderFailure(call, inputs, baseline, calls, lookup, p::kE_FAIL);
  allowed.push_back(baseline);
  if (call.family != Family::Open) return allowed;
  // A lost word can keep a walk off a part or let it pass one, so the
  // binding of that phase may fail or succeed; the others stay as they were.
  static const std::int32_t kFailureCode[] = {1, 3, 6};
  std::vector<std::int32_t> codes;
  for (std::size_t i = 0; i < 3; ++i) {
    const bool isNull = (inputs.nullPointers >> i) & 1u;
    if (!isNull && inputs.texts[i].c_str()[0] != '\0') codes.push_back(kFailureCode[i]);
  }
  const int phase = LookupOf(LookupStarts(calls), lookup);
  if (phase >= 0 && phase < static_cast<int>(codes.size()))
    allowed.push_back(
        WithResult(baseline, baseline.result ^ codes[static_cast<std::size_t>(phase)]));
  return allowed;
}

}  // namespace velto::hardening
