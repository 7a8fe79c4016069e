// The main run with engines of the test's own. The separate copy that the
// pipeline starts is this test program again (see the test entry), so the
// real launch and wait run; the restart request goes to a recorder in the
// system table, so no test asks the machine to restart.
#include "app/main_pipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/restart.h"
#include "platform/file_operations.h"
#include "platform/native_api.h"
#include "platform/native_types.h"
#include "platform/registry_key.h"
#include "platform/win32_api.h"
#include "tests/app/run_record_support.h"
#include "tests/logging/logging_test_support.h"
#include "tests/support/line_checks.h"
#include "tests/support/table_swap.h"

namespace zor {
namespace {

using test::HasLine;
using test::Narrow;
using test::Joined;
using test::ScopedRunRecord;

class RecordingEngine final : public StageEngine {
 public:
  RecordingEngine(RunContext& context, std::vector<std::string>& calls, std::string name,
                  std::function<StatusCode(RunParameters&)> body)
      : StageEngine(context), calls_(calls), name_(std::move(name)), body_(std::move(body)) {}

  StatusRecord RunStage() override {
    calls_.push_back(name_);
    return MakeStatus(body_ ? body_(context().parameters) : status::Success);
  }

 private:
  std::vector<std::string>& calls_;
  std::string name_;
  std::function<StatusCode(RunParameters&)> body_;
};

using StageBodies = std::vector<std::pair<std::string, std::function<StatusCode(RunParameters&)>>>;

// Puts a recording engine in every stage; `bodies` says what some of them do.
void UseRecordingEngines(RunContext& context, std::vector<std::string>& calls, const StageBodies& bodies = {}) {
  auto make = [&](const char* name) {
    std::function<StatusCode(RunParameters&)> body;
    for (const auto& [stage, action] : bodies) {
      if (stage == name) body = action;
    }
    return std::make_unique<RecordingEngine>(context, calls, name, body);
  };
  StageEngines& engines = context.engines;
  engines.installerData = make("installer data");
  engines.mailPlugins = make("mail plug-ins");
  engines.services = make("services");
  engines.firewallDriver = make("firewall driver");
  engines.drivers = make("drivers");
  engines.processes = make("processes");
  engines.registry = make("registry");
  engines.files = make("files");
}

// What the separate copy does, through the test entry's environment.
class SeparateCopyScript {
 public:
  SeparateCopyScript(const test::TestFolder& folder, int exitCode) : record_(folder.File(L"copies.txt")) {
    SetEnvironmentVariableW(L"ZOR_TEST_COPY_RECORD", record_.c_str());
    SetEnvironmentVariableW(L"ZOR_TEST_COPY_EXIT", std::to_wstring(exitCode).c_str());
  }
  ~SeparateCopyScript() {
    SetEnvironmentVariableW(L"ZOR_TEST_COPY_RECORD", nullptr);
    SetEnvironmentVariableW(L"ZOR_TEST_COPY_EXIT", nullptr);
  }
  // One command line per copy that ran.
  std::vector<std::string> CommandLines() const {
    std::vector<std::string> lines;
    const std::string text = test::FileExistsAt(record_) ? test::ReadFileBytes(record_) : std::string();
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
      lines.push_back(text.substr(start, end - start));
      start = end + 1;
    }
    return lines;
  }

 private:
  std::wstring record_;
};

// The RunOnce value of the machine, removed before and after each test.
class RunOnceValue {
 public:
  RunOnceValue() { Remove(); }
  ~RunOnceValue() { Remove(); }
  bool Read(std::wstring& data) {
    RegistryKey key(RootLocalMachine);
    return !IsFailure(key.Open(kRunOnceKey)) && !IsFailure(key.GetString(L"ZorRemover", data));
  }

