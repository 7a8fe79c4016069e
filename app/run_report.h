#pragma once
// What one run tells a fleet's collector: who ran where and when, each
// stage's outcome and counts, what the verification found left, the restart
// and the exit code. Filled as the run goes; written by "report". No
// Windows header.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/remaining_item.h"
#include "app/run_ending.h"

namespace zor {

struct StageReport {
  std::wstring name;  // "installer-data", "plug-ins", ... "files"
  bool ran = false;   // false for a stage of the first run only, in a later run
  std::uint32_t status = 0;  // the failure that stopped the stage, 0 when none
  std::uint32_t milliseconds = 0;
  // The changes this process made during the stage; absent for the stage
  // that runs in the separate copy, whose figures stay there.
  std::optional<std::uint32_t> removed;
  std::optional<std::uint32_t> failed;
  std::optional<std::uint32_t> planned;
  // The firewall network driver's step after its stage.
  std::optional<std::int32_t> nextStep;
};

// A change a dry run would have made.
struct WouldItem {
  std::wstring action;  // "delete", "delete key", "stop service", ...
  std::wstring item;
};

struct RunReport {
  std::wstring version;
  std::wstring machine;
  std::wstring commandLine;
  std::int64_t startTime = 0;  // 100-ns units since 1601-01-01 UTC
  std::int64_t endTime = 0;
  std::int32_t runNumber = 1;
  // False when nothing was removed because nobody confirmed the removal.
  bool confirmed = true;
  std::vector<StageReport> stages;
  // Absent when the run ended before its verification.
  std::optional<std::uint32_t> verificationMilliseconds;
  std::vector<RemainingItem> remaining;
  std::optional<RunEnding> ending;
  bool restartRegistered = false;
  bool restartStarted = false;
  // A dry run changed nothing: what it would have changed, in order.
  bool dryRun = false;
  std::vector<WouldItem> wouldChange;
  // The failure that ended the run early, 0 when it ran to its end.
  std::uint32_t failure = 0;
  int exitCode = 0;
};

// The report as a JSON document in UTF-8, ending in a line break.
std::string ReportJson(const RunReport& report);

// A time as "2024-05-06T07:08:09.010Z".
std::string UtcTimeText(std::int64_t time);

}  // namespace zor
