#include "platform/process_lock.h"

#include "platform/native_api.h"

namespace zor {

ProcessLock::ProcessLock() {
  const NativeApi& api = Native();
  if (api.RtlInitializeCriticalSection && api.RtlEnterCriticalSection && api.RtlLeaveCriticalSection &&
      api.RtlDeleteCriticalSection) {
    ready_ = NT_SUCCESS(api.RtlInitializeCriticalSection(&section_));
  }
}

ProcessLock::~ProcessLock() {
  if (ready_) Native().RtlDeleteCriticalSection(&section_);
}

bool ProcessLock::Lock() { return ready_ && NT_SUCCESS(Native().RtlEnterCriticalSection(&section_)); }

void ProcessLock::Unlock() { Native().RtlLeaveCriticalSection(&section_); }

}  // namespace zor
