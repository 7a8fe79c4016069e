#pragma once
// A file appender that rolls by day ("RollingDateFile"): the current day's
// records go to the log, and at the first write after midnight (UTC) the
// log becomes a dated file such as app.2024-05-06.log. FilesCount or
// DaysCount say how many dated files stay.
#include <cstdint>

#include "logging/file_appender.h"

namespace zor {

class DatedFileAppender : public FileAppender {
 public:
  using Clock = std::int64_t (*)();

  DatedFileAppender(std::wstring name, std::wstring logFolder)
      : FileAppender(std::move(name), L"RollingDateFile", std::move(logFolder)) {}

  const DatedSettings& Settings() const { return settings_; }
  // What the appender takes as the current time (the system clock unless
  // set); tests move it past midnight instead of waiting.
  void SetClock(Clock clock) { clock_ = clock ? clock : CurrentSystemTime; }
  std::int64_t NextRollTime() const { return nextRoll_; }

 protected:
  StatusCode ReadConfiguration(const ConfigSection& section) override;
  void WriteOwnConfiguration(ConfigSection& section) const override;
  StatusCode OpenOutput() override;
  StatusCode WriteRecordText(std::wstring_view text) override;
  bool IsRolling() const override { return true; }

 private:
  void RollUnderLock(std::int64_t now);
  void Roll(std::int64_t now);
  void CleanUp(std::int64_t now);

  DatedSettings settings_;
  Clock clock_ = CurrentSystemTime;
  std::int64_t nextRoll_ = 0;
};

}  // namespace zor
