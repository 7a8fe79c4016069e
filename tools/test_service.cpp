// A Windows service that behaves, when told, as the product's services do:
// the tests and the fixture installer register it under the product's names.
//   zor_test_service.exe [--stop=accept|refuse|slow:SECONDS|hang]
//                        [--watchdog=PIPE [--silent]] [--hold=PATH]...
// --stop=accept   accepts the stop control and stops at once (the default);
// --stop=refuse   never accepts a stop control;
// --stop=slow:N   accepts it, then reports STOP_PENDING with a check point
//                 that advances every 500 ms for N seconds before it stops;
// --stop=hang     accepts it, reports STOP_PENDING once and stays there;
// --watchdog=PIPE starts without accepting a stop and serves the named pipe
//                 \\.\pipe\PIPE: the request "allow-stop" makes it accept
//                 one and is answered "stop-allowed"; with --silent it reads
//                 requests and never answers or allows anything;
// --hold=PATH     keeps the file open without delete or write sharing while
//                 the service runs, as the product holds its own files;
// /ANYTHING       a switch of the program it stands in for, ignored.
// Plain Win32 calls only: nothing of the remover's own code.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

enum class StopMode { Accept, Refuse, Slow, Hang };

struct Settings {
  StopMode stop = StopMode::Accept;
  DWORD slowSeconds = 0;
  std::wstring watchdogPipe;
  bool silent = false;
  std::vector<std::wstring> held;
};

Settings g_settings;
SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
CRITICAL_SECTION g_statusLock;
SERVICE_STATUS g_status{};
HANDLE g_stopped = nullptr;

constexpr char kAllowStop[] = "allow-stop";
constexpr char kStopAllowed[] = "stop-allowed";
constexpr char kUnknownRequest[] = "unknown-request";

bool StartsWith(const wchar_t* text, const wchar_t* prefix, const wchar_t** rest) {
  const std::size_t length = std::wcslen(prefix);
  if (std::wcsncmp(text, prefix, length) != 0) return false;
  *rest = text + length;
  return true;
}

bool ReadSettings(int argc, wchar_t** argv, Settings& settings) {
  for (int i = 1; i < argc; ++i) {
    const wchar_t* value = nullptr;
    if (StartsWith(argv[i], L"--stop=", &value)) {
      if (std::wcscmp(value, L"accept") == 0) {
        settings.stop = StopMode::Accept;
      } else if (std::wcscmp(value, L"refuse") == 0) {
        settings.stop = StopMode::Refuse;
      } else if (std::wcscmp(value, L"hang") == 0) {
        settings.stop = StopMode::Hang;
      } else if (StartsWith(value, L"slow:", &value)) {
        settings.stop = StopMode::Slow;
        settings.slowSeconds = std::wcstoul(value, nullptr, 10);
      } else {
        return false;
      }
    } else if (StartsWith(argv[i], L"--watchdog=", &value) && *value) {
      settings.watchdogPipe = value;
    } else if (std::wcscmp(argv[i], L"--silent") == 0) {
      settings.silent = true;
    } else if (StartsWith(argv[i], L"--hold=", &value) && *value) {
      settings.held.emplace_back(value);
    } else if (argv[i][0] == L'/') {
      // A switch of the program it stands in for ("/service"): nothing to do.
    } else {
      return false;
    }
  }
  return true;
}

void Report(DWORD state, DWORD checkPoint = 0, DWORD waitHint = 0) {
  EnterCriticalSection(&g_statusLock);
  g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  g_status.dwCurrentState = state;
  g_status.dwCheckPoint = checkPoint;
  g_status.dwWaitHint = waitHint;
  g_status.dwWin32ExitCode = NO_ERROR;
  if (state == SERVICE_STOP_PENDING || state == SERVICE_STOPPED) g_status.dwControlsAccepted = 0;
  SetServiceStatus(g_statusHandle, &g_status);
  LeaveCriticalSection(&g_statusLock);
}

void AcceptStop() {
  EnterCriticalSection(&g_statusLock);
  g_status.dwControlsAccepted |= SERVICE_ACCEPT_STOP;
  SetServiceStatus(g_statusHandle, &g_status);
  LeaveCriticalSection(&g_statusLock);
}

