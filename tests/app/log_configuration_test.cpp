#include "app/log_configuration.h"

#include <gtest/gtest.h>

#include <string>

namespace zor {
namespace {

const std::wstring kExpectedBefore =
    L"[root]\nType = Logger\nSeverity = All\n[ZorRemover]\nType = Logger\nSeverity = All\nAddAppenders = "
    L"FileAppender,ConsoleAppender\nAdditive = false\n[SimpleLayout]\nType = Layout\nLayoutType = Custom\nFormat = "
    L"\"%date %time %severity %msg\"\n[FileAppender]\nType = Appender\nAppenderType = File\nFileName = ";
const std::wstring kExpectedAfter =
    L"\\zorremover.log\nLayout = SimpleLayout\n[ConsoleAppender]\nType = Appender\nBreakSeverity = Info\nAppenderType "
    L"= Console\nTarget = System.out\nLayout = SimpleLayout\n";

TEST(LogConfiguration, TheFolderTakesThePlaceOfTheMarkInTheWholeText) {
  struct Row {
    const wchar_t* folder;
  };
  for (const Row& row : {Row{L"C:\\Tools\\Remover"}, Row{L"C:\\"}, Row{L"D:\\a {DIR} b"}, Row{L""}}) {
    SCOPED_TRACE(testing::Message() << "row " << std::wstring(row.folder).size());
    EXPECT_EQ(BuiltInLogConfiguration(row.folder), kExpectedBefore + row.folder + kExpectedAfter);
  }
}

TEST(LogConfiguration, HasTwentyThreeLinesEachEndedByALineFeed) {
  const std::wstring text = BuiltInLogConfiguration(L"C:\\x");
  std::size_t lines = 0;
  for (wchar_t c : text) {
    if (c == L'\n') ++lines;
    EXPECT_NE(c, L'\r');
  }
  EXPECT_EQ(lines, 23u);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), L'\n');
}

}  // namespace
}  // namespace zor
