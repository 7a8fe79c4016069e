#include "tests/support/child_process.h"

#include <thread>

#include "platform/native_types.h"

namespace zor::test {

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::wstring WindowsPathOf(const std::string& unixPath) {
  std::wstring path = L"Z:" + Widen(unixPath);
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

std::wstring ProgramPath() {
#ifdef ZOR_PROGRAM_PATH
  // The build gives a Unix path; Wine maps the root file system to Z:.
  std::wstring path = L"Z:" + Widen(ZOR_PROGRAM_PATH);
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
#else
  return L"zorremover.exe";
#endif
}

std::wstring QuotedProgramPath() { return L"\"" + ProgramPath() + L"\""; }

ChildResult RunChild(const std::wstring& commandLine, std::uint32_t timeoutMilliseconds) {
  return RunChildAs(std::wstring(), commandLine, timeoutMilliseconds);
}

ChildResult RunChildAs(const std::wstring& application, const std::wstring& commandLine,
                       std::uint32_t timeoutMilliseconds) {
  ChildResult result;
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return result;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullptr;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  PROCESS_INFORMATION process{};
  std::wstring mutableLine = commandLine;
  const BOOL created = CreateProcessW(application.empty() ? nullptr : application.c_str(), mutableLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                      nullptr, &startup, &process);
  CloseHandle(writeEnd);
  if (!created) {
    result.startError = GetLastError();
    CloseHandle(readEnd);
    return result;
  }
  result.started = true;

  std::thread reader([&] {
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(readEnd, buffer, sizeof(buffer), &read, nullptr) && read > 0) result.output.append(buffer, read);
  });
  if (WaitForSingleObject(process.hProcess, timeoutMilliseconds) == WAIT_TIMEOUT) {
    result.timedOut = true;
    TerminateProcess(process.hProcess, 0xDEAD);
    WaitForSingleObject(process.hProcess, INFINITE);
  }
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  result.exitCode = exitCode;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  reader.join();
  CloseHandle(readEnd);
  return result;
}

}  // namespace zor::test
