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

Win32Api& Win32() { return g_win32; }
Win32ChangesApi& Win32Changes() { return g_win32Changes; }

}  // namespace zor
