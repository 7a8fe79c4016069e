#include "logging/log_manager.h"

#include <gtest/gtest.h>

#include <new>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "logging/log_status.h"
#include "logging/message_protection.h"
#include "platform/computer_name.h"
#include "tests/logging/logging_test_support.h"
#include "tests/logging/memory_appender.h"
#include "tests/support/narrow_text.h"

namespace zor {
namespace {

using test::MemoryAppender;

constexpr wchar_t kFileId[] = L"{0D4C6E2A-8B31-4F7E-A5C9-3E1B7D2F6A80}";

// The program's built-in configuration with its folder put in.
std::wstring BuiltInConfiguration(const std::wstring& folder) {
  return L"[root]\nType = Logger\nSeverity = All\n"
         L"[ZorRemover]\nType = Logger\nSeverity = All\nAddAppenders = FileAppender,ConsoleAppender\nAdditive = false\n"
         L"[SimpleLayout]\nType = Layout\nLayoutType = Custom\nFormat = \"%date %time %severity %msg\"\n"
         L"[FileAppender]\nType = Appender\nAppenderType = File\nFileName = " +
         folder +
         L"\\zorremover.log\nLayout = SimpleLayout\n"
         L"[ConsoleAppender]\nType = Appender\nBreakSeverity = Info\nAppenderType = Console\n"
         L"Target = System.out\nLayout = SimpleLayout\n";
}

std::unique_ptr<LogManager> SeparateManager() {
  StatusCode result = status::GenericFailure;
  std::unique_ptr<LogManager> manager = LogManager::CreateSeparate(result);
  EXPECT_EQ(result, status::Success);
  if (manager) manager->RegisterAppenderFactory(test::kMemoryAppenderType, test::MakeMemoryAppender);
  return manager;
}

MemoryAppender* Memory(LogManager& manager, std::wstring_view name) {
  return dynamic_cast<MemoryAppender*>(manager.FindAppender(name));
}

StatusCode LogText(Logger& logger, Severity severity, std::wstring_view text) {
  return logger.Log(severity, text, kFileId, 10, 20, 30, 40);
}

// A memory appender "Out" with the custom layout "L" of `format` (and any
// further layout keys), and the logger "Engine" writing to it at the given
// severity (the default when empty).
std::wstring MemoryOutput(std::wstring_view format, std::wstring_view severity = {},
                          std::wstring_view layoutKeys = {}) {
  std::wstring text = L"[Out]\nType = Appender\nAppenderType = TestMemory\nLayout = L\n"
                      L"[L]\nType = Layout\nLayoutType = Custom\nFormat = ";
  text.append(format).append(L"\n").append(layoutKeys).append(L"[Engine]\n");
  if (!severity.empty()) text.append(L"Severity = ").append(severity).append(L"\n");
  return text + L"AddAppenders = Out\n";
}

TEST(LogManager, BuiltInConfigurationLogsToTheFileAndInfoUpToTheConsole) {
  test::TestFolder folder;
  test::StandardHandleCapture capture;
  ASSERT_EQ(Configure(BuiltInConfiguration(folder.Path())), status::Success);
  Logger* logger = GetLogger(L"ZorRemover");
  ASSERT_NE(logger, nullptr);
  EXPECT_EQ(logger->Threshold(), severity::All);
  EXPECT_FALSE(logger->Additive());
  EXPECT_EQ(GetLogger(L"root")->Threshold(), severity::All);

  const LogSite site{kFileId, 77};
  EXPECT_EQ(LogMessage(*logger, severity::Debug, site, L"Stage %s failed (%x)", L"Files", CodeFromBits(0xE0010013)),
            status::Success);
  EXPECT_EQ(LogMessage(*logger, severity::Info, site, L"Removing %d services", 38), status::Success);
  EXPECT_EQ(LogMessage(*logger, severity::Warn, site, L"Caf\u00e9 locked"), status::Success);
  std::string output;
  std::string error;
  capture.Finish(output, error);

  bool wellFormed = false;
  const std::vector<std::wstring> lines = test::ReadLogLines(folder.File(L"zorremover.log"), &wellFormed);
  EXPECT_TRUE(wellFormed);
  ASSERT_EQ(lines.size(), 3u);
  const std::wregex shape(LR"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d,\d{3} )");
  const wchar_t* expected[] = {L"DEBUG Stage Files failed (e0010013)", L"INFO Removing 38 services",
                               L"WARN Caf\u00e9 locked"};
  for (std::size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(i);
    ASSERT_GE(lines[i].size(), 24u);
    EXPECT_TRUE(std::regex_match(lines[i].substr(0, 24), shape)) << std::string(lines[i].begin(), lines[i].end());
    EXPECT_EQ(lines[i].substr(24), expected[i]);
  }
  // The console shows INFO and up, one line each, in the OEM code page.
  ASSERT_EQ(GetOEMCP(), 437u) << "the test prefix is expected to use the US OEM code page";
  const std::regex console(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d,\d{3} INFO Removing 38 services\n)"
                           R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d,\d{3} WARN Caf\x82 locked\n)");
  EXPECT_TRUE(std::regex_match(output, console)) << output;
  EXPECT_EQ(error, "");
}

TEST(LogManager, RootOnlyConfigurationSetsTheThresholdAndNoAppenders) {
  auto manager = SeparateManager();
  ASSERT_TRUE(manager);
  EXPECT_EQ(manager->Root().Threshold(), severity::Info);
  ASSERT_EQ(manager->Configure(L"[root]\nSeverity = All\n"), status::Success);
  EXPECT_EQ(manager->Root().Threshold(), static_cast<Severity>(0x80000000u));
  EXPECT_TRUE(manager->Root().Appenders().empty());
  EXPECT_NE(manager->FindLayout(L"defaultLayout"), nullptr);
}

TEST(LogManager, TheRootSectionIsAlwaysTheRootLogger) {
  auto manager = SeparateManager();
  ASSERT_TRUE(manager);
  ASSERT_EQ(manager->Configure(L"[Out]\nType = Appender\nAppenderType = Null\n"
                               L"[root]\nType = Appender\nSeverity = Warn\nDisableDefaultAppenders = true\n"
                               L"AddAppenders = Out\n"),
            status::Success);
  EXPECT_EQ(manager->Root().Threshold(), severity::Warn);
  EXPECT_EQ(manager->Root().Appenders(), std::vector<Appender*>{manager->FindAppender(L"Out")});
  EXPECT_EQ(manager->FindAppender(L"root"), nullptr);
}

TEST(LogManager, FirstUseFromManyThreadsMakesOneManager) {
  constexpr int kThreads = 8;
  Logger* found[kThreads] = {};
  std::thread threads[kThreads];
  for (int i = 0; i < kThreads; ++i) {
    threads[i] = std::thread([&found, i] { found[i] = GetLogger(L"FirstUse.Shared"); });
  }
  for (std::thread& thread : threads) thread.join();
  ASSERT_NE(found[0], nullptr);
  for (Logger* logger : found) EXPECT_EQ(logger, found[0]);
  EXPECT_EQ(found[0]->Parent(), GetLogger(L"FirstUse"));
  EXPECT_EQ(GetLogger(L"FirstUse")->Parent(), GetLogger(L"Root"));
}

TEST(LogManager, LoggerKeysFollowTheirRules) {
  const struct {
    const wchar_t* keys;
    Severity threshold;
    bool additive;
  } rows[] = {
      {L"", severity::Info, true},
      {L"Additive = False\n", severity::Info, true},
      {L"Additive = false\n", severity::Info, false},
      {L"Additive = no\n", severity::Info, false},
      {L"Additive = 0\n", severity::Info, false},
      {L"Additive = yes\n", severity::Info, true},
      {L"Severity = info\n", severity::Info, true},
      {L"Severity = verbose\n", severity::Off, true},
      {L"Severity = DEBUG\n", severity::Debug, true},
      {L"Severity = Detail\nType = Logger\n", severity::Detail, true},
      {L"Severity = All\nType = Something\n", severity::All, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.keys);
    auto manager = SeparateManager();
    ASSERT_TRUE(manager);
    ASSERT_EQ(manager->Configure(std::wstring(L"[Engine]\n") + row.keys), status::Success);
    Logger* logger = manager->GetLogger(L"Engine");
    EXPECT_EQ(logger->Threshold(), row.threshold);
    EXPECT_EQ(logger->Additive(), row.additive);
  }
}

TEST(LogManager, AddAppendersKeepsTheOrderAndRefusesUnknownNames) {
  auto manager = SeparateManager();
  ASSERT_TRUE(manager);
  const std::wstring appenders =
      L"[Out1]\nType = Appender\nAppenderType = Null\n[Out2]\nType = Appender\nAppenderType = Syslog\n"
      L"[Out3]\nType = Appender\nAppenderType = TestMemory\n";
  // A ";" outside quotes starts a comment, so a list with one is quoted.
  ASSERT_EQ(manager->Configure(appenders + L"[Engine]\nAddAppenders = \"Out1;Out2,Out3\"\n"), status::Success);
  const std::vector<Appender*> expected = {manager->FindAppender(L"Out1"), manager->FindAppender(L"Out2"),
                                           manager->FindAppender(L"Out3")};
  EXPECT_EQ(manager->GetLogger(L"Engine")->Appenders(), expected);
  EXPECT_NE(expected[0], nullptr);
  EXPECT_NE(expected[1], nullptr);
  EXPECT_NE(expected[2], nullptr);

  auto other = SeparateManager();
  ASSERT_TRUE(other);
  EXPECT_EQ(other->Configure(appenders + L"[Engine]\nAddAppenders = Out3,Missing,Out1\n"), status::ConfigNotFound);
  EXPECT_EQ(other->GetLogger(L"Engine")->Appenders(), std::vector<Appender*>{other->FindAppender(L"Out3")});

  auto unquoted = SeparateManager();
  ASSERT_TRUE(unquoted);
  ASSERT_EQ(unquoted->Configure(appenders + L"[Engine]\nAddAppenders = Out1;Out2,Out3\n"), status::Success);
  EXPECT_EQ(unquoted->GetLogger(L"Engine")->Appenders(), std::vector<Appender*>{unquoted->FindAppender(L"Out1")});
}

// The list is split at ";" and "," and nothing else: a blank around a name
// or an empty part names no appender, and the refusal says which.
TEST(LogManager, AddAppendersRefusesBlanksAndEmptyPartsAndSaysSo) {
  const std::wstring appenders =
      L"[Out1]\nType = Appender\nAppenderType = Null\n[Out2]\nType = Appender\nAppenderType = Syslog\n";
  const struct {
    const wchar_t* value;
    const wchar_t* refusal;
  } rows[] = {
      {L"Out1, Out2", L"Logger 'Engine': AddAppenders \"Out1, Out2\" names no appender ' Out2'"},
      {L"\"Out1 ,Out2\"", L"Logger 'Engine': AddAppenders \"Out1 ,Out2\" names no appender 'Out1 '"},
      {L"Out1,,Out2", L"Logger 'Engine': AddAppenders \"Out1,,Out2\" names no appender ''"},
      {L"Out1,", L"Logger 'Engine': AddAppenders \"Out1,\" names no appender ''"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(test::Narrow(row.value));
    auto manager = SeparateManager();
    ASSERT_TRUE(manager);
    EXPECT_EQ(manager->Configure(appenders + L"[Engine]\nAddAppenders = " + row.value + L"\n"),
              status::ConfigNotFound);
    EXPECT_EQ(manager->Refusals(), std::vector<std::wstring>{row.refusal});
  }
  auto good = SeparateManager();
  ASSERT_TRUE(good);
  EXPECT_EQ(good->Configure(appenders + L"[Engine]\nAddAppenders = Out1,Out2\n"), status::Success);
  EXPECT_TRUE(good->Refusals().empty());
}

TEST(LogManager, GetLoggerCreatesAncestorsAndRecordsTravelUpWhileAdditive) {
  auto manager = SeparateManager();
  ASSERT_TRUE(manager);
  Logger* files = manager->GetLogger(L"Engine.Files");
  ASSERT_NE(files, nullptr);
  Logger* engine = manager->GetLogger(L"Engine");
  ASSERT_NE(engine, nullptr);
  EXPECT_EQ(files->Parent(), engine);
  EXPECT_EQ(engine->Parent(), &manager->Root());
  EXPECT_EQ(manager->GetLogger(L"ROOT"), &manager->Root());
  EXPECT_EQ(manager->GetLogger(L"Engine.Files"), files);
  EXPECT_EQ(files->Name(), L"Engine.Files");
  EXPECT_EQ(files->Threshold(), severity::Info);

  ASSERT_EQ(manager->Configure(L"[ForRoot]\nType = Appender\nAppenderType = TestMemory\nLayout = L\n"
                               L"[ForEngine]\nType = Appender\nAppenderType = TestMemory\nLayout = L\n"
                               L"[ForFiles]\nType = Appender\nAppenderType = TestMemory\nLayout = L\n"
                               L"[L]\nType = Layout\nLayoutType = Custom\nFormat = %logger:%msg\n"
                               L"[root]\nAddAppenders = ForRoot\n"
                               L"[Engine]\nAddAppenders = ForEngine\nSeverity = Error\n"
                               L"[Engine.Files]\nAddAppenders = ForFiles\n"),
            status::Success);
  // The parents' thresholds play no part once a record is on its way.
  EXPECT_EQ(LogText(*files, severity::Info, L"one"), status::Success);
  const std::vector<std::wstring> one = {L"Engine.Files:one"};
  EXPECT_EQ(Memory(*manager, L"ForFiles")->lines, one);
  EXPECT_EQ(Memory(*manager, L"ForEngine")->lines, one);
  EXPECT_EQ(Memory(*manager, L"ForRoot")->lines, one);

  ASSERT_EQ(manager->Configure(L"[Engine]\nAdditive = false\n"), status::Success);
  EXPECT_EQ(LogText(*files, severity::Info, L"two"), status::Success);
  EXPECT_EQ(Memory(*manager, L"ForFiles")->lines,
            (std::vector<std::wstring>{L"Engine.Files:one", L"Engine.Files:two"}));
  EXPECT_EQ(Memory(*manager, L"ForEngine")->lines,
            (std::vector<std::wstring>{L"Engine.Files:one", L"Engine.Files:two"}));
  EXPECT_EQ(Memory(*manager, L"ForRoot")->lines, one);
}

TEST(LogManager, FailingAppenderIsReportedAsWarningAndKeepsTheRecordFromTheParent) {
  auto manager = SeparateManager();
  ASSERT_TRUE(manager);
  ASSERT_EQ(
      manager->Configure(L"[Good1]\nType = Appender\nAppenderType = TestMemory\nLayout = L\n"
                         L"[Bad]\nType = Appender\nAppenderType = TestMemory\nLayout = L\nFailWith = 0xE0010058\n"
                         L"[Bad2]\nType = Appender\nAppenderType = TestMemory\nLayout = L\nFailWith = 0xC0070020\n"
                         L"[Good2]\nType = Appender\nAppenderType = TestMemory\nLayout = L\n"
                         L"[Parent]\nType = Appender\nAppenderType = TestMemory\nLayout = L\n"
                         L"[L]\nType = Layout\nLayoutType = Custom\nFormat = %msg\n"
                         L"[root]\nAddAppenders = Parent\n"
                         L"[Engine]\nAddAppenders = Good1,Bad,Bad2,Good2\n"),
      status::Success);
  EXPECT_EQ(static_cast<std::uint32_t>(LogText(*manager->GetLogger(L"Engine"), severity::Info, L"m")), 0xA0010058u);
  EXPECT_EQ(Memory(*manager, L"Good1")->lines, std::vector<std::wstring>{L"m"});
  EXPECT_EQ(Memory(*manager, L"Good2")->lines, std::vector<std::wstring>{L"m"});
  EXPECT_TRUE(Memory(*manager, L"Parent")->lines.empty());
  EXPECT_EQ(static_cast<std::uint32_t>(AsLoggingWarning(CodeFromBits(0xC0070020))), 0x80070020u);

  // The failing appender is tried again with the next record.
  Memory(*manager, L"Bad")->failWith = status::Success;
  Memory(*manager, L"Bad2")->failWith = status::Success;
  EXPECT_EQ(LogText(*manager->GetLogger(L"Engine"), severity::Info, L"n"), status::Success);
  EXPECT_EQ(Memory(*manager, L"Bad")->lines, std::vector<std::wstring>{L"n"});
  EXPECT_EQ(Memory(*manager, L"Parent")->lines, std::vector<std::wstring>{L"n"});
}

TEST(LogManager, EachSectionFailureStopsTheConfigurationWithItsCode) {
  test::TestFolder folder;
  const std::wstring file = folder.File(L"x.log");
  const struct {
    std::wstring text;
    std::uint32_t expected;
  } rows[] = {
      {L"[A]\nType = Appender\nAppenderType = Bogus\n", 0xE001001B},
      {L"[A]\nType = Appender\nAppenderType = file\nFileName = " + file + L"\n", 0xE001001B},
      {L"[A]\nType = Appender\n", 0xE0010015},
      {L"[A]\nType = Appender\nAppenderType = SharedFile\nFileName = " + file + L"\n", 0xE0010062},
      {L"[A]\nType = Appender\nAppenderType = File\n", 0xE0010015},
      {L"[A]\nType = Appender\nAppenderType = Null\nLayout = NoSuchLayout\n", 0xE0010015},
      {L"[A]\nType = Appender\nAppenderType = RollingDateFile\nFileName = " + file +
           L"\nFilesCount = 3\nDaysCount = 2\n",
       0xE0010002},
      {L"[A]\nType = Appender\nAppenderType = RollingFile\nFileName = " + file + L"\nFilesCount = -1\n", 0xE0010002},
      {L"[L]\nType = Layout\nLayoutType = Fw\nFormat = %msg\n", 0xE0010063},
      {L"[L]\nType = Layout\nLayoutType = Nope\n", 0xE001001D},
      {L"[L]\nType = Layout\n", 0xE0010015},
      {L"[L]\nType = Layout\nLayoutType = Custom\n", 0xE0010015},
      {L"[defaultLayout]\nType = Layout\nLayoutType = Custom\nFormat = %msg\n", 0xE0010063},
      {L"[Engine]\nAddAppenders = Nowhere\n", 0xE0010015},
      {L"Key = 1\n[S\n[T]\nA = \"\n[T]\n", 0},
      {L"[A]\nType = Appender\nAppenderType = RollingFile\nFileName = " + file + L"\nSize = 100\nFilesCount = 2\n", 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.text.begin(), row.text.end()));
    auto manager = SeparateManager();
    ASSERT_TRUE(manager);
    EXPECT_EQ(static_cast<std::uint32_t>(manager->Configure(row.text)), row.expected);
  }
}

TEST(LogManager, ObjectsConfiguredBeforeAFailureStayConfigured) {
  auto manager = SeparateManager();
  ASSERT_TRUE(manager);
  // Layouts first, then appenders, then loggers: the bad appender stops
  // the loggers, never the layout.
  EXPECT_EQ(manager->Configure(L"[AGood]\nType = Appender\nAppenderType = TestMemory\nLayout = L\n"
                               L"[BBad]\nType = Appender\nAppenderType = Bogus\n"
                               L"[L]\nType = Layout\nLayoutType = Custom\nFormat = %msg\n"
                               L"[Engine]\nSeverity = Error\nAddAppenders = AGood\n"),
            status::AppenderTypeUnknown);
  EXPECT_NE(manager->FindLayout(L"L"), nullptr);
  EXPECT_NE(manager->FindAppender(L"AGood"), nullptr);
  EXPECT_EQ(manager->FindAppender(L"BBad"), nullptr);
  EXPECT_EQ(manager->GetLogger(L"Engine")->Threshold(), severity::Info);
  EXPECT_TRUE(manager->GetLogger(L"Engine")->Appenders().empty());
}

TEST(LogManager, SecondConfigurationIsMergedAndReapplied) {
  auto manager = SeparateManager();
  ASSERT_TRUE(manager);
  ASSERT_EQ(manager->Configure(MemoryOutput(L"first:%msg", L"Warn")),
            status::Success);
  Appender* out = manager->FindAppender(L"Out");
  ASSERT_EQ(manager->Configure(L"[L]\nFormat = second:%msg\n[Engine]\nSeverity = Debug\n[Other]\nAddAppenders = Out\n"),
            status::Success);
  EXPECT_EQ(manager->FindAppender(L"Out"), out);
  EXPECT_EQ(manager->GetLogger(L"Engine")->Threshold(), severity::Debug);
  EXPECT_EQ(manager->GetLogger(L"Engine")->Appenders(), std::vector<Appender*>{out});
  EXPECT_EQ(manager->GetLogger(L"Other")->Appenders(), std::vector<Appender*>{out});
  EXPECT_EQ(LogText(*manager->GetLogger(L"Engine"), severity::Info, L"m"), status::Success);
  EXPECT_EQ(Memory(*manager, L"Out")->lines, std::vector<std::wstring>{L"second:m"});

  const ConfigDocument stored = manager->Document();
  std::wstring value;
  EXPECT_EQ(stored.FindSection(L"Engine")->GetValue(L"AddAppenders", value), status::Success);
  EXPECT_EQ(value, L"Out");
  EXPECT_EQ(stored.FindSection(L"L")->GetValue(L"LayoutType", value), status::Success);
  EXPECT_EQ(value, L"Custom");
}

TEST(LogManager, ReconfiguringAnAppenderAsAnotherTypeIsRefused) {
  auto manager = SeparateManager();
  ASSERT_TRUE(manager);
  ASSERT_EQ(manager->Configure(L"[Out]\nType = Appender\nAppenderType = Null\n"), status::Success);
  EXPECT_EQ(manager->Configure(L"[Out]\nAppenderType = Console\n"), status::AppenderTypeMismatch);
}

TEST(LogManager, AppenderWithoutLayoutKeyUsesTheDefaultLayout) {
  auto manager = SeparateManager();
  ASSERT_TRUE(manager);
  ASSERT_EQ(
      manager->Configure(L"[Out]\nType = Appender\nAppenderType = TestMemory\n[Engine.Files]\nAddAppenders = Out\n"),
      status::Success);
  EXPECT_EQ(manager->GetLogger(L"Engine.Files")->Log(severity::Warn, L"", L"", 5, 6, 7, 8), status::Success);
  ASSERT_EQ(Memory(*manager, L"Out")->lines.size(), 1u);
  const std::wstring& line = Memory(*manager, L"Out")->lines.front();
  const std::wstring expectedTail = L" " + ComputerName() + L" PID:" + std::to_wstring(GetCurrentProcessId()) +
                                    L" THID:" + std::to_wstring(GetCurrentThreadId()) +
                                    L" ID:MISSINGFILEID:5.6.7.8 MSG:*";
  ASSERT_GT(line.size(), expectedTail.size() + 40);
  EXPECT_EQ(line.substr(0, 22), L"[Engine.Files] WARN 20");
  EXPECT_EQ(line.substr(line.size() - expectedTail.size()), expectedTail);
  EXPECT_TRUE(std::regex_match(line.substr(20, 23), std::wregex(LR"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d,\d{3})")));
}

TEST(LogManager, ParseErrorsAreRecordedWithoutFailingTheConfiguration) {
  auto manager = SeparateManager();
  ASSERT_TRUE(manager);
  EXPECT_EQ(manager->Configure(L"[root]\nSeverity = Warn\nbroken line\n[Engine\nSeverity = Debug\n"), status::Success);
  EXPECT_EQ(manager->Document().Errors(),
            (std::vector<ConfigLineError>{{3, status::ConfigKeyLineInvalid}, {4, status::ConfigHeaderUnclosed}}));
  EXPECT_EQ(manager->Root().Threshold(), severity::Warn);
}

TEST(LogManager, LogFillsTypedArgumentsAndProtectsMessages) {
  auto manager = SeparateManager();
  ASSERT_TRUE(manager);
  ASSERT_EQ(manager->Configure(MemoryOutput(L"%msg")),
            status::Success);
  Logger& logger = *manager->GetLogger(L"Engine");
  EXPECT_EQ(logger.Options(), 6u);
  const LogArgumentList arguments = {LogArgument::Text(L"C:\\ZOR"), LogArgument::ErrorCode(CodeFromBits(0xE0010013))};
  EXPECT_EQ(logger.Log(severity::Info, L"deleting %s failed (%08x)\r\n", kFileId, 1, 2, 3, 4, 0, arguments),
            status::Success);
  EXPECT_EQ(logger.Log(severity::Info, L"", kFileId, 1, 2, 3, 4, 0, arguments), status::Success);
  EXPECT_EQ(logger.Log(severity::Info, L"secret token", kFileId, 1, 2, 3, 4, 1), status::Success);
  EXPECT_EQ(logger.Log(severity::Info, L"", kFileId, 1, 2, 3, 4, 1), status::Success);

  const std::vector<std::wstring>& lines = Memory(*manager, L"Out")->lines;
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], L"deleting C:\\ZOR failed (e0010013)\r\n");
  EXPECT_EQ(lines[1], L"");
  int matchingKeys = 0;
  for (std::uint8_t key = 0; key < kProtectionKeyCount; ++key) {
    if (lines[2] == ProtectMessage(L"secret token", key)) ++matchingKeys;
  }
  EXPECT_EQ(matchingKeys, 1) << std::string(lines[2].begin(), lines[2].end());
  EXPECT_EQ(lines[3], L"");
}

