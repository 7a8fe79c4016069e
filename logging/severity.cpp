#include "logging/severity.h"

#include <array>

#include "foundation/text_case.h"

namespace zor {
namespace {

struct SeverityEntry {
  std::wstring_view name;
  Severity value;
};

constexpr std::array<SeverityEntry, 8> kScale{{
    {L"ALL", severity::All},
    {L"DEBUG", severity::Debug},
    {L"DETAIL", severity::Detail},
    {L"INFO", severity::Info},
    {L"WARN", severity::Warn},
    {L"ERROR", severity::Error},
    {L"FATAL", severity::Fatal},
    {L"OFF", severity::Off},
}};

}  // namespace

Severity SeverityFromName(std::wstring_view name, Severity fallback) {
  for (const SeverityEntry& entry : kScale) {
    if (EqualsFoldingAscii(entry.name, name)) return entry.value;
  }
  return fallback;
}

std::wstring_view SeverityName(Severity value) {
  for (const SeverityEntry& entry : kScale) {
    if (entry.value == value) return entry.name;
  }
  return L"INFO";
}

}  // namespace zor
