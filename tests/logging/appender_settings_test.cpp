#include "logging/appender_settings.h"

#include <gtest/gtest.h>

#include <string>

#include "logging/log_file_names.h"
#include "logging/log_status.h"

namespace zor {
namespace {

ConfigSection SectionFromText(const std::wstring& text) {
  const ConfigDocument document = ConfigDocument::FromText(L"[A]\n" + text);
  EXPECT_TRUE(document.Errors().empty());
  return *document.FindSection(L"A");
}

TEST(AppenderSettings, TheTypeMustNameTheAppendersOwnClass) {
  const struct {
    const wchar_t* text;
    StatusCode expected;
  } rows[] = {
      {L"AppenderType = File\n", status::Success},
      {L"AppenderType = SharedFile\n", status::AppenderTypeMismatch},
      {L"AppenderType = file\n", status::AppenderTypeMismatch},
      {L"Type = Appender\n", status::ConfigNotFound},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(CheckAppenderType(SectionFromText(row.text), {L"File"}), row.expected);
  }
  EXPECT_EQ(CheckAppenderType(SectionFromText(L"AppenderType = Syslog\n"), {L"Null", L"Syslog"}), status::Success);
  EXPECT_EQ(static_cast<std::uint32_t>(status::AppenderTypeMismatch), 0xE0010062u);

  AppenderKind kind = AppenderKind::Null;
  EXPECT_TRUE(AppenderKindFromName(L"RollingDateFile", kind));
  EXPECT_EQ(kind, AppenderKind::RollingDateFile);
  EXPECT_FALSE(AppenderKindFromName(L"rollingfile", kind));
  EXPECT_EQ(kind, AppenderKind::RollingDateFile);
}

TEST(AppenderSettings, CommonKeysHaveTheirDefaults) {
  const struct {
    const wchar_t* text;
    Severity breakSeverity;
    const wchar_t* layout;
    bool standardError;
  } rows[] = {
      {L"", severity::All, L"defaultLayout", false},
      {L"BreakSeverity = Info\nLayout = SimpleLayout\nTarget = System.out\n", severity::Info, L"SimpleLayout", false},
      {L"BreakSeverity = wArN\nTarget = System.err\n", severity::Warn, L"defaultLayout", true},
      {L"BreakSeverity = verbose\nTarget = system.out\n", severity::Info, L"defaultLayout", true},
      {L"BreakSeverity = off\n", severity::Off, L"defaultLayout", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    const ConfigSection section = SectionFromText(row.text);
    EXPECT_EQ(ReadBreakSeverity(section), row.breakSeverity);
    EXPECT_EQ(ReadLayoutName(section), row.layout);
    EXPECT_EQ(ReadTargetIsStandardError(section), row.standardError);
  }
}

TEST(AppenderSettings, FileKeys) {
  const struct {
    const wchar_t* text;
    StatusCode expected;
    const wchar_t* fileName;
    bool immediate;
  } rows[] = {
      {L"FileName = C:\\log.txt\n", status::Success, L"C:\\log.txt", false},
      {L"FileName = a.log\nImmediateWrite = true\n", status::Success, L"a.log", true},
      {L"FileName = a.log\nImmediateWrite = yes\n", status::Success, L"a.log", true},
      {L"FileName = a.log\nImmediateWrite = 1\n", status::Success, L"a.log", true},
      {L"FileName = a.log\nImmediateWrite = True\n", status::Success, L"a.log", false},
      {L"FileName = a.log\nImmediateWrite = on\n", status::Success, L"a.log", false},
      {L"ImmediateWrite = true\n", status::ConfigNotFound, L"unchanged", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    FileSettings settings{L"unchanged", true};
    EXPECT_EQ(ReadFileSettings(SectionFromText(row.text), settings), row.expected);
    EXPECT_EQ(settings.fileName, row.fileName);
    EXPECT_EQ(settings.immediateWrite, row.immediate);
  }
}

TEST(AppenderSettings, RollingCounts) {
  const struct {
    const wchar_t* text;
    StatusCode expected;
    std::uint64_t size;
    std::uint32_t filesCount;
  } rows[] = {
      {L"", status::Success, 1048576, 10},
      {L"Size = 100\nFilesCount = 2\n", status::Success, 100, 2},
      {L"Size = 0x200\nFilesCount = 0X0a\n", status::Success, 512, 10},
      {L"Size = 12kb\nFilesCount = 3 files\n", status::Success, 12, 3},
      {L"Size = kb\nFilesCount = 0\n", status::Success, 0, 0},
      {L"FilesCount = -1\n", status::InvalidArgument, 7, 7},
      {L"Size = -100\n", status::InvalidArgument, 7, 7},
      {L"FilesCount = 99999999999\n", status::Success, 1048576, 999999999},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    RollingSettings settings;
    if (row.expected != status::Success) settings = {7, 7};
    EXPECT_EQ(ReadRollingSettings(SectionFromText(row.text), settings), row.expected);
    EXPECT_EQ(settings.size, row.size);
    EXPECT_EQ(settings.filesCount, row.filesCount);
  }
}

TEST(AppenderSettings, DatedCountsExcludeEachOther) {
  const struct {
    const wchar_t* text;
    StatusCode expected;
    std::uint32_t filesCount;
    std::uint32_t daysCount;
  } rows[] = {
      {L"", status::Success, 0, 0},
      {L"FilesCount = 3\n", status::Success, 3, 0},
      {L"DaysCount = 0x7\n", status::Success, 0, 7},
      {L"FilesCount = 3\nDaysCount = 0\n", status::Success, 3, 0},
      {L"FilesCount = 3\nDaysCount = 7\n", status::InvalidArgument, 5, 5},
      {L"DaysCount = -7\n", status::InvalidArgument, 5, 5},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    DatedSettings settings{5, 5};
    EXPECT_EQ(ReadDatedSettings(SectionFromText(row.text), settings), row.expected);
    EXPECT_EQ(settings.filesCount, row.filesCount);
    EXPECT_EQ(settings.daysCount, row.daysCount);
  }
  EXPECT_EQ(static_cast<std::uint32_t>(status::InvalidArgument), 0xE0010002u);
}

TEST(LogFileNames, NumberedAndDatedNames) {
  const TimeParts may6{2024, 5, 6, 23, 59, 59, 999};
  const struct {
    const wchar_t* path;
    const wchar_t* numbered;
    const wchar_t* dated;
    const wchar_t* mask;
  } rows[] = {
      {L"C:\\Logs\\app.log", L"C:\\Logs\\app.log.2", L"C:\\Logs\\app.2024-05-06.log", L"app.*-*-*.log"},
      {L"C:\\Logs\\app", L"C:\\Logs\\app.2", L"C:\\Logs\\app.2024-05-06", L"app.*-*-*"},
      {L"C:\\my.logs\\app", L"C:\\my.logs\\app.2", L"C:\\my.logs\\app.2024-05-06", L"app.*-*-*"},
      {L"C:\\Logs\\app.tar.log", L"C:\\Logs\\app.tar.log.2", L"C:\\Logs\\app.tar.2024-05-06.log", L"app.tar.*-*-*.log"},
      {L"app.log", L"app.log.2", L"app.2024-05-06.log", L"app.*-*-*.log"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(NumberedFileName(row.path, 2), row.numbered);
    EXPECT_EQ(DatedFileName(row.path, may6), row.dated);
    EXPECT_EQ(DatedFileName(row.path, may6, 0), row.dated);
    EXPECT_EQ(DatedFileMask(row.path), row.mask);
  }
}

TEST(LogFileNames, OnlyRealDatesMakeADatedFile) {
  const struct {
    const wchar_t* name;
    bool dated;
  } rows[] = {
      {L"app.2024-05-06.log", true}, {L"APP.2024-05-06.LOG", true},    {L"app.2024-13-06.log", false},
      {L"app.2024-5-06.log", false}, {L"app.old-backup-x.log", false}, {L"app.2024-05-06.log.1", false},
      {L"app.log", false},           {L"xapp.2024-05-06.log", false},  {L"app.2024-05-06.txt", false},
      // The names a roll takes when the day's name is taken already.
      {L"app.2024-05-06-1.log", true}, {L"app.2024-05-06-27.log", true}, {L"app.2024-05-06-.log", false},
      {L"app.2024-05-06-01.log", false}, {L"app.2024-05-06-x.log", false}, {L"app.2024-05-06_2.log", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(IsDatedFileName(L"C:\\Logs\\app.log", row.name), row.dated);
  }
  EXPECT_TRUE(IsDatedFileName(L"C:\\Logs\\app", L"app.2024-05-06"));
  EXPECT_TRUE(IsDatedFileName(L"C:\\Logs\\app", L"app.2024-05-06-3"));
  EXPECT_EQ(DatedFileName(L"C:\\Logs\\app.log", TimeParts{2024, 5, 6, 0, 0, 0, 0}, 2), L"C:\\Logs\\app.2024-05-06-2.log");
  EXPECT_EQ(DatedFileName(L"C:\\Logs\\app", TimeParts{2024, 5, 6, 0, 0, 0, 0}, 2), L"C:\\Logs\\app.2024-05-06-2");
}

TEST(LogFileNames, RootedPathsAreUsedAsWritten) {
  const struct {
    const wchar_t* path;
    bool rooted;
  } rows[] = {
      {L"C:\\log.txt", true}, {L"c:log.txt", true},  {L"\\\\server\\share\\log.txt", true},
      {L"log.txt", false},    {L"\\log.txt", false}, {L"logs\\log.txt", false},
      {L"1:\\x", false},      {L"", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(HasRootedPath(row.path), row.rooted);
  }
}

}  // namespace
}  // namespace zor
