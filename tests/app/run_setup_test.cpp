#include "app/run_setup.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "logging/log_manager.h"
#include "platform/native_types.h"
#include "platform/os_identity_reader.h"
#include "tests/logging/logging_test_support.h"
#include "tests/platform/registry_test_support.h"
#include "tests/support/child_process.h"

namespace zor {
namespace {

std::wstring Environment(const wchar_t* name) {
  wchar_t buffer[1024] = {};
  const DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
  return length > 0 && length < 1024 ? std::wstring(buffer, length) : std::wstring();
}

std::wstring WindowsFolder() {
  wchar_t buffer[MAX_PATH] = {};
  const UINT length = GetWindowsDirectoryW(buffer, MAX_PATH);
  return std::wstring(buffer, length);
}

const std::wstring kZor9Key = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zor9Uninstall";

TEST(ReadSystemFolders, FillsTheWindowsFoldersAsWindowsReportsThem) {
  RunContext context;
  ASSERT_TRUE(ReadSystemFolders(context).Empty());
  const RunParameters& parameters = context.parameters;
  EXPECT_TRUE(parameters.Is64BitSystem);
  EXPECT_FALSE(parameters.Is32BitSystem);
  const std::wstring windows = WindowsFolder();
  ASSERT_FALSE(windows.empty());
  EXPECT_EQ(test::Narrow(parameters.System32Dir), test::Narrow(windows + L"\\System32"));
  EXPECT_EQ(test::Narrow(parameters.DriversDir), test::Narrow(windows + L"\\System32\\Drivers"));
  EXPECT_EQ(test::Narrow(parameters.SysWow64Dir), test::Narrow(windows + L"\\SysWOW64"));
  EXPECT_EQ(test::Narrow(parameters.ProgramFilesDir), test::Narrow(Environment(L"ProgramFiles")));
  EXPECT_EQ(test::Narrow(parameters.ProgramFilesX86Dir), test::Narrow(Environment(L"ProgramFiles(x86)")));
  EXPECT_EQ(test::Narrow(parameters.AppDataDir), test::Narrow(Environment(L"APPDATA")));
  EXPECT_EQ(test::Narrow(parameters.CommonAppDataDir), test::Narrow(Environment(L"ProgramData")));
  EXPECT_EQ(test::Narrow(parameters.CommonDesktopDir), test::Narrow(Environment(L"PUBLIC") + L"\\Desktop"));
  EXPECT_EQ(test::Narrow(parameters.CommonProgramsDir),
            test::Narrow(Environment(L"ProgramData") + L"\\Microsoft\\Windows\\Start Menu\\Programs"));
}

TEST(ReadSystemFolders, RefusesAProgramOfTheOtherArchitectureOrAnUnknownOne) {
  struct Row {
    std::uint32_t windows;
    std::uint32_t program;
    StatusCode expected;
    bool is64;
    bool is32;
    const wchar_t* errorLine;  // null: no ERROR line
  };
  const Row rows[] = {
      {ArchitectureX64, ArchitectureX64, status::Success, true, false, nullptr},
      {ArchitectureX86, ArchitectureX86, status::Success, false, true, nullptr},
      {ArchitectureX86, ArchitectureX64, status::GenericFailure, false, false,
       L"ERROR Wrong application platform. Use corresponding application version for 32bit or 64bit systems"},
      {ArchitectureX64, ArchitectureX86, status::GenericFailure, false, false,
       L"ERROR Wrong application platform. Use corresponding application version for 32bit or 64bit systems"},
      {ArchitectureItanium, ArchitectureItanium, status::GenericFailure, false, false,
       L"ERROR Platform architecture not supported"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "windows " << row.windows << ", program " << row.program);
    test::TestFolder folder;
    test::CapturedLog log(folder, L"run.log");
    RunContext context;
    context.logger = log.logger();
    OsIdentity identity = CurrentOsIdentity();
    identity.processorArchitecture = row.windows;
    identity.programArchitecture = row.program;
    const StatusRecord result = ReadSystemFolders(context, identity);
    EXPECT_EQ(static_cast<std::uint32_t>(result.Code()), static_cast<std::uint32_t>(row.expected));
    EXPECT_EQ(context.parameters.Is64BitSystem, row.is64);
    EXPECT_EQ(context.parameters.Is32BitSystem, row.is32);
    if (row.errorLine) {
      // Nothing after the check runs: no folder is read.
      EXPECT_EQ(context.parameters.System32Dir, L"");
      EXPECT_EQ(context.parameters.ProgramFilesDir, L"");
      const std::vector<std::string> lines = log.Lines();
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_EQ(lines[0], test::Narrow(row.errorLine));
    }
  }
}

// The only test that writes the product's uninstall record: the key name is
// the product's own, so no other test may touch it.
TEST(ReadSystemFolders, TakesTheZor9UninstallRecordOfThe32BitViewOnly) {
  const std::wstring directories = kZor9Key + L"\\Directories";
  ASSERT_FALSE(test::KeyPresent(HKEY_LOCAL_MACHINE, kZor9Key, KEY_WOW64_32KEY));
  ASSERT_FALSE(test::KeyPresent(HKEY_LOCAL_MACHINE, kZor9Key, KEY_WOW64_64KEY));
  test::ScopedTree view32(HKEY_LOCAL_MACHINE, kZor9Key, KEY_WOW64_32KEY);
  test::ScopedTree view64(HKEY_LOCAL_MACHINE, kZor9Key, KEY_WOW64_64KEY);

  struct Row {
    const char* label;
    const wchar_t* programDir;  // null: value absent
    const wchar_t* dataDir;
    REGSAM view;
    const wchar_t* expectedZorDir;
    const wchar_t* expectedDataDir;
    std::vector<std::wstring> expectedLines;
  };
  const std::vector<Row> rows = {
      {"no record",
       nullptr,
       nullptr,
       0,
       L"kept",
       L"kept",
       {L"DEBUG Zor9Uninstall\\Directories key failed to open (error: e0010013)",
        L"DEBUG Zor8Uninstall\\Directories key failed to open (error: e0010013)"}},
      {"both values",
       L"C:\\Program Files (x86)\\ZOR\\ZOR9",
       L"C:\\ProgramData\\ZOR9",
       KEY_WOW64_32KEY,
       L"C:\\Program Files (x86)\\ZOR\\ZOR9",
       L"C:\\ProgramData\\ZOR9",
       {}},
      {"program folder only",
       L"D:\\Zor Nine",
       nullptr,
       KEY_WOW64_32KEY,
       L"D:\\Zor Nine",
       L"kept",
       {L"DEBUG Reading Zor9Uninstall\\Directories:dir_AllUsersAppData_Zor9 value failed (error: e001003d)"}},
      {"key without values",
       nullptr,
       nullptr,
       KEY_WOW64_32KEY,
       L"kept",
       L"kept",
       {L"DEBUG Reading Zor9Uninstall\\Directories:dir_Zor9Dir value failed (error: e001003d)",
        L"DEBUG Reading Zor9Uninstall\\Directories:dir_AllUsersAppData_Zor9 value failed (error: e001003d)"}},
      {"record in the 64-bit view",
       L"C:\\Wrong",
       L"C:\\Wrong",
       KEY_WOW64_64KEY,
       L"kept",
       L"kept",
       {L"DEBUG Zor9Uninstall\\Directories key failed to open (error: e0010013)",
        L"DEBUG Zor8Uninstall\\Directories key failed to open (error: e0010013)"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    test::RemoveTree(HKEY_LOCAL_MACHINE, kZor9Key, KEY_WOW64_32KEY);
    test::RemoveTree(HKEY_LOCAL_MACHINE, kZor9Key, KEY_WOW64_64KEY);
    if (row.view != 0) {
      ASSERT_TRUE(test::MakeKey(HKEY_LOCAL_MACHINE, directories, row.view));
      if (row.programDir) {
        ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, directories, L"dir_Zor9Dir", row.programDir, row.view));
      }
      if (row.dataDir) {
        ASSERT_TRUE(
            test::WriteString(HKEY_LOCAL_MACHINE, directories, L"dir_AllUsersAppData_Zor9", row.dataDir, row.view));
      }
    }
    test::TestFolder folder;
    test::CapturedLog log(folder, L"run.log");
    RunContext context;
    context.logger = log.logger();
    context.parameters.ZorDir = L"kept";
    context.parameters.ZorDataDir = L"kept";
    ASSERT_TRUE(ReadSystemFolders(context).Empty());
    EXPECT_EQ(test::Narrow(context.parameters.ZorDir), test::Narrow(row.expectedZorDir));
    EXPECT_EQ(test::Narrow(context.parameters.ZorDataDir), test::Narrow(row.expectedDataDir));
    // The Windows folders are all found here, so the uninstall record is
    // all that is logged.
    const std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), row.expectedLines.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
      EXPECT_EQ(lines[i], test::Narrow(row.expectedLines[i]));
  }
}

TEST(ReadOptions, AnEmptyCommandLineChangesNothingAndLogsNothing) {
  test::TestFolder folder;
  test::CapturedLog log(folder, L"run.log");
  RunContext context;
  context.logger = log.logger();
  context.parameters.ZorDir = L"C:\\before";
  context.parameters.Whitelist = {L"C:\\keep.exe"};
  ASSERT_TRUE(ReadOptions(context, L"").Empty());
  EXPECT_EQ(test::Narrow(context.parameters.ZorDir), "C:\\before");
  EXPECT_EQ(context.parameters.RunNumber, 1);
  EXPECT_FALSE(context.parameters.SkipAsk);
  EXPECT_EQ(context.parameters.Whitelist, std::vector<std::wstring>{L"C:\\keep.exe"});
  EXPECT_TRUE(log.Lines().empty());
}

TEST(ReadOptions, AppliesTheOptionsAndReportsAWhitelistThatCannotBeRead) {
  struct Row {
    const wchar_t* commandLine;
    std::int32_t runNumber;
    const wchar_t* zorDir;
    bool skipAsk;
    std::vector<std::wstring> expectedLines;
  };
  const std::vector<Row> rows = {
      {L"\"C:\\t\\zorremover.exe\" /skipask",
       1,
       L"C:\\before",
       true,
       {L"INFO Command line: \"C:\\t\\zorremover.exe\" /skipask"}},
      {L"zorremover.exe /run_number=2 /zordir=D:\\Zor /zordir=E:\\Late /silent",
       2,
       L"D:\\Zor",
       true,
       {L"INFO Command line: zorremover.exe /run_number=2 /zordir=D:\\Zor /zordir=E:\\Late /silent"}},
      {L"zorremover.exe /zordir /whitelist=C:\\lists\\white.txt",
       1,
       L"",
       false,
       {L"INFO Command line: zorremover.exe /zordir /whitelist=C:\\lists\\white.txt",
        L"INFO Parsing Whitelist file 'C:\\lists\\white.txt' failed (error: e001003e)"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(test::Narrow(row.commandLine));
    test::TestFolder folder;
    test::CapturedLog log(folder, L"run.log");
    RunContext context;
    context.logger = log.logger();
    context.parameters.ZorDir = L"C:\\before";
    context.parameters.Whitelist = {L"C:\\keep.exe"};
    ASSERT_TRUE(ReadOptions(context, row.commandLine).Empty());
    EXPECT_EQ(context.parameters.RunNumber, row.runNumber);
    EXPECT_EQ(test::Narrow(context.parameters.ZorDir), test::Narrow(row.zorDir));
    EXPECT_EQ(context.parameters.SkipAsk, row.skipAsk);
    EXPECT_EQ(context.parameters.Whitelist, std::vector<std::wstring>{L"C:\\keep.exe"});
    const std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), row.expectedLines.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
      EXPECT_EQ(lines[i], test::Narrow(row.expectedLines[i]));
  }
}

// A readable whitelist replaces the list; a folder or a missing file leaves
// it as it was and says why.
TEST(ReadOptions, AWhitelistFileThatCanBeReadReplacesTheList) {
  test::TestFolder folder;
  const std::wstring file = folder.File(L"white list.txt");
  const std::string text = "\xFF\xFE" + std::string("C\0:\0\\\0a\0.\0e\0x\0e\0\r\0\n\0\r\0\n\0", 22);
  HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
  CloseHandle(handle);

  const struct {
    std::wstring path;
    std::vector<std::wstring> whitelist;
    std::string line;
  } rows[] = {
      {file, {L"C:\\a.exe", L""}, "INFO Whitelist file '" + test::Narrow(file) + "' read: 2 entries"},
      {folder.Path(), {L"C:\\keep.exe"},
       "INFO Parsing Whitelist file '" + test::Narrow(folder.Path()) + "' failed (error: e0010058)"},
  };
  int number = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(test::Narrow(row.path));
    test::CapturedLog log(folder, L"run" + std::to_wstring(number++) + L".log");
    RunContext context;
    context.logger = log.logger();
    context.parameters.Whitelist = {L"C:\\keep.exe"};
    ASSERT_TRUE(ReadOptions(context, L"zorremover.exe \"/whitelist=" + row.path + L"\"").Empty());
    EXPECT_EQ(context.parameters.Whitelist, row.whitelist);
    const std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], row.line);
  }
}

