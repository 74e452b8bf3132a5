// The lock behind ExportCall. Uncontended it costs two atomic operations per
// export; the exports themselves make platform calls that cost far more on
// Windows (docs/performance.md).
#include "core/export_guard.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <mutex>
#endif

namespace velto {

#ifdef VELTO_EXPORT_LOCK_SWITCH
// Only the benchmarks build this file with the switch, to weigh the lock
// against the same exports without it in one run.
bool exportLockOn = true;
#endif

namespace {

// Which thread is inside an export. A plain flag per thread: only its own
// thread reads or writes it.
thread_local bool insideExport = false;

#ifdef _WIN32
// GCC's win32 thread model has no std::mutex; a slim reader/writer lock is
// what the kernel offers without set-up (and it needs no destructor at
// unload).
SRWLOCK exportLock = SRWLOCK_INIT;
void Lock() { AcquireSRWLockExclusive(&exportLock); }
void Unlock() { ReleaseSRWLockExclusive(&exportLock); }
#else
std::mutex exportLock;
void Lock() { exportLock.lock(); }
void Unlock() { exportLock.unlock(); }
#endif

bool LockWanted() {
#ifdef VELTO_EXPORT_LOCK_SWITCH
  return exportLockOn;
#else
  return true;
#endif
}

}  // namespace

ExportCall::ExportCall() noexcept : entered_(!insideExport) {
  if (!entered_) return;
  if (LockWanted()) Lock();
  insideExport = true;
}

ExportCall::~ExportCall() {
  if (!entered_) return;
  insideExport = false;
  if (LockWanted()) Unlock();
}

}  // namespace velto
