#include "tests/logging/memory_appender.h"

#include "logging/appender_settings.h"

namespace zor::test {

StatusCode MemoryAppender::WriteRaw(std::wstring_view text) {
  if (IsFailure(failWith)) return failWith;
  lines.emplace_back(text);
  return status::Success;
}

StatusCode MemoryAppender::OpenOutput() {
  ++opens;
  return status::Success;
}

StatusCode MemoryAppender::CloseOutput() {
  ++closes;
  return status::Success;
}

StatusCode MemoryAppender::ReadConfiguration(const ConfigSection& section) {
  const StatusCode checked = CheckAppenderType(section, {kMemoryAppenderType});
  if (IsFailure(checked)) return checked;
  std::wstring text;
  std::uint64_t code = 0;
  if (!IsFailure(section.GetValue(L"FailWith", text))) ReadCount(text, UINT32_MAX, code);
  failWith = static_cast<StatusCode>(static_cast<std::uint32_t>(code));
  return status::Success;
}

std::unique_ptr<Appender> MakeMemoryAppender(std::wstring name) {
  return std::make_unique<MemoryAppender>(std::move(name));
}

}  // namespace zor::test