DWORD WINAPI StopSlowly(void*) {
  const DWORD steps = g_settings.slowSeconds * 2;
  for (DWORD step = 1; step <= steps; ++step) {
    Report(SERVICE_STOP_PENDING, step, 1000);
    Sleep(500);
  }
  SetEvent(g_stopped);
  return 0;
}

DWORD WINAPI Control(DWORD control, DWORD, void*, void*) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
      switch (g_settings.stop) {
        case StopMode::Refuse:
          return ERROR_CALL_NOT_IMPLEMENTED;
        case StopMode::Hang:
          Report(SERVICE_STOP_PENDING, 1, 2000);
          return NO_ERROR;
        case StopMode::Slow:
          Report(SERVICE_STOP_PENDING, 0, 1000);
          CloseHandle(CreateThread(nullptr, 0, StopSlowly, nullptr, 0, nullptr));
          return NO_ERROR;
        case StopMode::Accept:
          Report(SERVICE_STOP_PENDING, 0, 1000);
          SetEvent(g_stopped);
          return NO_ERROR;
      }
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

// Set once the pipe's first instance exists: the service reports itself
// running only then, as a watchdog that takes requests from its start.
HANDLE g_pipeReady = nullptr;

// One client at a time: a request, an answer, the next client.
DWORD WINAPI ServeWatchdogPipe(void*) {
  const std::wstring name = L"\\\\.\\pipe\\" + g_settings.watchdogPipe;
  for (;;) {
    const HANDLE pipe = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                                         PIPE_UNLIMITED_INSTANCES, 256, 256, 0, nullptr);
    SetEvent(g_pipeReady);
    if (pipe == INVALID_HANDLE_VALUE) return GetLastError();
    if (ConnectNamedPipe(pipe, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED) {
      char request[64] = {};
      DWORD read = 0;
      if (ReadFile(pipe, request, sizeof request - 1, &read, nullptr) && !g_settings.silent) {
        const bool allow = std::string(request, read) == kAllowStop;
        if (allow) AcceptStop();
        const char* answer = allow ? kStopAllowed : kUnknownRequest;
        DWORD written = 0;
        WriteFile(pipe, answer, static_cast<DWORD>(std::strlen(answer)), &written, nullptr);
        FlushFileBuffers(pipe);
      } else if (g_settings.silent) {
        // Keeps the client waiting for an answer that never comes.
        WaitForSingleObject(g_stopped, INFINITE);
      }
      DisconnectNamedPipe(pipe);
    }
    CloseHandle(pipe);
  }
}

void WINAPI ServiceMain(DWORD, wchar_t** arguments) {
  g_statusHandle = RegisterServiceCtrlHandlerExW(arguments && arguments[0] ? arguments[0] : L"", Control, nullptr);
  if (!g_statusHandle) return;
  Report(SERVICE_START_PENDING, 1, 3000);

  std::vector<HANDLE> held;
  for (const std::wstring& path : g_settings.held) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) held.push_back(file);
  }
  if (!g_settings.watchdogPipe.empty()) {
    g_pipeReady = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CloseHandle(CreateThread(nullptr, 0, ServeWatchdogPipe, nullptr, 0, nullptr));
    WaitForSingleObject(g_pipeReady, 5000);
  }
  g_status.dwControlsAccepted =
      g_settings.stop == StopMode::Refuse || !g_settings.watchdogPipe.empty() ? 0 : SERVICE_ACCEPT_STOP;
  Report(SERVICE_RUNNING);

  WaitForSingleObject(g_stopped, INFINITE);
  for (HANDLE file : held) CloseHandle(file);
  Report(SERVICE_STOPPED);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (!ReadSettings(argc, argv, g_settings)) {
    std::fwprintf(stderr,
                  L"usage: zor_test_service.exe [--stop=accept|refuse|slow:SECONDS|hang] [--watchdog=PIPE [--silent]] "
                  L"[--hold=PATH]...\n");
    return 2;
  }
  InitializeCriticalSection(&g_statusLock);
  g_stopped = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  wchar_t anyName[] = L"";
  SERVICE_TABLE_ENTRYW table[] = {{anyName, ServiceMain}, {nullptr, nullptr}};
  if (!StartServiceCtrlDispatcherW(table)) {
    std::fwprintf(stderr, L"zor_test_service.exe runs only as a service (error %lu)\n", GetLastError());
    return 1;
  }
  return 0;
}
