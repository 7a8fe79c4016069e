#include "app/product_folder_check.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/narrow_text.h"

namespace zor {
namespace {

using test::Narrow;

// The folders of a default 64-bit installation.
SystemFolders DefaultFolders() {
  SystemFolders folders;
  folders.CurrentDir = L"C:\\Windows\\System32";
  folders.WindowsDir = L"C:\\Windows";
  folders.System32Dir = L"C:\\Windows\\System32";
  folders.SysWow64Dir = L"C:\\Windows\\SysWOW64";
  folders.DriversDir = L"C:\\Windows\\System32\\Drivers";
  folders.ProgramFilesDir = L"C:\\Program Files";
  folders.ProgramFilesX86Dir = L"C:\\Program Files (x86)";
  folders.ProgramDataDir = L"C:\\ProgramData";
  folders.UsersDir = L"C:\\Users";
  folders.CommonDesktopDir = L"C:\\Users\\Public\\Desktop";
  folders.CommonStartMenuDir = L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu";
  folders.CommonProgramsDir = L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
  return folders;
}

TEST(FullFolderPath, ResolvesLikeTheSystem) {
  const struct {
    const wchar_t* path;
    const wchar_t* currentDir;
    const wchar_t* full;  // null: cannot be resolved
  } rows[] = {
      {L"C:\\", L"", L"C:"},
      {L"C:\\Windows\\", L"", L"C:\\Windows"},
      {L"c:/program files//zor/", L"", L"c:\\program files\\zor"},
      {L"C:\\Windows\\System32\\..\\SysWOW64", L"", L"C:\\Windows\\SysWOW64"},
      {L"C:\\..\\..\\Windows", L"", L"C:\\Windows"},
      {L"C:\\Windows\\.\\System32\\.", L"", L"C:\\Windows\\System32"},
      {L"C:\\Windows. \\System32..", L"", L"C:\\Windows\\System32"},
      {L"C:\\ZOR\\...", L"", L"C:\\ZOR"},
      {L"\\\\?\\C:\\Windows", L"", L"C:\\Windows"},
      {L"\\??\\D:\\ZOR\\", L"", L"D:\\ZOR"},
      {L"\\\\?\\UNC\\server\\share\\ZOR", L"", L"\\\\server\\share\\ZOR"},
      {L"\\\\server\\share", L"", L"\\\\server\\share"},
      {L"\\\\server\\share\\", L"", L"\\\\server\\share"},
      {L"\\\\server\\share\\ZOR\\..", L"", L"\\\\server\\share"},
      {L"\\\\server", L"", nullptr},
      {L"\\\\server\\", L"", nullptr},
      {L"\\\\.\\PhysicalDrive0", L"", nullptr},
      // A prefix behind a prefix: read once more, the rest would name C:\Windows.
      {L"\\\\?\\\\\\?\\C:\\Windows", L"", nullptr},
      {L"\\??\\\\?\\C:\\Windows", L"", nullptr},
      {L"\\??\\\\\\.\\PhysicalDrive0", L"", nullptr},
      {L"ZOR10", L"D:\\Tools", L"D:\\Tools\\ZOR10"},
      {L".", L"C:\\Windows\\System32", L"C:\\Windows\\System32"},
      {L"..\\..", L"C:\\Windows\\System32", L"C:"},
      {L"\\", L"C:\\Windows\\System32", L"C:"},
      {L"\\ZOR", L"D:\\Tools", L"D:\\ZOR"},
      {L"C:", L"C:\\Windows", L"C:\\Windows"},
      {L"c:ZOR", L"C:\\Windows", L"C:\\Windows\\ZOR"},
      {L"D:ZOR", L"C:\\Windows", L"D:\\ZOR"},
      {L"D:", L"C:\\Windows", L"D:"},
      {L"\\ZOR", L"\\\\server\\share\\tools", L"\\\\server\\share\\ZOR"},
      {L"ZOR10", L"", nullptr},
      {L"\\ZOR", L"", nullptr},
      {L"ZOR10", L"tools", nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.path) + " in " + Narrow(row.currentDir));
    std::wstring full = L"sentinel";
    EXPECT_EQ(FullFolderPath(row.path, row.currentDir, full), row.full != nullptr);
    EXPECT_EQ(full, row.full ? row.full : L"sentinel");
  }
}

TEST(IsUnsafeProductFolder, RefusesTheFoldersOfWindows) {
  const struct {
    const wchar_t* path;
    bool refused;
  } rows[] = {
      {L"C:\\", true},
      {L"C:", true},  // the current folder of drive C:, here System32
      {L"D:\\", true},
      {L"d:", true},
      {L"C:\\Windows", true},
      {L"C:\\WINDOWS\\", true},
      {L"c:\\windows\\system32", true},
      {L"C:\\Windows\\System32\\", true},
      {L"C:\\Windows\\SysWOW64", true},
      {L"C:\\Windows\\System32\\drivers", true},
      {L"C:\\Windows\\System32\\..\\SysWOW64\\.", true},
      {L"C:\\Windows.", true},
      {L"C:/Windows/System32/", true},
      {L"\\\\?\\C:\\Windows", true},
      {L"C:\\Program Files", true},
      {L"C:\\Program Files\\", true},
      {L"C:\\Program Files (x86)", true},
      {L"C:\\ProgramData\\", true},
      {L"C:\\ProgramData", true},
      {L"C:\\Users", true},
      {L"C:\\Users\\Public", true},
      {L"C:\\Users\\Administrator\\", true},
      {L"C:\\Users\\Default", true},
      {L"C:\\Users\\Public\\Desktop", true},
      {L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu", true},
      {L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\", true},
      {L"C:\\ProgramData\\Microsoft", true},  // holds the Start menu
      {L"C:\\Program Files (x86)\\ZOR\\..", true},
      {L"\\\\server\\share", true},
      {L"\\\\server\\share\\", true},
      {L"\\\\.\\C:", true},
      {L".", true},
      {L"..", true},
      {L"\\", true},
      {L"C:\\Program Files (x86)\\ZOR\\ZOR10", false},
      {L"C:\\Program Files (x86)\\ZOR\\ZOR10\\", false},
      {L"C:\\Program Files\\Zor10 Admin", false},
      {L"C:\\ProgramData\\ZOR10", false},
      {L"C:\\Users\\Public\\ZOR10", false},
      {L"C:\\Users\\Administrator\\AppData\\Roaming\\ZOR10", false},
      {L"C:\\Windows\\Temp\\ZOR", false},
      {L"D:\\ZOR", false},
      {L"\\\\server\\share\\ZOR", false},
      {L"", false},  // names nothing: left as it is
  };
  const SystemFolders folders = DefaultFolders();
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.path));
    EXPECT_EQ(IsUnsafeProductFolder(row.path, folders), row.refused);
  }
}

