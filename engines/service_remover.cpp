#include "engines/service_remover.h"

#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/run_context.h"
#include "foundation/text_case.h"
#include "platform/clock.h"
#include "platform/native_api.h"
#include "platform/registry_key.h"
#include "platform/service_control.h"
#include "platform/win32_api.h"
#include "platform/worker_thread.h"

namespace zor {
namespace {

constexpr std::wstring_view kFileId = L"3B565549-EC5C-4f44-AA48-B3A2D21F6302";

LogSite Here(std::source_location where = std::source_location::current()) { return {kFileId, where.line()}; }

constexpr std::wstring_view kServicesKey = L"SYSTEM\\CurrentControlSet\\Services";
constexpr std::string_view kAllowStopRequest = "allow-stop";
constexpr std::string_view kStopAllowedAnswer = "stop-allowed";

bool AcceptsStop(const SERVICE_STATUS& status) { return (status.dwControlsAccepted & SERVICE_ACCEPT_STOP) != 0; }

}  // namespace

// What the workers share with the stage, kept alive by every worker that
// still runs. The run context is reached only through the gate: once the
// engine closes it, a late worker goes on with the service manager alone,
// and its messages and planned restarts are dropped.
class ServiceWorkers {
 public:
  explicit ServiceWorkers(RunContext& context) : context_(&context) { TakeRows(ServiceItemTable()); }

  void TakeRows(std::span<const ServiceItem> rows) {
    rows_.clear();
    for (const ServiceItem& row : rows) rows_.push_back({std::wstring(row.name), row.flags});
  }
  std::size_t RowCount() const { return rows_.size(); }

  void Close() {
    std::unique_lock lock(gate_);
    closed_ = true;
  }

  StatusCode ProcessServiceItem(std::int32_t index);

  // Whether a worker had the service manager delete the service: one that
  // still stops is then gone once it has stopped, at the latest with the
  // restart.
  bool MarkedForDeletion(std::wstring_view name) {
    std::lock_guard lock(deletedGuard_);
    for (const std::wstring& deleted : deleted_) {
      if (EqualsFoldingAscii(deleted, name)) return true;
    }
    return false;
  }

 private:
  struct Row {
    std::wstring name;
    std::uint32_t flags;
  };

  template <typename... Args>
  void Log(Severity severity, const LogSite& site, std::wstring_view format, const Args&... args) {
    std::shared_lock lock(gate_);
    if (!closed_) context_->Log(severity, site, format, args...);
  }

  // One more restart, counted under the stage mutex.
  void PlanRestart() {
    std::shared_lock lock(gate_);
    if (closed_) return;
    const HANDLE mutex = context_->serviceStageMutex.get();
    if (mutex != nullptr) Native().ZwWaitForSingleObject(mutex, FALSE, nullptr);
    ++context_->parameters.RestartCounter;
    if (mutex != nullptr) Native().ZwReleaseMutant(mutex, nullptr);
  }

  StatusRecord BeforeStop(std::wstring_view name);
  StatusRecord AskToAllowStop(const WatchdogGeneration& watchdog);
  StatusRecord WaitUntilStopAllowed();
  StatusRecord Stop(std::wstring_view name);
  StatusRecord Delete(std::wstring_view name);
  StatusRecord RegCleanup(std::wstring_view name);

