#include "logging/rolling_file_appender.h"

#include "foundation/format_text.h"
#include "logging/log_file_names.h"
#include "platform/file_operations.h"

namespace zor {

StatusCode RollingFileAppender::ReadConfiguration(const ConfigSection& section) {
  const StatusCode checked = CheckAppenderType(section, {L"RollingFile"});
  if (IsFailure(checked)) return checked;
  RollingSettings settings = settings_;
  StatusCode result = ReadRollingSettings(section, settings);
  if (IsFailure(result)) return result;
  result = ReadFileKeys(section, L"RollingFile");
  if (IsFailure(result)) return result;
  // Fewer files to keep: the surplus goes now, not at the next roll.
  for (std::uint32_t number = settings.filesCount + 1; number <= settings_.filesCount && number != 0; ++number) {
    DeleteLogFile(NumberedFileName(FullPath(), number));
  }
  settings_ = settings;
  return status::Success;
}

void RollingFileAppender::WriteOwnConfiguration(ConfigSection& section) const {
  FileAppender::WriteOwnConfiguration(section);
  section.SetValue(L"Size", FormatText(L"%u", settings_.size));
  section.SetValue(L"FilesCount", FormatText(L"%u", settings_.filesCount));
}

StatusCode RollingFileAppender::WriteRecordText(std::wstring_view text) {
  const StatusCode written = WriteRaw(text);
  if (IsFailure(written)) return written;
  // The record is in the file: whatever rolling does now cannot lose it.
  RollIfLarge();
  return status::Success;
}

void RollingFileAppender::RollIfLarge() {
  std::uint64_t size = 0;
  if (IsFailure(File().Size(size)) || size <= settings_.size) return;
  CloseUnlocked();
  // Another process that holds the lock is rolling right now; the next
  // write opens the log it leaves behind.
  if (!TakeRollLock()) return;
  // The size again, now under the lock: another process may have rolled first.
  if (!IsFailure(OpenUnlocked())) {
    if (!IsFailure(File().Size(size)) && size >= settings_.size) RollFiles();
    CloseUnlocked();
  }
  ReleaseRollLock();
}

void RollingFileAppender::RollFiles() {
  const std::wstring& path = FullPath();
  const std::uint32_t count = settings_.filesCount;
  if (count == 0) {
    DeleteLogFile(path);
    return;
  }
  DeleteLogFile(NumberedFileName(path, count));
  for (std::uint32_t number = count - 1; number >= 1; --number) {
    RenameFile(NumberedFileName(path, number), NumberedFileName(path, number + 1), false);
  }
  if (IsFailure(RenameFile(path, NumberedFileName(path, 1), false))) DeleteLogFile(path);
}

}  // namespace zor
