#pragma once
// Writes each record as a line of a UTF-16LE log file ("File"); also the
// base of the rolling appenders, which share their file with other
// processes through a lock file beside it.
#include <string>

#include "logging/appender.h"
#include "logging/appender_settings.h"
#include "logging/log_file.h"

namespace zor {

class FileAppender : public Appender {
 public:
  // `typeName` is the AppenderType the section must name; a "SharedFile"
  // section makes a file appender that refuses it. Relative file names are
  // joined to `logFolder`.
  FileAppender(std::wstring name, std::wstring_view typeName, std::wstring logFolder)
      : Appender(std::move(name), typeName), logFolder_(std::move(logFolder)) {}

  const std::wstring& FullPath() const { return fullPath_; }
  bool ImmediateWrite() const { return settings_.immediateWrite; }

 protected:
  StatusCode WriteRaw(std::wstring_view text) override;
  StatusCode OpenOutput() override;
  StatusCode CloseOutput() override;
  StatusCode ClearOutput() override;
  StatusCode ReadConfiguration(const ConfigSection& section) override;
  void WriteOwnConfiguration(ConfigSection& section) const override;

  // Type check and the keys every file appender has.
  StatusCode ReadFileKeys(const ConfigSection& section, std::wstring_view ownType);
  LogFile& File() { return file_; }

  // The rolling appenders share the file for deleting and keep a lock file.
  virtual bool IsRolling() const { return false; }
  // Opens the lock file the first time; without it the appender still logs,
  // and rolling goes on unlocked as on a system that cannot lock files.
  void OpenLockFile();
  // The lock file's whole-file lock, not waited for. False when the roll
  // must not go on because another process holds it; true also when
  // locking is not possible at all, and the roll then goes on unlocked.
  bool TakeRollLock();
  void ReleaseRollLock();

 private:
  std::wstring logFolder_;
  FileSettings settings_;
  std::wstring fullPath_;
  LogFile file_;
  LogLockFile lock_;
  bool holdingRollLock_ = false;
};

}  // namespace zor
