// The dry run's gate on the program's real platform calls, in a prefix of
// its own: each change is named once and answered as done, the machine
// keeps everything, and what the run would do next follows from the
// assumption that the change was made.
#include "platform/dry_run.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <span>
#include <utility>
#include <string>
#include <vector>

#include "platform/file_operations.h"
#include "platform/new_file.h"
#include "platform/process_launch.h"
#include "platform/registry_key.h"
#include "platform/system_restart.h"
#include "platform/tree_delete.h"
#include "tests/platform/file_test_support.h"
#include "tests/platform/registry_test_support.h"
#include "tests/support/narrow_text.h"

namespace zor {
namespace {

using Lines = std::vector<std::string>;

// A dry run for the test's length, with the lines it is told.
class DryRun {
 public:
  DryRun() {
    StartDryRun([this](std::wstring_view action, std::wstring_view item) {
      std::lock_guard lock(guard_);
      lines_.push_back(test::Narrow(std::wstring(action) + L" " + std::wstring(item)));
    });
  }
  ~DryRun() { EndDryRun(); }
  Lines Take() {
    std::lock_guard lock(guard_);
    return std::exchange(lines_, {});
  }

 private:
  std::mutex guard_;
  Lines lines_;
};

std::vector<std::uint8_t> PendingRenamesBytes() {
  DWORD size = 0;
  std::vector<std::uint8_t> data(65536);
  size = static_cast<DWORD>(data.size());
  if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                   L"PendingFileRenameOperations", RRF_RT_ANY, nullptr, data.data(), &size) != ERROR_SUCCESS) {
    return {};
  }
  data.resize(size);
  return data;
}

TEST(DryRunGate, FilesAreNamedAndKept) {
  test::TestFolder folder;
  const std::wstring file = folder / L"zorcore.dll";
  const std::wstring tree = folder / L"Logs";
  test::WriteTextFile(file, "core");
  test::MakeFolder(tree);
  test::WriteTextFile(tree + L"\\zorsvc.log", "log");
  const std::vector<std::uint8_t> pending = PendingRenamesBytes();
  const std::string path = test::Narrow(file);

  DryRun dry;
  EXPECT_EQ(DeleteFileNow(file, ReadOnlyAttribute::Clear), status::Success);
  EXPECT_EQ(DeleteTree(tree, true), status::Success);
  std::uint32_t lastError = 0;
  EXPECT_TRUE(PlanDeleteAfterRestart(file, lastError));
  const std::string bytes = "new";
  EXPECT_EQ(WriteNewFile(folder / L"zor-script.ps1", std::as_bytes(std::span(bytes.data(), bytes.size()))),
            status::Success);
  // Renamed in the dry run, the file is found under its new name: what is
  // done to it there is done, in words, to the file it still is.
  EXPECT_EQ(RenameFile(file, file + L".to_delete", true), status::Success);
  EXPECT_EQ(DeleteFileNow(file + L".to_delete"), status::Success);
  const Lines lines = dry.Take();

  EXPECT_EQ(lines, (Lines{
                       "delete " + path,
                       "delete " + test::Narrow(tree) + "\\zorsvc.log",
                       "delete " + test::Narrow(tree),
                       "delete at restart " + path,
                       "write " + test::Narrow(folder / L"zor-script.ps1"),
                       "rename file " + path + " to " + path + ".to_delete",
                   }));
  EXPECT_EQ(test::ReadTextFile(file), "core");
  EXPECT_TRUE(test::PathExists(tree + L"\\zorsvc.log"));
  EXPECT_FALSE(test::PathExists(folder / L"zor-script.ps1"));
  EXPECT_FALSE(test::PathExists(file + L".to_delete"));
  EXPECT_EQ(PendingRenamesBytes(), pending);
}

