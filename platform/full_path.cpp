#include "platform/full_path.h"

#include <new>

#include "platform/native_api.h"

namespace zor {

StatusCode FullPathOf(std::wstring_view path, std::wstring& full) {
  try {
    if (!Native().RtlGetFullPathName_U) return StatusFromNtStatus(nt::NotImplemented);
    const std::wstring given(path);
    std::wstring made(MAX_PATH, L'\0');
    ULONG bytes = Native().RtlGetFullPathName_U(given.c_str(), static_cast<ULONG>(made.size() * sizeof(wchar_t)),
                                                made.data(), nullptr);
    if (bytes >= made.size() * sizeof(wchar_t)) {
      made.assign(bytes / sizeof(wchar_t) + 1, L'\0');
      bytes = Native().RtlGetFullPathName_U(given.c_str(), static_cast<ULONG>(made.size() * sizeof(wchar_t)),
                                            made.data(), nullptr);
      if (bytes >= made.size() * sizeof(wchar_t)) bytes = 0;
    }
    if (bytes == 0) return StatusFromNtStatus(nt::ObjectPathNotFound);
    made.resize(bytes / sizeof(wchar_t));
    full = std::move(made);
    return status::Success;
  } catch (const std::bad_alloc&) {
    return status::OutOfMemory;
  }
}

}  // namespace zor