 private:
  static void Remove() {
    RegistryKey key(RootLocalMachine);
    if (!IsFailure(key.Open(kRunOnceKey))) key.DeleteValue(L"ZorRemover");
  }
};

std::string OwnCommandLine() { return Narrow(GetCommandLineW()); }

std::wstring OwnModulePath() {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  return std::wstring(buffer, length);
}

std::vector<std::string> InfoLines(const std::vector<std::string>& lines) {
  std::vector<std::string> info;
  for (const std::string& line : lines) {
    if (line.rfind("INFO ", 0) == 0) info.push_back(line.substr(5));
  }
  return info;
}

struct PipelineRun {
  // Every run writes the machine's record of an unfinished run; each test
  // starts and ends without one.
  ScopedRunRecord record;
  test::TestFolder folder;
  test::CapturedLog log{folder, L"pipeline.log"};
  RunContext context;
  std::vector<std::string> calls;

  PipelineRun() {
    context.logger = log.logger();
    context.parameters.SkipAsk = true;
  }
};

TEST(MainPipeline, RunsEveryStageInItsOrderUnderItsBannerAndTakesTheCopysStep) {
  PipelineRun run;
  UseRecordingEngines(run.context, run.calls);
  SeparateCopyScript copy(run.folder, 4);
  RunOnceValue runOnce;

  const PipelineEnding ending = RunPipelineStages(run.context);

  EXPECT_FALSE(ending.endsProcess);
  EXPECT_EQ(run.calls, (std::vector<std::string>{"installer data", "mail plug-ins", "services", "drivers", "processes",
                                                 "registry", "files"}));
  const std::vector<std::string> lines = run.log.Lines();
  EXPECT_EQ(InfoLines(lines), (std::vector<std::string>{
                                  "ZorRemover runs in attempt number 1",
                                  "*****     Msi data     *****",
                                  "*****     Exchange&Outlook plugins data     *****",
                                  "*****     Services     *****",
                                  "*****     Zor Fw NDIS driver(separate process)     *****",
                                  "*****     end of Fw NDIS separated process     *****",
                                  "*****     Drivers     *****",
                                  "*****     Running ZOR process     *****",
                                  "*****     Registry keys and values     *****",
                                  "*****     Files and folders     *****",
                                  "Verification: 0 item(s) of ZOR remain, 0 of them planned for removal at restart",
                              }));
  EXPECT_TRUE(HasLine(lines, "DEBUG Remove NDIS driver pass, next uninstalation step is 4, old was 1")) << Joined(lines);
  EXPECT_EQ(run.context.parameters.NdisNextStep, 4);
  // One copy, started with this process's whole command line and the two
  // options of the separate mode.
  EXPECT_EQ(copy.CommandLines(), std::vector<std::string>{OwnCommandLine() + " /ndisonly /skipask"});
  std::wstring entry;
  EXPECT_FALSE(runOnce.Read(entry)) << "nothing was planned, so nothing is registered";
}

// A copy that dies (here: of a failed DLL initialisation, 0xC0000142) gives
// an exit code that is Windows' status, not a step: it is a failed attempt,
// tried once more, and the step stays what it was. An exit code just below
// Windows' error statuses is still a step.
TEST(MainPipeline, ACopyThatEndsAbnormallyIsTriedOnceMoreAndLeavesTheStepAlone) {
  struct Case {
    std::int32_t copyExit;
    bool abnormal;
  };
  for (const Case& c : {Case{static_cast<std::int32_t>(0xC0000142u), true},
                        Case{static_cast<std::int32_t>(0xC0000005u), true},
                        Case{static_cast<std::int32_t>(0xBFFFFFFFu), false}}) {
    SCOPED_TRACE(testing::Message() << std::hex << c.copyExit);
    PipelineRun run;
    UseRecordingEngines(run.context, run.calls);
    run.context.parameters.NdisNextStep = 2;
    SeparateCopyScript copy(run.folder, c.copyExit);
    RunOnceValue runOnce;

    RunPipelineStages(run.context);

    const std::vector<std::string> lines = run.log.Lines();
    if (c.abnormal) {
      EXPECT_EQ(copy.CommandLines().size(), 2u);
      EXPECT_EQ(run.context.parameters.NdisNextStep, 2);
      EXPECT_TRUE(HasLine(lines, "DEBUG Remove NDIS driver failed with error 0xe0010105")) << Joined(lines);
      EXPECT_TRUE(HasLine(lines, "DEBUG Second Remove NDIS driver failed with error 0xe0010105")) << Joined(lines);
      char warning[96];
      std::snprintf(warning, sizeof warning, "WARN The separate process ended abnormally (exit code 0x%08x)",
                    static_cast<unsigned>(c.copyExit));
      EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string(warning)), 2) << Joined(lines);
      ASSERT_GT(run.context.report.stages.size(), 3u);
      EXPECT_EQ(run.context.report.stages[3].name, L"firewall-driver");
      EXPECT_EQ(run.context.report.stages[3].nextStep, 2);
    } else {
      EXPECT_EQ(copy.CommandLines().size(), 1u);
      EXPECT_EQ(run.context.parameters.NdisNextStep, c.copyExit);
    }
    // The later stages run either way.
    EXPECT_EQ(run.calls.back(), "files");
  }
}

