#pragma once
// A logger for an engine under test: a manager of its own whose appender
// keeps every record in memory as "SEVERITY message", with the file id of
// the source file that logged it kept apart.
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "logging/log_manager.h"
#include "tests/support/line_checks.h"

namespace zor::test {

class MemoryAppender;

class EngineLog {
 public:
  EngineLog();
  Logger* logger() const { return logger_; }
  // The lines logged since the last call, oldest first.
  std::vector<std::string> TakeLines();
  // The lines not yet taken, which stay.
  std::vector<std::string> Lines() const;
  // Those of one severity, without it.
  std::vector<std::string> Lines(std::string_view severity) const;
  bool Has(const std::string& line) const;
  // Every file id seen by TakeLines so far.
  const std::set<std::string>& FileIds() const { return fileIds_; }

 private:
  std::unique_ptr<LogManager> manager_;
  Logger* logger_ = nullptr;
  MemoryAppender* memory_ = nullptr;
  std::set<std::string> fileIds_;
};

}  // namespace zor::test
