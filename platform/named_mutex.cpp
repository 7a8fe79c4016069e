#include "platform/named_mutex.h"

#include "platform/win32_api.h"

#include <windows.h>

#include <string>

namespace zor {

StatusCode TryTakeNamedMutex(std::wstring_view name, UniqueNtHandle& held, bool& taken) {
  taken = false;
  const std::wstring text(name);
  UniqueNtHandle mutex(Win32().CreateMutexW(nullptr, FALSE, text.c_str()));
  if (!mutex) return StatusFromLastError(GetLastError());
  const DWORD waited = WaitForSingleObject(mutex.get(), 0);
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
    taken = true;
  } else if (waited != WAIT_TIMEOUT) {
    return StatusFromLastError(GetLastError());
  }
  held = std::move(mutex);
  return status::Success;
}

}  // namespace zor
