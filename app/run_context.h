#pragma once
// The object one run works on: the logger "ZorRemover" and the run
// parameters. Every message of the application goes through it.
#include <string_view>

#include "app/format_text.h"
#include "app/run_parameters.h"
#include "logging/logger.h"

namespace zor {

class RunContext {
 public:
  RunContext() = default;
  RunContext(const RunContext&) = delete;
  RunContext& operator=(const RunContext&) = delete;

  // Absent until logging is set up, and when it could not be.
  Logger* logger = nullptr;
  RunParameters parameters;

  // True when there is a logger and its threshold admits the severity.
  bool Admits(Severity severity) const;

  // Tests the threshold first, so a message nobody reads is never formatted.
  template <typename... Args>
  void Log(Severity severity, const LogSite& site, std::wstring_view format, const Args&... args) {
    if (!Admits(severity)) return;
    const BuildStamp stamp = CurrentBuildStamp();
    logger->Log(severity, FormatText(format, args...), site.fileId, site.line, stamp.buildNumber, stamp.revision,
                stamp.product);
  }
};

}  // namespace zor
