#include "app/run_parameters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/narrow_text.h"

namespace zor {
namespace {

using test::Narrow;

// Every field that an option can set, so a row compares the whole outcome.
std::string Describe(const RunParameters& p) {
  return "run=" + std::to_string(p.RunNumber) + " zor=" + Narrow(p.ZorDir) + " admin=" + Narrow(p.ZorAdminDir) +
         " data=" + Narrow(p.ZorDataDir) + " ndis=" + std::to_string(p.NdisNextStep) +
         " norestart=" + std::to_string(p.NoRestart) + " skipask=" + std::to_string(p.SkipAsk) +
         " hard=" + std::to_string(p.DeleteDirForceHard) + " ndisonly=" + std::to_string(p.NdisOnly) +
         " whitelist=" + Narrow(p.WhitelistPath);
}

RunParameters Applied(const wchar_t* commandLine, RunParameters parameters = {}) {
  OptionList options;
  EXPECT_EQ(ParseOptions(commandLine, options), status::Success);
  ApplyOptions(options, parameters);
  return parameters;
}

TEST(RunParameters, StartWithTheirInitialValues) {
  const RunParameters p;
  EXPECT_EQ(p.RunNumber, 1);
  EXPECT_EQ(p.NdisNextStep, 1);
  EXPECT_EQ(p.RestartCounter, 0);
  EXPECT_FALSE(p.Is64BitSystem);
  EXPECT_FALSE(p.Is32BitSystem);
  EXPECT_FALSE(p.AdminConsoleDetected);
  EXPECT_TRUE(p.Whitelist.empty());
  for (const RunFolderField& row : RunFolderFields()) EXPECT_EQ(p.*row.field, L"");
  EXPECT_EQ(Describe(p), "run=1 zor= admin= data= ndis=1 norestart=0 skipask=0 hard=0 ndisonly=0 whitelist=");
}

// Each folder has one field of its own, found by its number; a number
// outside the folders finds none.
TEST(RunFolderFields, NameEachFolderOnceAndFolderOfFindsItsField) {
  RunParameters p;
  std::vector<std::wstring RunParameters::*> fields;
  ASSERT_EQ(RunFolderFields().size(), static_cast<std::size_t>(kRunFolderCount));
  for (std::int32_t number = 0; number < kRunFolderCount; ++number) {
    const RunFolderField& row = RunFolderFields()[number];
    EXPECT_EQ(static_cast<std::int32_t>(row.folder), number);
    EXPECT_EQ(std::find(fields.begin(), fields.end(), row.field), fields.end()) << number;
    fields.push_back(row.field);
    EXPECT_EQ(FolderOf(p, row.folder), &(p.*row.field));
  }
  EXPECT_EQ(FolderOf(p, static_cast<RunFolder>(-1)), nullptr);
  EXPECT_EQ(FolderOf(p, static_cast<RunFolder>(kRunFolderCount)), nullptr);
  // The product's own folders and the user's are no folders of Windows.
  for (const RunFolder own : {RunFolder::ZorDir, RunFolder::ZorDataDir, RunFolder::ZorAdminDir, RunFolder::AppDataDir}) {
    EXPECT_EQ(RunFolderFields()[static_cast<std::int32_t>(own)].guarded, nullptr);
  }
}

TEST(ApplyOptions, SetsTheFieldsOfTheCommandLine) {
  const struct {
    const wchar_t* commandLine;
    const char* expected;
  } rows[] = {
      {L"", "run=1 zor= admin= data= ndis=1 norestart=0 skipask=0 hard=0 ndisonly=0 whitelist="},
      {L"zorremover.exe", "run=1 zor= admin= data= ndis=1 norestart=0 skipask=0 hard=0 ndisonly=0 whitelist="},
      {L"x.exe /run_number=2", "run=2 zor= admin= data= ndis=1 norestart=0 skipask=0 hard=0 ndisonly=0 whitelist="},
      {L"x.exe /run_number", "run=0 zor= admin= data= ndis=1 norestart=0 skipask=0 hard=0 ndisonly=0 whitelist="},
      {L"x.exe /run_number=two", "run=0 zor= admin= data= ndis=1 norestart=0 skipask=0 hard=0 ndisonly=0 whitelist="},
      {L"x.exe /RUN_NUMBER=3", "run=3 zor= admin= data= ndis=1 norestart=0 skipask=0 hard=0 ndisonly=0 whitelist="},
      {L"x.exe /ndis_nextstep=4 /ndis_nextstep=6",
       "run=1 zor= admin= data= ndis=4 norestart=0 skipask=0 hard=0 ndisonly=0 whitelist="},
      {L"x.exe /run_number=2 /run_number=5",
       "run=2 zor= admin= data= ndis=1 norestart=0 skipask=0 hard=0 ndisonly=0 whitelist="},
      {L"x.exe /zordir=\"C:\\Program Files (x86)\\ZOR\\ZOR10\" /zoradmindir=D:\\Admin /zordatadir=C:\\Data",
       "run=1 zor=C:\\Program Files (x86)\\ZOR\\ZOR10 admin=D:\\Admin data=C:\\Data ndis=1 norestart=0 skipask=0 "
       "hard=0 ndisonly=0 whitelist="},
      {L"x.exe /zordir=D:\\First /zordir=D:\\Second",
       "run=1 zor=D:\\First admin= data= ndis=1 norestart=0 skipask=0 hard=0 ndisonly=0 whitelist="},
      {L"x.exe /norestart=no", "run=1 zor= admin= data= ndis=1 norestart=1 skipask=0 hard=0 ndisonly=0 whitelist="},
      {L"x.exe /skipask", "run=1 zor= admin= data= ndis=1 norestart=0 skipask=1 hard=0 ndisonly=0 whitelist="},
      {L"x.exe -silent", "run=1 zor= admin= data= ndis=1 norestart=0 skipask=1 hard=0 ndisonly=0 whitelist="},
      {L"x.exe /DeleteDirForceHard /NdisOnly",
       "run=1 zor= admin= data= ndis=1 norestart=0 skipask=0 hard=1 ndisonly=1 whitelist="},
      {L"x.exe /whitelist=\"C:\\lists\\white list.txt\" /whitelist=D:\\other.txt",
       "run=1 zor= admin= data= ndis=1 norestart=0 skipask=0 hard=0 ndisonly=0 whitelist=C:\\lists\\white list.txt"},
      // A value is never an option name: "skipask" here is the folder.
      {L"x.exe /zordir=skipask", "run=1 zor=skipask admin= data= ndis=1 norestart=0 skipask=0 hard=0 ndisonly=0 whitelist="},
      {L"\"C:\\Program Files\\zr\\zorremover.exe\" /run_number=2 /zordir=\"D:\\ZOR\" /zordatadir=\"D:\\ZOR Data\" "
       L"/ndis_nextstep=3 /norestart",
       "run=2 zor=D:\\ZOR admin= data=D:\\ZOR Data ndis=3 norestart=1 skipask=0 hard=0 ndisonly=0 whitelist="},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.commandLine));
    EXPECT_EQ(Describe(Applied(row.commandLine)), row.expected);
  }
}

