#include "app/report_file.h"

#include <windows.h>

#include <source_location>
#include <span>
#include <string>

#include "app/run_context.h"
#include "platform/clock.h"
#include "platform/file_operations.h"
#include "platform/new_file.h"
#include "platform/path_text.h"

namespace zor {
namespace {

constexpr std::wstring_view kFileId = L"8D3A6F21-4C7B-4E90-A1D5-3B8E2F6C9047";

LogSite Here(std::source_location where = std::source_location::current()) { return {kFileId, where.line()}; }

const wchar_t* ReasonText(ReportRefusal refusal) {
  switch (refusal) {
    case ReportRefusal::NoFolder: return L"its folder does not exist";
    case ReportRefusal::NotAFile: return L"the name is a folder's";
    case ReportRefusal::ReadOnly: return L"the file there is read-only";
    case ReportRefusal::TemporaryFailed: return L"the temporary file beside it could not be written";
    case ReportRefusal::ReplaceFailed: return L"the temporary file could not replace it";
    case ReportRefusal::None: break;
  }
  return L"";
}

}  // namespace

ReportOutcome WriteReportFile(std::wstring_view target, std::string_view content) {
  const std::wstring file(target);
  std::wstring folder;
  if (const StatusCode parted = ParentFolder(file, folder); IsFailure(parted) || IsFailure(FolderExists(folder))) {
    return {ReportRefusal::NoFolder, IsFailure(parted) ? parted : FolderExists(folder)};
  }
  std::uint32_t attributes = 0;
  if (!IsFailure(QueryAttributes(file, attributes))) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return {ReportRefusal::NotAFile, status::FolderWhereFileExpected};
    if (attributes & FILE_ATTRIBUTE_READONLY) return {ReportRefusal::ReadOnly, status::AccessDenied};
  }
  // One name per process: two runs never share a temporary file.
  const std::wstring temporary = file + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
  // A file of that name is someone else's: it is neither written nor
  // deleted.
  if (std::uint32_t existing = 0; !IsFailure(QueryAttributes(temporary, existing))) {
    return {ReportRefusal::TemporaryFailed, status::ObjectAlreadyExists};
  }
  const StatusCode written = WriteNewFile(temporary, std::as_bytes(std::span(content.data(), content.size())));
  if (IsFailure(written)) {
    // A file that was made but not written whole must not stay.
    DeleteFileNow(temporary);
    return {ReportRefusal::TemporaryFailed, written};
  }
  if (const StatusCode renamed = RenameFile(temporary, file, false); IsFailure(renamed)) {
    DeleteFileNow(temporary);
    return {ReportRefusal::ReplaceFailed, renamed};
  }
  return {};
}

void WriteRunReport(RunContext& context) {
  const std::wstring& target = context.parameters.ReportPath;
  if (target.empty() || context.parameters.NdisOnly) return;
  RunReport& report = context.report;
  const std::uint32_t start = TickCount();
  report.endTime = SystemTimeNow();
  std::string content;
  try {
    content = ReportJson(report);
  } catch (const std::exception&) {
    context.Log(severity::Error, Here(), L"The report for '%s' could not be made: it is not written", target);
    return;
  }
  const ReportOutcome outcome = WriteReportFile(target, content);
  if (outcome.refusal == ReportRefusal::None) {
    context.Log(severity::Info, Here(), L"Report written to '%s' (%u ms)", target, TickCount() - start);
    return;
  }
  context.Log(severity::Error, Here(),
              L"The report could not be written to '%s': %s (error %x). The removal itself is not affected.", target,
              ReasonText(outcome.refusal), static_cast<std::uint32_t>(outcome.status));
}

}  // namespace zor
