#pragma once
// A mutex that every process of the machine sees under one name, taken
// without waiting.
#include <string_view>

#include "foundation/status_codes.h"
#include "platform/unique_handle.h"

namespace zor {

// Opens or creates the named mutex and takes it if no other process holds
// it. `taken` tells whether the caller now owns it; a mutex whose owner died
// counts as free, so a run that was killed never locks out the next one.
// `held` keeps the handle: the mutex is released when the process ends or
// the handle is closed.
StatusCode TryTakeNamedMutex(std::wstring_view name, UniqueNtHandle& held, bool& taken);

}  // namespace zor
