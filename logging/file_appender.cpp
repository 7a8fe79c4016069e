#include "logging/file_appender.h"

#include "logging/log_status.h"

namespace zor {

StatusCode FileAppender::ReadFileKeys(const ConfigSection& section, std::wstring_view ownType) {
  const StatusCode checked = CheckAppenderType(section, {ownType});
  if (IsFailure(checked)) return checked;
  FileSettings settings;
  StatusCode result = ReadFileSettings(section, settings);
  if (IsFailure(result)) return result;
  std::wstring fullPath;
  result = FullLogPath(logFolder_, settings.fileName, fullPath);
  if (IsFailure(result)) return result;
  if (fullPath != fullPath_) lock_.Close();
  settings_ = std::move(settings);
  fullPath_ = std::move(fullPath);
  return status::Success;
}

StatusCode FileAppender::ReadConfiguration(const ConfigSection& section) {
  // A "SharedFile" section fails the type check: this program shares its
  // logs only through the rolling appenders' lock file.
  return ReadFileKeys(section, L"File");
}

void FileAppender::WriteOwnConfiguration(ConfigSection& section) const {
  section.SetValue(L"FileName", settings_.fileName);
  section.SetValue(L"ImmediateWrite", settings_.immediateWrite ? L"true" : L"false");
}

StatusCode FileAppender::OpenOutput() {
  if (fullPath_.empty()) return status::ConfigNotFound;
  if (IsRolling()) OpenLockFile();
  return file_.Open(fullPath_, IsRolling());
}

StatusCode FileAppender::CloseOutput() {
  file_.Close();
  return status::Success;
}

StatusCode FileAppender::WriteRaw(std::wstring_view text) {
  if (!file_.IsOpen()) return status::InvalidArgument;
  // Writes of processes that share a rolling log take turns: appending at
  // the end is not one indivisible step on every file system, and a roll
  // must not happen halfway through a line.
  const bool locked = IsRolling() && !holdingRollLock_ && !IsFailure(lock_.LockForWrite());
  StatusCode written = file_.AppendLine(text);
  if (!IsFailure(written) && settings_.immediateWrite) written = file_.Flush();
  if (locked) lock_.UnlockForWrite();
  return written;
}

StatusCode FileAppender::ClearOutput() {
  if (IsRolling()) return status::Success;
  const StatusCode truncated = file_.Truncate();
  if (IsFailure(truncated) || !settings_.immediateWrite) return truncated;
  return file_.Flush();
}

void FileAppender::OpenLockFile() {
  if (!lock_.IsOpen() && !fullPath_.empty()) lock_.Open(fullPath_ + L".lock");
}

bool FileAppender::TakeRollLock() {
  const StatusCode locked = lock_.LockWhole();
  if (!IsFailure(locked)) {
    holdingRollLock_ = true;
    return true;
  }
  return locked == status::NotSupported || locked == status::InvalidOperation || locked == status::LockingUnavailable;
}

void FileAppender::ReleaseRollLock() {
  if (holdingRollLock_) lock_.UnlockWhole();
  holdingRollLock_ = false;
}

}  // namespace zor
