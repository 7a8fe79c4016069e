#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/product_discovery.h"
#include "app/product_folder_guard.h"
#include "app/run_setup.h"
#include "app/separate_copy.h"
#include "logging/log_manager.h"
#include "platform/native_types.h"
#include "tests/app/run_record_support.h"
#include "tests/logging/logging_test_support.h"
#include "tests/platform/registry_test_support.h"
#include "tests/support/child_process.h"
#include "tests/support/line_checks.h"

namespace zor {
namespace {

using test::HasLine;
using test::Joined;

// One run's set-up up to discovery, with the log captured.
struct Discovery {
  std::vector<std::string> lines;
  RunParameters parameters;
};

Discovery Discover(const test::TestFolder& folder, int row, const std::wstring& commandLine,
                   const std::wstring& earlierZorDir = L"", const std::wstring& earlierDataDir = L"") {
  test::CapturedLog log(folder, L"row" + std::to_wstring(row) + L".log");
  RunContext context;
  context.logger = log.logger();
  EXPECT_TRUE(ReadSystemFolders(context).Empty());
  // Another test may hold an uninstall record at the same time; the rows
  // set what that record would have given.
  context.parameters.ZorDir = earlierZorDir;
  context.parameters.ZorDataDir = earlierDataDir;
  EXPECT_TRUE(ReadOptions(context, commandLine).Empty());
  EXPECT_TRUE(DiscoverProductFolders(context).Empty());
  Discovery result;
  result.parameters = context.parameters;
  context.logger = nullptr;
  result.lines = log.Lines();
  return result;
}

std::wstring Environment(const wchar_t* name) {
  wchar_t buffer[1024] = {};
  const DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
  return length > 0 && length < 1024 ? std::wstring(buffer, length) : std::wstring();
}

std::string OptionOf(const std::string& field) {
  if (field == "ZorDir") return "zordir";
  if (field == "ZorAdminDir") return "zoradmindir";
  return "zordatadir";
}

// The WARN line of a refused folder: the rule that refused it and how to
// name the right folder instead.
std::string Refusal(const std::wstring& value, const std::string& field, FolderRefusal rule) {
  return "WARN Refusing '" + test::Narrow(value) + "' as " + field + ": " + test::Narrow(std::wstring(RefusalReason(rule))) +
         ". If the product lies elsewhere, name its folder with /" + OptionOf(field) + "=\"<full path>\".";
}

const FolderRefusal kProtected = FolderRefusal::ProtectedFolder;
const FolderRefusal kNotFull = FolderRefusal::NotAFullPath;

// A folder the product's installers would name, made for one test.
struct ProductNamedFolder {
  std::wstring parent;
  std::wstring path;
  ProductNamedFolder(const std::wstring& parentPath, const std::wstring& name)
      : parent(parentPath), path(parentPath + L"\\" + name) {
    EXPECT_TRUE(CreateDirectoryW(parent.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  }
  ~ProductNamedFolder() {
    RemoveDirectoryW(path.c_str());
    RemoveDirectoryW(parent.c_str());
  }
};

TEST(ProductDiscovery, MachineSystemFoldersNameTheFoldersOfThisMachine) {
  RunContext context;
  ASSERT_TRUE(ReadSystemFolders(context).Empty());
  const SystemFolders folders = MachineSystemFolders(context.parameters);
  wchar_t windows[MAX_PATH] = {};
  const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
  EXPECT_EQ(test::Narrow(folders.WindowsDir), test::Narrow(std::wstring(windows, length)));
  const std::wstring publicProfile = Environment(L"PUBLIC");
  ASSERT_NE(publicProfile.rfind(L'\\'), std::wstring::npos);
  EXPECT_EQ(test::Narrow(folders.UsersDir), test::Narrow(publicProfile.substr(0, publicProfile.rfind(L'\\'))));
  EXPECT_EQ(test::Narrow(folders.ProgramDataDir), test::Narrow(Environment(L"ProgramData")));
  EXPECT_EQ(test::Narrow(folders.CommonStartMenuDir),
            test::Narrow(Environment(L"ProgramData") + L"\\Microsoft\\Windows\\Start Menu"));
  EXPECT_EQ(test::Narrow(folders.System32Dir), test::Narrow(context.parameters.System32Dir));
  EXPECT_EQ(test::Narrow(folders.ProgramFilesX86Dir), test::Narrow(context.parameters.ProgramFilesX86Dir));
}

// The admin and data fields: nothing of this test's machine-wide names is
// written, so their discovery finds nothing after a refusal.
TEST(ProductDiscovery, RefusesOptionFoldersThatNameNoProductFolder) {
  test::TestFolder folder;
  struct Row {
    const wchar_t* option;
    const wchar_t* value;
    const char* field;
    FolderRefusal rule;
  };
  const Row rows[] = {
      {L"zoradmindir", L"C:\\", "ZorAdminDir", kProtected},
      {L"zoradmindir", L"C:", "ZorAdminDir", kNotFull},
      {L"zoradmindir", L"C:\\Windows", "ZorAdminDir", kProtected},
      {L"zoradmindir", L"c:\\windows\\system32\\", "ZorAdminDir", kProtected},
      {L"zoradmindir", L"C:\\Windows\\System32\\drivers", "ZorAdminDir", kProtected},
      {L"zoradmindir", L"C:\\Program Files", "ZorAdminDir", kProtected},
      {L"zoradmindir", L"C:\\Program Files (x86)", "ZorAdminDir", kProtected},
      {L"zordatadir", L"C:\\ProgramData\\", "ZorDataDir", kProtected},
      {L"zordatadir", L"C:\\Users\\Public", "ZorDataDir", kProtected},
      {L"zordatadir", L"C:\\users", "ZorDataDir", kProtected},
      {L"zordatadir", L"C:\\users\\Public\\Desktop", "ZorDataDir", kProtected},
      {L"zordatadir", L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu", "ZorDataDir", kProtected},
      {L"zordatadir", L"C:\\Windows\\..\\Program Files\\.", "ZorDataDir", kProtected},
      {L"zordatadir", L"relative\\folder", "ZorDataDir", kNotFull},
      {L"zordatadir", L"C:\\users\\Public\\Documents", "ZorDataDir", FolderRefusal::NotRecognisable},
  };
  int index = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(test::Narrow(row.value));
    const Discovery found =
        Discover(folder, index++, L"x.exe /" + std::wstring(row.option) + L"=\"" + row.value + L"\"");
    EXPECT_TRUE(HasLine(found.lines, Refusal(row.value, row.field, row.rule))) << Joined(found.lines);
    EXPECT_TRUE(HasLine(found.lines, std::string("WARN ") + row.field + " param empty.")) << Joined(found.lines);
    EXPECT_TRUE(HasLine(found.lines, std::string("INFO ") + row.field + " of this run: none")) << Joined(found.lines);
    if (std::string(row.field) == "ZorAdminDir") {
      EXPECT_EQ(found.parameters.ZorAdminDir, L"");
      EXPECT_FALSE(found.parameters.AdminConsoleDetected);
    } else {
      EXPECT_EQ(found.parameters.ZorDataDir, L"");
    }
  }
}

// What the uninstall record gave passes the same check.
TEST(ProductDiscovery, RefusesUninstallRecordFoldersThatNameNoProductFolder) {
  test::TestFolder folder;
  const std::wstring rows[] = {L"C:\\", L"C:\\Windows\\SysWOW64", L"C:\\ProgramData", L"C:\\users\\Public\\"};
  int index = 0;
  for (const std::wstring& value : rows) {
    SCOPED_TRACE(test::Narrow(value));
    const Discovery found = Discover(folder, index++, L"x.exe /skipask", L"", value);
    EXPECT_TRUE(HasLine(found.lines, Refusal(value, "ZorDataDir", kProtected))) << Joined(found.lines);
    EXPECT_FALSE(HasLine(found.lines, "DEBUG ZorDataDir param set to " + test::Narrow(value) + "."))
        << Joined(found.lines);
    EXPECT_TRUE(HasLine(found.lines, "WARN ZorDataDir param empty.")) << Joined(found.lines);
    EXPECT_EQ(found.parameters.ZorDataDir, L"");
  }
  const ProductNamedFolder kept(folder.File(L"ZOR"), L"ZOR9");
  const Discovery found = Discover(folder, index++, L"x.exe /skipask", L"", kept.path);
  EXPECT_TRUE(HasLine(found.lines, "DEBUG ZorDataDir param set to " + test::Narrow(kept.path) + "."))
      << Joined(found.lines);
  EXPECT_TRUE(HasLine(found.lines, "INFO ZorDataDir of this run: '" + test::Narrow(kept.path) + "'"))
      << Joined(found.lines);
  EXPECT_EQ(test::Narrow(found.parameters.ZorDataDir), test::Narrow(kept.path));

  // A recorded folder that is gone is no WARN matter: nothing is there.
  const std::wstring gone = folder.File(L"ZOR10");
  const Discovery missing = Discover(folder, index++, L"x.exe /skipask", L"", gone);
  EXPECT_TRUE(HasLine(missing.lines, "INFO Not using '" + test::Narrow(gone) + "' as ZorDataDir: it does not exist."))
      << Joined(missing.lines);
  EXPECT_EQ(missing.parameters.ZorDataDir, L"");
}

TEST(ProductDiscovery, TakesProductFoldersInsideProgramFilesAndOnOtherDrives) {
  test::TestFolder folder;
  const ProductNamedFolder inProgramFiles(Environment(L"ProgramFiles(x86)") + L"\\" + test::UniqueKeyName(), L"ZOR10");
  const ProductNamedFolder otherDrive(L"Z:\\tmp\\" + test::UniqueKeyName(), L"ZOR10 Admin");
  struct Row {
    std::wstring option;
    std::wstring value;
    std::string field;
  };
  const Row rows[] = {
      {L"zoradmindir", inProgramFiles.path, "ZorAdminDir"},
      {L"zoradmindir", otherDrive.path, "ZorAdminDir"},
      {L"zordatadir", inProgramFiles.path, "ZorDataDir"},
      {L"zordatadir", otherDrive.path + L"\\", "ZorDataDir"},
  };
  int index = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(test::Narrow(row.value));
    const Discovery found = Discover(folder, index++, L"x.exe /" + row.option + L"=\"" + row.value + L"\"");
    EXPECT_TRUE(HasLine(found.lines, "DEBUG " + row.field + " param set to " + test::Narrow(row.value) + "."))
        << Joined(found.lines);
    for (const std::string& line : found.lines) {
      EXPECT_EQ(line.find("as " + row.field + ":"), std::string::npos) << line;
    }
    if (row.field == "ZorAdminDir") {
      EXPECT_EQ(test::Narrow(found.parameters.ZorAdminDir), test::Narrow(row.value));
      EXPECT_TRUE(found.parameters.AdminConsoleDetected);
    } else {
      EXPECT_EQ(test::Narrow(found.parameters.ZorDataDir), test::Narrow(row.value));
    }
  }
}

// The fixed machine-wide names of the product (its keys in the 32-bit view
// and its default folder) are written and removed by the tests of this suite
// only, which run one at a time (they share the lock of the unfinished run's
// record). The product-key lookup is cached per process, so the product key
// is written before the first discovery. The product key and the
// first fall-back key are one key: registry names ignore case.
TEST(ProductDiscovery, ProductKeysFallbackKeysAndDefaultFolderInOrder) {
  test::TestFolder folder;
  const std::wstring productKey = L"SOFTWARE\\Zor\\Zor10";
  const std::wstring olderKey = L"Software\\ZOR\\ZOR9";
  const std::wstring adminKey = L"SOFTWARE\\Zor\\ZorAdmin10";
  const ProductNamedFolder keyFolderMade(L"Z:\\tmp\\" + test::UniqueKeyName(L"-keys"), L"ZOR9");
  const std::wstring keyFolder = keyFolderMade.path;
  const std::wstring defaultParent = Environment(L"ProgramFiles(x86)") + L"\\ZOR";
  const std::wstring defaultFolder = defaultParent + L"\\ZOR10";
  struct Cleanup {
    std::wstring productKey, olderKey, adminKey, defaultParent, defaultFolder;
    ~Cleanup() {
      test::RemoveTree(HKEY_LOCAL_MACHINE, adminKey, KEY_WOW64_32KEY);
      test::RemoveTree(HKEY_LOCAL_MACHINE, productKey, KEY_WOW64_32KEY);
      test::RemoveTree(HKEY_LOCAL_MACHINE, olderKey, KEY_WOW64_32KEY);
      RemoveDirectoryW(defaultFolder.c_str());
      RemoveDirectoryW(defaultParent.c_str());
    }
  } cleanup{productKey, olderKey, adminKey, defaultParent, defaultFolder};

  ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, productKey, L"ZorDir", L"C:\\Windows", KEY_WOW64_32KEY));
  ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, productKey, L"ZorAllUsersDir", L"C:\\ProgramData\\",
                                KEY_WOW64_32KEY));
  ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, olderKey, L"ZorDir", keyFolder, KEY_WOW64_32KEY));
  ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, olderKey, L"ZorAllUsersDir", L"C:\\", KEY_WOW64_32KEY));
  // Both administration folders refused: the server's, then the console's.
  ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, adminKey, L"AdminServerInstDir", L"C:\\Program Files\\",
                                KEY_WOW64_32KEY));
  ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, adminKey, L"AdminConsoleInstDir", L"C:\\Windows",
                                KEY_WOW64_32KEY));

  {
    SCOPED_TRACE("product key refused, then the same key as first fall-back; the older key is not reached");
    const Discovery found = Discover(folder, 0, L"x.exe /skipask");
    const std::vector<std::string> expected = {
        Refusal(L"C:\\Windows", "ZorDir", kProtected),
        Refusal(L"C:\\Windows", "ZorDir", kProtected),
        "WARN ZorDir param empty.",
        Refusal(L"C:\\Program Files", "ZorAdminDir", kProtected),
        Refusal(L"C:\\Windows", "ZorAdminDir", kProtected),
        "WARN ZorAdminDir param empty.",
        Refusal(L"C:\\ProgramData\\", "ZorDataDir", kProtected),
        Refusal(L"C:\\ProgramData\\", "ZorDataDir", kProtected),
        "WARN ZorDataDir param empty.",
        "INFO ZorDir of this run: none",
        "INFO ZorAdminDir of this run: none",
        "INFO ZorDataDir of this run: none",
    };
    ASSERT_GE(found.lines.size(), expected.size()) << Joined(found.lines);
    const std::vector<std::string> last(found.lines.end() - expected.size(), found.lines.end());
    EXPECT_EQ(last, expected) << Joined(found.lines);
    EXPECT_EQ(found.parameters.ZorDir, L"");
    EXPECT_EQ(found.parameters.ZorDataDir, L"");
    EXPECT_EQ(found.parameters.ZorAdminDir, L"");
    EXPECT_FALSE(found.parameters.AdminConsoleDetected);
  }

  test::RemoveTree(HKEY_LOCAL_MACHINE, productKey, KEY_WOW64_32KEY);
  ASSERT_FALSE(test::KeyPresent(HKEY_LOCAL_MACHINE, productKey, KEY_WOW64_32KEY));
  {
    SCOPED_TRACE("the older key taken for ZorDir, refused for ZorDataDir");
    const Discovery found = Discover(folder, 1, L"x.exe /skipask");
    EXPECT_TRUE(HasLine(found.lines, "WARN ZorDir param empty, but Remover found ZorDir at '" +
                                         test::Narrow(keyFolder) + "', use this path as default."))
        << Joined(found.lines);
    EXPECT_EQ(test::Narrow(found.parameters.ZorDir), test::Narrow(keyFolder));
    EXPECT_TRUE(HasLine(found.lines, Refusal(L"C:\\", "ZorDataDir", kProtected)))
        << Joined(found.lines);
    EXPECT_TRUE(HasLine(found.lines, "WARN ZorDataDir param empty.")) << Joined(found.lines);
    EXPECT_EQ(found.parameters.ZorDataDir, L"");
  }
  {
    SCOPED_TRACE("unsafe ZorDir options, an earlier value emptied by a bare zordir");
    const std::wstring refused[] = {L"C:\\", L"C:\\Windows\\System32", L"C:\\Program Files", L"C:\\Users\\Public"};
    int index = 2;
    for (const std::wstring& value : refused) {
      SCOPED_TRACE(test::Narrow(value));
      const Discovery found = Discover(folder, index++, L"x.exe /zordir=\"" + value + L"\"");
      EXPECT_TRUE(HasLine(found.lines, Refusal(value, "ZorDir", kProtected))) << Joined(found.lines);
      EXPECT_EQ(test::Narrow(found.parameters.ZorDir), test::Narrow(keyFolder));
    }
    const Discovery emptied = Discover(folder, index++, L"x.exe /zordir /skipask", L"D:\\Old\\Zor9");
    EXPECT_FALSE(HasLine(emptied.lines, "DEBUG ZorDir param set to D:\\Old\\Zor9.")) << Joined(emptied.lines);
    EXPECT_EQ(test::Narrow(emptied.parameters.ZorDir), test::Narrow(keyFolder));
  }

  // Without any key the default folder counts only when it exists.
  test::RemoveTree(HKEY_LOCAL_MACHINE, olderKey, KEY_WOW64_32KEY);
  ASSERT_FALSE(test::KeyPresent(HKEY_LOCAL_MACHINE, olderKey, KEY_WOW64_32KEY));
  {
    SCOPED_TRACE("default folder missing");
    const Discovery found = Discover(folder, 10, L"x.exe /skipask");
    EXPECT_TRUE(HasLine(found.lines, "WARN ZorDir param empty.")) << Joined(found.lines);
    EXPECT_EQ(found.parameters.ZorDir, L"");
  }
  ASSERT_TRUE(CreateDirectoryW(defaultParent.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  ASSERT_TRUE(CreateDirectoryW(defaultFolder.c_str(), nullptr));
  {
    SCOPED_TRACE("default folder present");
    const Discovery found = Discover(folder, 11, L"x.exe /skipask");
    EXPECT_TRUE(HasLine(found.lines, "WARN ZorDir param empty, but Remover found ZorDir at '" +
                                         test::Narrow(defaultFolder) + "', use this path as default."))
        << Joined(found.lines);
    EXPECT_EQ(test::Narrow(found.parameters.ZorDir), test::Narrow(defaultFolder));
  }
}

// What discovery logged: the lines after the command line's, without the
// closing lines that name the run's folders (checked on their own).
std::vector<std::string> DiscoveryLines(const std::vector<std::string>& lines) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].rfind("INFO Command line: ", 0) != 0) continue;
    std::vector<std::string> after;
    for (std::size_t j = i + 1; j < lines.size(); ++j) {
      if (lines[j].find(" of this run: ") == std::string::npos) after.push_back(lines[j]);
    }
    return after;
  }
  return {"(no command line logged)"};
}

