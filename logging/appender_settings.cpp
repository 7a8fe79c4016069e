#include "logging/appender_settings.h"

#include <array>

#include "logging/log_status.h"
#include "logging/record_layout.h"

namespace zor {
namespace {

struct KindName {
  std::wstring_view name;
  AppenderKind kind;
};

constexpr std::array<KindName, 7> kKinds{{
    {L"Console", AppenderKind::Console},
    {L"File", AppenderKind::File},
    {L"SharedFile", AppenderKind::SharedFile},
    {L"RollingFile", AppenderKind::RollingFile},
    {L"RollingDateFile", AppenderKind::RollingDateFile},
    {L"Null", AppenderKind::Null},
    {L"Syslog", AppenderKind::Syslog},
}};

unsigned DigitValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return static_cast<unsigned>(c - L'0');
  if (c >= L'a' && c <= L'f') return static_cast<unsigned>(c - L'a') + 10;
  if (c >= L'A' && c <= L'F') return static_cast<unsigned>(c - L'A') + 10;
  return 99;
}

// Absent keys keep `value`.
StatusCode ReadCountKey(const ConfigSection& section, std::wstring_view name, std::uint64_t limit,
                        std::uint64_t& value) {
  std::wstring text;
  if (IsFailure(section.GetValue(name, text))) return status::Success;
  return ReadCount(text, limit, value);
}

}  // namespace

bool AppenderKindFromName(std::wstring_view name, AppenderKind& kind) {
  for (const KindName& entry : kKinds) {
    if (entry.name == name) {
      kind = entry.kind;
      return true;
    }
  }
  return false;
}

StatusCode CheckAppenderType(const ConfigSection& section, std::initializer_list<std::wstring_view> accepted) {
  std::wstring type;
  const StatusCode found = section.GetValue(L"AppenderType", type);
  if (IsFailure(found)) return found;
  for (std::wstring_view name : accepted) {
    if (type == name) return status::Success;
  }
  return status::AppenderTypeMismatch;
}

Severity ReadBreakSeverity(const ConfigSection& section) {
  std::wstring name;
  if (IsFailure(section.GetValue(L"BreakSeverity", name))) return severity::All;
  return SeverityFromName(name, severity::Info);
}

std::wstring ReadLayoutName(const ConfigSection& section) {
  std::wstring name(kDefaultLayoutName);
  section.GetValue(L"Layout", name);
  return name;
}

bool ReadTargetIsStandardError(const ConfigSection& section) {
  std::wstring target;
  if (IsFailure(section.GetValue(L"Target", target))) return false;
  return target != L"System.out";
}

StatusCode ReadFileSettings(const ConfigSection& section, FileSettings& settings) {
  FileSettings read;
  const StatusCode found = section.GetValue(L"FileName", read.fileName);
  if (IsFailure(found)) return found;
  std::wstring immediate;
  section.GetValue(L"ImmediateWrite", immediate);
  read.immediateWrite = immediate == L"true" || immediate == L"yes" || immediate == L"1";
  settings = std::move(read);
  return status::Success;
}

StatusCode ReadRollingSettings(const ConfigSection& section, RollingSettings& settings) {
  std::uint64_t size = settings.size;
  std::uint64_t filesCount = settings.filesCount;
  StatusCode result = ReadCountKey(section, L"Size", UINT64_MAX, size);
  if (IsFailure(result)) return result;
  result = ReadCountKey(section, L"FilesCount", UINT32_MAX, filesCount);
  if (IsFailure(result)) return result;
  settings.size = size;
  settings.filesCount = static_cast<std::uint32_t>(filesCount);
  return status::Success;
}

StatusCode ReadDatedSettings(const ConfigSection& section, DatedSettings& settings) {
  std::uint64_t filesCount = 0;
  std::uint64_t daysCount = 0;
  StatusCode result = ReadCountKey(section, L"FilesCount", UINT32_MAX, filesCount);
  if (IsFailure(result)) return result;
  result = ReadCountKey(section, L"DaysCount", UINT32_MAX, daysCount);
  if (IsFailure(result)) return result;
  // Keeping a number of files and keeping a number of days exclude each other.
  if (filesCount != 0 && daysCount != 0) return status::InvalidArgument;
  settings.filesCount = static_cast<std::uint32_t>(filesCount);
  settings.daysCount = static_cast<std::uint32_t>(daysCount);
  return status::Success;
}

StatusCode ReadCount(std::wstring_view text, std::uint64_t limit, std::uint64_t& value) {
  if (!text.empty() && text.front() == L'-') return status::InvalidArgument;
  unsigned base = 10;
  if (text.size() >= 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  std::uint64_t result = 0;
  for (wchar_t c : text) {
    const unsigned digit = DigitValue(c);
    if (digit >= base) break;
    if (result > (limit - digit) / base) break;
    result = result * base + digit;
  }
  value = result;
  return status::Success;
}

}  // namespace zor
