#pragma once
// A file appender that rolls by size ("RollingFile"): when the log grows
// past Size it becomes log.1, log.1 becomes log.2 and so on, and at most
// FilesCount numbered files are kept.
#include "logging/file_appender.h"

namespace zor {

class RollingFileAppender : public FileAppender {
 public:
  RollingFileAppender(std::wstring name, std::wstring logFolder)
      : FileAppender(std::move(name), L"RollingFile", std::move(logFolder)) {}

  const RollingSettings& Settings() const { return settings_; }

 protected:
  StatusCode ReadConfiguration(const ConfigSection& section) override;
  void WriteOwnConfiguration(ConfigSection& section) const override;
  StatusCode WriteRecordText(std::wstring_view text) override;
  bool IsRolling() const override { return true; }

 private:
  void RollIfLarge();
  void RollFiles();

  RollingSettings settings_;
};

}  // namespace zor
