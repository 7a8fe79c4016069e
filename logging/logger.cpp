#include "logging/logger.h"

#include "logging/appender.h"
#include "logging/log_file.h"
#include "logging/log_manager.h"
#include "logging/log_message.h"
#include "logging/log_status.h"
#include "logging/message_protection.h"
#include "platform/native_api.h"
#include "platform/platform_startup.h"

namespace zor {
namespace {

std::atomic<std::uint32_t> g_buildNumber{0};
std::atomic<std::uint32_t> g_revision{0};
std::atomic<std::uint32_t> g_product{0};
std::atomic<std::uint64_t> g_droppedMessages{0};

// The thread's client id: process and thread id, at the start of the
// environment block's second part.
const CLIENT_ID& OwnClientId() {
  return *reinterpret_cast<const CLIENT_ID*>(reinterpret_cast<const unsigned char*>(nt::CurrentTeb()) + 0x40);
}

}  // namespace

void SetBuildStamp(const BuildStamp& stamp) {
  g_buildNumber.store(stamp.buildNumber);
  g_revision.store(stamp.revision);
  g_product.store(stamp.product);
}

BuildStamp CurrentBuildStamp() { return {g_buildNumber.load(), g_revision.load(), g_product.load()}; }

std::uint64_t DroppedLogMessages() noexcept { return g_droppedMessages.load(std::memory_order_relaxed); }

void CountDroppedLogMessage() noexcept { g_droppedMessages.fetch_add(1, std::memory_order_relaxed); }

std::vector<Appender*> Logger::Appenders() {
  ProcessLockHold hold(lock_);
  return appenders_;
}

void Logger::Configure(Severity threshold, bool additive, std::vector<Appender*> appenders) {
  threshold_.store(threshold, std::memory_order_relaxed);
  additive_.store(additive, std::memory_order_relaxed);
  ProcessLockHold hold(lock_);
  appenders_ = std::move(appenders);
}

LogRecord Logger::MakeRecord(Severity severity, std::wstring_view message, std::wstring_view fileId, std::uint32_t line,
                             std::uint32_t buildNumber, std::uint32_t revision, std::uint32_t product,
                             std::uint32_t protection, const LogArgumentList& arguments) const {
  LogRecord record;
  record.loggerName = name_;
  record.severity = severity;
  record.message = BuildMessage(options_, message, arguments);
  if (protection != 0 && !record.message.empty()) {
    record.message = ProtectMessage(record.message, static_cast<std::uint8_t>(NextRandom32() % kProtectionKeyCount));
  }
  record.time = CurrentSystemTime();
  record.fileId = std::wstring(fileId);
  record.line = line;
  record.buildNumber = buildNumber;
  record.revision = revision;
  record.product = product;
  record.options = options_;
  record.protection = protection;
  record.openingText = manager_.OpeningText();
  const CLIENT_ID& client = OwnClientId();
  record.processId = static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(client.UniqueProcess));
  record.threadId = static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(client.UniqueThread));
  return record;
}

StatusCode Logger::Log(Severity severity, std::wstring_view message, std::wstring_view fileId, std::uint32_t line,
                       std::uint32_t buildNumber, std::uint32_t revision, std::uint32_t product,
                       std::uint32_t protection, const LogArgumentList& arguments) {
  return Dispatch(MakeRecord(severity, message, fileId, line, buildNumber, revision, product, protection, arguments));
}

StatusCode Logger::LogAsync(Severity severity, std::wstring_view message, std::wstring_view fileId, std::uint32_t line,
                            std::uint32_t buildNumber, std::uint32_t revision, std::uint32_t product,
                            std::uint32_t protection, const LogArgumentList& arguments) {
  return manager_.Enqueue(
      *this, MakeRecord(severity, message, fileId, line, buildNumber, revision, product, protection, arguments));
}

StatusCode Logger::Dispatch(const LogRecord& record) {
  // The parent's threshold plays no part: a record that got here goes up
  // as long as the loggers are additive.
  for (Logger* logger = this; logger; logger = logger->parent_) {
    StatusCode firstFailure = status::Success;
    {
      ProcessLockHold hold(logger->lock_);
      // Never past the lock: an unguarded record could land halfway through
      // another. The record is counted as lost instead.
      if (!hold.Owned()) {
        CountDroppedLogMessage();
        return AsLoggingWarning(status::LockingUnavailable);
      }
      for (Appender* appender : logger->appenders_) {
        const StatusCode appended = appender->Append(record);
        if (IsFailure(appended) && firstFailure == status::Success) firstFailure = AsLoggingWarning(appended);
      }
    }
    if (firstFailure != status::Success) return firstFailure;
    if (!logger->Additive()) break;
  }
  return status::Success;
}

}  // namespace zor
