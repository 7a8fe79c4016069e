#pragma once
// Accepts records and writes nothing; also stands in for "Syslog".
#include "logging/appender.h"

namespace zor {

class NullAppender : public Appender {
 public:
  NullAppender(std::wstring name, std::wstring_view typeName) : Appender(std::move(name), typeName) {}

 protected:
  StatusCode WriteRaw(std::wstring_view) override { return status::Success; }
  StatusCode OpenOutput() override { return status::Success; }
  StatusCode CloseOutput() override { return status::Success; }
  StatusCode ReadConfiguration(const ConfigSection& section) override;
  void WriteOwnConfiguration(ConfigSection&) const override {}
};

}  // namespace zor
