#pragma once
// Helpers for the logging tests under Wine: per-test folders on drive C,
// reading log files back, capturing the standard handles, and swapping one
// native table entry for the length of a test.
#include <cstdint>
#include <memory>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "logging/log_manager.h"
#include "platform/native_api.h"

#include "tests/support/table_swap.h"

namespace zor::test {

// A folder of its own for one test (process id and test name in its name),
// removed with everything in it when the test ends.
class TestFolder {
 public:
  TestFolder();
  ~TestFolder();
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;

  const std::wstring& Path() const { return path_; }
  std::wstring File(std::wstring_view name) const { return path_ + L"\\" + std::wstring(name); }

 private:
  std::wstring path_;
};

// A name unique to the running test, for loggers and appenders.
std::wstring UniqueName(std::wstring_view prefix);

bool FileExistsAt(const std::wstring& path);
std::string ReadFileBytes(const std::wstring& path);
// The lines of a log file: a byte-order mark at the start, UTF-16LE text,
// every line ended by CR LF. `wellFormed` is false when any of that fails.
std::vector<std::wstring> ReadLogLines(const std::wstring& path, bool* wellFormed = nullptr);
// Names in a folder that match a mask, sorted.
std::vector<std::wstring> FilesIn(const std::wstring& folder, const std::wstring& mask = L"*");

void WriteFileBytes(const std::wstring& path, const std::string& bytes);
// Sets the creation and last write time of an existing file.
void SetFileTimes(const std::wstring& path, std::int64_t time);
std::int64_t CreationTimeOf(const std::wstring& path);
std::int64_t NowUtc();

// Two log_writer.exe processes (tags "A" and "B") writing `records` each to
// the log at the same time (see tests/tools/log_writer.cpp for `size` and
// `files`); both must end with 0.
void RunTwoLogWriters(const std::wstring& path, int records, const std::wstring& size, const std::wstring& files);

// Reads the records of the writers from the files and checks each line is
// one whole record and each file well formed. `seen` gets each tag's
// numbers; the result is the number of lines.
std::size_t ReadWriterRecords(const std::wstring& folder, const std::vector<std::wstring>& files,
                              std::map<std::wstring, std::set<int>>& seen);

// Points the process's standard output and standard error at pipes while it
// lives; what was written there can be taken out as bytes.
class StandardHandleCapture {
 public:
  StandardHandleCapture();
  ~StandardHandleCapture();
  StandardHandleCapture(const StandardHandleCapture&) = delete;
  StandardHandleCapture& operator=(const StandardHandleCapture&) = delete;

  // Restores the handles and returns what each pipe received.
  void Finish(std::string& output, std::string& error);

 private:
  HANDLE oldOutput_ = nullptr;
  HANDLE oldError_ = nullptr;
  HANDLE outputRead_ = nullptr;
  HANDLE outputWrite_ = nullptr;
  HANDLE errorRead_ = nullptr;
  HANDLE errorWrite_ = nullptr;
  bool finished_ = false;
};

// Wine says so through an export of its ntdll.
bool RunningUnderWine();

// The manager, which the test cannot do without.
LogManager& Manager();

// A logger "Run" of a manager of its own that writes "SEVERITY message"
// lines into a file, for tests of code that logs through a run context.
class CapturedLog {
 public:
  CapturedLog(const TestFolder& folder, std::wstring_view fileName);
  Logger* logger() const { return logger_; }
  // Closes the file and reads it back, one narrow text per line.
  std::vector<std::string> Lines();

 private:
  std::wstring path_;
  std::unique_ptr<LogManager> manager_;
  Logger* logger_ = nullptr;
};

}  // namespace zor::test
