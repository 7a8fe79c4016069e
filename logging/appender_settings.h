#pragma once
// The keys of appender sections, read into plain settings before an
// appender takes them over. No Windows header.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "foundation/status_codes.h"
#include "logging/config_document.h"
#include "logging/severity.h"

namespace zor {

enum class AppenderKind { Console, File, SharedFile, RollingFile, RollingDateFile, Null, Syslog };

// False for a name that is none of the built-in types.
bool AppenderKindFromName(std::wstring_view name, AppenderKind& kind);

// "AppenderType" must name one of `accepted`: 0xE0010015 without the key,
// 0xE0010062 for another type.
StatusCode CheckAppenderType(const ConfigSection& section, std::initializer_list<std::wstring_view> accepted);

// "BreakSeverity": absent gives "ALL", a name off the scale "INFO".
Severity ReadBreakSeverity(const ConfigSection& section);

// "Layout": absent gives "defaultLayout".
std::wstring ReadLayoutName(const ConfigSection& section);

// "Target": absent or exactly "System.out" is standard output.
bool ReadTargetIsStandardError(const ConfigSection& section);

struct FileSettings {
  std::wstring fileName;
  bool immediateWrite = false;
};

// "FileName" is required (0xE0010015); "ImmediateWrite" is on for exactly
// "true", "yes" or "1". `settings` is untouched on failure.
StatusCode ReadFileSettings(const ConfigSection& section, FileSettings& settings);

struct RollingSettings {
  std::uint64_t size = 0x100000;
  std::uint32_t filesCount = 10;
};

// "Size" and "FilesCount", defaults kept for absent keys; a count that
// starts with "-" fails with 0xE0010002. `settings` is untouched on failure.
StatusCode ReadRollingSettings(const ConfigSection& section, RollingSettings& settings);

struct DatedSettings {
  std::uint32_t filesCount = 0;
  std::uint32_t daysCount = 0;
};

// "FilesCount" and "DaysCount", 0 when absent; both non-zero, or a "-",
// fail with 0xE0010002. `settings` is untouched on failure.
StatusCode ReadDatedSettings(const ConfigSection& section, DatedSettings& settings);

// A count: decimal, or hexadecimal after "0x"/"0X", read up to the first
// character that is not a digit and never past `limit`. A leading "-" fails
// with 0xE0010002.
StatusCode ReadCount(std::wstring_view text, std::uint64_t limit, std::uint64_t& value);

}  // namespace zor
