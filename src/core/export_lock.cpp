// The lock behind ExportCall. Uncontended it costs an atomic operation to take
// and one to give back.
#include <atomic>
#include <cstdint>

#include "core/export_guard.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>

#include <mutex>
#endif

namespace velto {

#ifdef VELTO_EXPORT_LOCK_SWITCH
// Only the benchmarks build this file with the switch, to weigh the lock
// against the same exports without it in one run.
bool exportLockOn = true;
#endif

namespace {

#ifdef _WIN32
// A critical section: through the DLL under Wine it costs less than half of
// a slim reader/writer lock per export (docs/performance.md). Made at load
// and never deleted, like the record it guards.
struct CriticalSection {
  CriticalSection() { InitializeCriticalSection(&section); }
  CRITICAL_SECTION section;
};
CriticalSection& exportLock = *new CriticalSection;
void Lock() { EnterCriticalSection(&exportLock.section); }
void Unlock() { LeaveCriticalSection(&exportLock.section); }
std::uintptr_t CurrentThread() { return GetCurrentThreadId(); }
#else
std::mutex exportLock;
void Lock() { exportLock.lock(); }
void Unlock() { exportLock.unlock(); }
std::uintptr_t CurrentThread() { return static_cast<std::uintptr_t>(pthread_self()); }
#endif

// The thread inside an export, or 0. Only the lock's holder writes it: its
// own id once it holds the lock, 0 before it lets go. So a thread finds its
// own id here exactly while it is inside an export, whatever the others do;
// relaxed order is enough for that. (A thread-local flag would do the same,
// but costs a call into the emulated TLS of MinGW on every export.)
std::atomic<std::uintptr_t> owner{0};

bool LockWanted() {
#ifdef VELTO_EXPORT_LOCK_SWITCH
  return exportLockOn;
#else
  return true;
#endif
}

}  // namespace

ExportCall::ExportCall() noexcept
    : entered_(owner.load(std::memory_order_relaxed) != CurrentThread()) {
  if (!entered_) return;
  if (LockWanted()) Lock();
  owner.store(CurrentThread(), std::memory_order_relaxed);
}

ExportCall::~ExportCall() {
  if (!entered_) return;
  owner.store(0, std::memory_order_relaxed);
  if (LockWanted()) Unlock();
}

}  // namespace velto
