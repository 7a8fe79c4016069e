// Records per second through the logging framework: the program's own
// configuration (file and console appenders; INFO records reach both, DEBUG
// records only the file), a file appender alone, and beside it a bare loop
// that formats the same lines and writes each with one system call, which
// is what logging cannot be faster than. Figures go to standard error; the
// console appender writes to standard output.
//   log_benchmark.exe <folder> [records]
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "foundation/format_text.h"
#include "logging/log_manager.h"
#include "platform/platform_startup.h"

namespace {

constexpr wchar_t kFileId[] = L"{6A1E0C44-93B7-4F2D-8E5A-0B7C3D9F1E62}";

std::wstring BuiltInConfiguration(const std::wstring& folder) {
  return L"[root]\nType = Logger\nSeverity = All\n"
         L"[ZorRemover]\nType = Logger\nSeverity = All\nAddAppenders = FileAppender,ConsoleAppender\nAdditive = false\n"
         L"[SimpleLayout]\nType = Layout\nLayoutType = Custom\nFormat = \"%date %time %severity %msg\"\n"
         L"[FileAppender]\nType = Appender\nAppenderType = File\nFileName = " +
         folder +
         L"\\zorremover.log\nLayout = SimpleLayout\n"
         L"[ConsoleAppender]\nType = Appender\nBreakSeverity = Info\nAppenderType = Console\n"
         L"Target = System.out\nLayout = SimpleLayout\n";
}

std::wstring FileAloneConfiguration(const std::wstring& folder) {
  return L"[Alone]\nType = Appender\nAppenderType = File\nFileName = " + folder +
         L"\\alone.log\nLayout = SimpleLayout\n"
         L"[SimpleLayout]\nType = Layout\nLayoutType = Custom\nFormat = \"%date %time %severity %msg\"\n"
         L"[ZorRemover]\nSeverity = All\nAddAppenders = Alone\nAdditive = false\n";
}

double Seconds(const LARGE_INTEGER& start, const LARGE_INTEGER& end, const LARGE_INTEGER& frequency) {
  return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Logs `records` messages as an engine does (threshold test, then
// formatting) and prints the rate.
bool Measure(const char* label, const std::wstring& configuration, zor::Severity severity, int records,
             double* rate = nullptr) {
  zor::StatusCode result = zor::status::GenericFailure;
  std::unique_ptr<zor::LogManager> manager = zor::LogManager::CreateSeparate(result);
  if (!manager || zor::IsFailure(manager->Configure(configuration))) {
    std::fprintf(stderr, "%s: configuration failed\n", label);
    return false;
  }
  zor::Logger& logger = *manager->GetLogger(L"ZorRemover");
  const zor::LogSite site{kFileId, 42};
  LARGE_INTEGER frequency;
  LARGE_INTEGER start;
  LARGE_INTEGER end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  int failures = 0;
  for (int i = 0; i < records; ++i) {
    if (zor::IsFailure(zor::LogMessage(logger, severity, site, L"File %s deleted (%x), item %d",
                                       L"C:\\Program Files\\ZOR\\bin\\component.dll", 0, i))) {
      ++failures;
    }
  }
  QueryPerformanceCounter(&end);
  const double seconds = Seconds(start, end, frequency);
  std::fprintf(stderr, "%-52s %8d records  %7.3f s  %10.0f records/s%s\n", label, records, seconds,
               static_cast<double>(records) / seconds, failures ? "  (with failures)" : "");
  if (rate) *rate = static_cast<double>(records) / seconds;
  return failures == 0;
}

// The floor: the same lines, dated as the layout dates them, each written
// with one append-only WriteFile; no logger, no appender, no lock.
double MeasureBare(const std::wstring& folder, int records) {
  const std::wstring path = folder + L"\\bare.log";
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "bare loop: cannot create the file\n");
    return 0;
  }
  LARGE_INTEGER frequency;
  LARGE_INTEGER start;
  LARGE_INTEGER end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  for (int i = 0; i < records; ++i) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    const std::wstring line =
        zor::FormatText(L"%04d-%02d-%02d %02d:%02d:%02d,%03d INFO ", now.wYear, now.wMonth, now.wDay, now.wHour,
                        now.wMinute, now.wSecond, now.wMilliseconds) +
        zor::FormatText(L"File %s deleted (%x), item %d", L"C:\\Program Files\\ZOR\\bin\\component.dll", 0, i) +
        L"\r\n";
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written, nullptr);
  }
  QueryPerformanceCounter(&end);
  CloseHandle(file);
  const double seconds = Seconds(start, end, frequency);
  const double rate = static_cast<double>(records) / seconds;
  std::fprintf(stderr, "%-52s %8d records  %7.3f s  %10.0f records/s\n", "bare loop, one WriteFile a record", records,
               seconds, rate);
  return rate;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: log_benchmark.exe <folder> [records]\n");
    return 2;
  }
  if (zor::IsFailure(zor::StartPlatform())) return 1;
  const std::wstring folder = argv[1];
  const int records = argc > 2 ? _wtoi(argv[2]) : 20000;
  bool ok =
      Measure("own configuration, INFO (file and console)", BuiltInConfiguration(folder), zor::severity::Info, records);
  ok = Measure("own configuration, DEBUG (file; console drops it)", BuiltInConfiguration(folder), zor::severity::Debug,
               records) &&
       ok;
  double alone = 0;
  ok = Measure("file appender alone", FileAloneConfiguration(folder), zor::severity::Info, records, &alone) && ok;
  const double bare = MeasureBare(folder, records);
  if (alone > 0 && bare > 0) std::fprintf(stderr, "bare / file appender alone: %.2f\n", bare / alone);
  return ok ? 0 : 1;
}