  std::shared_mutex gate_;
  bool closed_ = false;
  RunContext* context_;
  std::vector<Row> rows_;
  std::mutex deletedGuard_;
  std::vector<std::wstring> deleted_;
};

StatusCode ServiceWorkers::ProcessServiceItem(std::int32_t index) {
  if (index < 0 || static_cast<std::size_t>(index) >= rows_.size()) return status::InvalidArgument;
  const std::wstring& name = rows_[index].name;
  const std::uint32_t flags = rows_[index].flags;
  StatusCode last = status::Success;
  // Runs one step with its two DEBUG lines; the outcome is only logged.
  auto step = [&](std::uint32_t bit, std::wstring_view title, auto&& action) {
    if (!(flags & bit)) return;
    Log(severity::Debug, Here(), L"Service %s %s", name, title);
    const StatusRecord result = action();
    last = result.Code();
    if (result.Failed()) Log(severity::Debug, Here(), L"Service %s %s failed", name, title);
  };
  auto succeed = [] { return StatusRecord(); };

  Log(severity::Info, Here(), L"Processing service %s, it can take several minutes...", name);
  bool present = false;
  if (const StatusRecord checked = IsServicePresent(name, present); checked.Failed()) {
    Log(severity::Warn, Here(), L"Failed while try to check service %s presence (error: %x)", name, checked.Code());
    present = false;
  }
  if (present) {
    step(StepBeforeStop, L"BeforeStop", [&] { return BeforeStop(name); });
    SERVICE_STATUS status{};
    bool running = false;
    if (const StatusRecord queried = QueryServiceStatusByName(name, status); queried.Failed()) {
      Log(severity::Warn, Here(), L"Failed while try to check service %s status (error: %x)", name, queried.Code());
    } else {
      running = IsActiveState(status.dwCurrentState);
    }
    if (!running) {
      Log(severity::Info, Here(), L"Service %s is not running", name);
    } else {
      step(StepStop, L"Stop", [&] { return Stop(name); });
    }
    step(StepAfterStop, L"AfterStop", succeed);
    step(StepDelete, L"Delete", [&] { return Delete(name); });
    step(StepAfterDelete, L"AfterDelete", succeed);
  } else {
    Log(severity::Info, Here(), L"Service %s is not installed", name);
  }
  step(StepRegCleanup, L"RegCleanup", [&] { return RegCleanup(name); });
  return last;
}

StatusRecord ServiceWorkers::BeforeStop(std::wstring_view name) {
  const WatchdogGeneration* watchdog = WatchdogNamed(name);
  if (watchdog == nullptr) return {};
  StatusRecord result = AskToAllowStop(*watchdog);
  if (!result.Failed()) result = WaitUntilStopAllowed();
  if (result.Failed()) {
    Log(severity::Warn, Here(), L"Service %s Failed to SetStoppable command (error: %x)", name, result.Code());
  }
  return result;
}

StatusRecord ServiceWorkers::AskToAllowStop(const WatchdogGeneration& watchdog) {
  const std::wstring pipe = L"\\\\.\\pipe\\" + std::wstring(watchdog.pipeName);
  char answer[64] = {};
  DWORD answered = 0;
  if (!Win32Changes().ExchangeOnPipe(pipe.c_str(), kAllowStopRequest.data(),
                                     static_cast<DWORD>(kAllowStopRequest.size()), answer, sizeof answer, &answered,
                                     kWatchdogAnswerWait)) {
    return MakeStatus(StatusFromLastError(GetLastError()));
  }
  if (std::string_view(answer, answered) != kStopAllowedAnswer) return MakeStatus(status::WatchdogRefusedStop);
  return {};
}

// The current generation's watchdog shows the permission, whichever
// generation was asked.
StatusRecord ServiceWorkers::WaitUntilStopAllowed() {
  for (int read = 0; read < kWatchdogReads; ++read) {
    SERVICE_STATUS status{};
    if (StatusRecord queried = QueryServiceStatusByName(CurrentWatchdog().serviceName, status); queried.Failed()) {
      return queried;
    }
    if (AcceptsStop(status)) return {};
    SleepMilliseconds(kWatchdogReadPause);
  }
  return MakeStatus(status::GenericFailure);
}

StatusRecord ServiceWorkers::Stop(std::wstring_view name) {
  SERVICE_STATUS status{};
  bool stoppable = false;
  if (const StatusRecord queried = QueryServiceStatusByName(name, status); queried.Failed()) {
    Log(severity::Warn, Here(), L"Failed while try to check service %s status (error: %x)", name, queried.Code());
  } else {
    stoppable = AcceptsStop(status);
  }
  if (!stoppable) {
    PlanRestart();
    Log(severity::Info, Here(), L"Service %s is unstoppable, RESTART planned", name);
    return {};
  }
  StatusRecord stopped = StopServiceByName(name);
  if (!stopped.Failed()) return {};
  PlanRestart();
  Log(severity::Debug, Here(), L"Service %s Stop failed (error: %x), RESTART planned", name, stopped.Code());
  return stopped;
}

StatusRecord ServiceWorkers::Delete(std::wstring_view name) {
  StatusRecord deleted = DeleteServiceByName(name);
  if (deleted.Failed()) {
    Log(severity::Debug, Here(), L"Service %s Delete failed (error: %x)", name, deleted.Code());
  } else {
    std::lock_guard lock(deletedGuard_);
    deleted_.emplace_back(name);
  }
  return deleted;
}

StatusRecord ServiceWorkers::RegCleanup(std::wstring_view name) {
  const std::wstring subpath = std::wstring(kServicesKey) + L"\\" + std::wstring(name);
  RegistryKey machine(RootLocalMachine);
  {
    RegistryKey service(AsChildOf{machine});
    if (IsFailure(service.Open(subpath))) {
      Log(severity::Debug, Here(), L"Registry keys for service %s are not present", name);
      return {};
    }
  }
  const StatusCode deleted = machine.DeleteSubKey(subpath, true);
  if (IsFailure(deleted)) {
    Log(severity::Debug, Here(), L"Delete registry keys for service %s failed (error: %x)", name, deleted);
    return MakeStatus(deleted);
  }
  return {};
}

ServiceRemover::ServiceRemover(RunContext& context)
    : StageEngine(context), workers_(std::make_shared<ServiceWorkers>(context)) {}

ServiceRemover::~ServiceRemover() { workers_->Close(); }

StatusRecord ServiceRemover::RunServiceStage() { return RunServiceStage(ServiceItemTable()); }

StatusRecord ServiceRemover::RunServiceStage(std::span<const ServiceItem> rows) {
  UniqueNtHandle& mutex = context().serviceStageMutex;
  if (mutex) return MakeStatus(status::ObjectAlreadyExists);
  if (const NTSTATUS made = Native().ZwCreateMutant(mutex.put(), MUTANT_ALL_ACCESS, nullptr, FALSE); !NT_SUCCESS(made)) {
    mutex.release();
    return MakeStatus(StatusOfNativeCall(made));
  }
  workers_->TakeRows(rows);

  std::vector<UniqueNtHandle> threads(workers_->RowCount());
  std::vector<HANDLE> handles;
  for (std::size_t index = 0; index < threads.size(); ++index) {
    // Each worker holds the shared state itself: it may outlive the stage.
    const StatusCode started = StartOwnedWorker(
        [workers = workers_, index] { workers->ProcessServiceItem(static_cast<std::int32_t>(index)); },
        threads[index]);
    if (IsFailure(started)) return MakeStatus(started);
    handles.push_back(threads[index].get());
  }
  return MakeStatus(WaitForAllThreads(handles, kServiceStageWait));
}

StatusCode ServiceRemover::ProcessServiceItem(std::int32_t index) { return workers_->ProcessServiceItem(index); }

void ServiceRemover::Verify(std::vector<RemainingItem>& remaining) {
  for (const ServiceItem& row : ServiceItemTable()) {
    bool present = false;
    if (!IsServicePresent(row.name, present).Failed() && present) {
      remaining.push_back({L"service", std::wstring(row.name), {}, workers_->MarkedForDeletion(row.name)});
    }
  }
}

}  // namespace zor
