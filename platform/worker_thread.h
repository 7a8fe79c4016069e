#pragma once
// Worker threads of the platform layer. The body runs inside a guard: an
// exception that escapes it is shown to the system's unhandled-exception
// filter, and when that takes it the whole process ends with 0xFFFFFFFF.
#include <cstdint>
#include <functional>
#include <span>

#include "foundation/status_codes.h"
#include "platform/unique_handle.h"

namespace zor {

enum WorkerFlags : std::uint32_t {
  WorkerPlain = 0,
  // Hardware faults in the body become ZorBasSyncThread*HwException.
  WorkerTranslateFaults = 1,
};

class WorkerThread {
 public:
  WorkerThread() = default;
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;
  // Waits for a running body: its state lives in this object.
  ~WorkerThread();

  StatusCode Start(std::function<void()> body, std::uint32_t flags);
  // 0xA0010004 when the thread is still running after `milliseconds`.
  StatusCode Wait(std::uint32_t milliseconds);
  HANDLE Handle() const { return thread_.get(); }

 private:
  static DWORD WINAPI ThreadStart(void* self);

  std::function<void()> body_;
  std::uint32_t flags_ = WorkerPlain;
  UniqueNtHandle thread_;
};

// Starts a thread that owns its body, for work that may outlive whoever
// started it: created suspended with a 1 MB stack reserve and 4 KB
// committed, then resumed. The body is freed by the thread when it ends; the
// caller gets the thread's handle in `thread` and need not wait for it.
StatusCode StartOwnedWorker(std::function<void()> body, UniqueNtHandle& thread);

// One wait for all threads at once (at most 64): WaitTimedOut when one of
// them still runs after `milliseconds`.
StatusCode WaitForAllThreads(std::span<const HANDLE> threads, std::uint32_t milliseconds);

// What the guard decides for an exception that escaped a worker body:
// EXCEPTION_EXECUTE_HANDLER ends the process with 0xFFFFFFFF.
LONG WorkerGuardVerdict(EXCEPTION_POINTERS* pointers);

}  // namespace zor