TEST(LogManager, LogAsyncDeliversRecordsInOrder) {
  auto manager = SeparateManager();
  ASSERT_TRUE(manager);
  ASSERT_EQ(manager->Configure(MemoryOutput(L"%msg")),
            status::Success);
  Logger& logger = *manager->GetLogger(L"Engine");
  std::vector<std::wstring> expected;
  for (int i = 0; i < 500; ++i) {
    expected.push_back(std::to_wstring(i));
    ASSERT_EQ(logger.LogAsync(severity::Info, expected.back(), kFileId, 1, 2, 3, 4), status::Success);
  }
  ASSERT_TRUE(manager->WaitForQueue(20000));
  EXPECT_EQ(Memory(*manager, L"Out")->lines, expected);
}

TEST(LogManager, LogWritesWhatItIsGivenAndTheHelperTestsTheThreshold) {
  auto manager = SeparateManager();
  ASSERT_TRUE(manager);
  ASSERT_EQ(manager->Configure(MemoryOutput(L"%severity %msg", L"Warn")),
            status::Success);
  Logger& logger = *manager->GetLogger(L"Engine");
  EXPECT_EQ(LogText(logger, severity::Debug, L"given"), status::Success);
  EXPECT_EQ(LogMessage(logger, severity::Info, {kFileId, 1}, L"filtered %d", 1), status::Success);
  EXPECT_EQ(LogMessage(logger, severity::Warn, {kFileId, 1}, L"passed %d", 2), status::Success);
  EXPECT_EQ(Memory(*manager, L"Out")->lines, (std::vector<std::wstring>{L"DEBUG given", L"WARN passed 2"}));
}