// An engine that still finds one of its items: the pass asks it after the
// last stage and says what is left.
class LeftoverEngine final : public StageEngine {
 public:
  LeftoverEngine(RunContext& context, std::vector<std::string>& calls) : StageEngine(context), calls_(calls) {}
  StatusRecord RunStage() override {
    calls_.push_back("registry");
    return {};
  }
  void Verify(std::vector<RemainingItem>& remaining) override {
    calls_.push_back("verify");
    remaining.push_back({L"key", L"HKLM\\SOFTWARE\\Zor\\Zor10", L"x86", false});
    remaining.push_back({L"file", L"C:\\Windows\\zorleft.dll", {}, true});
  }

 private:
  std::vector<std::string>& calls_;
};

TEST(MainPipeline, AfterTheLastStageTheVerificationSaysWhatIsLeft) {
  PipelineRun run;
  UseRecordingEngines(run.context, run.calls);
  run.context.engines.registry = std::make_unique<LeftoverEngine>(run.context, run.calls);
  SeparateCopyScript copy(run.folder, 4);
  RunOnceValue runOnce;
  RunPipelineStages(run.context);
  EXPECT_EQ(run.calls, (std::vector<std::string>{"installer data", "mail plug-ins", "services", "drivers", "processes",
                                                 "registry", "files", "verify"}));
  const std::vector<std::string> lines = run.log.Lines();
  const auto files = std::find(lines.begin(), lines.end(), "INFO *****     Files and folders     *****");
  const auto key = std::find(lines.begin(), lines.end(), "WARN Still present: key HKLM\\SOFTWARE\\Zor\\Zor10 (x86)");
  ASSERT_NE(files, lines.end()) << Joined(lines);
  ASSERT_NE(key, lines.end()) << Joined(lines);
  EXPECT_LT(files, key);
  EXPECT_TRUE(HasLine(lines, "WARN Still present: file C:\\Windows\\zorleft.dll (deletion planned at restart)"));
  EXPECT_TRUE(
      HasLine(lines, "INFO Verification: 2 item(s) of ZOR remain, 1 of them planned for removal at restart"));
}

