#pragma once
// Keeps whole the appends that several processes make to one file (the
// program and its separate copy share their log). Windows puts each write
// of an append-only handle whole at the end of the file; Wine does not, and
// a kernel mutex for every record would cost a round trip to the system.
// So the processes that have the file open count themselves in a small
// named shared memory block: a process alone appends without any lock, and
// only while another one has the file open do the appends take a named
// mutex. A process that starts sharing waits for the lock-free appends
// already under way before it writes.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string_view>

#include "foundation/status_codes.h"
#include "platform/unique_handle.h"

namespace zor {

class SharedAppendGate {
 public:
  SharedAppendGate() = default;
  ~SharedAppendGate() { Close(); }
  SharedAppendGate(const SharedAppendGate&) = delete;
  SharedAppendGate& operator=(const SharedAppendGate&) = delete;

  // Joins the writers of the file of that full path (any letter case). A
  // gate that cannot be opened lets Append write unguarded, as a process
  // that is the file's only writer.
  StatusCode Open(std::wstring_view fullPath);
  void Close();

  // Runs `append` so that no other process's append can cut it. While the
  // file is shared, a mutex that cannot be had within 10 seconds (its owner
  // hangs) makes the call fail with 0xE0010076 and `append` is not run.
  StatusCode Append(const std::function<StatusCode()>& append);

 private:
  struct Block {
    std::atomic<std::int32_t> writers;         // processes with the file open
    std::atomic<std::int32_t> lockFreeWrites;  // appends under way without the mutex
  };

  Block* block_ = nullptr;
  UniqueNtHandle section_;
  UniqueNtHandle mutex_;
};

}  // namespace zor
