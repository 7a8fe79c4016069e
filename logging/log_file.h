#pragma once
// The files that file appenders write: UTF-16LE with a byte-order mark,
// one record per line, always appended at the end, opened through the
// native interface with an access list that lets every account that logs
// to the same file open it.
#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/status_codes.h"
#include "platform/shared_append_gate.h"
#include "platform/unique_handle.h"

namespace zor {

class LogFile {
 public:
  // Opens the file for appending, creating it when missing; the rolling
  // appenders also share it for deleting. An empty file gets the
  // byte-order mark FF FE at offset 0.
  StatusCode Open(std::wstring_view fullPath, bool shareDelete);
  bool IsOpen() const { return handle_.valid(); }
  void Close() {
    gate_.Close();
    append_.reset();
    handle_.reset();
  }

  // The text and CR LF, written with one call through a handle that may
  // only append, through the shared append gate: the lines of processes
  // sharing the log never overlap, split or overwrite each other. A line
  // the gate cannot guard is not written and is counted as lost.
  StatusCode AppendLine(std::wstring_view text);
  StatusCode Flush();
  // Empties the file; the byte-order mark is written again so that what
  // follows still reads as UTF-16.
  StatusCode Truncate();
  StatusCode Size(std::uint64_t& size);
  StatusCode CreationTime(std::int64_t& time);
  StatusCode SetCreationTime(std::int64_t time);

 private:
  StatusCode WriteMarkIfEmpty();

  UniqueNtHandle handle_;   // writes at offsets: the mark, truncation, times
  UniqueNtHandle append_;   // appends only: the lines
  SharedAppendGate gate_;   // keeps the lines whole when processes share the file
};

// The file beside a rolling log whose locks serialise rolling and writing
// between processes.
class LogLockFile {
 public:
  StatusCode Open(std::wstring_view fullPath);
  bool IsOpen() const { return handle_.valid(); }
  void Close() { handle_.reset(); }
  // The whole file, exclusively, without waiting.
  StatusCode LockWhole();
  void UnlockWhole();
  // The first byte, exclusively, waiting for it: one write at a time.
  StatusCode LockForWrite();
  void UnlockForWrite();

 private:
  UniqueNtHandle handle_;
};

// The system clock: 100-ns units since 1601-01-01 UTC.
std::int64_t CurrentSystemTime();

// A name used as written when rooted (a drive or "\\"), else joined to
// `logFolder` (the current directory when empty); then made full.
StatusCode FullLogPath(std::wstring_view logFolder, std::wstring_view fileName, std::wstring& fullPath);

// Creation and last write time of a file; fails for a missing file.
StatusCode QueryLogFileTimes(std::wstring_view fullPath, std::int64_t& creationTime, std::int64_t& lastWriteTime);

// A free name in the temporary folder: "zor-", a random version-4 UUID and
// ".tmp". 0xE001003E when no temporary folder is set.
StatusCode TemporaryFileName(std::wstring& path);

// Creates a new log file that carries `creationTime`: made in the temporary
// folder, moved into place without replacing anything, and given the time
// again there (a file system may hand a new name the creation time of the
// file that had it last). Fails when the file exists already.
StatusCode CreateLogFileAt(std::wstring_view fullPath, std::int64_t creationTime);

// Moves the file into the temporary folder and deletes it there, so that
// its name is free at once even while another process still has it open;
// deletes it in place when it cannot be moved.
StatusCode DeleteLogFile(std::wstring_view fullPath);

}  // namespace zor