TEST(ReadOptions, WithoutALoggerStillAppliesTheOptions) {
  RunContext context;
  ASSERT_TRUE(ReadOptions(context, L"x.exe /ndis_nextstep=4 /ndis_nextstep=7 /norestart").Empty());
  EXPECT_EQ(context.parameters.NdisNextStep, 4);
  EXPECT_TRUE(context.parameters.NoRestart);
}

TEST(RunContext, AdmitsOnlyWithALoggerWhoseThresholdAllowsTheSeverity) {
  test::TestFolder folder;
  test::CapturedLog log(folder, L"run.log");
  RunContext context;
  EXPECT_FALSE(context.Admits(severity::Fatal));
  context.logger = log.logger();
  ASSERT_NE(context.logger, nullptr);
  context.logger->Configure(severity::Warn, false, {});
  EXPECT_FALSE(context.Admits(severity::Info));
  EXPECT_TRUE(context.Admits(severity::Warn));
  EXPECT_TRUE(context.Admits(severity::Error));
}

// The program writes zorremover.log beside itself, so each run uses a copy
// in a folder of its own.
TEST(ProgramRun, WritesTheCommandLineToItsLogAndConsoleAndExitsWithZero) {
  test::TestFolder folder;
  const std::wstring program = folder.File(L"zorremover.exe");
  ASSERT_TRUE(CopyFileW(test::ProgramPath().c_str(), program.c_str(), TRUE));
  const std::wstring commandLine = L"\"" + program + L"\" /skipask";
  const test::ChildResult child = test::RunChild(commandLine);
  ASSERT_TRUE(child.started);
  EXPECT_EQ(child.exitCode, 0u);

  const std::wstring logPath = folder.File(L"zorremover.log");
  ASSERT_TRUE(test::FileExistsAt(logPath));
  EXPECT_EQ(test::ReadFileBytes(logPath).substr(0, 2), std::string("\xFF\xFE", 2));
  bool wellFormed = false;
  const std::vector<std::wstring> lines = test::ReadLogLines(logPath, &wellFormed);
  EXPECT_TRUE(wellFormed);
  const std::string expectedMessage = " INFO Command line: " + test::Narrow(commandLine);
  const std::regex stamp(R"(^\S+ \S+$)");
  // The separate copy that removes the firewall driver logs its own
  // command line: this one with its two options appended.
  const std::string copyMessage = expectedMessage + " /ndisonly /skipask";
  int found = 0;
  int copies = 0;
  for (const std::wstring& line : lines) {
    const std::string text = test::Narrow(line);
    const std::size_t at = text.find(expectedMessage);
    if (at == std::string::npos) continue;
    EXPECT_TRUE(std::regex_match(text.substr(0, at), stamp)) << text;
    if (text.substr(at) == expectedMessage) ++found;
    if (text.substr(at) == copyMessage) ++copies;
  }
  EXPECT_EQ(found, 1);
  EXPECT_EQ(copies, 1);

  // The console shows INFO and above, in the same form.
  EXPECT_NE(child.output.find(expectedMessage), std::string::npos) << child.output;
  EXPECT_EQ(child.output.find(" DEBUG "), std::string::npos) << child.output;
}

