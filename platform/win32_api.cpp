#include "platform/win32_api.h"

namespace zor {
namespace {

Win32Api g_win32;
Win32ChangesApi g_win32Changes;

using EnumerateFunction = BOOL(WINAPI*)(HANDLE, DWORD, DWORD, void**, DWORD*);
using FreeFunction = void(WINAPI*)(void*);

struct SessionLibrary {
  EnumerateFunction enumerate = nullptr;
  FreeFunction release = nullptr;
};

// Loaded once and kept for the life of the process.
const SessionLibrary& Sessions() {
  static const SessionLibrary library = [] {
    SessionLibrary loaded;
    if (HMODULE module = LoadLibraryW(L"wtsapi32.dll")) {
      loaded.enumerate = reinterpret_cast<EnumerateFunction>(
          reinterpret_cast<void*>(GetProcAddress(module, "WTSEnumerateSessionsA")));
      loaded.release =
          reinterpret_cast<FreeFunction>(reinterpret_cast<void*>(GetProcAddress(module, "WTSFreeMemory")));
    }
    return loaded;
  }();
  return library;
}

}  // namespace

BOOL WINAPI EnumerateSessions(HANDLE server, DWORD reserved, DWORD version, void** sessions, DWORD* count) {
  const SessionLibrary& library = Sessions();
  if (!library.enumerate || !library.release) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  return library.enumerate(server, reserved, version, sessions, count);
}

void WINAPI FreeSessions(void* memory) {
  if (const SessionLibrary& library = Sessions(); library.release) library.release(memory);
}

namespace {

// Ends one overlapped step on the pipe within `milliseconds`; a step still
// pending then is cancelled and waited out, so `io` is free again.
bool FinishPipeStep(HANDLE pipe, OVERLAPPED& io, BOOL started, DWORD milliseconds, DWORD& count, DWORD& error) {
  if (!started && GetLastError() != ERROR_IO_PENDING) {
    error = GetLastError();
    return false;
  }
  if (::WaitForSingleObject(io.hEvent, milliseconds) != WAIT_OBJECT_0) {
    ::CancelIo(pipe);
    ::GetOverlappedResult(pipe, &io, &count, TRUE);
    error = ERROR_TIMEOUT;
    return false;
  }
  if (!::GetOverlappedResult(pipe, &io, &count, FALSE)) {
    error = GetLastError();
    return false;
  }
  return true;
}

HANDLE OpenPipe(const wchar_t* pipe, DWORD milliseconds) {
  HANDLE handle = ::CreateFileW(pipe, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                                nullptr);
  if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PIPE_BUSY && ::WaitNamedPipeW(pipe, milliseconds)) {
    handle = ::CreateFileW(pipe, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                           nullptr);
  }
  return handle;
}

}  // namespace

BOOL WINAPI ExistingObjectOpens(const wchar_t* path) {
  const HANDLE object = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  if (object == INVALID_HANDLE_VALUE) return FALSE;
  CloseHandle(object);
  return TRUE;
}

BOOL WINAPI UninstallOemInf(const wchar_t* infName, DWORD flags) {
  HMODULE library = LoadLibraryW(L"Setupapi.dll");
  if (!library) return FALSE;
  using Uninstall = BOOL(WINAPI*)(PCWSTR, DWORD, PVOID);
  const auto uninstall =
      reinterpret_cast<Uninstall>(reinterpret_cast<void*>(GetProcAddress(library, "SetupUninstallOEMInfW")));
  BOOL done = FALSE;
  DWORD error = ERROR_PROC_NOT_FOUND;
  if (uninstall) {
    done = uninstall(infName, flags, nullptr);
    error = done ? ERROR_SUCCESS : GetLastError();
  }
  FreeLibrary(library);
  SetLastError(error);
  return done;
}

HRESULT WINAPI DeInstallNetworkComponent(INetCfgClassSetup* classSetup, INetCfgComponent* component) {
  OBO_TOKEN token{};
  token.Type = OBO_USER;
  return classSetup->DeInstall(component, &token, nullptr);
}

HRESULT WINAPI ApplyNetworkConfiguration(INetCfg* configuration) { return configuration->Apply(); }

BOOL WINAPI CallLibraryExport(const wchar_t* library, const char* exportName) {
  HMODULE module = LoadLibraryW(library);
  if (!module) return FALSE;
  using Export = HRESULT(WINAPI*)();
  const auto function = reinterpret_cast<Export>(reinterpret_cast<void*>(GetProcAddress(module, exportName)));
  const DWORD error = function ? ERROR_SUCCESS : GetLastError();
  if (function) function();
  FreeLibrary(module);
  SetLastError(error);
  return function != nullptr;
}

BOOL WINAPI ExchangeOnPipe(const wchar_t* pipe, const void* request, DWORD requestSize, void* answer, DWORD capacity,
                           DWORD* answerSize, DWORD milliseconds) {
  *answerSize = 0;
  const HANDLE handle = OpenPipe(pipe, milliseconds);
  if (handle == INVALID_HANDLE_VALUE) return FALSE;
  DWORD error = 0;
  DWORD count = 0;
  bool exchanged = false;
  DWORD mode = PIPE_READMODE_MESSAGE;
  OVERLAPPED io{};
  io.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (io.hEvent == nullptr || !::SetNamedPipeHandleState(handle, &mode, nullptr, nullptr)) {
    error = GetLastError();
  } else if (FinishPipeStep(handle, io, ::WriteFile(handle, request, requestSize, nullptr, &io), milliseconds, count,
                            error)) {
    ::ResetEvent(io.hEvent);
    exchanged = FinishPipeStep(handle, io, ::ReadFile(handle, answer, capacity, nullptr, &io), milliseconds, count,
                               error);
    if (exchanged) *answerSize = count;
  }
  if (io.hEvent != nullptr) ::CloseHandle(io.hEvent);
  ::CloseHandle(handle);
  if (!exchanged) SetLastError(error != 0 ? error : ERROR_TIMEOUT);
  return exchanged ? TRUE : FALSE;
}

Win32Api& Win32() { return g_win32; }
Win32ChangesApi& Win32Changes() { return g_win32Changes; }

}  // namespace zor
