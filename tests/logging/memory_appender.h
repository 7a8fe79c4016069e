#pragma once
// An appender of the tests' own, made through the manager's factory
// registry: it keeps what it is given in memory, or fails with the code
// its section names in "FailWith".
#include <memory>
#include <string>
#include <vector>

#include "logging/appender.h"

namespace zor::test {

inline constexpr wchar_t kMemoryAppenderType[] = L"TestMemory";

class MemoryAppender : public Appender {
 public:
  explicit MemoryAppender(std::wstring name) : Appender(std::move(name), kMemoryAppenderType) {}

  std::vector<std::wstring> lines;
  StatusCode failWith = status::Success;
  int opens = 0;
  int closes = 0;

 protected:
  StatusCode WriteRaw(std::wstring_view text) override;
  StatusCode OpenOutput() override;
  StatusCode CloseOutput() override;
  StatusCode ReadConfiguration(const ConfigSection& section) override;
  void WriteOwnConfiguration(ConfigSection&) const override {}
};

std::unique_ptr<Appender> MakeMemoryAppender(std::wstring name);

}  // namespace zor::test
