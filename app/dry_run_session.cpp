#include "app/dry_run_session.h"

#include <source_location>
#include <string>

#include "app/run_context.h"
#include "platform/console_output.h"
#include "platform/dry_run.h"

namespace zor {
namespace {

constexpr std::wstring_view kFileId = L"4B7E2C91-6D0A-4F53-8A1E-C39D5F2B7064";

LogSite Here(std::source_location where = std::source_location::current()) { return {kFileId, where.line()}; }

}  // namespace

void DryRunSession::Start() {
  if (!context_.parameters.DryRun || started_) return;
  started_ = true;
  context_.report.dryRun = true;
  context_.Log(severity::Info, Here(), L"Dry run: every stage runs and changes nothing");
  StartDryRun([this](std::wstring_view action, std::wstring_view item) {
    record_.Add(action, item);
    context_.Log(severity::Info, Here(), L"Would %s %s", action, item);
  });
}

void DryRunSession::Finish() {
  if (!started_) return;
  started_ = false;
  EndDryRun();
  context_.report.wouldChange = record_.Items();
  // Nothing was removed: no ending of a removal applies.
  context_.report.ending.reset();
  const std::wstring summary = record_.Summary();
  context_.Log(severity::Info, Here(), L"%s", summary);
  WriteConsoleText(summary + L"\n");
}

}  // namespace zor