// An argument whose text cannot be made, as when memory runs out.
struct UnwritableText {
  operator std::wstring() const { throw std::bad_alloc(); }
};

TEST(LogManager, AMessageThatCannotBeMadeIsCountedAndDroppedWithoutThrowing) {
  auto manager = SeparateManager();
  ASSERT_TRUE(manager);
  ASSERT_EQ(manager->Configure(MemoryOutput(L"%severity %msg", L"Info")),
            status::Success);
  Logger& logger = *manager->GetLogger(L"Engine");
  const std::uint64_t before = DroppedLogMessages();
  EXPECT_EQ(LogMessage(logger, severity::Warn, {kFileId, 1}, L"lost %s", UnwritableText{}), status::GenericFailure);
  EXPECT_EQ(DroppedLogMessages(), before + 1);
  // Below the threshold nothing is made, so nothing is lost.
  EXPECT_EQ(LogMessage(logger, severity::Debug, {kFileId, 1}, L"lost %s", UnwritableText{}), status::Success);
  EXPECT_EQ(DroppedLogMessages(), before + 1);
  EXPECT_EQ(LogMessage(logger, severity::Warn, {kFileId, 1}, L"kept %d", 3), status::Success);
  EXPECT_EQ(Memory(*manager, L"Out")->lines, (std::vector<std::wstring>{L"WARN kept 3"}));
}

TEST(LogManager, HeaderAndFooterFrameEachOpeningOfTheOutput) {
  auto manager = SeparateManager();
  ASSERT_TRUE(manager);
  ASSERT_EQ(manager->Configure(MemoryOutput(L"%msg", L"", L"Header = begin\nFooter = end\n")),
            status::Success);
  manager->SetOpeningText(L"opening");
  Logger& logger = *manager->GetLogger(L"Engine");
  EXPECT_EQ(LogText(logger, severity::Info, L"a"), status::Success);
  EXPECT_EQ(LogText(logger, severity::Info, L"b"), status::Success);
  MemoryAppender* out = Memory(*manager, L"Out");
  EXPECT_EQ(out->Close(), status::Success);
  EXPECT_EQ(LogText(logger, severity::Info, L"c"), status::Success);
  EXPECT_EQ(out->lines,
            (std::vector<std::wstring>{L"begin", L"opening", L"a", L"b", L"end", L"begin", L"opening", L"c"}));
  EXPECT_EQ(out->opens, 2);
  EXPECT_EQ(out->closes, 1);
}

}  // namespace
}  // namespace zor
