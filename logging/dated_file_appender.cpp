#include "logging/dated_file_appender.h"

#include <algorithm>
#include <vector>

#include "foundation/format_text.h"
#include "logging/log_file_names.h"
#include "logging/log_time.h"
#include "platform/directory_lister.h"
#include "platform/file_operations.h"

namespace zor {
namespace {

// How many files of one day a roll looks through for a free name.
constexpr std::uint32_t kMaxSameDayNames = 1000;

struct DatedFile {
  std::int64_t time;
  std::wstring path;
};

std::int64_t TimeOf(const FILETIME& time) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

}  // namespace

StatusCode DatedFileAppender::ReadConfiguration(const ConfigSection& section) {
  const StatusCode checked = CheckAppenderType(section, {L"RollingDateFile"});
  if (IsFailure(checked)) return checked;
  DatedSettings settings;
  StatusCode result = ReadDatedSettings(section, settings);
  if (IsFailure(result)) return result;
  result = ReadFileKeys(section, L"RollingDateFile");
  if (IsFailure(result)) return result;
  settings_ = settings;
  return status::Success;
}

void DatedFileAppender::WriteOwnConfiguration(ConfigSection& section) const {
  FileAppender::WriteOwnConfiguration(section);
  section.SetValue(L"FilesCount", FormatText(L"%u", settings_.filesCount));
  section.SetValue(L"DaysCount", FormatText(L"%u", settings_.daysCount));
}

StatusCode DatedFileAppender::OpenOutput() {
  OpenLockFile();
  const std::int64_t now = clock_();
  std::int64_t created = 0;
  std::int64_t written = 0;
  const bool exists = !IsFailure(QueryLogFileTimes(FullPath(), created, written));
  if (exists && !SameUtcDay(created, now)) RollUnderLock(now);
  // A new log must carry today's date as its creation time; when that
  // cannot be arranged the open below still creates the file.
  if (IsFailure(QueryLogFileTimes(FullPath(), created, written))) CreateLogFileAt(FullPath(), now);
  const StatusCode opened = FileAppender::OpenOutput();
  if (IsFailure(opened)) return opened;
  nextRoll_ = NextUtcMidnight(now) + kTimeUnitsPerMillisecond;
  return status::Success;
}

StatusCode DatedFileAppender::WriteRecordText(std::wstring_view text) {
  const std::int64_t now = clock_();
  if (now >= nextRoll_) {
    CloseUnlocked();
    RollUnderLock(now);
    const StatusCode reopened = OpenUnlocked();
    if (IsFailure(reopened)) return reopened;
  }
  return WriteRaw(text);
}

void DatedFileAppender::RollUnderLock(std::int64_t now) {
  if (!TakeRollLock()) return;
  Roll(now);
  ReleaseRollLock();
}

void DatedFileAppender::Roll(std::int64_t now) {
  std::int64_t created = 0;
  std::int64_t written = 0;
  // Under the lock the log is looked at again: another process may have
  // rolled it already and started today's.
  if (!IsFailure(QueryLogFileTimes(FullPath(), created, written)) && !SameUtcDay(created, now)) {
    // Never over an existing dated file, which would lose a day: when that
    // day's name is taken (a log rolled by hand, a clock set back), the next
    // free numbered name. Giving up instead would keep the old day's file
    // growing and every later roll trying the same name.
    const TimeParts day = SplitTime(created);
    for (std::uint32_t number = 0; number < kMaxSameDayNames; ++number) {
      const StatusCode renamed = RenameFile(FullPath(), DatedFileName(FullPath(), day, number), true);
      if (!IsFailure(renamed) || IsFailure(FileExists(DatedFileName(FullPath(), day, number)))) break;
    }
  }
  CleanUp(now);
}

void DatedFileAppender::CleanUp(std::int64_t now) {
  const std::wstring& path = FullPath();
  const std::wstring folder(FolderOfPath(path));
  const std::wstring mask = DatedFileMask(path);
  std::vector<DatedFile> files;
  DirectoryLister lister;
  StatusCode listed = lister.OpenListing(folder, mask.c_str(), ListFiles);
  while (listed == status::Success) {
    FolderEntry entry;
    std::wstring entryPath;
    if (!IsFailure(lister.CurrentEntry(entry)) && IsDatedFileName(path, entry.name) &&
        !IsFailure(lister.EntryPath(entryPath))) {
      files.push_back({TimeOf(entry.lastWriteTime), std::move(entryPath)});
    }
    listed = lister.NextEntry();
  }
  lister.CloseListing();
  std::sort(files.begin(), files.end(), [](const DatedFile& a, const DatedFile& b) {
    return a.time != b.time ? a.time < b.time : a.path < b.path;
  });

  if (settings_.daysCount == 0) {
    for (std::size_t i = 0; i + settings_.filesCount < files.size(); ++i) DeleteLogFile(files[i].path);
    return;
  }
  const std::int64_t oldest = now - static_cast<std::int64_t>(settings_.daysCount) * kTimeUnitsPerDay;
  for (const DatedFile& file : files) {
    if (file.time < oldest) DeleteLogFile(file.path);
  }
}

}  // namespace zor
