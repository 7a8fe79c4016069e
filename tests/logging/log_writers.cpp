// The two log_writer.exe processes of the shared-log tests; only the
// logging tests know where that program is.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "tests/logging/logging_test_support.h"
#include "tests/support/child_process.h"

namespace zor::test {

void RunTwoLogWriters(const std::wstring& path, int records, const std::wstring& size, const std::wstring& files) {
  const std::wstring program = WindowsPathOf(ZOR_LOG_WRITER_PATH);
  ChildResult results[2];
  std::thread children[2];
  const wchar_t* tags[2] = {L"A", L"B"};
  for (int i = 0; i < 2; ++i) {
    children[i] = std::thread([&, i] {
      results[i] = RunChild(L"\"" + program + L"\" " + path + L" " + tags[i] + L" " + std::to_wstring(records) + L" " +
                                size + L" " + files,
                            600000);
    });
  }
  for (std::thread& child : children) child.join();
  for (const ChildResult& result : results) {
    ASSERT_TRUE(result.started);
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 0u) << result.output;
  }
}

}  // namespace zor::test