TEST(DryRunGate, RegistryChangesAreNamedAndKept) {
  const std::wstring base = L"Software\\ZorDryRunGate";
  ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, base, L"Language", L"en"));
  ASSERT_TRUE(test::MakeKey(HKEY_CURRENT_USER, base + L"\\Gui"));

  DryRun dry;
  RegistryKey key(RootCurrentUser);
  ASSERT_EQ(key.Open(base), status::Success);
  EXPECT_EQ(key.SetString(L"Language", L"de"), status::Success);
  EXPECT_EQ(key.DeleteValue(L"Language"), status::Success);
  // A value that is not there is not there in a dry run either.
  EXPECT_EQ(key.DeleteValue(L"Missing"), status::FileNotFound);
  EXPECT_EQ(key.DeleteSubKey(L"Gui", true), status::Success);
  RegistryKey created(RootCurrentUser);
  EXPECT_EQ(created.OpenOrCreate(base + L"\\New\\Deeper"), status::Success);
  EXPECT_EQ(created.SetString(L"Mark", L"x"), status::Success);
  const Lines lines = dry.Take();

  const std::string name = "HKCU\\" + test::Narrow(base);
  for (const std::string& line :
       {"write value " + name + " : Language", "delete value " + name + " : Language", "delete key " + name + "\\Gui",
        "create key " + name + "\\New", "create key " + name + "\\New\\Deeper",
        "write value " + name + "\\New\\Deeper : Mark"}) {
    EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line << "\n" << ::testing::PrintToString(lines);
  }
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.find("Missing") != l.npos; }),
            0);
  EXPECT_EQ(test::ReadString(HKEY_CURRENT_USER, base, L"Language"), L"en");
  EXPECT_TRUE(test::KeyPresent(HKEY_CURRENT_USER, base + L"\\Gui"));
  EXPECT_FALSE(test::KeyPresent(HKEY_CURRENT_USER, base + L"\\New"));
}

TEST(DryRunGate, ProgramsCommandsAndTheRestartAreNamedNotRun) {
  test::TestFolder folder;
  const std::wstring mark = folder / L"ran.txt";
  DryRun dry;
  const std::wstring command = L"cmd.exe /c echo ran > \"" + mark + L"\"";
  std::int32_t exitCode = -1;
  EXPECT_EQ(LaunchAndWait(command, 60LL * 10000000, exitCode), status::Success);
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(RunShellCommand(L"echo ran >> \"" + mark + L"\""), 0);
  EXPECT_EQ(RequestRestart(RestartForceApplications | RestartReboot | RestartEvenWithoutSession), status::Success);
  const Lines lines = dry.Take();
  EXPECT_EQ(lines, (Lines{"run " + test::Narrow(command), "run echo ran >> \"" + test::Narrow(mark) + "\"",
                          "restart Windows"}));
  EXPECT_FALSE(test::PathExists(mark));
}

TEST(DryRunGate, TheLogsExemptionAndTheEndOfTheDryRunChangeForReal) {
  test::TestFolder folder;
  const std::wstring kept = folder / L"kept.txt";
  const std::wstring log = folder / L"zorremover.log";
  test::WriteTextFile(kept, "x");
  {
    DryRun dry;
    {
      DryRunExemption exempt;
      const std::string bytes = "a log line";
      EXPECT_EQ(WriteNewFile(log, std::as_bytes(std::span(bytes.data(), bytes.size()))), status::Success);
    }
    EXPECT_EQ(DeleteFileNow(kept), status::Success);
    EXPECT_EQ(dry.Take(), Lines{"delete " + test::Narrow(kept)});
    EXPECT_TRUE(InDryRun());
  }
  EXPECT_FALSE(InDryRun());
  EXPECT_EQ(test::ReadTextFile(log), "a log line");
  EXPECT_TRUE(test::PathExists(kept));
  EXPECT_EQ(DeleteFileNow(kept), status::Success);
  EXPECT_FALSE(test::PathExists(kept));
}

}  // namespace
}  // namespace zor
