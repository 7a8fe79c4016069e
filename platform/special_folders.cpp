#include "platform/special_folders.h"

#include <array>

#include "platform/native_api.h"
#include "platform/os_identity_reader.h"
#include "platform/registry_key.h"

namespace zor {
namespace {

constexpr int kFirstKind = FolderUserAppData;
constexpr int kLastKind = FolderProgramFiles64Bit;
// One text of at most 259 characters per kind; a longer one is not kept.
constexpr std::size_t kMaxFolderLength = 259;

std::array<std::wstring, kLastKind + 1> g_folders;

void Keep(int kind, std::wstring folder) {
  if (folder.size() <= kMaxFolderLength) g_folders[kind] = std::move(folder);
}

std::wstring EnvironmentVariable(const wchar_t* name) {
  if (!Native().RtlQueryEnvironmentVariable_U) return {};
  UNICODE_STRING counted;
  Native().RtlInitUnicodeString(&counted, name);
  std::wstring value(kMaxFolderLength + 1, L'\0');
  UNICODE_STRING result;
  result.Buffer = value.data();
  result.Length = 0;
  result.MaximumLength = static_cast<USHORT>(value.size() * sizeof(wchar_t));
  if (!NT_SUCCESS(Native().RtlQueryEnvironmentVariable_U(nullptr, &counted, &result))) return {};
  value.resize(result.Length / sizeof(wchar_t));
  return value;
}

// The full path of the loaded ntdll.dll, from the loader's module list.
std::wstring NtdllPath() {
  const PEB* peb = nt::CurrentPeb();
  if (!peb || !peb->Ldr) return {};
  const LIST_ENTRY* head = &peb->Ldr->InMemoryOrderModuleList;
  for (const LIST_ENTRY* link = head->Flink; link && link != head; link = link->Flink) {
    const auto* entry = CONTAINING_RECORD(link, LDR_DATA_TABLE_ENTRY, InMemoryOrderLinks);
    if (entry->DllBase == Native().module && entry->FullDllName.Buffer) {
      return std::wstring(entry->FullDllName.Buffer, entry->FullDllName.Length / sizeof(wchar_t));
    }
  }
  return {};
}

// Windows records its program folders in the registry; the environment
// of the process is only the second choice.
std::wstring ProgramFilesFolder(const wchar_t* valueName, ViewMode view, const wchar_t* environmentName) {
  RegistryKey key(RootLocalMachine);
  std::wstring folder;
  if (!IsFailure(key.SetViewMode(view)) && !IsFailure(key.Open(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion")) &&
      !IsFailure(key.GetString(valueName, folder)) && !folder.empty()) {
    return folder;
  }
  return EnvironmentVariable(environmentName);
}

std::wstring WithoutLastComponent(const std::wstring& path) {
  const std::size_t separator = path.find_last_of(L"\\/");
  if (separator == std::wstring::npos) return {};
  return path.substr(0, separator);
}

}  // namespace

void FillSpecialFolders() {
  Keep(FolderUserAppData, EnvironmentVariable(L"APPDATA"));

  const std::wstring system = WithoutLastComponent(NtdllPath());
  Keep(FolderSystem, system);
  const std::wstring windows = WithoutLastComponent(system);
  if (!windows.empty()) {
    Keep(FolderWindows, windows);
    Keep(FolderSystemFromWindows, windows + L"\\System32");
    Keep(FolderSystem32Bit, windows + (IsSystem64Bit() ? L"\\SysWOW64" : L"\\System32"));
  }

  Keep(FolderProgramFiles, ProgramFilesFolder(L"ProgramFilesDir", ViewModeDefault, L"ProgramFiles"));
  if (IsSystem64Bit()) {
    Keep(FolderProgramFiles32Bit, ProgramFilesFolder(L"ProgramFilesDir (x86)", ViewMode64, L"ProgramFiles(x86)"));
    Keep(FolderProgramFiles64Bit, ProgramFilesFolder(L"ProgramFilesDir", ViewMode64, L"ProgramW6432"));
  } else {
    g_folders[FolderProgramFiles32Bit] = g_folders[FolderProgramFiles];
  }
}

StatusCode SpecialFolder(int kind, std::wstring& folder) {
  if (kind < kFirstKind || kind > kLastKind) return status::FolderKindUnknown;
  if (g_folders[kind].empty()) return status::FolderKindUndetermined;
  folder = g_folders[kind];
  return status::Success;
}

}  // namespace zor
