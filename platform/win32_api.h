#pragma once
// The process-wide tables of Win32 functions, the companions of the native
// table: every Win32 call of the program goes through one of them, so that a
// test can swap an entry to see a path that a real machine would not take
// (a refused restart, a missing session list) and must put it back.
//
// As with the native calls, the calls that can change the machine are kept
// in a table of their own; every other entry only reads, or touches nothing
// but this process and its console.
#include <windows.h>

#include <msi.h>
#include <netcfgx.h>
#include <process.h>
#include <setupapi.h>

namespace zor {

// Loaded on first use from wtsapi32.dll, which not every system has: with no
// library the enumeration fails with ERROR_MOD_NOT_FOUND.
BOOL WINAPI EnumerateSessions(HANDLE server, DWORD reserved, DWORD version, void** sessions, DWORD* count);
void WINAPI FreeSessions(void* memory);

// One request and its answer on a message-mode named pipe of this machine
// (`pipe` is the full name, \\.\pipe\NAME). Waits at most `milliseconds`
// for a free instance and as long again for the answer; a server that never
// answers is given up, not waited for. FALSE with the last error set on
// failure (ERROR_TIMEOUT when no answer came).
BOOL WINAPI ExchangeOnPipe(const wchar_t* pipe, const void* request, DWORD requestSize, void* answer, DWORD capacity,
                           DWORD* answerSize, DWORD milliseconds);

// Loads a library, calls its export of that name (a function without
// arguments) and unloads it again: how a component is told to take its own
// registrations out. FALSE with the last error when the library does not
// load or has no such export.
BOOL WINAPI CallLibraryExport(const wchar_t* library, const char* exportName);

// Whether an existing device or file of that name opens for reading and
// writing (shared both ways); the handle is closed at once. Opens nothing
// that is not there.
BOOL WINAPI ExistingObjectOpens(const wchar_t* path);

// SetupUninstallOEMInfW, looked up in Setupapi.dll at run time (systems
// before Windows XP SP2 have none): FALSE with ERROR_PROC_NOT_FOUND when
// the library has no such function.
BOOL WINAPI UninstallOemInf(const wchar_t* infName, DWORD flags);

// The two calls of the network configuration object that change the
// machine, as functions, so that they pass through the changing table like
// every other change: the component's removal for a user (OBO_USER), and
// the configuration's writing.
HRESULT WINAPI DeInstallNetworkComponent(INetCfgClassSetup* classSetup, INetCfgComponent* component);
HRESULT WINAPI ApplyNetworkConfiguration(INetCfg* configuration);

// X(name, function whose type and address the entry starts with)
#define ZOR_WIN32_READ_ENTRIES(X)                       \
  X(MessageBoxW, ::MessageBoxW)                         \
  X(GetProcessWindowStation, ::GetProcessWindowStation) \
  X(GetUserObjectInformationW, ::GetUserObjectInformationW) \
  X(GetEnvironmentVariableW, ::GetEnvironmentVariableW) \
  X(GetEnvironmentStringsW, ::GetEnvironmentStringsW)   \
  X(FreeEnvironmentStringsW, ::FreeEnvironmentStringsW) \
  X(ExpandEnvironmentStringsW, ::ExpandEnvironmentStringsW) \
  X(GetExitCodeProcess, ::GetExitCodeProcess)           \
  X(GetModuleFileNameW, ::GetModuleFileNameW)           \
  X(GetLongPathNameW, ::GetLongPathNameW)               \
  X(GetLogicalDrives, ::GetLogicalDrives)               \
  X(OpenProcessToken, ::OpenProcessToken)               \
  X(LookupPrivilegeValueW, ::LookupPrivilegeValueW)     \
  X(CreateMutexW, ::CreateMutexW)                       \
  X(Sleep, ::Sleep)                                     \
  X(EnumerateSessions, zor::EnumerateSessions)             \
  X(FreeSessions, zor::FreeSessions)                       \
  X(OpenSCManagerW, ::OpenSCManagerW)                      \
  X(OpenServiceW, ::OpenServiceW)                          \
  X(QueryServiceStatus, ::QueryServiceStatus)              \
  X(CloseServiceHandle, ::CloseServiceHandle)              \
  X(FindResourceW, ::FindResourceW)                        \
  X(LoadResource, ::LoadResource)                          \
  X(LockResource, ::LockResource)                          \
  X(SizeofResource, ::SizeofResource)                      \
  X(MsiEnumRelatedProductsW, ::MsiEnumRelatedProductsW)   \
  X(SetupDiGetClassDevsW, ::SetupDiGetClassDevsW)           \
  X(SetupDiEnumDeviceInfo, ::SetupDiEnumDeviceInfo)         \
  X(SetupDiGetDeviceRegistryPropertyW, ::SetupDiGetDeviceRegistryPropertyW) \
  X(SetupDiDestroyDeviceInfoList, ::SetupDiDestroyDeviceInfoList) \
  X(ExistingObjectOpens, zor::ExistingObjectOpens)         \
  X(CreateFileMappingW, ::CreateFileMappingW)               \
  X(MapViewOfFile, ::MapViewOfFile)                         \
  X(UnmapViewOfFile, ::UnmapViewOfFile)

#define ZOR_WIN32_CHANGE_ENTRIES(X)                         \
  X(CreateProcessW, ::CreateProcessW)                       \
  X(RunCommandInterpreter, ::_wsystem)                      \
  X(AdjustTokenPrivileges, ::AdjustTokenPrivileges)         \
  X(ExitWindowsEx, ::ExitWindowsEx)                         \
  X(InitiateSystemShutdownExW, ::InitiateSystemShutdownExW) \
  X(MoveFileExW, ::MoveFileExW)                             \
  X(ControlService, ::ControlService)                       \
  X(DeleteService, ::DeleteService)                         \
  X(ExchangeOnPipe, zor::ExchangeOnPipe)                   \
  X(CallLibraryExport, zor::CallLibraryExport)             \
  X(SetupDiCallClassInstaller, ::SetupDiCallClassInstaller) \
  X(UninstallOemInf, zor::UninstallOemInf)                 \
  X(DeInstallNetworkComponent, zor::DeInstallNetworkComponent) \
  X(ApplyNetworkConfiguration, zor::ApplyNetworkConfiguration)

#define ZOR_WIN32_MEMBER(name, function) decltype(&function) name = &function;
struct Win32Api {
  ZOR_WIN32_READ_ENTRIES(ZOR_WIN32_MEMBER)
};

struct Win32ChangesApi {
  ZOR_WIN32_CHANGE_ENTRIES(ZOR_WIN32_MEMBER)
};
#undef ZOR_WIN32_MEMBER

Win32Api& Win32();
Win32ChangesApi& Win32Changes();

}  // namespace zor
