#pragma once

#include <exception>

namespace velto {

// No exception may cross the C boundary into the host: a failed allocation
// anywhere inside an export is reported as that export's failure result.
template <class Result, class Body>
Result Guarded(Result failure, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return failure;
  }
}

template <class Body>
void GuardedVoid(Body&& body) noexcept {
  try {
    body();
  } catch (...) {
  }
}

// One export's hold on the process-wide lock that serialises every export.
// A thread that is already inside an export does not take it again: the COM
// call that let it back in (an apartment thread pumping messages while it
// waits) is still in the middle of its export, with a walk half done or
// interfaces in hand. Such a call is refused instead, so it neither
// deadlocks on the lock nor changes the record under its own caller.
class ExportCall {
 public:
  ExportCall() noexcept;
  ~ExportCall();
  ExportCall(const ExportCall&) = delete;
  ExportCall& operator=(const ExportCall&) = delete;

  bool Entered() const { return entered_; }

 private:
  bool entered_;
};

// The one way into the library: every export's body runs here. A refused
// (re-entrant) call answers `refused()`, the export's failure, and touches
// neither the record nor the platform.
template <class Refused, class Body>
auto Exported(Refused&& refused, Body&& body) noexcept {
  const ExportCall call;
  if (!call.Entered()) return refused();
  return body();
}

// An export whose failure is one result value, for refusal and for a failed
// allocation alike.
template <class Result, class Body>
Result GuardedExport(Result failure, Body&& body) noexcept {
  return Exported([failure] { return failure; }, [&] { return Guarded(failure, body); });
}

}  // namespace velto
