#include "tests/platform/file_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace zor::test {

bool RunningUnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

namespace {

std::wstring TestName() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "-" + info->name() : std::string("outside");
  return std::wstring(name.begin(), name.end());
}

}  // namespace

TestFolder::TestFolder() : TestFolder(L"C:") {}

TestFolder::TestFolder(const std::wstring& base) {
  // A parameterised test's name holds slashes.
  std::wstring name = TestName();
  std::replace(name.begin(), name.end(), L'/', L'-');
  path_ = base + L"\\zor-files-" + std::to_wstring(GetCurrentProcessId()) + L"-" + name;
  RemoveTestTree(path_);
  made_ = CreateDirectoryW(path_.c_str(), nullptr) != FALSE;
}

TestFolder::~TestFolder() { RemoveTestTree(path_); }

std::wstring TestFolder::operator/(std::wstring_view relative) const { return path_ + L"\\" + std::wstring(relative); }

void MakeFolder(const std::wstring& path) { ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << Narrow(path); }

void WriteTextFile(const std::wstring& path, std::string_view content) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << Narrow(path);
  DWORD written = 0;
  const BOOL wrote = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(file);
  ASSERT_TRUE(wrote);
  ASSERT_EQ(written, content.size());
}

std::string ReadTextFile(const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  std::string content;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) content.append(buffer, read);
  CloseHandle(file);
  return content;
}

bool PathExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::wstring> FolderNames(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return Sorted(std::move(names));
}

std::vector<std::wstring> Sorted(std::vector<std::wstring> names) {
  std::sort(names.begin(), names.end());
  return names;
}

void RemoveTestTree(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
    return;
  }
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L".." || (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) continue;
      RemoveTestTree(path + L"\\" + name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(path.c_str());
}

namespace {

std::wstring_view NameOf(const UNICODE_STRING* name) {
  return name ? std::wstring_view(name->Buffer, name->Length / sizeof(wchar_t)) : std::wstring_view();
}

}  // namespace

ListedAsLinks* ListedAsLinks::active_ = nullptr;

ListedAsLinks::ListedAsLinks(std::wstring prefix) : prefix_(std::move(prefix)), swap_(Native().ZwQueryDirectoryFile, &Query) {
  active_ = this;
}

ListedAsLinks::~ListedAsLinks() { active_ = nullptr; }

NTSTATUS NTAPI ListedAsLinks::Query(HANDLE file, HANDLE event, nt::IoApcRoutine apc, PVOID context, PIO_STATUS_BLOCK io,
                                    PVOID buffer, ULONG length, ULONG infoClass, BOOLEAN single, PUNICODE_STRING name,
                                    BOOLEAN restart) {
  const NTSTATUS status =
      active_->swap_.original()(file, event, apc, context, io, buffer, length, infoClass, single, name, restart);
  // Where each record class keeps the name; the attributes sit at 56 in all.
  ULONG nameAt = 0;
  switch (infoClass) {
    case 1: nameAt = 64; break;   // FileDirectoryInformation
    case 2: nameAt = 68; break;   // FileFullDirectoryInformation
    case 3: nameAt = 94; break;   // FileBothDirectoryInformation
    case 37: nameAt = 104; break; // FileIdBothDirectoryInformation
    case 38: nameAt = 80; break;  // FileIdFullDirectoryInformation
    default: return status;
  }
  if (!NT_SUCCESS(status)) return status;
  auto* bytes = static_cast<unsigned char*>(buffer);
  for (ULONG at = 0;;) {
    ULONG next = 0;
    ULONG nameBytes = 0;
    std::memcpy(&next, bytes + at, sizeof(next));
    std::memcpy(&nameBytes, bytes + at + 60, sizeof(nameBytes));
    const std::wstring_view entryName(reinterpret_cast<const wchar_t*>(bytes + at + nameAt), nameBytes / sizeof(wchar_t));
    if (entryName.substr(0, active_->prefix_.size()) == active_->prefix_) {
      ULONG attributes = 0;
      std::memcpy(&attributes, bytes + at + 56, sizeof(attributes));
      attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
      std::memcpy(bytes + at + 56, &attributes, sizeof(attributes));
    }
    if (next == 0) return status;
    at += next;
  }
}

RefusedListing* RefusedListing::active_ = nullptr;

RefusedListing::RefusedListing(std::wstring mask, NTSTATUS refusal)
    : mask_(std::move(mask)), refusal_(refusal), swap_(Native().ZwQueryDirectoryFile, &Query) {
  active_ = this;
}

RefusedListing::~RefusedListing() { active_ = nullptr; }

NTSTATUS NTAPI RefusedListing::Query(HANDLE file, HANDLE event, nt::IoApcRoutine apc, PVOID context, PIO_STATUS_BLOCK io,
                                     PVOID buffer, ULONG length, ULONG infoClass, BOOLEAN single, PUNICODE_STRING name,
                                     BOOLEAN restart) {
  if (name != nullptr && NameOf(name) == active_->mask_) return active_->refusal_;
  return active_->swap_.original()(file, event, apc, context, io, buffer, length, infoClass, single, name, restart);
}

RefusedOpen* RefusedOpen::active_ = nullptr;

RefusedOpen::RefusedOpen(std::wstring suffix, NTSTATUS refusal)
    : suffix_(std::move(suffix)), refusal_(refusal), swap_(Native().ZwOpenFile, &Open) {
  active_ = this;
}

RefusedOpen::~RefusedOpen() { active_ = nullptr; }

NTSTATUS NTAPI RefusedOpen::Open(PHANDLE file, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, PIO_STATUS_BLOCK io,
                                 ULONG share, ULONG options) {
  const std::wstring_view name = attributes ? NameOf(attributes->ObjectName) : std::wstring_view();
  const std::wstring_view suffix = active_->suffix_;
  if (attributes && attributes->RootDirectory == nullptr && name.size() >= suffix.size() &&
      name.substr(name.size() - suffix.size()) == suffix) {
    return active_->refusal_;
  }
  return active_->swap_.original()(file, access, attributes, io, share, options);
}

// The Session Manager's pending file rename operations: pairs of an NT
// path and a target, an empty target meaning deletion.
std::vector<std::wstring> PendingRenames() {
  std::vector<std::wstring> entries;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0, KEY_QUERY_VALUE,
                    &key) != ERROR_SUCCESS) {
    return entries;
  }
  DWORD type = 0;
  DWORD bytes = 0;
  if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS &&
      type == REG_MULTI_SZ) {
    std::vector<wchar_t> data(bytes / sizeof(wchar_t) + 2, L'\0');
    RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &bytes);
    const std::size_t units = bytes / sizeof(wchar_t);
    for (std::size_t at = 0; at < units;) {
      std::wstring entry(data.data() + at);
      at += entry.size() + 1;
      entries.push_back(std::move(entry));
    }
  }
  RegCloseKey(key);
  return entries;
}

bool DeletionIsPending(const std::wstring& path) {
  const std::vector<std::wstring> entries = PendingRenames();
  for (std::size_t at = 0; at + 1 < entries.size(); ++at) {
    if (entries[at] == L"\\??\\" + path && entries[at + 1].empty()) return true;
  }
  return false;
}

}  // namespace zor::test
