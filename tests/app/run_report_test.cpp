// The run's report as JSON: every field a collector reads, texts in UTF-8
// whatever the paths hold, and the figures the separate copy keeps to
// itself shown as absent rather than as zero.
#include "app/run_report.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "logging/log_time.h"

namespace zor {
namespace {

using Json = nlohmann::json;

RunReport SampleReport() {
  RunReport report;
  report.version = L"1.0.0";
  report.machine = L"WS-0042";
  report.commandLine = L"\"C:\\Tools\\zorremover.exe\" /silent /report=\"C:\\Reports\\ws.json\"";
  report.startTime = JoinTime({2024, 5, 6, 7, 8, 9, 10});
  report.endTime = JoinTime({2024, 5, 6, 7, 8, 14, 999});
  report.runNumber = 1;
  StageReport services{L"services", true, 0, 2388};
  services.removed = 4;
  services.failed = 1;
  services.planned = 2;
  StageReport firewall{L"firewall-driver", true, 0xE001004C, 220};
  firewall.nextStep = 5;
  report.stages = {StageReport{L"plug-ins"}, services, firewall};
  report.verificationMilliseconds = 35;
  report.remaining = {{L"file", L"C:\\Program Files\\ZOR\\zortray.exe", L"", true},
                      {L"key", L"HKLM\\SOFTWARE\\Zor", L"x86", false}};
  report.restartRegistered = true;
  report.restartStarted = false;
  report.ending = RunEnding::RestartRegistered;
  report.exitCode = 3010;
  return report;
}

TEST(RunReport, CarriesEveryFieldACollectorReads) {
  const Json json = Json::parse(ReportJson(SampleReport()));
  EXPECT_EQ(json["program"], "zorremover");
  EXPECT_EQ(json["version"], "1.0.0");
  EXPECT_EQ(json["machine"], "WS-0042");
  EXPECT_EQ(json["start"], "2024-05-06T07:08:09.010Z");
  EXPECT_EQ(json["end"], "2024-05-06T07:08:14.999Z");
  EXPECT_EQ(json["commandLine"], "\"C:\\Tools\\zorremover.exe\" /silent /report=\"C:\\Reports\\ws.json\"");
  EXPECT_EQ(json["runNumber"], 1);
  EXPECT_EQ(json["confirmed"], true);

  const Json& stages = json["stages"];
  ASSERT_EQ(stages.size(), 3u);
  // A stage of the first run only, in a later run: named, not run, no figures.
  EXPECT_EQ(stages[0], Json::parse(R"({"name":"plug-ins","ran":false,"status":"0x00000000","milliseconds":0,
                                       "removed":null,"failed":null,"plannedAtRestart":null})"));
  EXPECT_EQ(stages[1], Json::parse(R"({"name":"services","ran":true,"status":"0x00000000","milliseconds":2388,
                                       "removed":4,"failed":1,"plannedAtRestart":2})"));
  // The separate copy's stage: its step and code, its counts its own.
  EXPECT_EQ(stages[2], Json::parse(R"({"name":"firewall-driver","ran":true,"status":"0xE001004C",
                                       "milliseconds":220,"removed":null,"failed":null,"plannedAtRestart":null,
                                       "nextStep":5})"));

  EXPECT_EQ(json["verification"], Json::parse(R"({"milliseconds":35,"remainingCount":2,"plannedAtRestartCount":1,
    "remaining":[
      {"kind":"file","item":"C:\\Program Files\\ZOR\\zortray.exe","view":null,"plannedAtRestart":true},
      {"kind":"key","item":"HKLM\\SOFTWARE\\Zor","view":"x86","plannedAtRestart":false}]})"));
  EXPECT_EQ(json["restart"], Json::parse(R"({"registered":true,"started":false})"));
  EXPECT_EQ(json["ending"], "restart-needed");
  EXPECT_EQ(json["failure"], nullptr);
  EXPECT_EQ(json["exitCode"], 3010);
}

TEST(RunReport, ARunThatEndedEarlyHasNoVerificationAndNamesItsFailure) {
  RunReport report;
  report.failure = 0xE0010071;
  report.exitCode = static_cast<int>(0xE0010071);
  report.confirmed = true;
  const Json json = Json::parse(ReportJson(report));
  EXPECT_EQ(json["verification"], nullptr);
  EXPECT_EQ(json["ending"], nullptr);
  EXPECT_EQ(json["failure"], "0xE0010071");
  EXPECT_EQ(json["stages"], Json::array());
}

TEST(RunReport, TextsAreUtf8AndABrokenNameStillGivesAValidDocument) {
  RunReport report = SampleReport();
  // A user's folder with letters beyond ASCII and beyond the basic plane,
  // and a file name with a lone surrogate, which NTFS allows.
  report.remaining = {{L"folder", L"C:\\Users\\Zo\u00eb\\AppData\\Roaming\\ZOR \U0001F6E1", L"", false},
                      {L"file", std::wstring(L"C:\\ZOR\\bad") + wchar_t(0xD800) + L".dat", L"", false}};
  const std::string text = ReportJson(report);
  const Json json = Json::parse(text);  // throws on invalid UTF-8
  EXPECT_EQ(json["verification"]["remaining"][0]["item"],
            "C:\\Users\\Zo\xC3\xAB\\AppData\\Roaming\\ZOR \xF0\x9F\x9B\xA1");
  EXPECT_EQ(json["verification"]["remaining"][1]["item"], "C:\\ZOR\\bad\xEF\xBF\xBD.dat");
  EXPECT_EQ(text.back(), '\n');
}

TEST(RunReport, ADryRunListsWhatItWouldChangeAndNoRemainingItems) {
  RunReport report;
  report.dryRun = true;
  report.wouldChange = {{L"delete", L"C:\\ZOR\\zorcore.dll"}, {L"stop service", L"ZorSvc"}};
  const Json json = Json::parse(ReportJson(report));
  EXPECT_EQ(json["dryRun"], true);
  EXPECT_EQ(json["wouldChange"], Json::parse(R"([
    {"action":"delete","item":"C:\\ZOR\\zorcore.dll","wouldRemove":true},
    {"action":"stop service","item":"ZorSvc","wouldRemove":true}])"));
  EXPECT_FALSE(Json::parse(ReportJson(RunReport{})).contains("wouldChange"));
}

TEST(RunReport, EveryEndingHasItsName) {
  const std::pair<RunEnding, const char*> cases[] = {
      {RunEnding::Clean, "clean"},
      {RunEnding::RestartRegistered, "restart-needed"},
      {RunEnding::RestartStarted, "restart-started"},
      {RunEnding::ItemsLeft, "items-left"},
  };
  for (const auto& [ending, name] : cases) {
    RunReport report;
    report.ending = ending;
    EXPECT_EQ(Json::parse(ReportJson(report))["ending"], name);
  }
}

}  // namespace
}  // namespace zor
