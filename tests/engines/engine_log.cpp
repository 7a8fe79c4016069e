#include "tests/engines/engine_log.h"

#include <gtest/gtest.h>

#include "tests/logging/memory_appender.h"

namespace zor::test {

EngineLog::EngineLog() {
  StatusCode result = status::GenericFailure;
  manager_ = LogManager::CreateSeparate(result);
  EXPECT_EQ(result, status::Success);
  if (!manager_) return;
  manager_->RegisterAppenderFactory(kMemoryAppenderType, MakeMemoryAppender);
  EXPECT_EQ(manager_->Configure(L"[Out]\nType = Appender\nAppenderType = TestMemory\nLayout = L\n"
                                L"[L]\nType = Layout\nLayoutType = Custom\nFormat = \"%filename|%severity %msg\"\n"
                                L"[Engine]\nSeverity = All\nAddAppenders = Out\n"),
            status::Success);
  logger_ = manager_->GetLogger(L"Engine");
  memory_ = dynamic_cast<MemoryAppender*>(manager_->FindAppender(L"Out"));
  EXPECT_NE(memory_, nullptr);
}

std::vector<std::string> EngineLog::TakeLines() {
  std::vector<std::string> lines;
  if (!memory_) return lines;
  for (const std::wstring& raw : memory_->lines) {
    std::string narrow;
    for (wchar_t c : raw) narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    const std::size_t bar = narrow.find('|');
    if (bar == std::string::npos) {
      lines.push_back(narrow);
      continue;
    }
    fileIds_.insert(narrow.substr(0, bar));
    lines.push_back(narrow.substr(bar + 1));
  }
  memory_->lines.clear();
  return lines;
}

}  // namespace zor::test
