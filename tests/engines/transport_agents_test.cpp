// The transport-agent step with a stand-in powershell.exe first on the
// path: it records the command line it was started with and names the
// script it found, so the test sees each script written, run through the
// right shell with the right command line, logged, and deleted.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "engines/mail_plugin_names.h"
#include "engines/mail_plugin_remover.h"
#include "engines/stage_files.h"
#include "tests/engines/engine_under_test.h"
#include "tests/platform/file_test_support.h"
#include "tests/platform/registry_test_support.h"
#include "tests/support/child_process.h"
#include "tests/support/line_checks.h"
#include "tests/support/narrow_text.h"
#include "tests/support/recorded_commands.h"

namespace zor {
namespace {

using Lines = std::vector<std::string>;
using test::Narrow;
using test::RecordedCommands;
using Stage = test::EngineUnderTest<MailPluginRemover>;

const std::wstring kSetup2007 = L"Software\\Microsoft\\Exchange\\v8.0\\Setup";
const std::wstring kSetup2010 = L"Software\\Microsoft\\ExchangeServer\\v14\\Setup";
const std::wstring kExchange2007 = L"C:\\Program Files\\Microsoft\\Exchange Server\\";
const std::wstring kExchange2010 = L"C:\\Program Files\\Microsoft\\Exchange Server\\V14\\";

// The scripts as the source tree keeps them, in the order the stage runs
// them (resources 102, 104, 103, 112, 114, 113).
std::vector<std::string> ScriptSources() {
  const wchar_t* names[] = {L"zor10-antispam-agent", L"zor10-antivirus-smtp-agent", L"zor10-antivirus-routing-agent",
                            L"zor9-antispam-agent",  L"zor9-antivirus-smtp-agent",  L"zor9-antivirus-routing-agent"};
  std::vector<std::string> sources;
  for (const wchar_t* name : names)
    sources.push_back(test::ReadTextFile(test::WindowsPathOf(ZOR_TRANSPORT_SCRIPTS) + L"\\" + name + L".ps1"));
  return sources;
}

std::wstring FromUtf8(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring text(size, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), size);
  return text;
}

template <typename Text>
std::vector<Text> SplitLines(const Text& text) {
  std::vector<Text> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == Text::npos) end = text.size();
    Text line = text.substr(start, end - start);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::wstring Doubled(const std::wstring& text) {
  std::wstring doubled;
  for (wchar_t c : text) doubled += c == L'\'' ? L"''" : std::wstring(1, c);
  return doubled;
}

// The machine as each case leaves it for the stage: the stand-in first on
// the path, a temporary folder of the test's own, and the script log beside
// the test program removed.
class ShellStage {
 public:
  explicit ShellStage(const std::wstring& temporaryName) : temporary_(temporary_base_.path() + L"\\" + temporaryName) {
    test::MakeFolder(temporary_);
    SetEnvironmentVariableW(L"TMP", temporary_.c_str());
    const std::wstring standIn = test::WindowsPathOf(ZOR_STAND_IN_POWERSHELL);
    wchar_t path[32768] = {};
    GetEnvironmentVariableW(L"PATH", path, 32768);
    SetEnvironmentVariableW(L"PATH", (standIn.substr(0, standIn.rfind(L'\\')) + L";" + path).c_str());
    record_ = temporary_base_.path() + L"\\stand-in-record.txt";
    SetEnvironmentVariableW(L"ZOR_STAND_IN_RECORD", record_.c_str());
    BesideProgram(kScriptLogName, log_);
    DeleteFileW(log_.c_str());
    test::RemoveTree(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Exchange", KEY_WOW64_64KEY);
    test::RemoveTree(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\ExchangeServer", KEY_WOW64_64KEY);
  }
  ~ShellStage() { DeleteFileW(log_.c_str()); }

  const std::wstring& temporary() const { return temporary_; }
  const std::wstring& log() const { return log_; }
  // Nothing when the file was never made.
  std::vector<std::wstring> Recorded() const {
    return test::PathExists(record_) ? SplitLines(FromUtf8(test::ReadTextFile(record_))) : std::vector<std::wstring>{};
  }
  Lines ScriptLog() const { return test::PathExists(log_) ? SplitLines(test::ReadTextFile(log_)) : Lines{}; }

 private:
  test::TestFolder temporary_base_;
  std::wstring temporary_;
  std::wstring record_;
  std::wstring log_;
};

struct ExchangeCase {
  const char* name;
  std::optional<std::wstring> install2007;
  std::optional<std::wstring> install2010;
  const char* temporaryName;
};

class TransportAgents : public testing::TestWithParam<ExchangeCase> {};

TEST_P(TransportAgents, EachScriptRunsThroughEveryShellFoundAndIsDeleted) {
  const ExchangeCase& exchange = GetParam();
  ShellStage shell(test::Widen(exchange.temporaryName));
  if (exchange.install2007) {
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kSetup2007, L"MSiInstallPath", *exchange.install2007,
                                  KEY_WOW64_64KEY));
  }
  if (exchange.install2010) {
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kSetup2010, L"MSiInstallPath", *exchange.install2010,
                                  KEY_WOW64_64KEY));
  }
  const bool has2007 = exchange.install2007 && !exchange.install2007->empty();
  const bool has2010 = exchange.install2010 && !exchange.install2010->empty();

  RecordedCommands recorded;
  Stage stage;
  const StatusRecord result = stage.remover.RemoveTransportAgents();
  ASSERT_TRUE(result.Empty()) << std::hex << result.Code();
  EXPECT_EQ(stage.context.parameters.RestartCounter, 0);
  const Lines lines = stage.log.TakeLines();

  if (!has2007 && !has2010) {
    EXPECT_EQ(lines, Lines{"INFO Exchange 2007/2010 not instaled on this machine"});
    EXPECT_TRUE(RecordedCommands::commands.empty());
    return;
  }
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "INFO Exchange 2007 found at '" + Narrow(kExchange2007) + "'"),
            has2007 ? 1 : 0);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "INFO Exchange 2010 found at '" + Narrow(kExchange2010) + "'"),
            has2010 ? 1 : 0);

  // Per script: the header echoed into the log, then one command per shell.
  const std::size_t perScript = 1 + (has2007 ? 1 : 0) + (has2010 ? 1 : 0);
  const std::vector<std::wstring>& commands = RecordedCommands::commands;
  ASSERT_EQ(commands.size(), perScript * kTransportAgentScripts.size());
  const std::wstring log = L">>\"" + shell.log() + L"\"";
  const std::wregex scriptName(L".*\\\\zor-[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}\\.ps1");
  std::vector<std::wstring> scripts;
  std::vector<std::wstring> shellCalls;
  for (std::size_t i = 0; i < kTransportAgentScripts.size(); ++i) {
    const std::wstring* command = &commands[i * perScript];
    EXPECT_EQ(command[0], L"@echo --------- Executing script #" + std::to_wstring(i) + L" " + log);
    const std::wstring& first = command[1];
    const std::size_t open = first.find(L". '" + Doubled(shell.temporary()));
    ASSERT_NE(open, std::wstring::npos) << Narrow(first);
    const std::size_t close = first.find(L"' -norestart", open);
    ASSERT_NE(close, std::wstring::npos) << Narrow(first);
    const std::wstring quoted = first.substr(open + 3, close - open - 3);
    std::wstring script = std::regex_replace(quoted, std::wregex(L"''"), L"'");
    EXPECT_TRUE(std::regex_match(script, scriptName)) << Narrow(script);
    scripts.push_back(script);
    std::size_t next = 1;
    if (has2007) {
      const std::wstring call = L"\u2013PSConsoleFile \"" + kExchange2007 + L"Bin\\ExShell.psc1\" \u2013Command \". '" +
                                quoted + L"' -norestart\"";
      EXPECT_EQ(command[next++], L"powershell.exe " + call + L" " + log);
      shellCalls.push_back(call);
      EXPECT_TRUE(test::HasLine(lines, "INFO Removing Exchange 2007 by command line: " + Narrow(command[next - 1])));
    }
    if (has2010) {
      const std::wstring call = L"-command \". '" + Doubled(kExchange2010) +
                                L"Bin\\RemoteExchange.ps1'; Connect-ExchangeServer -auto; . '" + quoted +
                                L"' -norestart\"";
      EXPECT_EQ(command[next++], L"PowerShell.exe " + call + L" " + log);
      shellCalls.push_back(call);
      EXPECT_TRUE(test::HasLine(lines, "INFO Removing Exchange 2010 by command line: " + Narrow(command[next - 1])));
    }
  }
  std::vector<std::wstring> distinct = scripts;
  std::sort(distinct.begin(), distinct.end());
  EXPECT_EQ(std::unique(distinct.begin(), distinct.end()), distinct.end());
  EXPECT_TRUE(test::FolderNames(shell.temporary()).empty());

  // The shell was started with exactly those arguments, dashes and all.
  const std::vector<std::wstring> started = shell.Recorded();
  ASSERT_EQ(started.size(), shellCalls.size());
  for (std::size_t k = 0; k < started.size(); ++k) {
    EXPECT_NE(started[k].find(shellCalls[k]), std::wstring::npos) << Narrow(started[k]);
    EXPECT_EQ(started[k].substr(started[k].size() - shellCalls[k].size()), shellCalls[k]) << Narrow(started[k]);
  }

  // The log: each header, then what each shell said about its script, which
  // was there, whole, while it ran.
  const std::vector<std::string> sources = ScriptSources();
  Lines expected;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    expected.push_back("--------- Executing script #" + std::to_string(i));
    const std::string said = "stand-in shell: script of " + std::to_string(sources[i].size()) +
                             " bytes: " + sources[i].substr(0, sources[i].find_first_of("\r\n"));
    for (std::size_t k = 1; k < perScript; ++k) expected.push_back(said);
  }
  EXPECT_EQ(shell.ScriptLog(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Exchange, TransportAgents,
    testing::Values(ExchangeCase{"Exchange2007", kExchange2007, std::nullopt, "temp"},
                    ExchangeCase{"Exchange2010", std::nullopt, kExchange2010, "temp"},
                    ExchangeCase{"Both", kExchange2007, kExchange2010, "temp"},
                    ExchangeCase{"BothWithAnApostropheInTheTemporaryFolder", kExchange2007, kExchange2010,
                                 "O'Neill's temp"},
                    ExchangeCase{"EmptyInstallPathCountsAsAbsent", std::wstring(), std::nullopt, "temp"},
                    ExchangeCase{"Neither", std::nullopt, std::nullopt, "temp"}),
    [](const testing::TestParamInfo<ExchangeCase>& info) { return std::string(info.param.name); });

TEST(TransportAgentsFailure, AScriptThatCannotBeWrittenEndsTheStepBeforeAnyShellRuns) {
  ShellStage shell(L"temp");
  SetEnvironmentVariableW(L"TMP", (shell.temporary() + L"\\missing").c_str());
  ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kSetup2010, L"MSiInstallPath", kExchange2010, KEY_WOW64_64KEY));
  RecordedCommands recorded;
  Stage stage;
  const StatusRecord result = stage.remover.RemoveTransportAgents();
  EXPECT_TRUE(result.Failed());
  EXPECT_TRUE(RecordedCommands::commands.empty());
  EXPECT_TRUE(shell.Recorded().empty());
}

}  // namespace
}  // namespace zor
