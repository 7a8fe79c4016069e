#include "logging/console_appender.h"

#include <string>

#include "logging/appender_settings.h"
#include "platform/console_output.h"

namespace zor {

StatusCode ConsoleAppender::ReadConfiguration(const ConfigSection& section) {
  const StatusCode checked = CheckAppenderType(section, {L"Console"});
  if (IsFailure(checked)) return checked;
  standardError_ = ReadTargetIsStandardError(section);
  return status::Success;
}

void ConsoleAppender::WriteOwnConfiguration(ConfigSection& section) const {
  section.SetValue(L"Target", standardError_ ? L"System.err" : L"System.out");
}

StatusCode ConsoleAppender::WriteRaw(std::wstring_view text) {
  std::wstring line;
  line.reserve(text.size() + 1);
  line.append(text);
  line.push_back(L'\n');
  return standardError_ ? WriteStandardErrorText(line) : WriteConsoleText(line);
}

}  // namespace zor
