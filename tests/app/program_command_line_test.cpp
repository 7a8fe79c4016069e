// Command lines an administrator mistypes or an attacker crafts, given to
// the whole program. These runs may remove what they find, so they run in
// the program prefix, one at a time, like every ProgramRun suite.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "app/run_setup.h"
#include "app/separate_copy.h"
#include "foundation/status_codes.h"
#include "platform/native_types.h"
#include "tests/app/program_copy.h"
#include "tests/support/child_process.h"
#include "tests/support/line_checks.h"

namespace zor {
namespace {

using test::Count;
using test::CountStarting;
using test::Info;
using test::Joined;
using test::ProgramCopy;
using test::StartsAny;

constexpr char kOpenQuoteRefusal[] =
    "ERROR The command line has a quotation mark that is not closed: nothing is removed. "
    "Close every quotation mark and run again.";

// Sets an environment variable of this process for one scope; children
// started meanwhile inherit it.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const std::wstring& name, const std::wstring& value) : name_(name) {
    SetEnvironmentVariableW(name_.c_str(), value.c_str());
  }
  ~ScopedEnvironment() { SetEnvironmentVariableW(name_.c_str(), nullptr); }

 private:
  std::wstring name_;
};

// One quotation mark left open once made the separate copy miss its mode,
// run a whole removal and start a copy of its own, without end. Now the line
// is refused before anything runs: one process, no stage, a clear reason.
TEST(ProgramRunCommandLine, AQuotationMarkLeftOpenIsRefusedBeforeAnyStageAndStartsNoCopy) {
  for (const wchar_t* options : {L" /silent /zordir=\"C:\\Program Files (x86)\\ZOR\\ZOR10",
                                 L" /zordir=\"C:\\x /silent"}) {
    SCOPED_TRACE(test::Narrow(options));
    ProgramCopy copy;
    const test::ChildResult child = test::RunChild(copy.Quoted() + options, 120000);
    ASSERT_TRUE(child.started);
    ASSERT_FALSE(child.timedOut);
    EXPECT_EQ(child.exitCode, static_cast<std::uint32_t>(status::UnbalancedQuotes)) << child.output;

    const std::vector<std::string> messages = copy.Messages();
    EXPECT_EQ(CountStarting(messages, "INFO Command line: "), 1) << "processes that read a command line\n"
                                                                  << Joined(messages);
    EXPECT_EQ(Count(messages, kOpenQuoteRefusal), 1) << Joined(messages);
    EXPECT_TRUE(Info(messages).empty()) << Joined(messages);
    EXPECT_NE(child.output.find(kOpenQuoteRefusal + 6), std::string::npos) << child.output;
  }
}

// Each option no run reads is named once per process, and the run goes on:
// here the program and its one separate copy.
TEST(ProgramRunCommandLine, UnknownOptionsAreNamedAndTheRunGoesOn) {
  ProgramCopy copy;
  const test::ChildResult child =
      test::RunChild(copy.Quoted() + L" /skipask /frobnicate --zordir=C:\\nowhere /run_number=2", 120000);
  ASSERT_TRUE(child.started);
  EXPECT_EQ(child.exitCode, 0u) << child.output;
  const std::vector<std::string> messages = copy.Messages();
  EXPECT_EQ(CountStarting(messages, "INFO Command line: "), 2) << Joined(messages);
  EXPECT_EQ(Count(messages, "WARN Unknown option 'frobnicate' is ignored; see /help for the options."), 2)
      << Joined(messages);
  EXPECT_EQ(Count(messages, "WARN Unknown option '-zordir' is ignored; see /help for the options."), 2)
      << Joined(messages);
  EXPECT_EQ(Count(messages, "INFO *****     Files and folders     *****"), 1) << Joined(messages);
}

