#pragma once
// A lock among the threads of this process: a critical section, which costs
// no system call while nobody else holds it. The logging framework guards
// its loggers and appenders with it; a kernel mutex would be a round trip to
// the system for every record.
//
// A thread never dies holding one: a worker thread that throws or faults
// ends the whole process (the worker guard's verdict), so no lock is ever
// left abandoned for another thread to take over.
#include "foundation/status_codes.h"
#include "platform/native_types.h"

namespace zor {

class ProcessLock {
 public:
  ProcessLock();
  ~ProcessLock();
  ProcessLock(const ProcessLock&) = delete;
  ProcessLock& operator=(const ProcessLock&) = delete;

  // Whether the lock could be made; a lock that could not is never taken.
  bool Valid() const { return ready_; }
  // True when the caller now holds the lock.
  bool Lock();
  void Unlock();

 private:
  RTL_CRITICAL_SECTION section_{};
  bool ready_ = false;
};

class ProcessLockHold {
 public:
  explicit ProcessLockHold(ProcessLock& lock) : lock_(lock), owned_(lock.Lock()) {}
  ~ProcessLockHold() {
    if (owned_) lock_.Unlock();
  }
  ProcessLockHold(const ProcessLockHold&) = delete;
  ProcessLockHold& operator=(const ProcessLockHold&) = delete;

  // False when the lock could not be taken: the guarded work must not run.
  bool Owned() const { return owned_; }

 private:
  ProcessLock& lock_;
  bool owned_;
};

}  // namespace zor
