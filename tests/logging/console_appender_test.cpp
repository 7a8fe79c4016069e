#include "logging/console_appender.h"

#include <gtest/gtest.h>

#include <string>

#include "logging/log_status.h"
#include "tests/logging/logging_test_support.h"

namespace zor {
namespace {

constexpr wchar_t kFileId[] = L"{1F7D3B95-4A2E-4E60-8C1B-6D9A0F3E5B28}";

std::unique_ptr<LogManager> ManagerWith(const std::wstring& text) {
  StatusCode result = status::GenericFailure;
  std::unique_ptr<LogManager> manager = LogManager::CreateSeparate(result);
  EXPECT_EQ(result, status::Success);
  if (manager) {
    EXPECT_EQ(manager->Configure(text), status::Success);
  }
  return manager;
}

TEST(ConsoleAppender, WritesOemLinesAndDropsWhatIsBelowItsBreakSeverity) {
  ASSERT_EQ(GetOEMCP(), 437u) << "the test prefix is expected to use the US OEM code page";
  auto manager = ManagerWith(
      L"[Out]\nType = Appender\nAppenderType = Console\nBreakSeverity = Info\nTarget = System.out\nLayout = L\n"
      L"[L]\nType = Layout\nLayoutType = Custom\nFormat = %severity %msg\n[Engine]\nSeverity = All\nAddAppenders = "
      L"Out\n");
  ASSERT_TRUE(manager);
  Logger& logger = *manager->GetLogger(L"Engine");
  test::StandardHandleCapture capture;
  for (Severity severity : {severity::Debug, severity::Detail, severity::Info, severity::Warn, severity::Error}) {
    EXPECT_EQ(logger.Log(severity, L"caf\u00e9 \u00fcber", kFileId, 1, 2, 3, 4), status::Success);
  }
  std::string output;
  std::string error;
  capture.Finish(output, error);
  EXPECT_EQ(output,
            "INFO caf\x82 \x81"
            "ber\nWARN caf\x82 \x81"
            "ber\nERROR caf\x82 \x81"
            "ber\n");
  EXPECT_EQ(error, "");
}

TEST(ConsoleAppender, TargetsOtherThanStandardOutputGoToStandardError) {
  const struct {
    const wchar_t* keys;
    bool toError;
  } rows[] = {
      {L"", false},
      {L"Target = System.out\n", false},
      {L"Target = System.err\n", true},
      {L"Target = system.out\n", true},
      {L"Target = stdout\n", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.keys);
    auto manager =
        ManagerWith(std::wstring(L"[Out]\nType = Appender\nAppenderType = Console\nLayout = L\n") + row.keys +
                    L"[L]\nType = Layout\nLayoutType = Custom\nFormat = %msg\n[Engine]\nAddAppenders = Out\n");
    ASSERT_TRUE(manager);
    test::StandardHandleCapture capture;
    EXPECT_EQ(manager->GetLogger(L"Engine")->Log(severity::Info, L"line", kFileId, 1, 2, 3, 4), status::Success);
    std::string output;
    std::string error;
    capture.Finish(output, error);
    EXPECT_EQ(output, row.toError ? "" : "line\n");
    EXPECT_EQ(error, row.toError ? "line\n" : "");
  }
}

TEST(ConsoleAppender, WithoutABreakSeverityEverythingIsWritten) {
  auto manager = ManagerWith(
      L"[Out]\nType = Appender\nAppenderType = Console\nLayout = L\n[L]\nType = Layout\nLayoutType = Custom\n"
      L"Format = %severity\n[Engine]\nSeverity = All\nAddAppenders = Out\n");
  ASSERT_TRUE(manager);
  EXPECT_EQ(manager->FindAppender(L"Out")->BreakSeverity(), severity::All);
  test::StandardHandleCapture capture;
  EXPECT_EQ(manager->GetLogger(L"Engine")->Log(severity::All, L"", kFileId, 1, 2, 3, 4), status::Success);
  EXPECT_EQ(manager->GetLogger(L"Engine")->Log(severity::Debug, L"", kFileId, 1, 2, 3, 4), status::Success);
  std::string output;
  std::string error;
  capture.Finish(output, error);
  EXPECT_EQ(output, "ALL\nDEBUG\n");
}

}  // namespace
}  // namespace zor