// The report's line per stage: every stage in its order, a skipped one named
// and not run, each with what the program changed meanwhile and its failure.
TEST(MainPipeline, TheReportHasEveryStageWithItsOwnChanges) {
  PipelineRun run;
  run.context.parameters.RunNumber = 2;
  const std::wstring made = run.folder.File(L"made.txt");
  const std::wstring absent = run.folder.File(L"absent.txt");
  UseRecordingEngines(
      run.context, run.calls,
      {{"registry",
        [&](RunParameters&) {
          RegistryKey key(RootCurrentUser);
          key.OpenOrCreate(L"Software\\ZorPipelineReport");
          RegistryKey parent(RootCurrentUser);
          parent.Open(L"Software");
          parent.DeleteSubKey(L"ZorPipelineReport", false);  // removed
          parent.DeleteSubKey(L"ZorPipelineReport", false);  // not there: no count
          return status::Success;
        }},
       {"files", [&](RunParameters&) {
          CloseHandle(CreateFileW(made.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
          DeleteFileNow(made);    // removed
          DeleteFileNow(absent);  // not there: no count
          // Windows' answer to the plan, not the plan itself: the prefix's
          // list of deletions at its next start stays as it is.
          const test::SwappedEntry plan(Win32Changes().MoveFileExW,
                                        [](const wchar_t*, const wchar_t*, DWORD) -> BOOL { return TRUE; });
          std::uint32_t lastError = 0;
          PlanDeleteAfterRestart(made, lastError);  // planned
          return status::GenericFailure;
        }}});
  SeparateCopyScript copy(run.folder, 5);
  RunOnceValue runOnce;
  RunPipelineStages(run.context);

  const std::vector<StageReport>& stages = run.context.report.stages;
  std::vector<std::string> names;
  for (const StageReport& stage : stages) names.push_back(Narrow(stage.name));
  ASSERT_EQ(names, (std::vector<std::string>{"installer-data", "plug-ins", "services", "firewall-driver", "drivers",
                                             "processes", "registry", "files"}));
  EXPECT_EQ(run.context.report.runNumber, 2);
  EXPECT_FALSE(stages[1].ran);
  EXPECT_FALSE(stages[1].removed.has_value());
  EXPECT_TRUE(stages[2].ran);
  EXPECT_EQ(stages[2].removed, 0u);
  // The separate copy's stage: its step, no counts of its own here.
  EXPECT_EQ(stages[3].nextStep, 5);
  EXPECT_FALSE(stages[3].removed.has_value());
  EXPECT_EQ(stages[6].removed, 1u);
  EXPECT_EQ(stages[6].failed, 0u);
  EXPECT_EQ(stages[7].removed, 1u);
  EXPECT_EQ(stages[7].planned, 1u);
  EXPECT_EQ(stages[7].status, static_cast<std::uint32_t>(status::GenericFailure));
  EXPECT_TRUE(run.context.report.verificationMilliseconds.has_value());
  EXPECT_EQ(run.context.report.ending, RunEnding::Clean);
}

TEST(MainPipeline, AFailingStageIsLoggedAndTheNextOneRuns) {
  const StatusCode kFailure = status::GenericFailure;
  const std::vector<std::string> failureLines = {
      "DEBUG Msi data removal failed with error 0x80004005",
      "DEBUG Exchange&Outlook plugins removal failed with error 0x80004005",
      "DEBUG Service remover failed for some service(s)",
      "DEBUG Removing drivers failed for some item(s)",
      "DEBUG Running ZOR process remover failed for some item(s)",
      "DEBUG Registry remover failed for some registry item(s)",
      "DEBUG File remover failed for some item(s)",
  };
  // An informational success in a record is no failure.
  for (const StatusCode code : {kFailure, status::WaitAbandoned}) {
    SCOPED_TRACE(code);
    PipelineRun run;
    StageBodies bodies;
    for (const char* stage : {"installer data", "mail plug-ins", "services", "drivers", "processes", "registry", "files"}) {
      bodies.emplace_back(stage, [code](RunParameters&) { return code; });
    }
    UseRecordingEngines(run.context, run.calls, bodies);
    SeparateCopyScript copy(run.folder, 1);
    RunOnceValue runOnce;

    EXPECT_FALSE(RunPipelineStages(run.context).endsProcess);
    EXPECT_EQ(run.calls.size(), 7u);
    const std::vector<std::string> lines = run.log.Lines();
    for (const std::string& line : failureLines) {
      EXPECT_EQ(HasLine(lines, line), IsFailure(code)) << line;
    }
  }
}

TEST(MainPipeline, ASecondRunAsksNothingSkipsThePluginStageAndNeverRestarts) {
  PipelineRun run;
  run.context.parameters.RunNumber = 2;
  run.context.parameters.SkipAsk = false;  // no box may appear even so
  UseRecordingEngines(run.context, run.calls,
                      {{"services", [](RunParameters& p) { p.RestartCounter += 1; return status::Success; }},
                       {"files", [](RunParameters& p) { p.RestartCounter += 1; return status::Success; }}});
  SeparateCopyScript copy(run.folder, 5);
  RunOnceValue runOnce;
  // What the first run recorded before its restart.
  ASSERT_TRUE(ScopedRunRecord::Write(L"C:\\Program Files (x86)\\ZOR\\ZOR10", L"", L"C:\\ProgramData\\ZOR10"));

  const PipelineEnding ending = RunPipelineStages(run.context);

  EXPECT_FALSE(ending.endsProcess);
  EXPECT_EQ(run.calls, (std::vector<std::string>{"installer data", "services", "drivers", "processes", "registry",
                                                 "files"}));
  // No run comes after this one: the removal is finished.
  EXPECT_FALSE(ScopedRunRecord::Present());
  EXPECT_FALSE(test::KeyPresent(HKEY_LOCAL_MACHINE, ScopedRunRecord::RemoverKey(), KEY_WOW64_64KEY));
  const std::vector<std::string> lines = run.log.Lines();
  EXPECT_TRUE(HasLine(lines, "INFO ZorRemover runs in attempt number 2")) << Joined(lines);
  EXPECT_FALSE(HasLine(lines, "INFO *****     Exchange&Outlook plugins data     *****"));
  EXPECT_TRUE(HasLine(lines, "DEBUG Restart is needed (restart counter: 1)")) << Joined(lines);
  EXPECT_FALSE(HasLine(lines, "DEBUG Restarting..."));
  EXPECT_EQ(run.context.parameters.RestartCounter, 2);
  std::wstring entry;
  EXPECT_FALSE(runOnce.Read(entry));
}

// What the restart request asked of the system, and what it answers.
struct RestartRequests {
  int asked = 0;
  BOOL reboot = FALSE;
  DWORD refusal = 0;  // 0 grants every request
};
RestartRequests* g_requests = nullptr;

BOOL WINAPI RecordShutdown(LPWSTR, LPWSTR, DWORD, BOOL, BOOL reboot, DWORD) {
  ++g_requests->asked;
  g_requests->reboot = reboot;
  SetLastError(g_requests->refusal);
  return g_requests->refusal == 0;
}

BOOL WINAPI RecordExitWindows(UINT how, DWORD) {
  ++g_requests->asked;
  g_requests->reboot = (how & EWX_REBOOT) != 0;
  SetLastError(g_requests->refusal);
  return g_requests->refusal == 0;
}

// "exitcodes=msi": each ending with the code deployment tools know; without
// the option the same endings keep their old codes.
TEST(MainPipeline, WithMsiExitCodesEachEndingHasItsCodeAndWithoutTheOptionNoneChanges) {
  const struct {
    const char* name;
    bool leftover;
    bool restart;
    bool noRestart;
    PipelineEnding msi;
    PipelineEnding usual;
  } rows[] = {
      {"clean", false, false, false, {true, 0}, {false, 0}},
      {"items left", true, false, false, {true, 1603}, {false, 0}},
      {"restart registered under norestart", false, true, true, {true, 3010}, {true, 0}},
      {"restart started", true, true, false, {true, 1641}, {true, 0}},
  };
  for (const auto& row : rows) {
    for (const bool msi : {true, false}) {
      SCOPED_TRACE(std::string(row.name) + (msi ? ", msi" : ", usual"));
      RestartRequests requests{0, FALSE, 0};
      g_requests = &requests;
      const test::SwappedEntry shutdown(Win32Changes().InitiateSystemShutdownExW, &RecordShutdown);
      const test::SwappedEntry exitWindows(Win32Changes().ExitWindowsEx, &RecordExitWindows);
      PipelineRun run;
      run.context.parameters.NoRestart = row.noRestart;
      if (msi) run.context.parameters.ExitCodes = L"MSI";
      StageBodies bodies;
      if (row.restart) bodies.push_back({"files", [](RunParameters& p) { p.RestartCounter += 1; return status::Success; }});
      UseRecordingEngines(run.context, run.calls, bodies);
      if (row.leftover) run.context.engines.registry = std::make_unique<LeftoverEngine>(run.context, run.calls);
      SeparateCopyScript copy(run.folder, 5);
      RunOnceValue runOnce;
      const PipelineEnding ending = RunPipelineStages(run.context);
      g_requests = nullptr;
      const PipelineEnding& expected = msi ? row.msi : row.usual;
      EXPECT_EQ(ending.endsProcess, expected.endsProcess);
      EXPECT_EQ(ending.exitCode, expected.exitCode);
    }
  }
}

TEST(MainPipeline, AFirstRunWithPlannedWorkRegistersItselfAndRestarts) {
  const struct {
    const char* name;
    bool noRestart;
    DWORD refusal;
  } rows[] = {{"restart", false, 0}, {"norestart", true, 0}, {"restart refused", false, ERROR_ACCESS_DENIED}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    RestartRequests requests{0, FALSE, row.refusal};
    g_requests = &requests;
    const test::SwappedEntry shutdown(Win32Changes().InitiateSystemShutdownExW, &RecordShutdown);
    const test::SwappedEntry exitWindows(Win32Changes().ExitWindowsEx, &RecordExitWindows);
    PipelineRun run;
    run.context.parameters.ZorDir = L"C:\\Program Files (x86)\\ZOR\\ZOR10";
    run.context.parameters.ZorAdminDir = L"C:\\Program Files (x86)\\ZOR\\ZOR10 Admin";
    run.context.parameters.NoRestart = row.noRestart;
    UseRecordingEngines(run.context, run.calls,
                        {{"files", [](RunParameters& p) { p.RestartCounter += 2; return status::Success; }}});
    SeparateCopyScript copy(run.folder, 5);
    RunOnceValue runOnce;

    const PipelineEnding ending = RunPipelineStages(run.context);
    g_requests = nullptr;

    // A refused restart leaves the entry for the next start of Windows and
    // ends the run as usual.
    EXPECT_EQ(ending.endsProcess, row.refusal == 0);
    EXPECT_EQ(ending.exitCode, 0);
    EXPECT_EQ(requests.asked, row.noRestart ? 0 : row.refusal ? 2 : 1);
    if (!row.noRestart) {
      EXPECT_TRUE(requests.reboot);
    }
    std::wstring entry;
    ASSERT_TRUE(runOnce.Read(entry));
    const std::wstring expected = L"\"" + OwnModulePath() +
                                  L"\" /run_number=2 /zordir=\"C:\\Program Files (x86)\\ZOR\\ZOR10\" "
                                  L"/zoradmindir=\"C:\\Program Files (x86)\\ZOR\\ZOR10 Admin\" /ndis_nextstep=5" +
                                  (row.noRestart ? L" /norestart" : L"");
    EXPECT_EQ(Narrow(entry), Narrow(expected));
    // The run after the restart may be stopped too: the record waits for it.
    EXPECT_EQ(ScopedRunRecord::Value(L"ZorDir"), "C:\\Program Files (x86)\\ZOR\\ZOR10");
    EXPECT_EQ(ScopedRunRecord::Value(L"ZorAdminDir"), "C:\\Program Files (x86)\\ZOR\\ZOR10 Admin");
    EXPECT_EQ(ScopedRunRecord::Value(L"ZorDataDir"), "(none)");
    const std::vector<std::string> lines = run.log.Lines();
    EXPECT_TRUE(HasLine(lines, "DEBUG The record HKLM\\SOFTWARE\\ZorRemover\\UnfinishedRun stays for the run after "
                               "the restart"))
        << Joined(lines);
    EXPECT_TRUE(HasLine(lines, "DEBUG Restarting...")) << Joined(lines);
    EXPECT_EQ(HasLine(lines, "DEBUG Requesting a restart (flags 7)"), !row.noRestart) << Joined(lines);
    std::vector<std::string> warnings;
    for (const std::string& line : lines) {
      if (line.rfind("WARN ", 0) == 0) warnings.push_back(line);
    }
    std::vector<std::string> expectedWarnings;
    if (row.refusal) {
      char code[16];
      std::snprintf(code, sizeof code, "%x", static_cast<unsigned>(StatusFromLastError(row.refusal)));
      expectedWarnings.push_back(std::string("WARN Initiate Restart failed (error ") + code + ")");
    }
    EXPECT_EQ(warnings, expectedWarnings);
  }
}

// The folders this run settled on are in the record before the first stage
// deletes anything, through every stage, and gone when the run ends with no
// later run registered.
TEST(MainPipeline, RecordsTheFoldersBeforeTheFirstStageAndRemovesTheRecordAtTheEnd) {
  PipelineRun run;
  run.context.parameters.ZorDir = L"C:\\Program Files (x86)\\ZOR\\ZOR10";
  run.context.parameters.ZorAdminDir = L"C:\\Program Files (x86)\\ZOR\\ZOR10 Admin";
  run.context.parameters.ZorDataDir = L"C:\\ProgramData\\ZOR10";
  std::vector<std::string> seen;
  auto look = [&seen](RunParameters&) {
    seen.push_back(ScopedRunRecord::Value(L"ZorDir") + " | " + ScopedRunRecord::Value(L"ZorAdminDir") + " | " +
                   ScopedRunRecord::Value(L"ZorDataDir"));
    return status::Success;
  };
  UseRecordingEngines(run.context, run.calls, {{"installer data", look}, {"registry", look}, {"files", look}});
  SeparateCopyScript copy(run.folder, 1);
  RunOnceValue runOnce;
  // A record an earlier, stopped run left: this run's folders replace it.
  ASSERT_TRUE(ScopedRunRecord::Write(L"D:\\Old", L"D:\\Old Admin", L"D:\\Old Data"));

  const PipelineEnding ending = RunPipelineStages(run.context);

  EXPECT_FALSE(ending.endsProcess);
  const std::string recorded =
      "C:\\Program Files (x86)\\ZOR\\ZOR10 | C:\\Program Files (x86)\\ZOR\\ZOR10 Admin | C:\\ProgramData\\ZOR10";
  EXPECT_EQ(seen, (std::vector<std::string>{recorded, recorded, recorded}));
  EXPECT_FALSE(ScopedRunRecord::Present());
  EXPECT_FALSE(test::KeyPresent(HKEY_LOCAL_MACHINE, ScopedRunRecord::RemoverKey(), KEY_WOW64_64KEY));
  const std::vector<std::string> lines = run.log.Lines();
  const auto at = [&lines](const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) - lines.begin();
  };
  const auto banner = at("INFO ZorRemover runs in attempt number 1");
  const auto written = at("DEBUG The product folders of this run are recorded in "
                          "HKLM\\SOFTWARE\\ZorRemover\\UnfinishedRun");
  const auto firstStage = at("INFO *****     Msi data     *****");
  const auto lastStage = at("INFO *****     Files and folders     *****");
  const auto removed = at("DEBUG The record HKLM\\SOFTWARE\\ZorRemover\\UnfinishedRun is removed: the run is finished");
  ASSERT_LT(removed, static_cast<std::ptrdiff_t>(lines.size())) << Joined(lines);
  EXPECT_EQ(written, banner + 1) << Joined(lines);
  EXPECT_EQ(firstStage, written + 1) << Joined(lines);
  EXPECT_GT(removed, lastStage) << Joined(lines);
}

NTSTATUS NTAPI DeniedSetValue(HANDLE, PUNICODE_STRING, ULONG, ULONG, const void*, ULONG) { return nt::AccessDenied; }
NTSTATUS NTAPI DeniedDeleteKey(HANDLE) { return nt::AccessDenied; }

// A record that cannot be written or removed costs a WARN line, never a
// stage.
TEST(MainPipeline, ARecordThatCannotBeWrittenOrRemovedIsAWarningAndEveryStageRuns) {
  const struct {
    const char* name;
    bool denyWrite;
    std::string warning;
    bool recordAfter;
  } rows[] = {
      {"not written", true,
       "WARN The product folders of this run could not be recorded in HKLM\\SOFTWARE\\ZorRemover\\UnfinishedRun "
       "(error: e0010058); a run stopped from here on may leave them behind",
       false},
      {"not removed", false,
       "WARN The record HKLM\\SOFTWARE\\ZorRemover\\UnfinishedRun could not be removed (error: e0010058); the next "
       "run takes its folders from it",
       true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    PipelineRun run;
    run.context.parameters.ZorDir = L"C:\\Program Files (x86)\\ZOR\\ZOR10";
    UseRecordingEngines(run.context, run.calls);
    SeparateCopyScript copy(run.folder, 1);
    RunOnceValue runOnce;
    PipelineEnding ending;
    if (row.denyWrite) {
      test::SwappedEntry swap(NativeChanges().ZwSetValueKey, &DeniedSetValue);
      ending = RunPipelineStages(run.context);
    } else {
      test::SwappedEntry swap(NativeChanges().ZwDeleteKey, &DeniedDeleteKey);
      ending = RunPipelineStages(run.context);
    }
    EXPECT_FALSE(ending.endsProcess);
    EXPECT_EQ(run.calls.size(), 7u);
    EXPECT_EQ(ScopedRunRecord::Present(), row.recordAfter);
    const std::vector<std::string> lines = run.log.Lines();
    EXPECT_TRUE(HasLine(lines, row.warning)) << Joined(lines);
    const auto warnings =
        std::count_if(lines.begin(), lines.end(), [](const std::string& line) { return line.rfind("WARN ", 0) == 0; });
    EXPECT_EQ(warnings, 1) << Joined(lines);
  }
}

TEST(MainPipeline, TheSeparateModeRunsOnlyTheFirewallStageAndEndsWithItsStep) {
  PipelineRun run;
  run.context.parameters.NdisOnly = true;
  UseRecordingEngines(run.context, run.calls,
                      {{"firewall driver", [](RunParameters& p) {
                          p.NdisNextStep = 5;
                          p.RestartCounter += 1;  // seen by nobody: this copy never restarts
                          return status::GenericFailure;
                        }}});
  SeparateCopyScript copy(run.folder, 9);
  RunOnceValue runOnce;
  // The main run's record, which its copy must leave as it is.
  ASSERT_TRUE(ScopedRunRecord::Write(L"C:\\Program Files (x86)\\ZOR\\ZOR10", L"", L""));
  run.context.parameters.ZorDataDir = L"C:\\ProgramData\\ZOR10";

  const PipelineEnding ending = RunPipelineStages(run.context);

  EXPECT_EQ(ScopedRunRecord::Value(L"ZorDir"), "C:\\Program Files (x86)\\ZOR\\ZOR10");
  EXPECT_EQ(ScopedRunRecord::Value(L"ZorDataDir"), "(none)");
  EXPECT_TRUE(ending.endsProcess);
  EXPECT_EQ(ending.exitCode, 5);
  EXPECT_EQ(run.calls, std::vector<std::string>{"firewall driver"});
  EXPECT_EQ(InfoLines(run.log.Lines()), (std::vector<std::string>{
                                            "ZorRemover runs in attempt number 1",
                                            "*****     Zor Fw NDIS driver     *****",
                                            "...this operation can take several minutes...",
                                        }));
  EXPECT_TRUE(copy.CommandLines().empty());
  std::wstring entry;
  EXPECT_FALSE(runOnce.Read(entry));
}

// Without a display a confirmation cannot be answered Yes.
TEST(MainPipeline, AFirstRunWhoseConfirmationGetsNoAnswerRunsNoStage) {
  wchar_t display[8] = {};
  if (GetEnvironmentVariableW(L"DISPLAY", display, 8) > 0) {
    GTEST_SKIP() << "a display is present: the confirmation would wait for an answer";
  }
  PipelineRun run;
  run.context.parameters.SkipAsk = false;
  UseRecordingEngines(run.context, run.calls);
  // An earlier run's record outlives a run that removes nothing.
  ASSERT_TRUE(ScopedRunRecord::Write(L"C:\\Program Files (x86)\\ZOR\\ZOR10", L"", L""));
  const PipelineEnding ending = RunPipelineStages(run.context);
  EXPECT_FALSE(ending.endsProcess);
  EXPECT_TRUE(run.calls.empty());
  EXPECT_TRUE(run.log.Lines().empty());
  EXPECT_EQ(ScopedRunRecord::Value(L"ZorDir"), "C:\\Program Files (x86)\\ZOR\\ZOR10");
}

}  // namespace
}  // namespace zor
