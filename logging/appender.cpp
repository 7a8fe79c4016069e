#include "logging/appender.h"

#include "logging/appender_settings.h"
#include "logging/log_status.h"
#include "logging/logger.h"
#include "platform/dry_run.h"

namespace zor {

StatusCode Appender::Configure(const ConfigSection& section) {
  ProcessLockHold hold(lock_);
  if (!hold.Owned()) return status::LockingUnavailable;
  if (IsOpen()) CloseUnlocked();
  const StatusCode read = ReadConfiguration(section);
  if (IsFailure(read)) return read;
  breakSeverity_.store(ReadBreakSeverity(section), std::memory_order_relaxed);
  return status::Success;
}

void Appender::SetLayout(const Layout* layout, std::wstring_view layoutName) {
  ProcessLockHold hold(lock_);
  if (!hold.Owned()) return;
  layout_ = layout;
  layoutName_ = std::wstring(layoutName);
}

void Appender::WriteConfiguration(ConfigSection& section) const {
  section.SetValue(L"Type", L"Appender");
  section.SetValue(L"AppenderType", typeName_);
  section.SetValue(L"BreakSeverity", SeverityName(BreakSeverity()));
  if (!layoutName_.empty()) section.SetValue(L"Layout", layoutName_);
  WriteOwnConfiguration(section);
}

StatusCode Appender::Append(const LogRecord& record) {
  // The log is written in a dry run too.
  DryRunExemption exempt;
  ProcessLockHold hold(lock_);
  if (!hold.Owned()) {
    CountDroppedLogMessage();
    return status::LockingUnavailable;
  }
  if (!layout_) return status::Success;
  if (record.severity < BreakSeverity()) return status::Success;
  const std::wstring text = layout_->Format(record);
  if (!IsOpen()) {
    const StatusCode opened = OpenUnlocked();
    if (IsFailure(opened)) return opened;
    if (!record.openingText.empty()) WriteRaw(record.openingText);
  }
  return WriteRecordText(text);
}

StatusCode Appender::Close() {
  DryRunExemption exempt;
  ProcessLockHold hold(lock_);
  if (!hold.Owned()) return status::LockingUnavailable;
  return CloseUnlocked();
}

StatusCode Appender::Clear() {
  DryRunExemption exempt;
  ProcessLockHold hold(lock_);
  if (!hold.Owned()) return status::LockingUnavailable;
  if (!IsOpen()) return status::Success;
  return ClearOutput();
}

StatusCode Appender::OpenUnlocked() {
  const StatusCode opened = OpenOutput();
  if (IsFailure(opened)) return opened;
  open_.store(true, std::memory_order_relaxed);
  if (layout_) {
    const std::wstring header = layout_->Header();
    if (!header.empty()) WriteRaw(header);
  }
  return status::Success;
}

StatusCode Appender::CloseUnlocked() {
  if (!IsOpen()) return status::Success;
  if (layout_) {
    const std::wstring footer = layout_->Footer();
    if (!footer.empty()) WriteRaw(footer);
  }
  const StatusCode closed = CloseOutput();
  open_.store(false, std::memory_order_relaxed);
  return closed;
}

}  // namespace zor