// The separate copy's mark in this process's environment while it lives.
class SeparateCopyMark {
 public:
  explicit SeparateCopyMark(bool set) : set_(set) {
    if (set_) SetEnvironmentVariableW(std::wstring(kSeparateCopyVariable).c_str(), L"1");
  }
  ~SeparateCopyMark() {
    if (set_) SetEnvironmentVariableW(std::wstring(kSeparateCopyVariable).c_str(), nullptr);
  }

 private:
  bool set_;
};

// A run stopped after its registry stage left its folders only in its
// record: the next run takes them for the fields its command line leaves
// empty, and they pass the same check as any other folder.
TEST(ProductDiscovery, TakesTheFoldersOfAnUnfinishedRunThatTheCommandLineLeavesEmpty) {
  // Real folders of the product's names: a folder that does not exist is
  // never taken.
  test::TestFolder folder;
  const ProductNamedFolder programFolder(folder.File(L"ZOR"), L"ZOR10");
  const ProductNamedFolder adminFolder(folder.File(L"ZOR"), L"ZOR10 Admin");
  const ProductNamedFolder dataFolder(folder.File(L"Data"), L"ZOR10");
  const ProductNamedFolder mineFolder(folder.File(L"Mine"), L"ZOR10");
  const ProductNamedFolder a(folder.File(L"A"), L"ZOR9");
  const ProductNamedFolder b(folder.File(L"B"), L"ZOR9 Admin");
  const ProductNamedFolder c(folder.File(L"C"), L"ZOR8");
  const std::wstring program = programFolder.path;
  const std::wstring admin = adminFolder.path;
  const std::wstring data = dataFolder.path;
  const std::wstring mine = mineFolder.path;
  const std::string p = test::Narrow(program);
  const std::string ad = test::Narrow(admin);
  const std::string d = test::Narrow(data);
  const std::string resumed = "INFO Resuming an unfinished run recorded in HKLM\\SOFTWARE\\ZorRemover\\UnfinishedRun";
  const struct {
    const char* name;
    std::wstring commandLine;
    std::wstring recorded[3];  // empty: no value
    bool numberForZorDir;      // the ZorDir value is a REG_DWORD instead
    bool separateCopy;
    std::wstring expected[3];
    std::vector<std::string> lines;
  } rows[] = {
      {"all three from the record",
       L"x.exe /silent",
       {program, admin, data},
       false,
       false,
       {program, admin, data},
       {resumed, "DEBUG ZorDir taken from the unfinished run: '" + p + "'",
        "DEBUG ZorAdminDir taken from the unfinished run: '" + ad + "'",
        "DEBUG ZorDataDir taken from the unfinished run: '" + d + "'", "DEBUG ZorDir param set to " + p + ".",
        "DEBUG ZorAdminDir param set to " + ad + ".", "DEBUG ZorDataDir param set to " + d + "."}},
      {"the command line's program folder counts, not the record's",
       L"x.exe /silent /zordir=\"" + mine + L"\"",
       {program, L"", data},
       false,
       false,
       {mine, L"", data},
       {resumed, "DEBUG ZorDataDir taken from the unfinished run: '" + d + "'",
        "DEBUG ZorDir param set to " + test::Narrow(mine) + ".", "WARN ZorAdminDir param empty.",
        "DEBUG ZorDataDir param set to " + d + "."}},
      {"every folder on the command line: the record is not read",
       L"x.exe /zordir=\"" + a.path + L"\" /zoradmindir=\"" + b.path + L"\" /zordatadir=\"" + c.path + L"\"",
       {program, admin, data},
       false,
       false,
       {a.path, b.path, c.path},
       {"DEBUG ZorDir param set to " + test::Narrow(a.path) + ".",
        "DEBUG ZorAdminDir param set to " + test::Narrow(b.path) + ".",
        "DEBUG ZorDataDir param set to " + test::Narrow(c.path) + "."}},
      {"a folder of Windows in the record is refused",
       L"x.exe /silent",
       {L"C:\\Windows", L"", data},
       false,
       false,
       {L"", L"", data},
       {resumed, Refusal(L"C:\\Windows", "ZorDir", kProtected),
        "DEBUG ZorDataDir taken from the unfinished run: '" + d + "'", "WARN ZorDir param empty.",
        "WARN ZorAdminDir param empty.", "DEBUG ZorDataDir param set to " + d + "."}},
      {"a record of another shape: a number, a missing value",
       L"x.exe /silent",
       {L"", L"", data},
       true,
       false,
       {L"", L"", data},
       {"WARN The value ZorDir of HKLM\\SOFTWARE\\ZorRemover\\UnfinishedRun is no folder and is ignored", resumed,
        "DEBUG ZorDataDir taken from the unfinished run: '" + d + "'", "WARN ZorDir param empty.",
        "WARN ZorAdminDir param empty.", "DEBUG ZorDataDir param set to " + d + "."}},
      {"a record without values",
       L"x.exe /silent",
       {L"", L"", L""},
       false,
       false,
       {L"", L"", L""},
       {"WARN ZorDir param empty.", "WARN ZorAdminDir param empty.", "WARN ZorDataDir param empty."}},
      {"the separate copy reads its main run's record and resumes nothing",
       L"x.exe /silent /zordir=\"" + a.path + L"\" /zoradmindir=\"" + b.path + L"\"",
       {program, admin, data},
       false,
       true,
       {a.path, b.path, data},
       {"DEBUG The product folders of the main run are read from HKLM\\SOFTWARE\\ZorRemover\\UnfinishedRun",
        "DEBUG ZorDataDir taken from the unfinished run: '" + d + "'",
        "DEBUG ZorDir param set to " + test::Narrow(a.path) + ".",
        "DEBUG ZorAdminDir param set to " + test::Narrow(b.path) + ".", "DEBUG ZorDataDir param set to " + d + "."}},
  };
  int index = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    test::ScopedRunRecord record;
    ASSERT_TRUE(test::ScopedRunRecord::Write(row.recorded[0], row.recorded[1], row.recorded[2]));
    if (row.numberForZorDir) {
      const DWORD number = 7;
      ASSERT_TRUE(test::WriteValue(HKEY_LOCAL_MACHINE, test::ScopedRunRecord::Key(), L"ZorDir", REG_DWORD, &number,
                                   sizeof number, KEY_WOW64_64KEY));
    }
    const SeparateCopyMark mark(row.separateCopy);
    const Discovery found = Discover(folder, index++, row.commandLine);
    EXPECT_EQ(DiscoveryLines(found.lines), row.lines) << Joined(found.lines);
    EXPECT_EQ(test::Narrow(found.parameters.ZorDir), test::Narrow(row.expected[0]));
    EXPECT_EQ(test::Narrow(found.parameters.ZorAdminDir), test::Narrow(row.expected[1]));
    EXPECT_EQ(test::Narrow(found.parameters.ZorDataDir), test::Narrow(row.expected[2]));
    EXPECT_EQ(found.parameters.AdminConsoleDetected, !row.expected[1].empty());
    // Reading changes nothing: the record is the run's to remove.
    EXPECT_EQ(test::ScopedRunRecord::Present(), true);
  }
}

