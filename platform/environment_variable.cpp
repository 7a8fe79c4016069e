#include "platform/environment_variable.h"

#include <windows.h>

#include "platform/native_api.h"
#include "platform/win32_api.h"

namespace zor {

std::wstring EnvironmentVariable(const wchar_t* name) {
  if (!Native().RtlQueryEnvironmentVariable_U) return {};
  UNICODE_STRING counted;
  Native().RtlInitUnicodeString(&counted, name);
  std::wstring value(64, L'\0');
  // One retry with the size the system reports is enough; a value that
  // grows between the two reads is not worth chasing.
  for (int attempt = 0; attempt < 2; ++attempt) {
    UNICODE_STRING result;
    result.Buffer = value.data();
    result.Length = 0;
    result.MaximumLength = static_cast<USHORT>(value.size() * sizeof(wchar_t));
    const NTSTATUS read = Native().RtlQueryEnvironmentVariable_U(nullptr, &counted, &result);
    if (NT_SUCCESS(read)) {
      value.resize(result.Length / sizeof(wchar_t));
      return value;
    }
    if (read != nt::BufferTooSmall || result.Length >= 0xFFFC) return {};
    value.assign(result.Length / sizeof(wchar_t) + 1, L'\0');
  }
  return {};
}

bool IsEnvironmentVariableSet(const wchar_t* name) {
  wchar_t value[32] = {};
  SetLastError(0);
  return Win32().GetEnvironmentVariableW(name, value, 32) > 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND;
}

}  // namespace zor
