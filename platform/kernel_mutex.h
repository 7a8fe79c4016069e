#pragma once
// The mutexes of the logging framework: kernel mutants, so that a thread
// that dies holding one does not block logging for good (the next waiter
// takes an abandoned mutant over).
#include "foundation/status_codes.h"
#include "platform/unique_handle.h"

namespace zor {

class KernelMutex {
 public:
  KernelMutex() = default;
  KernelMutex(const KernelMutex&) = delete;
  KernelMutex& operator=(const KernelMutex&) = delete;

  StatusCode Create();
  bool Valid() const { return mutant_.valid(); }
  // True when the caller now owns the mutex.
  bool Lock();
  void Unlock();

 private:
  UniqueNtHandle mutant_;
};

class KernelMutexHold {
 public:
  explicit KernelMutexHold(KernelMutex& mutex) : mutex_(mutex), owned_(mutex.Lock()) {}
  ~KernelMutexHold() {
    if (owned_) mutex_.Unlock();
  }
  KernelMutexHold(const KernelMutexHold&) = delete;
  KernelMutexHold& operator=(const KernelMutexHold&) = delete;

 private:
  KernelMutex& mutex_;
  bool owned_;
};

}  // namespace zor
