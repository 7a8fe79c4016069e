#pragma once
// An output of the logging framework. The base class runs the steps every
// appender shares (threshold, layout, opening on demand with the header);
// the slots below are what each kind of output supplies.
#include <atomic>
#include <string>
#include <string_view>

#include "foundation/status_codes.h"
#include "logging/config_document.h"
#include "logging/layout.h"
#include "logging/log_record.h"
#include "logging/log_status.h"
#include "logging/severity.h"
#include "platform/process_lock.h"

namespace zor {

class Appender {
 public:
  Appender(std::wstring name, std::wstring_view typeName) : name_(std::move(name)), typeName_(typeName) {}
  virtual ~Appender() = default;
  Appender(const Appender&) = delete;
  Appender& operator=(const Appender&) = delete;

  // Creates the appender's mutex; an appender that fails here is not used.
  StatusCode Initialise() { return lock_.Valid() ? status::Success : status::LockingUnavailable; }

  const std::wstring& Name() const { return name_; }
  Severity BreakSeverity() const { return breakSeverity_.load(std::memory_order_relaxed); }
  bool IsOpen() const { return open_.load(std::memory_order_relaxed); }

  // Reads the section's keys. An open output is closed first, so that the
  // next record opens it with the new settings.
  StatusCode Configure(const ConfigSection& section);
  void SetLayout(const Layout* layout, std::wstring_view layoutName);
  void WriteConfiguration(ConfigSection& section) const;

  // Formats and writes one record; nothing happens without a layout or
  // below the appender's threshold. Opens the output first when needed.
  StatusCode Append(const LogRecord& record);
  // Writes the footer and closes the output.
  StatusCode Close();
  StatusCode Clear();

 protected:
  virtual StatusCode WriteRaw(std::wstring_view text) = 0;
  virtual StatusCode WriteRecordText(std::wstring_view text) { return WriteRaw(text); }
  virtual StatusCode OpenOutput() = 0;
  virtual StatusCode CloseOutput() = 0;
  virtual StatusCode ClearOutput() { return status::Success; }
  // Checks "AppenderType" against the appender's own type, then reads its
  // keys; the common "BreakSeverity" is the base's.
  virtual StatusCode ReadConfiguration(const ConfigSection& section) = 0;
  virtual void WriteOwnConfiguration(ConfigSection& section) const = 0;

  // For the file appenders, which close and reopen around a roll; the
  // appender's mutex is held.
  StatusCode OpenUnlocked();
  StatusCode CloseUnlocked();
  const Layout* CurrentLayout() const { return layout_; }
  void SetTypeName(std::wstring_view typeName) { typeName_ = std::wstring(typeName); }

 private:
  std::wstring name_;
  std::wstring typeName_;
  ProcessLock lock_;
  std::atomic<bool> open_{false};
  const Layout* layout_ = nullptr;
  std::wstring layoutName_;
  std::atomic<Severity> breakSeverity_{severity::All};
};

}  // namespace zor
