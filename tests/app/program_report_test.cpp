// The run's report as a deployment tool's collector finds it: the whole
// program run with /report, and the report paths it cannot write to. These
// runs remove what they find, so they run in the program's prefix, one at
// a time (every suite named ProgramRun*).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/report_file.h"
#include "tests/app/program_copy.h"
#include "tests/support/child_process.h"
#include "tests/support/line_checks.h"
#include "tests/support/narrow_text.h"

namespace zor {
namespace {

using test::Joined;
using test::Narrow;
using test::StartsAny;

void WriteText(const std::wstring& path, const std::string& text) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  if (file != INVALID_HANDLE_VALUE) WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

std::string ReadText(const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string text(1 << 20, '\0');
  DWORD read = 0;
  ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
  CloseHandle(file);
  text.resize(read);
  return text;
}

// The names in a folder, so that a leftover temporary file shows.
std::vector<std::string> Names(const std::wstring& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found{};
  const HANDLE listing = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (listing == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(Narrow(name));
  } while (FindNextFileW(listing, &found));
  FindClose(listing);
  return names;
}

struct RemovalRun {
  test::ProgramCopy copy;
  std::wstring reports;  // a folder of the test's own for reports
  test::ChildResult child;
  std::vector<std::string> messages;

  RemovalRun() : reports(copy.folder.File(L"reports")) { CreateDirectoryW(reports.c_str(), nullptr); }
  void Run(const std::wstring& report) {
    child = test::RunChild(copy.Quoted() + L" /skipask \"/report=" + report + L"\"", 180000);
    messages = copy.Messages();
  }
};

TEST(ProgramRunReport, WritesTheReportWholeOverAnOlderOne) {
  RemovalRun run;
  const std::wstring report = run.reports + L"\\machine.json";
  WriteText(report, "{\"older\": true}");
  run.Run(report);
  ASSERT_TRUE(run.child.started);
  ASSERT_EQ(run.child.exitCode, 0u) << run.child.output;
  EXPECT_TRUE(StartsAny(run.messages, "INFO Report written to '" + Narrow(report) + "' (")) << Joined(run.messages);

  const nlohmann::json json = nlohmann::json::parse(ReadText(report));
  EXPECT_FALSE(json.contains("older"));
  EXPECT_EQ(json["program"], "zorremover");
  EXPECT_EQ(json["runNumber"], 1);
  EXPECT_EQ(json["exitCode"], 0);
  EXPECT_NE(json["commandLine"].get<std::string>().find("/report="), std::string::npos);
  std::vector<std::string> stages;
  for (const auto& stage : json["stages"]) stages.push_back(stage["name"]);
  EXPECT_EQ(stages, (std::vector<std::string>{"installer-data", "plug-ins", "services", "firewall-driver", "drivers",
                                              "processes", "registry", "files"}));
  EXPECT_TRUE(json["verification"].is_object());
  EXPECT_EQ(json["verification"]["remainingCount"], json["verification"]["remaining"].size());
  // The temporary file went into the report's place.
  EXPECT_EQ(Names(run.reports), std::vector<std::string>{"machine.json"});
}

// A report that cannot be written: one clear line, the removal as without
// the option, the exit code it would have had, nothing half-written left.
TEST(ProgramRunReport, AReportThatCannotBeWrittenChangesNothingElse) {
  struct Case {
    const char* what;
    std::wstring name;  // below the reports folder
    const char* reason;
    bool readOnlyFile = false;
    bool folderOfThatName = false;
  };
  const Case cases[] = {
      {"a folder that does not exist", L"no-such-folder\\machine.json", "its folder does not exist"},
      {"a read-only file", L"machine.json", "the file there is read-only", true},
      {"a folder's name", L"machine.json", "the name is a folder's", false, true},
      {"a name too long", std::wstring(300, L'r') + L".json", "the temporary file beside it could not be written"},
  };
  for (const Case& item : cases) {
    SCOPED_TRACE(item.what);
    // Each case is a run of its own, with a program folder of its own.
    RemovalRun run;
    const std::wstring report = run.reports + L"\\" + item.name;
    if (item.readOnlyFile) {
      WriteText(report, "kept");
      ASSERT_TRUE(SetFileAttributesW(report.c_str(), FILE_ATTRIBUTE_READONLY));
    }
    if (item.folderOfThatName) {
      ASSERT_TRUE(CreateDirectoryW(report.c_str(), nullptr));
    }
    const std::vector<std::string> before = Names(run.reports);
    run.Run(report);
    ASSERT_TRUE(run.child.started);
    EXPECT_EQ(run.child.exitCode, 0u) << run.child.output;
    const std::string line = "ERROR The report could not be written to '" + Narrow(report) + "': " + item.reason;
    EXPECT_TRUE(StartsAny(run.messages, line)) << line << "\n" << Joined(run.messages);
    // The removal ran to its end all the same.
    EXPECT_TRUE(StartsAny(run.messages, "INFO Verification: ")) << Joined(run.messages);
    EXPECT_EQ(Names(run.reports), before);
    if (item.readOnlyFile) {
      EXPECT_EQ(ReadText(report), "kept");
      SetFileAttributesW(report.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
  }
}

// A file that already has the temporary file's name is someone else's: the
// report is not written, and that file stays as it was.
TEST(ProgramRunReport, ATemporaryNameThatIsTakenIsLeftAlone) {
  test::ProgramCopy copy;
  const std::wstring report = copy.folder.File(L"machine.json");
  const std::wstring taken = report + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
  WriteText(taken, "someone else's");
  const ReportOutcome outcome = WriteReportFile(report, "{}\n");
  EXPECT_EQ(outcome.refusal, ReportRefusal::TemporaryFailed);
  EXPECT_EQ(outcome.status, status::ObjectAlreadyExists);
  EXPECT_EQ(ReadText(taken), "someone else's");
  EXPECT_EQ(Names(copy.folder.Path()), (std::vector<std::string>{"machine.json." +
                                                                   std::to_string(GetCurrentProcessId()) + ".tmp",
                                                                   "zorremover.exe"}));
}

}  // namespace
}  // namespace zor
