#include "platform/special_folders.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/native_api.h"
#include "platform/native_types.h"
#include "tests/support/table_swap.h"

namespace zor {
namespace {

std::wstring Environment(const wchar_t* name) {
  wchar_t buffer[1024];
  const DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
  return std::wstring(buffer, length < 1024 ? length : 0);
}

std::wstring WindowsFolder() {
  wchar_t buffer[MAX_PATH];
  return std::wstring(buffer, GetWindowsDirectoryW(buffer, MAX_PATH));
}

std::wstring SystemFolder() {
  wchar_t buffer[MAX_PATH];
  return std::wstring(buffer, GetSystemDirectoryW(buffer, MAX_PATH));
}

bool EqualIgnoringCase(const std::wstring& a, const std::wstring& b) { return lstrcmpiW(a.c_str(), b.c_str()) == 0; }

TEST(SpecialFolder, EachKindNamesTheFolderWindowsReports) {
  const struct {
    int kind;
    std::wstring expected;
  } rows[] = {
      {FolderUserAppData, Environment(L"APPDATA")},
      {FolderSystem, SystemFolder()},
      {FolderSystem32Bit, WindowsFolder() + L"\\SysWOW64"},
      {FolderSystemFromWindows, WindowsFolder() + L"\\System32"},
      {FolderWindows, WindowsFolder()},
      {FolderProgramFiles, Environment(L"ProgramFiles")},
      {FolderProgramFiles32Bit, Environment(L"ProgramFiles(x86)")},
      {FolderProgramFiles64Bit, Environment(L"ProgramW6432")},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.kind);
    ASSERT_FALSE(row.expected.empty());
    std::wstring folder;
    ASSERT_EQ(SpecialFolder(row.kind, folder), status::Success);
    EXPECT_TRUE(EqualIgnoringCase(folder, row.expected)) << std::string(folder.begin(), folder.end());
  }
}

TEST(SpecialFolder, UnknownKindsFailAndLeaveTheOutputAlone) {
  for (int kind : {-1, 0, 1, 10, 31}) {
    SCOPED_TRACE(kind);
    std::wstring folder = L"sentinel";
    EXPECT_EQ(static_cast<std::uint32_t>(SpecialFolder(kind, folder)), 0xE0018E15u);
    EXPECT_EQ(folder, L"sentinel");
  }
}

std::wstring MachineProgramFiles(const wchar_t* valueName) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0, KEY_READ | KEY_WOW64_64KEY,
                    &key) != ERROR_SUCCESS) {
    return L"(no key)";
  }
  wchar_t buffer[MAX_PATH] = {};
  DWORD size = sizeof(buffer) - sizeof(wchar_t);
  const LONG read = RegQueryValueExW(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  return read == ERROR_SUCCESS ? std::wstring(buffer) : L"(no value)";
}

// Changes environment variables of this process and refills the table; puts
// both back when the test ends.
class ProgramFilesEnvironment {
 public:
  ProgramFilesEnvironment() {
    for (const wchar_t* name : kNames) {
      saved_.push_back(Environment(name));
      SetEnvironmentVariableW(name, (std::wstring(L"C:\\Elsewhere\\") + name).c_str());
    }
  }
  ~ProgramFilesEnvironment() {
    for (std::size_t i = 0; i < saved_.size(); ++i) SetEnvironmentVariableW(kNames[i], saved_[i].c_str());
    FillSpecialFolders();
  }

  static constexpr const wchar_t* kNames[] = {L"ProgramFiles", L"ProgramFiles(x86)", L"ProgramW6432"};

 private:
  std::vector<std::wstring> saved_;
};

TEST(SpecialFolder, ProgramFilesComeFromTheRegistryFirst) {
  ProgramFilesEnvironment environment;
  FillSpecialFolders();
  const struct {
    int kind;
    std::wstring expected;
  } rows[] = {
      {FolderProgramFiles, MachineProgramFiles(L"ProgramFilesDir")},
      {FolderProgramFiles32Bit, MachineProgramFiles(L"ProgramFilesDir (x86)")},
      {FolderProgramFiles64Bit, MachineProgramFiles(L"ProgramFilesDir")},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.kind);
    ASSERT_EQ(row.expected.rfind(L"C:\\", 0), 0u);
    std::wstring folder;
    ASSERT_EQ(SpecialFolder(row.kind, folder), status::Success);
    EXPECT_EQ(folder, row.expected);
  }
}

NTSTATUS NTAPI NoValue(HANDLE, PUNICODE_STRING, ULONG, PVOID, ULONG, PULONG) { return nt::ObjectNameNotFound; }

TEST(SpecialFolder, ProgramFilesFallBackToTheEnvironment) {
  ProgramFilesEnvironment environment;
  {
    const test::SwappedEntry missing(Native().ZwQueryValueKey, &NoValue);
    FillSpecialFolders();
  }
  const struct {
    int kind;
    const wchar_t* expected;
  } rows[] = {
      {FolderProgramFiles, L"C:\\Elsewhere\\ProgramFiles"},
      {FolderProgramFiles32Bit, L"C:\\Elsewhere\\ProgramFiles(x86)"},
      {FolderProgramFiles64Bit, L"C:\\Elsewhere\\ProgramW6432"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.kind);
    std::wstring folder;
    ASSERT_EQ(SpecialFolder(row.kind, folder), status::Success);
    EXPECT_EQ(folder, row.expected);
  }
}

}  // namespace
}  // namespace zor
