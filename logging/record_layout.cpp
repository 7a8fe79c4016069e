#include "logging/record_layout.h"

#include "foundation/format_text.h"
#include "logging/log_status.h"
#include "logging/log_time.h"

namespace zor {

std::wstring RecordLayout::Format(const LogRecord& record) const {
  // The record carries UTC; the line shows it as it is, like the custom layouts.
  const TimeParts t = SplitTime(record.time);
  const std::wstring time = FormatText(L"%04d-%02d-%02d %02d:%02d:%02d,%03d", t.year, t.month, t.day, t.hour, t.minute,
                                       t.second, t.millisecond);
  static const std::wstring kNoHost;
  const std::wstring& host = hostName_ ? hostName_() : kNoHost;
  const std::wstring_view fileId = record.fileId.empty() ? std::wstring_view(L"MISSINGFILEID") : record.fileId;
  const std::wstring_view message = record.message.empty() ? std::wstring_view(L"*") : record.message;
  return FormatText(L"[%s] %s %s %s PID:%d THID:%d ID:%s:%d.%d.%d.%d MSG:%s", record.loggerName,
                    SeverityName(record.severity), time, host, static_cast<std::int32_t>(record.processId),
                    static_cast<std::int32_t>(record.threadId), fileId, static_cast<std::int32_t>(record.line),
                    static_cast<std::int32_t>(record.buildNumber), static_cast<std::int32_t>(record.revision),
                    static_cast<std::int32_t>(record.product), message);
}

StatusCode RecordLayout::ReadConfiguration(const ConfigSection&) { return status::LayoutTypeMismatch; }

void RecordLayout::WriteConfiguration(ConfigSection& section) const { section.SetValue(L"Type", L"Layout"); }

}  // namespace zor
