// The record of an unfinished run in the real registry: what a run writes,
// what the next one reads back from records of every shape, and what goes
// when the run is finished.
#include "app/unfinished_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/run_context.h"
#include "platform/native_api.h"
#include "platform/registry_key.h"
#include "tests/app/run_record_support.h"
#include "tests/logging/logging_test_support.h"
#include "tests/platform/registry_test_support.h"
#include "tests/support/line_checks.h"

namespace zor {
namespace {

using test::Joined;
using test::ScopedRunRecord;

constexpr wchar_t kProgramFolder[] = L"C:\\Program Files (x86)\\ZOR\\ZOR10";
constexpr wchar_t kAdminFolder[] = L"C:\\Program Files (x86)\\ZOR\\ZOR10 Admin";
constexpr wchar_t kDataFolder[] = L"C:\\ProgramData\\ZOR10";

struct LoggedContext {
  test::TestFolder folder;
  test::CapturedLog log{folder, L"record.log"};
  RunContext context;

  LoggedContext() { context.logger = log.logger(); }
  std::vector<std::string> Lines() {
    context.logger = nullptr;
    return log.Lines();
  }
};

NTSTATUS NTAPI DeniedSetValue(HANDLE, PUNICODE_STRING, ULONG, ULONG, const void*, ULONG) { return nt::AccessDenied; }
NTSTATUS NTAPI DeniedDeleteKey(HANDLE) { return nt::AccessDenied; }
NTSTATUS NTAPI DeniedFlushKey(HANDLE) { return nt::AccessDenied; }

// The full names of the keys flushed, in order.
std::vector<std::wstring> g_flushed;
NTSTATUS NTAPI RecordingFlushKey(HANDLE key) {
  std::wstring name;
  g_flushed.push_back(IsFailure(QueryKeyName(key, name)) ? L"(unnamed)" : name);
  return nt::Success;
}

TEST(UnfinishedRun, RecordsTheThreeFoldersAndDropsWhatAnOlderRecordHeldForAnEmptyOne) {
  const struct {
    const char* name;
    std::wstring older[3];  // a record already there, as an earlier run left it
    std::wstring folders[3];
    std::string expected[3];
  } rows[] = {
      {"all three, no older record",
       {L"", L"", L""},
       {kProgramFolder, kAdminFolder, kDataFolder},
       {"C:\\Program Files (x86)\\ZOR\\ZOR10", "C:\\Program Files (x86)\\ZOR\\ZOR10 Admin", "C:\\ProgramData\\ZOR10"}},
      {"older folders replaced, an administration folder this run has not",
       {L"D:\\Old", L"D:\\Old Admin", L"D:\\Old Data"},
       {kProgramFolder, L"", kDataFolder},
       {"C:\\Program Files (x86)\\ZOR\\ZOR10", "(none)", "C:\\ProgramData\\ZOR10"}},
      {"no folder at all", {L"", L"", L""}, {L"", L"", L""}, {"(none)", "(none)", "(none)"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ScopedRunRecord record;
    if (!row.older[0].empty()) {
      ASSERT_TRUE(ScopedRunRecord::Write(row.older[0], row.older[1], row.older[2]));
    }
    LoggedContext run;
    run.context.parameters.ZorDir = row.folders[0];
    run.context.parameters.ZorAdminDir = row.folders[1];
    run.context.parameters.ZorDataDir = row.folders[2];

    RecordUnfinishedRun(run.context);

    EXPECT_TRUE(ScopedRunRecord::Present());
    EXPECT_EQ(ScopedRunRecord::Value(L"ZorDir"), row.expected[0]);
    EXPECT_EQ(ScopedRunRecord::Value(L"ZorAdminDir"), row.expected[1]);
    EXPECT_EQ(ScopedRunRecord::Value(L"ZorDataDir"), row.expected[2]);
    // Nowhere else: not in the 32-bit view, where the product's keys lie.
    EXPECT_FALSE(test::KeyPresent(HKEY_LOCAL_MACHINE, ScopedRunRecord::Key(), KEY_WOW64_32KEY));
    EXPECT_EQ(run.Lines(), std::vector<std::string>{
                               "DEBUG The product folders of this run are recorded in "
                               "HKLM\\SOFTWARE\\ZorRemover\\UnfinishedRun"});
  }
}

// The record must outlive a crash of the machine, not only of the run: it
// goes to disk before the run goes on.
TEST(UnfinishedRun, TheRecordIsFlushedToDiskOnceWritten) {
  ScopedRunRecord record;
  LoggedContext run;
  run.context.parameters.ZorDir = kProgramFolder;
  g_flushed.clear();
  {
    test::SwappedEntry swap(NativeChanges().ZwFlushKey, &RecordingFlushKey);
    RecordUnfinishedRun(run.context);
  }
  ASSERT_EQ(g_flushed.size(), 1u);
  EXPECT_TRUE(test::SameName(g_flushed[0], test::NativeName(HKEY_LOCAL_MACHINE, ScopedRunRecord::Key(),
                                                            KEY_WOW64_64KEY)))
      << test::Narrow(g_flushed[0]);
  EXPECT_EQ(ScopedRunRecord::Value(L"ZorDir"), "C:\\Program Files (x86)\\ZOR\\ZOR10");
}

TEST(UnfinishedRun, ARecordThatCannotBeWrittenOrFlushedIsAWarningOnly) {
  const struct {
    const char* name;
    bool denyWrite;
    std::string value;  // ZorDir afterwards
  } rows[] = {
      {"no value written", true, "(none)"},
      {"written, not flushed", false, "C:\\Program Files (x86)\\ZOR\\ZOR10"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ScopedRunRecord record;
    LoggedContext run;
    run.context.parameters.ZorDir = kProgramFolder;
    if (row.denyWrite) {
      test::SwappedEntry swap(NativeChanges().ZwSetValueKey, &DeniedSetValue);
      RecordUnfinishedRun(run.context);
    } else {
      test::SwappedEntry swap(NativeChanges().ZwFlushKey, &DeniedFlushKey);
      RecordUnfinishedRun(run.context);
    }
    EXPECT_EQ(ScopedRunRecord::Value(L"ZorDir"), row.value);
    EXPECT_EQ(run.Lines(), std::vector<std::string>{
                               "WARN The product folders of this run could not be recorded in "
                               "HKLM\\SOFTWARE\\ZorRemover\\UnfinishedRun (error: e0010058); a run stopped from "
                               "here on may leave them behind"});
  }
}

TEST(UnfinishedRun, WithoutARecordNothingIsReadAndNothingLogged) {
  ScopedRunRecord record;
  LoggedContext run;
  RecordedFolders folders{L"sentinel", L"sentinel", L"sentinel"};
  EXPECT_FALSE(ReadUnfinishedRun(run.context, folders));
  EXPECT_EQ(folders.ZorDir, L"sentinel");
  EXPECT_EQ(folders.ZorAdminDir, L"sentinel");
  EXPECT_EQ(folders.ZorDataDir, L"sentinel");
  EXPECT_TRUE(run.Lines().empty());
}

// Only a REG_SZ without a NUL inside names a folder; a record of any other
// shape costs the folder, never the run.
TEST(UnfinishedRun, ReadsBackEveryShapeOfValue) {
  const std::wstring withNul = std::wstring(L"C:\\ZOR") + L'\0' + L"\\Windows";
  const struct {
    const char* name;
    DWORD type;
    std::wstring data;  // stored as its UTF-16LE bytes, without an added terminator
    std::wstring expected;
    bool warned;
  } rows[] = {
      {"a folder", REG_SZ, std::wstring(kDataFolder) + L'\0', kDataFolder, false},
      {"a folder without its terminator", REG_SZ, kDataFolder, kDataFolder, false},
      {"an empty text", REG_SZ, std::wstring(1, L'\0'), L"", false},
      {"a NUL inside", REG_SZ, withNul + L'\0', L"", true},
      {"a text to expand", REG_EXPAND_SZ, L"%ProgramData%\\ZOR10", L"", true},
      {"a list", REG_MULTI_SZ, std::wstring(kDataFolder) + L'\0' + L'\0', L"", true},
      {"a number", REG_DWORD, std::wstring(2, L'\0'), L"", true},
      {"bytes", REG_BINARY, L"ZOR", L"", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ScopedRunRecord record;
    ASSERT_TRUE(ScopedRunRecord::Write(kProgramFolder, L"", L""));
    ASSERT_TRUE(test::WriteValue(HKEY_LOCAL_MACHINE, ScopedRunRecord::Key(), L"ZorDataDir", row.type,
                                 row.data.data(), static_cast<DWORD>(row.data.size() * sizeof(wchar_t)),
                                 KEY_WOW64_64KEY));
    LoggedContext run;
    RecordedFolders folders;
    EXPECT_TRUE(ReadUnfinishedRun(run.context, folders));
    EXPECT_EQ(test::Narrow(folders.ZorDir), test::Narrow(kProgramFolder));
    EXPECT_EQ(folders.ZorAdminDir, L"");  // missing: no line
    EXPECT_EQ(test::Narrow(folders.ZorDataDir), test::Narrow(row.expected));
    const std::vector<std::string> lines = run.Lines();
    if (row.warned) {
      EXPECT_EQ(lines, std::vector<std::string>{"WARN The value ZorDataDir of "
                                                "HKLM\\SOFTWARE\\ZorRemover\\UnfinishedRun is no folder and is "
                                                "ignored"});
    } else {
      EXPECT_TRUE(lines.empty()) << Joined(lines);
    }
  }
}

TEST(UnfinishedRun, ForgettingRemovesTheRecordAndTheRemoversKeyOnlyWhenNothingElseIsInIt) {
  const struct {
    const char* name;
    const wchar_t* otherValue;   // in the remover's key beside the record
    const wchar_t* otherSubkey;  // below the remover's key beside the record
    bool recordSubkey;           // the record holds a subkey of its own
  } rows[] = {
      {"the record alone", nullptr, nullptr, false},
      {"a record of another shape, with a subkey", nullptr, nullptr, true},
      {"another value of the remover's", L"Settings", nullptr, false},
      {"another key of the remover's", nullptr, L"Settings", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ScopedRunRecord record;
    ASSERT_TRUE(ScopedRunRecord::Write(kProgramFolder, kAdminFolder, kDataFolder));
    const std::wstring remover = ScopedRunRecord::RemoverKey();
    if (row.otherValue) {
      ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, remover, row.otherValue, L"kept", KEY_WOW64_64KEY));
    }
    if (row.otherSubkey) {
      ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, remover + L"\\" + row.otherSubkey, L"V", L"kept",
                                    KEY_WOW64_64KEY));
    }
    if (row.recordSubkey) {
      ASSERT_TRUE(test::MakeKey(HKEY_LOCAL_MACHINE, ScopedRunRecord::Key() + L"\\Inner", KEY_WOW64_64KEY));
    }
    LoggedContext run;

    ForgetUnfinishedRun(run.context);

    EXPECT_FALSE(ScopedRunRecord::Present());
    const bool othersThere = row.otherValue || row.otherSubkey;
    EXPECT_EQ(test::KeyPresent(HKEY_LOCAL_MACHINE, remover, KEY_WOW64_64KEY), othersThere);
    if (row.otherValue) {
      EXPECT_EQ(test::ReadString(HKEY_LOCAL_MACHINE, remover, row.otherValue, KEY_WOW64_64KEY), L"kept");
    }
    if (row.otherSubkey) {
      EXPECT_EQ(test::ReadString(HKEY_LOCAL_MACHINE, remover + L"\\" + row.otherSubkey, L"V", KEY_WOW64_64KEY),
                L"kept");
    }
    EXPECT_EQ(run.Lines(), std::vector<std::string>{
                               "DEBUG The record HKLM\\SOFTWARE\\ZorRemover\\UnfinishedRun is removed: the run is "
                               "finished"});
  }
}

TEST(UnfinishedRun, ForgettingWithoutARecordTouchesNothing) {
  ScopedRunRecord record;
  // The remover's key alone, empty: not the record, so it stays.
  ASSERT_TRUE(test::MakeKey(HKEY_LOCAL_MACHINE, ScopedRunRecord::RemoverKey(), KEY_WOW64_64KEY));
  LoggedContext run;
  ForgetUnfinishedRun(run.context);
  EXPECT_TRUE(test::KeyPresent(HKEY_LOCAL_MACHINE, ScopedRunRecord::RemoverKey(), KEY_WOW64_64KEY));
  EXPECT_TRUE(run.Lines().empty());
}

TEST(UnfinishedRun, ARecordThatCannotBeRemovedIsAWarningOnly) {
  ScopedRunRecord record;
  ASSERT_TRUE(ScopedRunRecord::Write(kProgramFolder, L"", kDataFolder));
  LoggedContext run;
  {
    test::SwappedEntry swap(NativeChanges().ZwDeleteKey, &DeniedDeleteKey);
    ForgetUnfinishedRun(run.context);
  }
  EXPECT_EQ(ScopedRunRecord::Value(L"ZorDir"), "C:\\Program Files (x86)\\ZOR\\ZOR10");
  EXPECT_EQ(run.Lines(), std::vector<std::string>{
                             "WARN The record HKLM\\SOFTWARE\\ZorRemover\\UnfinishedRun could not be removed "
                             "(error: e0010058); the next run takes its folders from it"});
}

}  // namespace
}  // namespace zor
