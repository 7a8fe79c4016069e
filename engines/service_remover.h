#pragma once
// The service stage: every service of the service table is stopped, deleted
// and its key removed, each by a worker thread of its own, all at once. A
// service that will not stop is not fought with: a restart is planned and
// its key goes, so Windows does not load it again.
#include <cstdint>
#include <memory>
#include <span>

#include "app/stage_engine.h"
#include "engines/service_item_table.h"
#include "foundation/status_record.h"

namespace zor {

class ServiceWorkers;

class ServiceRemover final : public StageEngine {
 public:
  explicit ServiceRemover(RunContext& context);
  // Workers still running then no longer log nor plan restarts: the run
  // context they would report to is on its way out.
  ~ServiceRemover() override;

  StatusRecord RunStage() override { return RunServiceStage(); }
  // Each service of the table that the service manager still knows.
  void Verify(std::vector<RemainingItem>& remaining) override;

  // Once per process: ObjectAlreadyExists when the stage mutex is there
  // already. WaitTimedOut when a worker is still running after 300 s; the
  // workers' own results are only logged.
  StatusRecord RunServiceStage();
  StatusRecord RunServiceStage(std::span<const ServiceItem> rows);

  // The body of one worker: row `index` of the rows the stage was given
  // (the built-in table when it has not run). The code of the last step.
  StatusCode ProcessServiceItem(std::int32_t index);

 private:
  std::shared_ptr<ServiceWorkers> workers_;
};

// The worker's wait for the end of every row, in milliseconds.
inline constexpr std::uint32_t kServiceStageWait = 300000;
// How often, and how far apart, the current watchdog's state is read for a
// stop it allows.
inline constexpr int kWatchdogReads = 20;
inline constexpr std::int32_t kWatchdogReadPause = 200;
// The time a watchdog has to take the request and to answer it, each.
inline constexpr std::uint32_t kWatchdogAnswerWait = 2000;

}  // namespace zor
