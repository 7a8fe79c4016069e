#pragma once
// Writes each record as a line in the OEM code page to the process's
// standard output or standard error.
#include "logging/appender.h"

namespace zor {

class ConsoleAppender : public Appender {
 public:
  explicit ConsoleAppender(std::wstring name) : Appender(std::move(name), L"Console") {}

  bool WritesToStandardError() const { return standardError_; }

 protected:
  StatusCode WriteRaw(std::wstring_view text) override;
  StatusCode OpenOutput() override { return status::Success; }
  StatusCode CloseOutput() override { return status::Success; }
  StatusCode ReadConfiguration(const ConfigSection& section) override;
  void WriteOwnConfiguration(ConfigSection& section) const override;

 private:
  bool standardError_ = false;
};

}  // namespace zor
