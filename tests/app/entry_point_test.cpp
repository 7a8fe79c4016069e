#include "app/entry_point.h"

#include <gtest/gtest.h>

#include <string>

#include "app/usage_text.h"
#include "platform/native_api.h"
#include "tests/support/child_process.h"

namespace zor {
namespace {

std::string ExpectedUsage() {
  std::string usage;
  for (std::wstring_view line : kUsageLines) usage += std::string(line.begin(), line.end());
  return usage;
}

TEST(EntryPoint, EveryHelpSwitchPrintsTheUsageAndExitsWithZero) {
  for (const wchar_t* arguments :
       {L"/?", L"-?", L"/help", L"-help", L"/h", L"/HELP", L"/H", L"/zordir=C:\\x /? /silent", L"/silent /skipask -?"}) {
    SCOPED_TRACE(std::string(arguments, arguments + std::wcslen(arguments)));
    const test::ChildResult child = test::RunChild(test::QuotedProgramPath() + L" " + arguments);
    ASSERT_TRUE(child.started);
    EXPECT_EQ(child.exitCode, 0u);
    EXPECT_EQ(child.output, ExpectedUsage());
  }
}

TEST(EntryPoint, UsageTextIsTheTenLinesOfTheHelp) {
  const std::string usage = ExpectedUsage();
  EXPECT_EQ(std::count(usage.begin(), usage.end(), '\n'), 10);
  EXPECT_EQ(usage.substr(0, 38), "zorremover?.exe [/zordir=<path>] [/zor");
  EXPECT_NE(usage.find("\t/zordir - path to ZOR binaries, eg. \"c:\\Program Files\\ZOR\\ZOR10\". By default is used "
                       "ZorFolder(from registry)\n"),
            std::string::npos);
  EXPECT_NE(usage.find("\t/help,/h,/? - this help.\n"), std::string::npos);
}

TEST(EntryPoint, MinusHIsNotAHelpSwitch) {
  const test::ChildResult child = test::RunChild(test::QuotedProgramPath() + L" -h");
  ASSERT_TRUE(child.started);
  EXPECT_EQ(child.exitCode, 0u);
  EXPECT_EQ(child.output.find("parameters info"), std::string::npos) << child.output;
}

TEST(ProgramRun, AnAdministratorRunWithoutHelpEndsWithZeroAndPrintsNoUsage) {
  const test::ChildResult child = test::RunChild(test::QuotedProgramPath() + L" /skipask /norestart");
  ASSERT_TRUE(child.started);
  EXPECT_EQ(child.exitCode, 0u);
  EXPECT_EQ(child.output.find("parameters info"), std::string::npos) << child.output;
}

NTSTATUS NTAPI DeniedVersion(PRTL_OSVERSIONINFOW) { return static_cast<NTSTATUS>(0xC0000022); }

// The platform is not started before these tests (see the test entry).
TEST(ColdStartEntryPoint, AFailingPlatformStartUpIsTheExitCode) {
  ASSERT_EQ(LoadNativeApi(), status::Success);
  Native().RtlGetVersion = &DeniedVersion;
  wchar_t program[] = L"zorremover.exe";
  wchar_t help[] = L"/?";
  wchar_t* arguments[] = {program, help};
  EXPECT_EQ(static_cast<std::uint32_t>(RemoverMain(2, arguments, [](RunContext&) {})), 0xE0010058u);
}

}  // namespace
}  // namespace zor
