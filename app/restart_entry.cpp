#include "app/restart_entry.h"

#include "foundation/format_text.h"

namespace zor {

std::wstring RestartEntryText(std::wstring_view programPath, const RunParameters& parameters) {
  std::wstring text = FormatText(L"\"%s\"", programPath);
  text += FormatText(L" /%s=%d", L"run_number", parameters.RunNumber + 1);
  if (!parameters.ZorDir.empty()) text += FormatText(L" /%s=\"%s\"", L"zordir", parameters.ZorDir);
  if (!parameters.ZorAdminDir.empty()) {
    text += FormatText(L" /%s=\"%s\"", L"zoradmindir", parameters.ZorAdminDir);
  }
  if (!parameters.ZorDataDir.empty()) text += FormatText(L" /%s=\"%s\"", L"zordatadir", parameters.ZorDataDir);
  if (parameters.NdisNextStep >= 0) text += FormatText(L" /%s=%d", L"ndis_nextstep", parameters.NdisNextStep);
  if (parameters.NoRestart) text += FormatText(L" /%s", L"norestart");
  // The run after the restart finishes the removal: its report replaces
  // this run's.
  if (!parameters.ReportPath.empty()) text += FormatText(L" /%s=\"%s\"", L"report", parameters.ReportPath);
  return text;
}

}  // namespace zor
