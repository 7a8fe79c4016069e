#include "logging/log_manager.h"

#include <vector>

#include "foundation/text_case.h"
#include "logging/appender_settings.h"
#include "logging/console_appender.h"
#include "logging/dated_file_appender.h"
#include "logging/file_appender.h"
#include "logging/log_status.h"
#include "logging/null_appender.h"
#include "logging/record_layout.h"
#include "logging/rolling_file_appender.h"
#include "platform/computer_name.h"
#include "platform/native_api.h"

namespace zor {
namespace {

enum InitialisationState : std::uint32_t { NotStarted = 0, Starting = 1, Ready = 2 };

std::atomic<std::uint32_t> g_state{NotStarted};
// Never destroyed: loggers and appenders live until the process ends, and
// the worker thread may still run while the process exits.
LogManager* g_manager = nullptr;

void YieldThread() {
  LARGE_INTEGER interval;
  interval.QuadPart = 0;
  Native().NtDelayExecution(FALSE, &interval);
}

}  // namespace

LogManager* LogManager::Instance() {
  for (;;) {
    std::uint32_t state = g_state.load(std::memory_order_acquire);
    if (state == Ready) return g_manager;
    if (state == NotStarted && g_state.compare_exchange_strong(state, Starting, std::memory_order_acq_rel)) {
      auto* manager = new (std::nothrow) LogManager();
      if (!manager || IsFailure(manager->Initialise())) {
        delete manager;
        g_state.store(NotStarted, std::memory_order_release);
        return nullptr;
      }
      g_manager = manager;
      g_state.store(Ready, std::memory_order_release);
      return manager;
    }
    YieldThread();
  }
}

std::unique_ptr<LogManager> LogManager::CreateSeparate(StatusCode& result) {
  std::unique_ptr<LogManager> manager(new (std::nothrow) LogManager());
  if (!manager) {
    result = status::OutOfMemory;
    return nullptr;
  }
  result = manager->Initialise();
  if (IsFailure(result)) return nullptr;
  return manager;
}

// The queue, the last member, goes first: its worker ends before any logger
// or appender it dispatches to.
LogManager::~LogManager() = default;

StatusCode LogManager::Initialise() {
  auto& api = Native();
  if (!api.RtlInitializeCriticalSection || !api.RtlEnterCriticalSection || !api.RtlLeaveCriticalSection ||
      !api.ZwCreateEvent) {
    return status::GenericFailure;
  }
  if (!lock_.Valid()) return status::LockingUnavailable;
  root_ = std::make_unique<Logger>(*this, L"root", nullptr, loggerOptions_);
  StatusCode result = root_->Initialise();
  if (IsFailure(result)) return result;
  return queue_.Initialise();
}

StatusCode LogManager::Configure(std::wstring_view text) {
  InMemoryConfigText source(text);
  return Configure(source);
}

StatusCode LogManager::Configure(ConfigTextSource& source) {
  ConfigDocument parsed;
  parsed.Parse(source);
  ProcessLockHold hold(lock_);
  if (!configured_) {
    document_ = std::move(parsed);
    configured_ = true;
  } else {
    document_.Merge(parsed);
  }
  return ApplyDocument();
}

StatusCode LogManager::ApplyDocument() {
  refusals_.clear();
  const ConfigSection* rootSection = document_.FindSection(L"root");
  std::vector<const ConfigSection*> layoutSections;
  std::vector<const ConfigSection*> appenderSections;
  std::vector<const ConfigSection*> loggerSections;
  if (rootSection) {
    // Accepted for older configurations; the framework makes no appenders
    // of its own that it could leave out.
    std::wstring ignored;
    rootSection->GetValue(L"DisableDefaultAppenders", ignored);
    loggerSections.push_back(rootSection);
  }
  if (layouts_.find(kDefaultLayoutName) == layouts_.end()) {
    layouts_.emplace(std::wstring(kDefaultLayoutName), std::make_unique<RecordLayout>(ComputerName));
  }
  for (const auto& [name, section] : document_.Sections()) {
    if (&section == rootSection) continue;
    std::wstring type;
    section.GetValue(L"Type", type);
    if (type == L"Layout") {
      layoutSections.push_back(&section);
    } else if (type == L"Appender") {
      appenderSections.push_back(&section);
    } else {
      loggerSections.push_back(&section);
    }
  }
  for (const ConfigSection* section : layoutSections) {
    const StatusCode applied = ApplyLayoutSection(layouts_, *section, ComputerName);
    if (IsFailure(applied)) return applied;
  }
  for (const ConfigSection* section : appenderSections) {
    const StatusCode applied = ApplyAppenderSection(*section);
    if (IsFailure(applied)) return applied;
  }
  for (const ConfigSection* section : loggerSections) {
    const StatusCode applied = ApplyLoggerSection(*section);
    if (IsFailure(applied)) return applied;
  }
  return status::Success;
}

std::unique_ptr<Appender> LogManager::MakeAppender(const std::wstring& name, const std::wstring& type) {
  AppenderKind kind;
  if (AppenderKindFromName(type, kind)) {
    switch (kind) {
      case AppenderKind::Console:
        return std::make_unique<ConsoleAppender>(name);
      case AppenderKind::File:
      case AppenderKind::SharedFile:
        return std::make_unique<FileAppender>(name, L"File", logFolder_);
      case AppenderKind::RollingFile:
        return std::make_unique<RollingFileAppender>(name, logFolder_);
      case AppenderKind::RollingDateFile:
        return std::make_unique<DatedFileAppender>(name, logFolder_);
      case AppenderKind::Null:
      case AppenderKind::Syslog:
        return std::make_unique<NullAppender>(name, type);
    }
  }
  const auto factory = factories_.find(type);
  if (factory == factories_.end()) return nullptr;
  return factory->second(name);
}

StatusCode LogManager::ApplyAppenderSection(const ConfigSection& section) {
  std::wstring type;
  StatusCode result = section.GetValue(L"AppenderType", type);
  if (IsFailure(result)) return result;
  auto found = appenders_.find(section.Name());
  if (found == appenders_.end()) {
    std::unique_ptr<Appender> made = MakeAppender(section.Name(), type);
    if (!made) return status::AppenderTypeUnknown;
    result = made->Initialise();
    if (IsFailure(result)) return result;
    found = appenders_.emplace(section.Name(), std::move(made)).first;
  }
  Appender& appender = *found->second;
  result = appender.Configure(section);
  if (IsFailure(result)) return result;
  const std::wstring layoutName = ReadLayoutName(section);
  const auto layout = layouts_.find(layoutName);
  if (layout == layouts_.end()) return status::ConfigNotFound;
  appender.SetLayout(layout->second.get(), layoutName);
  return status::Success;
}

StatusCode LogManager::ApplyLoggerSection(const ConfigSection& section) {
  Logger* logger = section.Name() == L"root" ? root_.get() : FindOrCreateLogger(section.Name());
  if (!logger) return status::OutOfMemory;

  std::wstring value;
  bool additive = true;
  if (!IsFailure(section.GetValue(L"Additive", value))) {
    additive = !(value == L"false" || value == L"no" || value == L"0");
  }
  Severity threshold = severity::Info;
  if (!IsFailure(section.GetValue(L"Severity", value))) threshold = SeverityFromName(value, severity::Off);

  std::vector<Appender*> appenders;
  StatusCode result = status::Success;
  std::wstring names;
  // Split at every ";" and ","; each part as written must name an
  // appender, so blanks around a name or an empty part are refused, and
  // said so, rather than passed over.
  if (!IsFailure(section.GetValue(L"AddAppenders", names)) && !names.empty()) {
    std::size_t start = 0;
    for (;;) {
      const std::size_t end = names.find_first_of(L";,", start);
      const std::wstring_view part =
          std::wstring_view(names).substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
      const auto appender = appenders_.find(part);
      if (appender == appenders_.end()) {
        refusals_.push_back(L"Logger '" + section.Name() + L"': AddAppenders \"" + names + L"\" names no appender '" +
                            std::wstring(part) + L"'");
        result = status::ConfigNotFound;
        break;
      }
      appenders.push_back(appender->second.get());
      if (end == std::wstring::npos) break;
      start = end + 1;
    }
  }
  logger->Configure(threshold, additive, std::move(appenders));
  return result;
}

Logger* LogManager::GetLogger(std::wstring_view name) {
  ProcessLockHold hold(lock_);
  return FindOrCreateLogger(name);
}

Logger* LogManager::FindOrCreateLogger(std::wstring_view name) {
  if (EqualsFoldingAscii(name, L"root")) return root_.get();
  const auto found = loggers_.find(name);
  if (found != loggers_.end()) return found->second.get();
  // The parent first: the text before the last dot names it.
  const std::size_t dot = name.rfind(L'.');
  Logger* parent = root_.get();
  if (dot != std::wstring_view::npos && dot > 0) parent = FindOrCreateLogger(name.substr(0, dot));
  if (!parent) return nullptr;
  auto logger = std::make_unique<Logger>(*this, std::wstring(name), parent, loggerOptions_);
  if (IsFailure(logger->Initialise())) return nullptr;
  return loggers_.emplace(std::wstring(name), std::move(logger)).first->second.get();
}

Appender* LogManager::FindAppender(std::wstring_view name) {
  ProcessLockHold hold(lock_);
  const auto found = appenders_.find(name);
  return found == appenders_.end() ? nullptr : found->second.get();
}

const Layout* LogManager::FindLayout(std::wstring_view name) {
  ProcessLockHold hold(lock_);
  const auto found = layouts_.find(name);
  return found == layouts_.end() ? nullptr : found->second.get();
}

ConfigDocument LogManager::Document() {
  ProcessLockHold hold(lock_);
  return document_;
}

void LogManager::RegisterAppenderFactory(std::wstring_view typeName, AppenderFactory factory) {
  ProcessLockHold hold(lock_);
  factories_.insert_or_assign(std::wstring(typeName), factory);
}

std::wstring LogManager::OpeningText() { return *openingText_.load(std::memory_order_acquire); }

void LogManager::SetOpeningText(std::wstring_view text) {
  openingText_.store(std::make_shared<const std::wstring>(text), std::memory_order_release);
}

StatusCode LogManager::Enqueue(Logger& logger, LogRecord record) { return queue_.Enqueue(logger, std::move(record)); }

std::vector<std::wstring> LogManager::Refusals() {
  ProcessLockHold hold(lock_);
  return refusals_;
}

bool LogManager::WaitForQueue(std::uint32_t milliseconds) { return queue_.WaitUntilEmpty(milliseconds); }

Logger* GetLogger(std::wstring_view name) {
  LogManager* manager = LogManager::Instance();
  return manager ? manager->GetLogger(name) : nullptr;
}

StatusCode Configure(std::wstring_view text) {
  LogManager* manager = LogManager::Instance();
  return manager ? manager->Configure(text) : status::GenericFailure;
}

StatusCode Configure(ConfigTextSource& source) {
  LogManager* manager = LogManager::Instance();
  return manager ? manager->Configure(source) : status::GenericFailure;
}

std::vector<std::wstring> ConfigurationRefusals() {
  LogManager* manager = LogManager::Instance();
  return manager ? manager->Refusals() : std::vector<std::wstring>{};
}

}  // namespace zor