TEST(IsUnsafeProductFolder, ResolvesRelativeFoldersAgainstTheCurrentFolder) {
  SystemFolders folders = DefaultFolders();
  folders.CurrentDir = L"D:\\Tools";
  EXPECT_FALSE(IsUnsafeProductFolder(L"ZOR10", folders));
  EXPECT_TRUE(IsUnsafeProductFolder(L"..", folders));
  EXPECT_TRUE(IsUnsafeProductFolder(L"..\\..\\..", folders));
  EXPECT_TRUE(IsUnsafeProductFolder(L"C:..\\Windows", folders));
  folders.CurrentDir.clear();
  // Without a current folder a relative folder names nothing certain.
  EXPECT_TRUE(IsUnsafeProductFolder(L"ZOR10", folders));
  EXPECT_FALSE(IsUnsafeProductFolder(L"D:\\ZOR", folders));
}

TEST(IsUnsafeProductFolder, FollowsWhereThisMachineKeepsItsFolders) {
  SystemFolders folders;
  folders.WindowsDir = L"E:\\OS\\Win";
  folders.ProgramFilesDir = L"E:\\Apps\\";
  folders.UsersDir = L"F:\\Profiles";
  const struct {
    const wchar_t* path;
    bool refused;
  } rows[] = {
      {L"E:\\OS", true},  // holds the Windows folder
      {L"E:\\OS\\Win", true},
      {L"e:\\apps", true},
      {L"F:\\Profiles\\jane", true},
      {L"F:\\Profiles\\jane\\ZOR", false},
      {L"C:\\Windows", false},
      {L"C:\\Users\\Public", false},
      {L"C:\\", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.path));
    EXPECT_EQ(IsUnsafeProductFolder(row.path, folders), row.refused);
  }
}

}  // namespace
}  // namespace zor