// The record comes before the product keys, which a stopped run may have
// deleted or, stopped earlier, left in place; the keys still serve a field
// the record leaves empty.
TEST(ProductDiscovery, TheRecordOfAnUnfinishedRunComesBeforeTheProductKeys) {
  test::TestFolder folder;
  const std::wstring productKey = L"SOFTWARE\\Zor\\Zor10";
  const test::ScopedTree keys(HKEY_LOCAL_MACHINE, productKey, KEY_WOW64_32KEY);
  const ProductNamedFolder keyProgram(folder.File(L"key"), L"ZOR10");
  const ProductNamedFolder keyData(folder.File(L"key-data"), L"ZOR10");
  const ProductNamedFolder recordedProgram(folder.File(L"recorded"), L"ZOR10");
  const std::wstring keyFolder = keyProgram.path;
  const std::wstring recorded = recordedProgram.path;
  ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, productKey, L"ZorDir", keyFolder, KEY_WOW64_32KEY));
  ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, productKey, L"ZorAllUsersDir", keyData.path, KEY_WOW64_32KEY));
  test::ScopedRunRecord record;
  ASSERT_TRUE(test::ScopedRunRecord::Write(recorded, L"", L""));

  const Discovery found = Discover(folder, 0, L"x.exe /silent");

  EXPECT_EQ(test::Narrow(found.parameters.ZorDir), test::Narrow(recorded));
  EXPECT_EQ(test::Narrow(found.parameters.ZorDataDir), test::Narrow(keyData.path));
  EXPECT_TRUE(HasLine(found.lines, "DEBUG ZorDir param set to " + test::Narrow(recorded) + ".")) << Joined(found.lines);
  EXPECT_TRUE(HasLine(found.lines, "WARN ZorDataDir param empty, but Remover found ZorDataDir at '" +
                                       test::Narrow(keyData.path) + "', use this path as default."))
      << Joined(found.lines);
}

