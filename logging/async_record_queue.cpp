#include "logging/async_record_queue.h"

#include "logging/logger.h"
#include "platform/native_api.h"

namespace zor {
namespace {

class CriticalSectionHold {
 public:
  explicit CriticalSectionHold(RTL_CRITICAL_SECTION& section) : section_(section) {
    Native().RtlEnterCriticalSection(&section_);
  }
  ~CriticalSectionHold() { Native().RtlLeaveCriticalSection(&section_); }
  CriticalSectionHold(const CriticalSectionHold&) = delete;
  CriticalSectionHold& operator=(const CriticalSectionHold&) = delete;

 private:
  RTL_CRITICAL_SECTION& section_;
};

}  // namespace

AsyncRecordQueue::~AsyncRecordQueue() {
  if (workerStarted_.load(std::memory_order_acquire)) {
    stopping_.store(true, std::memory_order_release);
    Native().ZwSetEvent(event_.get(), nullptr);
    worker_.Wait(INFINITE);
  }
  if (sectionReady_ && Native().RtlDeleteCriticalSection) Native().RtlDeleteCriticalSection(&section_);
}

StatusCode AsyncRecordQueue::Initialise() {
  NTSTATUS made = Native().RtlInitializeCriticalSection(&section_);
  if (!NT_SUCCESS(made)) return StatusFromNtStatus(made);
  sectionReady_ = true;
  made = Native().ZwCreateEvent(event_.put(), EVENT_ALL_ACCESS, nullptr, nt::SynchronizationEvent, FALSE);
  return StatusOfNativeCall(made);
}

StatusCode AsyncRecordQueue::StartWorker() {
  if (workerStarted_.load(std::memory_order_acquire)) return status::Success;
  workerStartLock_.lock();
  StatusCode result = status::Success;
  if (!workerStarted_.load(std::memory_order_acquire)) {
    result = worker_.Start([this] { RunWorker(); }, WorkerPlain);
    if (!IsFailure(result)) workerStarted_.store(true, std::memory_order_release);
  }
  workerStartLock_.unlock();
  return result;
}

StatusCode AsyncRecordQueue::Enqueue(Logger& logger, LogRecord record) {
  if (IsFailure(StartWorker())) return logger.Dispatch(record);
  auto queued = std::make_unique<QueuedRecord>(QueuedRecord{&logger, std::move(record)});
  pending_.fetch_add(1, std::memory_order_acq_rel);
  {
    CriticalSectionHold hold(section_);
    records_.push_back(std::move(queued));
  }
  Native().ZwSetEvent(event_.get(), nullptr);
  return status::Success;
}

void AsyncRecordQueue::RunWorker() {
  for (;;) {
    Native().ZwWaitForSingleObject(event_.get(), FALSE, nullptr);
    for (;;) {
      std::unique_ptr<QueuedRecord> next;
      {
        CriticalSectionHold hold(section_);
        if (records_.empty()) break;
        next = std::move(records_.front());
        records_.pop_front();
      }
      next->logger->Dispatch(next->record);
      pending_.fetch_sub(1, std::memory_order_acq_rel);
    }
    // A separate manager that ends stops its worker once the queue is empty.
    if (stopping_.load(std::memory_order_acquire)) return;
  }
}

bool AsyncRecordQueue::WaitUntilEmpty(std::uint32_t milliseconds) {
  for (std::uint32_t waited = 0;; ++waited) {
    if (pending_.load(std::memory_order_acquire) == 0) return true;
    if (waited >= milliseconds) return false;
    LARGE_INTEGER interval;
    interval.QuadPart = -10000;  // 1 ms
    Native().NtDelayExecution(FALSE, &interval);
  }
}

}  // namespace zor