// A program in a drive root keeps its log in that root. The only test that
// runs the program from C:\, so the log's fixed name is its own.
TEST(ProgramRun, FromADriveRootWritesItsLogIntoTheRoot) {
  const std::wstring program = L"C:\\zorremover-" + std::to_wstring(GetCurrentProcessId()) + L".exe";
  const std::wstring logPath = L"C:\\zorremover.log";
  ASSERT_FALSE(test::FileExistsAt(logPath));
  ASSERT_TRUE(CopyFileW(test::ProgramPath().c_str(), program.c_str(), TRUE));
  const std::wstring commandLine = L"\"" + program + L"\" /skipask";
  const test::ChildResult child = test::RunChild(commandLine);
  DeleteFileW(program.c_str());
  ASSERT_TRUE(child.started);
  EXPECT_EQ(child.exitCode, 0u);
  ASSERT_TRUE(test::FileExistsAt(logPath));
  const std::vector<std::wstring> lines = test::ReadLogLines(logPath);
  DeleteFileW(logPath.c_str());
  const std::string expectedMessage = " INFO Command line: " + test::Narrow(commandLine);
  // Discovery logs after the command line, so the line is looked for.
  int found = 0;
  for (const std::wstring& line : lines) {
    const std::string text = test::Narrow(line);
    if (text.size() >= expectedMessage.size() &&
        text.substr(text.size() - expectedMessage.size()) == expectedMessage) {
      ++found;
    }
  }
  EXPECT_EQ(found, 1);
}

}  // namespace
}  // namespace zor
