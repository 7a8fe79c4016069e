#include "platform/process_identity.h"

#include <vector>

#include "platform/native_api.h"
#include "platform/unique_handle.h"
#include "platform/win32_api.h"

namespace zor {
namespace {

// S-1-5-32-544 laid out as a SID: revision 1, two sub-authorities, the NT
// authority (5), then 32 (built-in domain) and 544 (Administrators).
struct AdministratorsSid {
  BYTE revision = 1;
  BYTE subAuthorityCount = 2;
  BYTE authority[6] = {0, 0, 0, 0, 0, 5};
  DWORD subAuthority[2] = {32, 544};
};

StatusCode ReadOwnMemory(const void* address, void* buffer, SIZE_T size) {
  if (!Native().ZwReadVirtualMemory) return status::GenericFailure;
  SIZE_T read = 0;
  const NTSTATUS result =
      Native().ZwReadVirtualMemory(nt::CurrentProcess(), const_cast<void*>(address), buffer, size, &read);
  return StatusOfNativeCall(result);
}

}  // namespace

StatusCode IsAdministrator(bool& isAdministrator) {
  isAdministrator = false;
  if (!Native().ZwOpenProcessToken || !Native().ZwQueryInformationToken || !Native().RtlEqualSid) {
    return status::GenericFailure;
  }
  UniqueNtHandle token;
  NTSTATUS result = Native().ZwOpenProcessToken(nt::CurrentProcess(), TOKEN_QUERY, token.put());
  if (!NT_SUCCESS(result)) return StatusFromNtStatus(result);

  ULONG needed = 0;
  result = Native().ZwQueryInformationToken(token.get(), nt::TokenGroupsClass, nullptr, 0, &needed);
  if (result != nt::BufferTooSmall) return StatusFromNtStatus(result);

  std::vector<std::uint64_t> buffer;
  try {
    buffer.resize((needed + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t));
  } catch (const std::bad_alloc&) {
    return status::OutOfMemory;
  }
  result = Native().ZwQueryInformationToken(token.get(), nt::TokenGroupsClass, buffer.data(),
                                            static_cast<ULONG>(buffer.size() * sizeof(std::uint64_t)), &needed);
  if (!NT_SUCCESS(result)) return StatusFromNtStatus(result);

  AdministratorsSid administrators;
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  for (DWORD i = 0; i < groups->GroupCount; ++i) {
    if (Native().RtlEqualSid(groups->Groups[i].Sid, &administrators)) {
      isAdministrator = true;
      break;
    }
  }
  return status::Success;
}

StatusCode GetProcessCommandLine(std::wstring& commandLine) {
  if (!Native().ZwQueryInformationProcess) return status::GenericFailure;
  PROCESS_BASIC_INFORMATION basic{};
  const NTSTATUS result = Native().ZwQueryInformationProcess(nt::CurrentProcess(), nt::ProcessBasicInformationClass,
                                                             &basic, sizeof(basic), nullptr);
  if (!NT_SUCCESS(result)) return StatusFromNtStatus(result);

  PEB peb{};
  if (StatusCode read = ReadOwnMemory(basic.PebBaseAddress, &peb, sizeof(peb)); IsFailure(read)) return read;
  nt::ProcessParameters parameters{};
  if (StatusCode read = ReadOwnMemory(peb.ProcessParameters, &parameters, sizeof(parameters)); IsFailure(read)) {
    return read;
  }

  // Start with room for 257 characters; grow to the recorded length once.
  std::wstring text(257, L'\0');
  const std::size_t length = parameters.CommandLine.Length / sizeof(wchar_t);
  if (length > text.size()) text.resize(length);
  if (length > 0) {
    if (StatusCode read = ReadOwnMemory(parameters.CommandLine.Buffer, text.data(), length * sizeof(wchar_t));
        IsFailure(read)) {
      return read;
    }
  }
  text.resize(length);
  commandLine = std::move(text);
  return status::Success;
}

StatusCode ProgramModulePath(std::wstring& path) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    SetLastError(0);
    const DWORD length = Win32().GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return StatusFromLastError(GetLastError());
    if (length < buffer.size()) {
      buffer.resize(length);
      path = std::move(buffer);
      return status::Success;
    }
    if (buffer.size() >= 32768) return status::TextTooLong;
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace zor
