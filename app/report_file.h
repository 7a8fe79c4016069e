#pragma once
// The run's report as a file ("report=<path>"): written whole to a
// temporary file beside the target, then renamed over it, so that a
// collector reading the target finds the last report or this one, never
// half of one. A report that cannot be written is logged and changes
// nothing else: the removal and its exit code stay as they are.
#include <string_view>

#include "foundation/status_codes.h"

namespace zor {

class RunContext;

// Why a report file was not written.
enum class ReportRefusal {
  None,
  NoFolder,          // the folder it is to go in does not exist
  NotAFile,          // the name is a folder's
  ReadOnly,          // the file there is read-only: it is the owner's to replace
  TemporaryFailed,   // the temporary file could not be made or written
  ReplaceFailed,     // the temporary file could not be renamed over the target
};

struct ReportOutcome {
  ReportRefusal refusal = ReportRefusal::None;
  StatusCode status = status::Success;
};

// `target` is a full path. The temporary file is gone afterwards, whatever
// happened.
ReportOutcome WriteReportFile(std::wstring_view target, std::string_view content);

// Fills in the report's end and writes it where "report" says, in a main
// run; logs the outcome.
void WriteRunReport(RunContext& context);

}  // namespace zor
