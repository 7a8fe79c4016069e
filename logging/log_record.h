#pragma once
// One message on its way from a logger to the appenders. No Windows header.
#include <cstdint>
#include <string>

#include "logging/severity.h"

namespace zor {

struct LogRecord {
  std::wstring loggerName;
  Severity severity = severity::Info;
  std::wstring message;
  std::int64_t time = 0;  // 100-ns units since 1601-01-01 UTC
  std::wstring fileId;
  std::uint32_t line = 0;
  std::uint32_t buildNumber = 0;
  std::uint32_t revision = 0;
  std::uint32_t product = 0;
  std::uint32_t options = 0;
  std::uint32_t protection = 0;
  // Written once by an appender when it opens its output.
  std::wstring openingText;
  std::uint32_t threadId = 0;
  std::uint32_t processId = 0;
};

}  // namespace zor
