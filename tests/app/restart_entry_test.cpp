#include "app/restart_entry.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "app/options.h"

namespace zor {
namespace {

constexpr wchar_t kProgram[] = L"C:\\Program Files\\Tools\\zorremover.exe";

TEST(RestartEntry, CarriesTheQuotedProgramTheNextRunNumberAndThisRunsFolders) {
  const struct {
    const char* name;
    std::function<void(RunParameters&)> set;
    const wchar_t* expected;
  } rows[] = {
      {"program folder only",
       [](RunParameters& p) { p.ZorDir = L"C:\\Program Files\\ZOR\\ZOR10"; },
       L"\"C:\\Program Files\\Tools\\zorremover.exe\" /run_number=2 /zordir=\"C:\\Program Files\\ZOR\\ZOR10\" "
       L"/ndis_nextstep=1"},
      {"no folders",
       [](RunParameters&) {},
       L"\"C:\\Program Files\\Tools\\zorremover.exe\" /run_number=2 /ndis_nextstep=1"},
      {"all three folders, a later firewall step and norestart",
       [](RunParameters& p) {
         p.ZorDir = L"D:\\ZOR\\ZOR10";
         p.ZorAdminDir = L"D:\\ZOR\\ZOR10 Admin";
         p.ZorDataDir = L"C:\\ProgramData\\ZOR10";
         p.NdisNextStep = 5;
         p.NoRestart = true;
       },
       L"\"C:\\Program Files\\Tools\\zorremover.exe\" /run_number=2 /zordir=\"D:\\ZOR\\ZOR10\" "
       L"/zoradmindir=\"D:\\ZOR\\ZOR10 Admin\" /zordatadir=\"C:\\ProgramData\\ZOR10\" /ndis_nextstep=5 /norestart"},
      {"administration and data folders without the program folder",
       [](RunParameters& p) {
         p.ZorAdminDir = L"C:\\Program Files (x86)\\ZOR\\ZOR10 Admin";
         p.ZorDataDir = L"C:\\ProgramData\\ZOR10";
       },
       L"\"C:\\Program Files\\Tools\\zorremover.exe\" /run_number=2 "
       L"/zoradmindir=\"C:\\Program Files (x86)\\ZOR\\ZOR10 Admin\" /zordatadir=\"C:\\ProgramData\\ZOR10\" "
       L"/ndis_nextstep=1"},
      {"a step number that is a failure code is left out",
       [](RunParameters& p) { p.NdisNextStep = static_cast<std::int32_t>(0xA001000A); },
       L"\"C:\\Program Files\\Tools\\zorremover.exe\" /run_number=2"},
      {"the report's file, so that the run after the restart replaces the report",
       [](RunParameters& p) { p.ReportPath = L"C:\\Windows\\Temp\\zor report.json"; },
       L"\"C:\\Program Files\\Tools\\zorremover.exe\" /run_number=2 /ndis_nextstep=1 "
       L"/report=\"C:\\Windows\\Temp\\zor report.json\""},
      {"what the next run must not inherit",
       [](RunParameters& p) {
         p.SkipAsk = true;
         p.DeleteDirForceHard = true;
         p.NdisOnly = true;
         p.WhitelistPath = L"C:\\list.txt";
         p.ExitCodes = L"msi";
         p.NdisNextStep = 10;
       },
       L"\"C:\\Program Files\\Tools\\zorremover.exe\" /run_number=2 /ndis_nextstep=10"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    RunParameters parameters;
    row.set(parameters);
    EXPECT_EQ(RestartEntryText(kProgram, parameters), row.expected);
  }
}

// The run that Windows starts reads the entry with the same tokenizer and
// option table as any command line.
TEST(RestartEntry, TheNextRunReadsBackWhatThisRunWrote) {
  RunParameters first;
  first.ZorDir = L"C:\\Program Files (x86)\\ZOR\\ZOR10";
  first.ZorAdminDir = L"C:\\Program Files (x86)\\ZOR\\ZOR10 Admin";
  first.ZorDataDir = L"C:\\ProgramData\\ZOR10";
  first.NdisNextStep = 3;
  first.NoRestart = true;
  first.ReportPath = L"\\\\collector\\reports$\\ws 42.json";

  OptionList options;
  ASSERT_EQ(ParseOptions(RestartEntryText(kProgram, first), options), status::Success);
  ASSERT_FALSE(options.empty());
  EXPECT_EQ(options[0].name, L"");
  EXPECT_EQ(options[0].value, kProgram);  // one entry, blanks and all

  RunParameters next;
  ApplyOptions(options, next);
  EXPECT_EQ(next.RunNumber, 2);
  EXPECT_EQ(next.ZorDir, first.ZorDir);
  EXPECT_EQ(next.ZorAdminDir, first.ZorAdminDir);
  EXPECT_EQ(next.ZorDataDir, first.ZorDataDir);
  EXPECT_EQ(next.NdisNextStep, 3);
  EXPECT_TRUE(next.NoRestart);
  EXPECT_EQ(next.ReportPath, first.ReportPath);
  EXPECT_FALSE(next.SkipAsk);
}

}  // namespace
}  // namespace zor
