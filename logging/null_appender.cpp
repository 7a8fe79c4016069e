#include "logging/null_appender.h"

#include "logging/appender_settings.h"

namespace zor {

StatusCode NullAppender::ReadConfiguration(const ConfigSection& section) {
  return CheckAppenderType(section, {L"Null", L"Syslog"});
}

}  // namespace zor
