#pragma once
// The process's one log manager: the registries of loggers, appenders and
// layouts, the stored configuration, and the queue of asynchronous records.
// It is created on first use and lives until the process ends.
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/status_codes.h"
#include "logging/appender.h"
#include "logging/async_record_queue.h"
#include "logging/config_document.h"
#include "logging/layout_section.h"
#include "logging/logger.h"
#include "platform/process_lock.h"
#include "platform/native_types.h"

namespace zor {

// Makes an appender of a type the framework does not know itself.
using AppenderFactory = std::unique_ptr<Appender> (*)(std::wstring name);

class LogManager {
 public:
  // The manager, initialised on first use; null when that failed.
  static LogManager* Instance();
  // A manager of its own beside the process's, with its own loggers,
  // appenders and layouts; for tools and tests that must start empty.
  static std::unique_ptr<LogManager> CreateSeparate(StatusCode& result);
  ~LogManager();
  LogManager(const LogManager&) = delete;
  LogManager& operator=(const LogManager&) = delete;

  StatusCode Configure(ConfigTextSource& source);
  StatusCode Configure(std::wstring_view text);

  // The logger of that name, created with its missing ancestors; "root" in
  // any letter case is the root logger. Null only when memory runs out.
  Logger* GetLogger(std::wstring_view name);
  Logger& Root() { return *root_; }

  Appender* FindAppender(std::wstring_view name);
  const Layout* FindLayout(std::wstring_view name);
  // A copy of the stored configuration, parse errors included.
  ConfigDocument Document();
  // What the last configuration refused, one sentence each (an appender
  // name in a logger's "AddAppenders" that names no appender).
  std::vector<std::wstring> Refusals();

  void RegisterAppenderFactory(std::wstring_view typeName, AppenderFactory factory);
  std::wstring OpeningText();
  void SetOpeningText(std::wstring_view text);

  // Queues a copy of the record for the worker thread, which dispatches
  // records in the order they came.
  StatusCode Enqueue(Logger& logger, LogRecord record);
  // True when every queued record has been dispatched within the time.
  bool WaitForQueue(std::uint32_t milliseconds);

 private:
  LogManager() = default;
  StatusCode Initialise();
  Logger* FindOrCreateLogger(std::wstring_view name);
  StatusCode ApplyDocument();
  StatusCode ApplyAppenderSection(const ConfigSection& section);
  StatusCode ApplyLoggerSection(const ConfigSection& section);
  std::unique_ptr<Appender> MakeAppender(const std::wstring& name, const std::wstring& type);

  ProcessLock lock_;
  std::map<std::wstring, std::unique_ptr<Logger>, std::less<>> loggers_;
  std::unique_ptr<Logger> root_;
  std::map<std::wstring, std::unique_ptr<Appender>, std::less<>> appenders_;
  std::map<std::wstring, AppenderFactory, std::less<>> factories_;
  LayoutRegistry layouts_;
  ConfigDocument document_;
  std::vector<std::wstring> refusals_;
  bool configured_ = false;
  // Relative file names of appenders resolve against it; empty: the
  // current directory.
  std::wstring logFolder_;
  // Handed to every new logger: bit 0 clear, so typed arguments fill the
  // message text's placeholders and line breaks stay as they are.
  std::uint32_t loggerOptions_ = 6;
  std::atomic<std::shared_ptr<const std::wstring>> openingText_{std::make_shared<const std::wstring>()};

  // Last, so that it is destroyed first.
  AsyncRecordQueue queue_;
};

// The manager's operations for callers that do not keep it.
Logger* GetLogger(std::wstring_view name);
StatusCode Configure(std::wstring_view text);
StatusCode Configure(ConfigTextSource& source);
std::vector<std::wstring> ConfigurationRefusals();

}  // namespace zor
