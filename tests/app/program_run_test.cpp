// The whole program, started as an administrator starts it. These runs
// remove what they find, so they run in a prefix of their own, one at a
// time (see tests/CMakeLists.txt: every suite named ProgramRun*).
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "platform/native_types.h"
#include "tests/app/program_copy.h"
#include "tests/logging/logging_test_support.h"
#include "tests/support/child_process.h"
#include "tests/support/line_checks.h"

namespace zor {
namespace {

using test::HasLine;
using test::Narrow;
using test::Joined;

using test::Count;
using test::Info;
using test::ProgramCopy;
using test::StartsAny;

bool DisplayPresent() {
  wchar_t display[8] = {};
  return GetEnvironmentVariableW(L"DISPLAY", display, 8) > 0;
}

TEST(ProgramRun, SkipAskRunsEveryStageWithTheSeparateCopyInsideItsBanners) {
  ProgramCopy copy;
  const test::ChildResult child = test::RunChild(copy.Quoted() + L" /skipask /ndis_nextstep=7", 120000);
  ASSERT_TRUE(child.started);
  ASSERT_FALSE(child.timedOut);
  EXPECT_EQ(child.exitCode, 0u) << child.output;

  const std::vector<std::string> messages = copy.Messages();
  // Both processes write the one log; the copy's lines lie between the
  // banners of the separate process.
  EXPECT_EQ(Info(messages), (std::vector<std::string>{
                                "ZorRemover runs in attempt number 1",
                                "*****     Msi data     *****",
                                "*****     Exchange&Outlook plugins data     *****",
                                "*****     Services     *****",
                                "*****     Zor Fw NDIS driver(separate process)     *****",
                                "ZorRemover runs in attempt number 1",
                                "*****     Zor Fw NDIS driver     *****",
                                "...this operation can take several minutes...",
                                "*****     end of Fw NDIS separated process     *****",
                                "*****     Drivers     *****",
                                "*****     Running ZOR process     *****",
                                "*****     Registry keys and values     *****",
                                "*****     Files and folders     *****",
                            }))
      << Joined(messages);
  EXPECT_EQ(Count(messages, "DEBUG Remove NDIS driver pass, next uninstalation step is 7, old was 7"), 1)
      << Joined(messages);

  // The console has INFO and above in the log's form, and no DEBUG.
  const std::regex banner(R"((^|\n)\S+ \S+ INFO \*\*\*\*\*     Files and folders     \*\*\*\*\*\r?\n)");
  EXPECT_TRUE(std::regex_search(child.output, banner)) << child.output;
  EXPECT_EQ(child.output.find(" DEBUG "), std::string::npos) << child.output;
}

// The copy is started from this process's own command line; a first word
// that names no program makes it fail to start, twice.
TEST(ProgramRun, ASeparateCopyThatCannotStartIsTriedOnceMore) {
  ProgramCopy copy;
  const test::ChildResult child =
      test::RunChildAs(copy.program, L"\"C:\\no-such-folder\\zorremover.exe\" /skipask", 120000);
  ASSERT_TRUE(child.started);
  EXPECT_EQ(child.exitCode, 0u) << child.output;

  const std::vector<std::string> messages = copy.Messages();
  EXPECT_TRUE(StartsAny(messages, "DEBUG Remove NDIS driver failed with error 0x")) << Joined(messages);
  EXPECT_TRUE(StartsAny(messages, "DEBUG Second Remove NDIS driver failed with error 0x")) << Joined(messages);
  EXPECT_EQ(Count(messages, "INFO *****     Zor Fw NDIS driver     *****"), 0);
  EXPECT_EQ(Count(messages, "INFO *****     Files and folders     *****"), 1);
}

TEST(ProgramRun, ASecondRunAsksNothingAndSkipsThePluginStage) {
  ProgramCopy copy;
  const test::ChildResult child = test::RunChild(copy.Quoted() + L" /run_number=2", 120000);
  ASSERT_TRUE(child.started);
  EXPECT_EQ(child.exitCode, 0u) << child.output;
  const std::vector<std::string> messages = copy.Messages();
  EXPECT_EQ(Count(messages, "INFO ZorRemover runs in attempt number 2"), 2) << Joined(messages);  // and its copy
  EXPECT_EQ(Count(messages, "INFO *****     Exchange&Outlook plugins data     *****"), 0);
  EXPECT_EQ(Count(messages, "INFO *****     Files and folders     *****"), 1);
}

TEST(ProgramRun, WithoutSkipAskAndNoAnswerPossibleNothingRuns) {
  if (DisplayPresent()) GTEST_SKIP() << "a display is present: the confirmation would wait for an answer";
  ProgramCopy copy;
  const test::ChildResult child = test::RunChild(copy.Quoted(), 120000);
  ASSERT_TRUE(child.started);
  EXPECT_EQ(child.exitCode, 0u) << child.output;
  const std::vector<std::string> messages = copy.Messages();
  EXPECT_FALSE(messages.empty()) << "the start-up steps log before the confirmation";
  EXPECT_FALSE(StartsAny(messages, "INFO ZorRemover runs in attempt number")) << Joined(messages);
  EXPECT_FALSE(StartsAny(messages, "INFO *****")) << Joined(messages);
}

// A program started on a window station of its own, as services and
// programs started by deployment tools are: no one can see a box there, so
// none is shown and nothing is removed.
TEST(ProgramRun, OnAWindowStationNobodySeesNoBoxIsShownAndNothingRuns) {
  const std::wstring stationName = L"ZorHidden" + std::to_wstring(GetCurrentProcessId());
  const HWINSTA station = CreateWindowStationW(stationName.c_str(), 0, WINSTA_ALL_ACCESS, nullptr);
  ASSERT_NE(station, nullptr) << GetLastError();
  USEROBJECTFLAGS flags{};
  DWORD needed = 0;
  ASSERT_TRUE(GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, &needed));
  if (flags.dwFlags & WSF_VISIBLE) {
    CloseWindowStation(station);
    GTEST_SKIP() << "this system makes a new window station visible";
  }
  const HWINSTA own = GetProcessWindowStation();
  ASSERT_TRUE(SetProcessWindowStation(station));
  const HDESK desktop = CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  SetProcessWindowStation(own);
  ASSERT_NE(desktop, nullptr) << GetLastError();

  ProgramCopy copy;
  std::wstring commandLine = copy.Quoted();
  std::wstring desktopName = stationName + L"\\Default";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.lpDesktop = desktopName.data();
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                             nullptr, &startup, &process))
      << GetLastError();
  const DWORD waited = WaitForSingleObject(process.hProcess, 60000);
  if (waited == WAIT_TIMEOUT) TerminateProcess(process.hProcess, 0xDEAD);
  DWORD exitCode = 0xDEAD;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  CloseDesktop(desktop);
  CloseWindowStation(station);

  ASSERT_EQ(waited, WAIT_OBJECT_0) << "the program waited for an answer nobody can give";
  EXPECT_EQ(exitCode, 0u);
  const std::vector<std::string> messages = copy.Messages();
  EXPECT_EQ(Count(messages, "WARN No one can answer the confirmation on this window station: nothing is removed. "
                            "Run with /silent or /skipask to remove without asking."),
            1)
      << Joined(messages);
  EXPECT_FALSE(StartsAny(messages, "INFO ZorRemover runs in attempt number")) << Joined(messages);
}

}  // namespace
}  // namespace zor
