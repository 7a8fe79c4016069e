#pragma once
// The object one run works on: the logger "ZorRemover", the run parameters
// and one engine per removal stage. Every message of the application goes
// through it.
#include <memory>
#include <string_view>

#include "app/run_parameters.h"
#include "app/run_report.h"
#include "app/stage_engine.h"
#include "foundation/format_text.h"
#include "logging/logger.h"
#include "platform/unique_handle.h"

namespace zor {

// The engines in the order the pipeline runs them.
struct StageEngines {
  std::unique_ptr<StageEngine> installerData;
  std::unique_ptr<StageEngine> mailPlugins;
  std::unique_ptr<StageEngine> services;
  std::unique_ptr<StageEngine> firewallDriver;
  std::unique_ptr<StageEngine> drivers;
  std::unique_ptr<StageEngine> processes;
  std::unique_ptr<StageEngine> registry;
  std::unique_ptr<StageEngine> files;
};

class RunContext {
 public:
  // Every stage starts with an engine that does nothing; the entry point
  // binds the product's engines.
  RunContext();
  ~RunContext();
  RunContext(const RunContext&) = delete;
  RunContext& operator=(const RunContext&) = delete;

  // Made by the service stage, which runs once per process; it guards
  // parameters.RestartCounter while the stage's workers run.
  UniqueNtHandle serviceStageMutex;
  // Absent until logging is set up, and when it could not be.
  Logger* logger = nullptr;
  RunParameters parameters;
  StageEngines engines;
  // What the run's report will say; filled as the run goes.
  RunReport report;

  // True when there is a logger and its threshold admits the severity.
  bool Admits(Severity severity) const;

  // Tests the threshold first, so a message nobody reads is never formatted;
  // never throws (see LogMessage).
  template <typename... Args>
  void Log(Severity severity, const LogSite& site, std::wstring_view format, const Args&... args) noexcept {
    if (logger) LogMessage(*logger, severity, site, format, args...);
  }
};

}  // namespace zor
