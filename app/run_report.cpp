#include "app/run_report.h"

#include <cstdio>

#include <nlohmann/json.hpp>

#include "logging/log_time.h"
#include "logging/message_protection.h"

namespace zor {
namespace {

using Json = nlohmann::ordered_json;

std::string Hex(std::uint32_t code) {
  char text[11];
  std::snprintf(text, sizeof text, "0x%08X", code);
  return text;
}

template <typename T>
Json OrNull(const std::optional<T>& value) {
  return value ? Json(*value) : Json(nullptr);
}

const char* EndingName(RunEnding ending) {
  switch (ending) {
    case RunEnding::Clean: return "clean";
    case RunEnding::RestartRegistered: return "restart-needed";
    case RunEnding::RestartStarted: return "restart-started";
    case RunEnding::ItemsLeft: return "items-left";
  }
  return "unknown";
}

Json StageJson(const StageReport& stage) {
  Json json;
  json["name"] = Utf8FromWide(stage.name);
  json["ran"] = stage.ran;
  json["status"] = Hex(stage.status);
  json["milliseconds"] = stage.milliseconds;
  json["removed"] = OrNull(stage.removed);
  json["failed"] = OrNull(stage.failed);
  json["plannedAtRestart"] = OrNull(stage.planned);
  if (stage.nextStep) json["nextStep"] = *stage.nextStep;
  return json;
}

Json ItemJson(const RemainingItem& item) {
  Json json;
  json["kind"] = Utf8FromWide(item.kind);
  json["item"] = Utf8FromWide(item.item);
  json["view"] = item.view.empty() ? Json(nullptr) : Json(Utf8FromWide(item.view));
  json["plannedAtRestart"] = item.plannedAtRestart;
  return json;
}

}  // namespace

std::string UtcTimeText(std::int64_t time) {
  const TimeParts parts = SplitTime(time);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", parts.year, parts.month, parts.day,
                parts.hour, parts.minute, parts.second, parts.millisecond);
  return text;
}

std::string ReportJson(const RunReport& report) {
  Json json;
  json["program"] = "zorremover";
  json["version"] = Utf8FromWide(report.version);
  json["machine"] = Utf8FromWide(report.machine);
  json["start"] = UtcTimeText(report.startTime);
  json["end"] = UtcTimeText(report.endTime);
  json["commandLine"] = Utf8FromWide(report.commandLine);
  json["runNumber"] = report.runNumber;
  json["confirmed"] = report.confirmed;
  Json stages = Json::array();
  for (const StageReport& stage : report.stages) stages.push_back(StageJson(stage));
  json["stages"] = std::move(stages);
  if (report.verificationMilliseconds) {
    Json remaining = Json::array();
    std::uint32_t planned = 0;
    for (const RemainingItem& item : report.remaining) {
      remaining.push_back(ItemJson(item));
      if (item.plannedAtRestart) ++planned;
    }
    json["verification"] = {{"milliseconds", *report.verificationMilliseconds},
                            {"remainingCount", report.remaining.size()},
                            {"plannedAtRestartCount", planned},
                            {"remaining", std::move(remaining)}};
  } else {
    json["verification"] = nullptr;
  }
  json["restart"] = {{"registered", report.restartRegistered}, {"started", report.restartStarted}};
  json["dryRun"] = report.dryRun;
  if (report.dryRun) {
    // Nothing was changed: the restart above and every item here are what
    // a removal would do.
    Json would = Json::array();
    for (const WouldItem& change : report.wouldChange) {
      would.push_back({{"action", Utf8FromWide(change.action)}, {"item", Utf8FromWide(change.item)},
                       {"wouldRemove", true}});
    }
    json["wouldChange"] = std::move(would);
  }
  json["ending"] = report.ending ? Json(EndingName(*report.ending)) : Json(nullptr);
  json["failure"] = report.failure == 0 ? Json(nullptr) : Json(Hex(report.failure));
  json["exitCode"] = report.exitCode;
  return json.dump(2) + "\n";
}

}  // namespace zor
