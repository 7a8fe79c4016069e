#include "platform/runtime_library.h"

#include <windows.h>

#include <cstring>

#include "platform/clock.h"
#include "platform/native_api.h"

namespace zor {

StatusCode RuntimeLibrary::Load() {
  std::int32_t expected = NotLoaded;
  if (state_.compare_exchange_strong(expected, Loading)) {
    UNICODE_STRING name;
    Native().RtlInitUnicodeString(&name, name_);
    void* module = nullptr;
    const NTSTATUS loaded = Native().LdrLoadDll(nullptr, nullptr, &name, &module);
    if (NT_SUCCESS(loaded)) {
      module_ = module;
      state_.store(Loaded);
    } else {
      failure_ = StatusOfNativeCall(loaded);
      state_.store(Failed);
    }
  }
  // Another caller loads it: wait for the outcome.
  while (state_.load() == Loading) SleepMilliseconds(1);
  return state_.load() == Loaded ? status::Success : failure_;
}

StatusCode RuntimeLibrary::Resolve(const char* function, std::atomic<void*>& slot, void*& address) {
  if (void* known = slot.load()) {
    address = known;
    return status::Success;
  }
  if (const StatusCode loaded = Load(); IsFailure(loaded)) return loaded;
  ANSI_STRING name;
  name.Buffer = const_cast<char*>(function);
  name.Length = static_cast<USHORT>(std::strlen(function));
  name.MaximumLength = static_cast<USHORT>(name.Length + 1);
  void* found = nullptr;
  const NTSTATUS resolved = Native().LdrGetProcedureAddress(module_, &name, 0, &found);
  if (!NT_SUCCESS(resolved)) return StatusOfNativeCall(resolved);
  slot.store(found);
  address = found;
  return status::Success;
}

}  // namespace zor
