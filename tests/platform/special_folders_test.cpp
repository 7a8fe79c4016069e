#include "platform/special_folders.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/native_types.h"

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

}  // namespace
}  // namespace zor
