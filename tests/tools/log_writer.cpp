// Writes numbered records to a log, for the tests of two processes sharing
// one log: log_writer.exe <log file> <tag> <count> <size> <files>. A size of
// "file" writes through a plain file appender, as the program's own log
// (the files count is then not used); any other size through a rolling one.
// Each record is "<tag> <number, six digits> " and 40 "x"; the exit code is
// 0, or the first failure of configuring or logging.
#include <string>

#include "foundation/format_text.h"
#include "logging/log_manager.h"
#include "platform/platform_startup.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 6) return 2;
  zor::StatusCode result = zor::StartPlatform();
  if (zor::IsFailure(result)) return result;
  const std::wstring tag = argv[2];
  const int count = _wtoi(argv[3]);
  const std::wstring size = argv[4];
  const std::wstring appender =
      size == L"file" ? std::wstring(L"AppenderType = File\n")
                      : L"AppenderType = RollingFile\nSize = " + size + L"\nFilesCount = " + argv[5] + L"\n";
  const std::wstring configuration =
      L"[Shared]\nType = Appender\n" + appender + L"Layout = Line\nFileName = " + argv[1] +
      L"\n[Line]\nType = Layout\nLayoutType = Custom\nFormat = %msg\n[Writer]\nAddAppenders = Shared\n";
  result = zor::Configure(configuration);
  if (zor::IsFailure(result)) return result;
  zor::Logger* logger = zor::GetLogger(L"Writer");
  if (!logger) return 3;
  const std::wstring padding(40, L'x');
  for (int number = 0; number < count; ++number) {
    result = logger->Log(zor::severity::Info, zor::FormatText(L"%s %06d %s", tag, number, padding), L"", 0, 0, 0, 0);
    if (zor::IsFailure(result)) return result;
  }
  return 0;
}
