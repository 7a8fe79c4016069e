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

namespace {

// One record as "SEVERITY message", its file id apart, line ends dropped.
struct SplitRecord {
  std::string fileId;
  std::string line;
};

SplitRecord Split(std::wstring raw) {
  while (!raw.empty() && (raw.back() == L'\n' || raw.back() == L'\r')) raw.pop_back();
  const std::string narrow = Narrow(raw);
  const std::size_t bar = narrow.find('|');
  if (bar == std::string::npos) return {{}, narrow};
  return {narrow.substr(0, bar), narrow.substr(bar + 1)};
}

}  // namespace

std::vector<std::string> EngineLog::TakeLines() {
  std::vector<std::string> lines;
  if (!memory_) return lines;
  for (const std::wstring& raw : memory_->lines) {
    SplitRecord record = Split(raw);
    if (!record.fileId.empty()) fileIds_.insert(record.fileId);
    lines.push_back(std::move(record.line));
  }
  memory_->lines.clear();
  return lines;
}

std::vector<std::string> EngineLog::Lines() const {
  std::vector<std::string> lines;
  if (!memory_) return lines;
  for (const std::wstring& raw : memory_->lines) lines.push_back(Split(raw).line);
  return lines;
}

std::vector<std::string> EngineLog::Lines(std::string_view severity) const {
  std::vector<std::string> selected;
  const std::string prefix = std::string(severity) + " ";
  for (const std::string& line : Lines()) {
    if (line.rfind(prefix, 0) == 0) selected.push_back(line.substr(prefix.size()));
  }
  return selected;
}

bool EngineLog::Has(const std::string& line) const { return HasLine(Lines(), line); }

}  // namespace zor::test
