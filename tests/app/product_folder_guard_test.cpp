// Product folders are judged by what they are: every spelling of a folder
// Windows or its users need is refused, and a folder must be recognisably
// the product's. Real folders of the test prefix.
#include "app/product_folder_guard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/product_discovery.h"
#include "app/run_setup.h"
#include "platform/native_types.h"
#include "tests/logging/logging_test_support.h"
#include "tests/platform/registry_test_support.h"

namespace zor {
namespace {

std::wstring Environment(const wchar_t* name) {
  wchar_t buffer[1024] = {};
  const DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
  return length > 0 && length < 1024 ? std::wstring(buffer, length) : std::wstring();
}

std::wstring ShortName(const std::wstring& path) {
  wchar_t buffer[1024] = {};
  const DWORD length = GetShortPathNameW(path.c_str(), buffer, 1024);
  return length > 0 && length < 1024 ? std::wstring(buffer, length) : std::wstring();
}

// The same folder reached through the drive that maps the Unix root.
std::wstring UnixRootSpelling(const std::wstring& windowsPath) {
  std::wstring prefix = Environment(L"WINEPREFIX");
  if (prefix.empty()) return {};
  for (wchar_t& c : prefix) {
    if (c == L'/') c = L'\\';
  }
  return L"Z:" + prefix + L"\\drive_c" + windowsPath.substr(2);
}

std::wstring WindowsFolder() {
  wchar_t buffer[MAX_PATH] = {};
  const UINT length = GetWindowsDirectoryW(buffer, MAX_PATH);
  return std::wstring(buffer, length);
}

ProductFolderGuard MachineGuard() {
  RunContext context;
  EXPECT_TRUE(ReadSystemFolders(context).Empty());
  return ProductFolderGuard(MachineSystemFolders(context.parameters));
}

const char* Name(FolderRefusal refusal) {
  switch (refusal) {
    case FolderRefusal::None: return "None";
    case FolderRefusal::NotAFullPath: return "NotAFullPath";
    case FolderRefusal::DoesNotExist: return "DoesNotExist";
    case FolderRefusal::CannotOpen: return "CannotOpen";
    case FolderRefusal::ProtectedFolder: return "ProtectedFolder";
    case FolderRefusal::InsideWindows: return "InsideWindows";
    case FolderRefusal::NotRecognisable: return "NotRecognisable";
  }
  return "?";
}

void MakeFile(const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << test::Narrow(path);
  CloseHandle(file);
}

// Every spelling of the folders Windows and its users need, as the registry,
// the command line or the restart entry may give them.
TEST(ProductFolderGuard, RefusesEverySpellingOfAFolderWindowsOrItsUsersNeed) {
  const ProductFolderGuard guard = MachineGuard();
  const std::wstring windows = WindowsFolder();
  const std::wstring programFilesX86 = Environment(L"ProgramFiles(x86)");
  const std::wstring programData = Environment(L"ProgramData");
  const std::wstring publicFolder = Environment(L"PUBLIC");
  const std::wstring profile = Environment(L"USERPROFILE");
  struct Row {
    std::wstring path;
    FolderRefusal expected;
  };
  std::vector<Row> rows = {
      {L"C:\\", FolderRefusal::ProtectedFolder},
      {L"C:", FolderRefusal::NotAFullPath},
      {L"Z:\\", FolderRefusal::ProtectedFolder},
      {windows, FolderRefusal::ProtectedFolder},
      {windows + L"\\System32", FolderRefusal::ProtectedFolder},
      {windows + L"\\System32\\wbem", FolderRefusal::InsideWindows},
      {windows + L"\\Temp", FolderRefusal::InsideWindows},
      {L"\\\\?\\" + windows, FolderRefusal::ProtectedFolder},
      {L"\\??\\" + windows + L"\\System32", FolderRefusal::ProtectedFolder},
      {L"\\\\.\\" + windows, FolderRefusal::NotAFullPath},
      {L"\\\\?\\\\\\?\\" + windows, FolderRefusal::NotAFullPath},
      {L"\\\\?\\\\\\.\\" + windows, FolderRefusal::NotAFullPath},
      {windows + L"::$INDEX_ALLOCATION", FolderRefusal::NotAFullPath},
      {windows + L". ", FolderRefusal::ProtectedFolder},
      {windows + L"\\.\\System32\\..", FolderRefusal::ProtectedFolder},
      {programFilesX86, FolderRefusal::ProtectedFolder},
      {programFilesX86 + L"\\ZOR\\ZOR10\\..\\..", FolderRefusal::ProtectedFolder},
      {Environment(L"ProgramW6432"), FolderRefusal::ProtectedFolder},
      {programData, FolderRefusal::ProtectedFolder},
      {programData + L"\\Microsoft\\Windows\\Start Menu", FolderRefusal::ProtectedFolder},
      {publicFolder, FolderRefusal::ProtectedFolder},
      {publicFolder + L"\\Desktop", FolderRefusal::ProtectedFolder},
      {publicFolder + L"\\Documents", FolderRefusal::NotRecognisable},
      {profile, FolderRefusal::ProtectedFolder},
      {L"relative\\ZOR10", FolderRefusal::NotAFullPath},
      {L"\\ZOR10", FolderRefusal::NotAFullPath},
  };
  // Spellings this machine makes: 8.3 names and the drive of the Unix root.
  for (const std::wstring& folder : {programFilesX86, programData, windows + L"\\System32"}) {
    const std::wstring shortName = ShortName(folder);
    if (!shortName.empty() && shortName != folder) rows.push_back({shortName, FolderRefusal::ProtectedFolder});
  }
  const std::wstring unixRoot = UnixRootSpelling(windows + L"\\System32");
  if (!unixRoot.empty()) rows.push_back({unixRoot, FolderRefusal::ProtectedFolder});

  for (const Row& row : rows) {
    SCOPED_TRACE(test::Narrow(row.path));
    StatusCode cause = 12345;
    const FolderRefusal refusal = guard.Check(row.path, ProductFolderField::ZorDir, cause);
    EXPECT_STREQ(Name(refusal), Name(row.expected));
  }
}

// Names Wine cannot open are refused all the same; on Windows the share
// reaches C:\Windows and is refused as that folder.
TEST(ProductFolderGuard, AFolderThatCannotBeOpenedIsNeverTaken) {
  const ProductFolderGuard guard = MachineGuard();
  for (const std::wstring path : {L"\\\\localhost\\C$\\Windows", L"\\\\no-such-server\\share\\ZOR10",
                                  L"C:\\PROGRA~1", L"C:\\no-such-folder\\ZOR10"}) {
    SCOPED_TRACE(test::Narrow(path));
    StatusCode cause = status::Success;
    const FolderRefusal refusal = guard.Check(path, ProductFolderField::ZorDir, cause);
    EXPECT_NE(refusal, FolderRefusal::None);
    if (refusal == FolderRefusal::DoesNotExist || refusal == FolderRefusal::CannotOpen) {
      EXPECT_TRUE(IsFailure(cause));
    }
  }
}

// Another vendor's folder, even with a name close to ours, is not the
// product's; a folder of another name holding the product's files is.
TEST(ProductFolderGuard, TakesOnlyFoldersRecognisablyTheProducts) {
  const ProductFolderGuard guard = MachineGuard();
  test::TestFolder folder;
  struct Row {
    std::wstring name;
    std::vector<std::wstring> files;
    ProductFolderField field;
    FolderRefusal expected;
  };
  const Row rows[] = {
      {L"ZOR10", {}, ProductFolderField::ZorDir, FolderRefusal::None},
      {L"zor9", {}, ProductFolderField::ZorDataDir, FolderRefusal::None},
      {L"ZOR10 Admin", {}, ProductFolderField::ZorAdminDir, FolderRefusal::None},
      {L"ZORRO Backup", {L"backup.exe"}, ProductFolderField::ZorDir, FolderRefusal::NotRecognisable},
      {L"ZOR10 Old", {}, ProductFolderField::ZorDir, FolderRefusal::NotRecognisable},
      {L"SecuritySuite", {L"zorsvc.exe"}, ProductFolderField::ZorDir, FolderRefusal::None},
      {L"SecuritySuite2", {L"zorsvc.exe"}, ProductFolderField::ZorDataDir, FolderRefusal::NotRecognisable},
      {L"SuiteData", {L"Config", L"Config\\zorcfg.xml"}, ProductFolderField::ZorDataDir, FolderRefusal::None},
      {L"SuiteAdmin", {L"Console", L"Console\\zoradmin.exe"}, ProductFolderField::ZorAdminDir, FolderRefusal::None},
      {L"Documents", {L"letter.txt"}, ProductFolderField::ZorDir, FolderRefusal::NotRecognisable},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(test::Narrow(row.name));
    const std::wstring path = folder.File(row.name);
    ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
    for (const std::wstring& file : row.files) {
      const std::wstring full = path + L"\\" + file;
      if (file.find(L'.') == std::wstring::npos) {
        ASSERT_TRUE(CreateDirectoryW(full.c_str(), nullptr));
      } else {
        MakeFile(full);
      }
    }
    StatusCode cause = status::Success;
    EXPECT_STREQ(Name(guard.Check(path, row.field, cause)), Name(row.expected));
    // An 8.3 spelling of the folder is judged by the folder's own name.
    const std::wstring shortName = ShortName(path);
    if (!shortName.empty() && shortName != path) {
      EXPECT_STREQ(Name(guard.Check(shortName, row.field, cause)), Name(row.expected)) << test::Narrow(shortName);
    }
  }
}

}  // namespace
}  // namespace zor