// A process marked as the separate copy runs the firewall stage only, ends
// with the step number and starts nothing, whatever its command line says.
TEST(ProgramRunCommandLine, TheSeparateCopyKnowsItsModeFromItsMarkAndNeverStartsACopy) {
  ProgramCopy copy;
  const ScopedEnvironment mark(std::wstring(kSeparateCopyVariable), L"1");
  const test::ChildResult child = test::RunChild(copy.Quoted() + L" /ndis_nextstep=4", 120000);
  ASSERT_TRUE(child.started);
  // From step 4 the firewall stage runs phases 2 and 3 and ends with 5.
  EXPECT_EQ(child.exitCode, 5u) << child.output;
  const std::vector<std::string> messages = copy.Messages();
  EXPECT_EQ(CountStarting(messages, "INFO Command line: "), 1) << Joined(messages);
  EXPECT_EQ(Info(messages), (std::vector<std::string>{
                                "ZorRemover runs in attempt number 1",
                                "*****     Zor Fw NDIS driver     *****",
                                "...this operation can take several minutes...",
                            }))
      << Joined(messages);
  EXPECT_EQ(Count(messages, "INFO FW NDIS driver uninstallation finished"), 1) << Joined(messages);
}

TEST(ProgramRunCommandLine, ASecondMainRunEndsAtOnceWhileAnotherHoldsTheRunLock) {
  const std::wstring lockName(kRunLockName);
  const HANDLE held = CreateMutexW(nullptr, TRUE, lockName.c_str());
  ASSERT_NE(held, nullptr) << GetLastError();
  ProgramCopy copy;
  const test::ChildResult child = test::RunChild(copy.Quoted() + L" /silent", 120000);
  ReleaseMutex(held);
  CloseHandle(held);
  ASSERT_TRUE(child.started);
  EXPECT_EQ(child.exitCode, static_cast<std::uint32_t>(status::AnotherRunActive)) << child.output;
  const std::vector<std::string> messages = copy.Messages();
  EXPECT_EQ(Count(messages, "ERROR Another ZorRemover run is in progress on this machine: this run removes nothing "
                            "and ends. Wait for the other run to end and start again if needed."),
            1)
      << Joined(messages);
  EXPECT_TRUE(Info(messages).empty()) << Joined(messages);
}

// A run that was killed leaves its lock abandoned; the next run takes it.
TEST(ProgramRunCommandLine, ALockLeftByAKilledRunDoesNotStopTheNextOne) {
  const std::wstring lockName(kRunLockName);
  std::thread dying([&] {
    const HANDLE mutex = CreateMutexW(nullptr, TRUE, lockName.c_str());
    ASSERT_NE(mutex, nullptr);
    // The thread ends owning it, as a killed run would.
  });
  dying.join();
  ProgramCopy copy;
  const test::ChildResult child = test::RunChild(copy.Quoted() + L" /silent /run_number=2", 120000);
  ASSERT_TRUE(child.started);
  EXPECT_EQ(child.exitCode, 0u) << child.output;
  EXPECT_EQ(Count(copy.Messages(), "INFO *****     Files and folders     *****"), 1) << Joined(copy.Messages());
}

// Any legal folder name gives the log beside the program; a ";" once cut the
// file name and sent the log to the folder above.
TEST(ProgramRunCommandLine, TheLogLiesBesideTheProgramWhateverItsFolderIsNamed) {
  for (const wchar_t* name : {L"Tools;old", L"Tools #2", L"a=b", L"two  blanks", L"all ;#= of them"}) {
    SCOPED_TRACE(test::Narrow(name));
    ProgramCopy copy(name);
    // A refused line ends quickly, after the log was opened.
    const test::ChildResult child = test::RunChild(copy.Quoted() + L" /silent /zordir=\"C:\\x", 120000);
    ASSERT_TRUE(child.started) << "CreateProcessW failed with error " << child.startError;
    EXPECT_EQ(child.exitCode, static_cast<std::uint32_t>(status::UnbalancedQuotes)) << child.output;
    EXPECT_EQ(Count(copy.Messages(), kOpenQuoteRefusal), 1);
    EXPECT_FALSE(test::FileExistsAt(copy.folder.File(L"Tools"))) << "the log went where a cut name points";
  }
}

}  // namespace
}  // namespace zor
