// Many threads logging through one logger at once.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "foundation/format_text.h"
#include "logging/log_manager.h"
#include "tests/logging/logging_test_support.h"

namespace zor {
namespace {

TEST(LoggingThreads, EightThreadsLoseNoRecordAndMixNoLines) {
  constexpr int kThreads = 8;
  constexpr int kRecords = 10000;
  test::TestFolder folder;
  const std::wstring path = folder.File(L"threads.log");
  StatusCode result = status::GenericFailure;
  std::unique_ptr<LogManager> manager = LogManager::CreateSeparate(result);
  ASSERT_EQ(result, status::Success);
  ASSERT_EQ(manager->Configure(L"[File]\nType = Appender\nAppenderType = File\nLayout = L\nFileName = " + path +
                               L"\n[Nothing]\nType = Appender\nAppenderType = Null\nLayout = L\n"
                               L"[L]\nType = Layout\nLayoutType = Custom\nFormat = \"%logger %msg\"\n"
                               L"[Busy]\nSeverity = All\nAddAppenders = File,Nothing\n"),
            status::Success);
  Logger* logger = manager->GetLogger(L"Busy");
  ASSERT_NE(logger, nullptr);

  std::vector<int> failures(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRecords; ++i) {
        const std::wstring text = FormatText(L"thread %d record %05d of this thread's ten thousand", t, i);
        if (IsFailure(logger->Log(severity::Info, text, L"", 0, 0, 0, 0))) ++failures[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  manager.reset();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;

  bool wellFormed = false;
  const std::vector<std::wstring> lines = test::ReadLogLines(path, &wellFormed);
  EXPECT_TRUE(wellFormed);
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kRecords));
  const std::wregex shape(LR"(Busy thread (\d) record (\d{5}) of this thread's ten thousand)");
  std::vector<std::vector<int>> seen(kThreads, std::vector<int>(kRecords, 0));
  std::vector<int> lastOfThread(kThreads, -1);
  for (const std::wstring& line : lines) {
    std::wsmatch match;
    ASSERT_TRUE(std::regex_match(line, match, shape)) << std::string(line.begin(), line.end());
    const int thread = std::stoi(match[1].str());
    const int record = std::stoi(match[2].str());
    ASSERT_LT(thread, kThreads);
    ++seen[thread][record];
    // Each thread's records keep their order.
    EXPECT_GT(record, lastOfThread[thread]);
    lastOfThread[thread] = record;
  }
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kRecords; ++i) ASSERT_EQ(seen[t][i], 1) << "thread " << t << " record " << i;
  }
}

}  // namespace
}  // namespace zor