// The program itself runs discovery after the options: a refused folder on
// its command line is logged and the run goes on.
TEST(ProgramRun, RefusesAWindowsFolderGivenOnItsCommandLine) {
  test::TestFolder folder;
  const std::wstring program = folder.File(L"zorremover.exe");
  ASSERT_TRUE(CopyFileW(test::ProgramPath().c_str(), program.c_str(), TRUE));
  const test::ChildResult child =
      test::RunChild(L"\"" + program + L"\" /zoradmindir=\"C:\\Windows\\System32\" /skipask");
  ASSERT_TRUE(child.started);
  EXPECT_EQ(child.exitCode, 0u);
  const std::string refusal = " " + Refusal(L"C:\\Windows\\System32", "ZorAdminDir", kProtected);
  int refused = 0;
  int empty = 0;
  for (const std::wstring& line : test::ReadLogLines(folder.File(L"zorremover.log"))) {
    const std::string text = test::Narrow(line);
    if (text.size() >= refusal.size() && text.substr(text.size() - refusal.size()) == refusal) ++refused;
    if (text.find(" WARN ZorAdminDir param empty.") != std::string::npos) ++empty;
  }
  // Once by the run and once by its separate copy, which reads the same
  // command line.
  EXPECT_EQ(refused, 2);
  EXPECT_EQ(empty, 2);
  EXPECT_NE(child.output.find(refusal), std::string::npos) << child.output;
}

}  // namespace
}  // namespace zor
