#include "app/log_configuration.h"

#include <gtest/gtest.h>

#include <string>

#include "logging/config_document.h"

namespace zor {
namespace {

const std::wstring kExpectedBefore =
    L"[root]\nType = Logger\nSeverity = All\n[ZorRemover]\nType = Logger\nSeverity = All\nAddAppenders = "
    L"FileAppender,ConsoleAppender\nAdditive = false\n[SimpleLayout]\nType = Layout\nLayoutType = Custom\nFormat = "
    L"\"%date %time %severity %msg\"\n[FileAppender]\nType = Appender\nAppenderType = File\nFileName = \"";
const std::wstring kExpectedAfter =
    L"\\zorremover.log\"\nLayout = SimpleLayout\n[ConsoleAppender]\nType = Appender\nBreakSeverity = Info\nAppenderType "
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

// Whatever legal name the program's folder has, the configuration reader
// must see the whole path of the log file beside the program.
TEST(LogConfiguration, AnyFolderNameGivesTheLogBesideTheProgram) {
  for (const wchar_t* folder : {
           L"C:\\Tools;old",
           L"C:\\Tools #2\\Remover",
           L"C:\\a=b\\x",
           L"C:\\Program Files (x86)\\Zor Tools",
           L"C:\\  lead and trail  ",
           L"C:\\say \"hi\"",
           L"C:\\end\\\"",
           L"C:\\a ; b = \"c\" #d",
           L"C:\\",
       }) {
    SCOPED_TRACE(testing::Message() << std::string(folder, folder + std::wstring(folder).size()));
    const ConfigDocument document = ConfigDocument::FromText(BuiltInLogConfiguration(folder));
    EXPECT_TRUE(document.Errors().empty());
    const ConfigSection* appender = document.FindSection(L"FileAppender");
    ASSERT_NE(appender, nullptr);
    std::wstring fileName;
    ASSERT_EQ(appender->GetValue(L"FileName", fileName), status::Success);
    EXPECT_EQ(fileName, std::wstring(folder) + L"\\zorremover.log");
    const ConfigKey* key = appender->FindKey(L"FileName");
    ASSERT_NE(key, nullptr);
    EXPECT_FALSE(key->isList);
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
