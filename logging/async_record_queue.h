#pragma once
// The queue of records logged asynchronously: a worker thread, started on
// first use, dispatches them in the order they came.
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>

#include "foundation/status_codes.h"
#include "logging/log_record.h"
#include "platform/native_types.h"
#include "platform/spin_lock.h"
#include "platform/unique_handle.h"
#include "platform/worker_thread.h"

namespace zor {

class Logger;

class AsyncRecordQueue {
 public:
  AsyncRecordQueue() = default;
  // Stops a started worker once the queue is empty.
  ~AsyncRecordQueue();
  AsyncRecordQueue(const AsyncRecordQueue&) = delete;
  AsyncRecordQueue& operator=(const AsyncRecordQueue&) = delete;

  // The lock and the event; the worker starts with the first record.
  StatusCode Initialise();

  // Queues a copy of the record for the worker thread. Without a worker the
  // record is not dropped: it goes out now.
  StatusCode Enqueue(Logger& logger, LogRecord record);
  // True when every queued record has been dispatched within the time.
  bool WaitUntilEmpty(std::uint32_t milliseconds);

 private:
  struct QueuedRecord {
    Logger* logger;
    LogRecord record;
  };

  StatusCode StartWorker();
  void RunWorker();

  RTL_CRITICAL_SECTION section_{};
  UniqueNtHandle event_;
  std::deque<std::unique_ptr<QueuedRecord>> records_;
  std::atomic<std::uint32_t> pending_{0};
  SpinLock workerStartLock_;
  std::atomic<bool> workerStarted_{false};
  std::atomic<bool> stopping_{false};
  bool sectionReady_ = false;
  WorkerThread worker_;
};

}  // namespace zor