TEST(ApplyOptions, AFolderOptionWithoutValueEmptiesTheField) {
  RunParameters found;
  found.ZorDir = L"C:\\Program Files (x86)\\ZOR\\ZOR9";
  found.ZorDataDir = L"C:\\ProgramData\\ZOR9";
  found.ZorAdminDir = L"C:\\Admin";
  const RunParameters p = Applied(L"x.exe /zordir /zordatadir=\"\"", found);
  EXPECT_EQ(p.ZorDir, L"");
  EXPECT_EQ(p.ZorDataDir, L"");
  EXPECT_EQ(p.ZorAdminDir, L"C:\\Admin");
}

TEST(ApplyOptions, LeavesFieldsWithoutAnOptionAsTheyWere) {
  RunParameters before;
  before.RunNumber = 2;
  before.NdisNextStep = 5;
  before.ZorDir = L"C:\\ZOR";
  before.SkipAsk = true;
  before.RestartCounter = 3;
  before.System32Dir = L"C:\\Windows\\System32";
  const RunParameters p = Applied(L"x.exe /ndisonly", before);
  EXPECT_EQ(Describe(p), "run=2 zor=C:\\ZOR admin= data= ndis=5 norestart=0 skipask=1 hard=0 ndisonly=1 whitelist=");
  EXPECT_EQ(p.RestartCounter, 3);
  EXPECT_EQ(p.System32Dir, L"C:\\Windows\\System32");
}

}  // namespace
}  // namespace zor

namespace zor {
namespace {

TEST(UnknownOptionNames, NamesEveryOptionNoRunReadsAndNothingElse) {
  const struct {
    const wchar_t* commandLine;
    std::vector<std::string> unknown;
  } rows[] = {
      {L"", {}},
      {L"zorremover.exe", {}},
      {L"zorremover.exe /silent /SkipAsk /norestart /zordir=C:\\a /zoradmindir=b /zordatadir=c /run_number=2 "
       L"/ndis_nextstep=3 /deletedirforcehard /ndisonly /whitelist=w.txt /help -h /?",
       {}},
      {L"zorremover.exe /frobnicate --zordir=C:\\ZOR /silent", {"frobnicate", "-zordir"}},
      {L"zorremover.exe /zordri=C:\\ZOR /datafile=x", {"zordri", "datafile"}},
      // The program's own path is no option, whatever it holds.
      {L"C:\\my-tools\\zorremover.exe /silent", {}},
      {L"\"C:\\Program Files\\my-tools\\zorremover.exe\" -x", {"x"}},
      {L"zorremover.exe /zordir=\"C:\\a -b /c\" /silent", {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.commandLine));
    std::vector<std::wstring> names{L"sentinel"};
    ASSERT_EQ(UnknownOptionNames(row.commandLine, names), status::Success);
    std::vector<std::string> narrowed;
    for (const std::wstring& name : names) narrowed.push_back(Narrow(name));
    EXPECT_EQ(narrowed, row.unknown);
  }
}

TEST(UnknownOptionNames, AnUnbalancedLineFailsAndLeavesTheListAlone) {
  std::vector<std::wstring> names{L"sentinel"};
  EXPECT_EQ(UnknownOptionNames(L"zorremover.exe /zordir=\"C:\\x /silent", names), status::UnbalancedQuotes);
  EXPECT_EQ(names, std::vector<std::wstring>{L"sentinel"});
}

}  // namespace
}  // namespace zor
