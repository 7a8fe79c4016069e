#pragma once
// A named source of log records in the logger tree. Callers compare the
// threshold with a message's severity first and build the message only
// when it passes; Log itself writes whatever it is given.
#include <atomic>
#include <source_location>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/format_text.h"
#include "foundation/status_codes.h"
#include "logging/log_argument.h"
#include "logging/log_record.h"
#include "logging/log_status.h"
#include "logging/severity.h"
#include "platform/process_lock.h"

namespace zor {

class Appender;
class LogManager;

class Logger {
 public:
  Logger(LogManager& manager, std::wstring name, Logger* parent, std::uint32_t options)
      : manager_(manager), name_(std::move(name)), parent_(parent), options_(options) {}
  Logger(const Logger&) = delete;
  Logger& operator=(const Logger&) = delete;

  StatusCode Initialise() { return lock_.Valid() ? status::Success : status::LockingUnavailable; }

  const std::wstring& Name() const { return name_; }
  Severity Threshold() const { return threshold_.load(std::memory_order_relaxed); }
  bool IsEnabledFor(Severity severity) const { return Threshold() <= severity; }
  bool Additive() const { return additive_.load(std::memory_order_relaxed); }
  Logger* Parent() const { return parent_; }
  std::uint32_t Options() const { return options_; }
  std::vector<Appender*> Appenders();

  // Builds a record and passes it to this logger's appenders now, then up
  // the tree while loggers are additive. A failing appender does not stop
  // the others; the first failure, as a warning, is the result and keeps
  // the record from the parent.
  StatusCode Log(Severity severity, std::wstring_view message, std::wstring_view fileId, std::uint32_t line,
                 std::uint32_t buildNumber, std::uint32_t revision, std::uint32_t product, std::uint32_t protection = 0,
                 const LogArgumentList& arguments = {});
  // The same record, handed to the manager's worker thread.
  StatusCode LogAsync(Severity severity, std::wstring_view message, std::wstring_view fileId, std::uint32_t line,
                      std::uint32_t buildNumber, std::uint32_t revision, std::uint32_t product,
                      std::uint32_t protection = 0, const LogArgumentList& arguments = {});

  // Steps of the dispatch that start at this logger.
  StatusCode Dispatch(const LogRecord& record);

  // For the configuration.
  void Configure(Severity threshold, bool additive, std::vector<Appender*> appenders);

 private:
  LogRecord MakeRecord(Severity severity, std::wstring_view message, std::wstring_view fileId, std::uint32_t line,
                       std::uint32_t buildNumber, std::uint32_t revision, std::uint32_t product,
                       std::uint32_t protection, const LogArgumentList& arguments) const;

  LogManager& manager_;
  std::wstring name_;
  Logger* parent_;
  std::uint32_t options_;
  std::atomic<Severity> threshold_{severity::Info};
  // A logger no section has configured passes records on, as one whose
  // section leaves the key out.
  std::atomic<bool> additive_{true};
  ProcessLock lock_;
  std::vector<Appender*> appenders_;
};

// Where a log call comes from: the calling source file's id and the line.
// Each file makes its sites with a `Here()` whose default argument,
// std::source_location::current(), is evaluated at the call.
struct LogSite {
  std::wstring_view fileId;
  std::uint32_t line;
};

// The build identity every record of the program carries.
struct BuildStamp {
  std::uint32_t buildNumber = 0;
  std::uint32_t revision = 0;
  std::uint32_t product = 0;
};
void SetBuildStamp(const BuildStamp& stamp);
BuildStamp CurrentBuildStamp();

// How many messages were dropped because building or handing them on threw;
// a log call never throws.
std::uint64_t DroppedLogMessages() noexcept;
void CountDroppedLogMessage() noexcept;

// The one entry that formats and logs: tests the threshold, and only then
// formats ("%s", "%d", "%x", "%08x") and logs. A message that cannot be made
// or handed on is counted and dropped (GenericFailure); the logging result
// is for callers that care, most do not.
template <typename... Args>
StatusCode LogMessage(Logger& logger, Severity severity, const LogSite& site, std::wstring_view format,
                      const Args&... args) noexcept {
  if (!logger.IsEnabledFor(severity)) return status::Success;
  try {
    const BuildStamp stamp = CurrentBuildStamp();
    return logger.Log(severity, FormatText(format, args...), site.fileId, site.line, stamp.buildNumber,
                      stamp.revision, stamp.product);
  } catch (...) {
    CountDroppedLogMessage();
    return status::GenericFailure;
  }
}

}  // namespace zor
