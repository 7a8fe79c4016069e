#include "platform/system_restart.h"

#include <windows.h>

#include <string>

#include "platform/native_api.h"
#include "platform/os_identity_reader.h"
#include "platform/win32_api.h"

namespace zor {
namespace {

constexpr DWORD kPlannedReason = 0x80000000;  // SHTDN_REASON_FLAG_PLANNED
constexpr DWORD kShutdownTimeoutSeconds = 10;
constexpr wchar_t kShutdownMessage[] = L"ZorRemover needs to restart your PC before continue";

// Shutdown privilege for the lifetime of the object; the previous state
// comes back on every path.
class ShutdownPrivilege {
 public:
  // False when the token cannot be opened or adjusted; `failure` then holds
  // the converted last error, which is 0 when there is none.
  bool Enable(StatusCode& failure) {
    SetLastError(0);
    if (!Win32().OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_ADJUST_GROUPS | TOKEN_QUERY, &token_)) {
      token_ = nullptr;
      failure = StatusFromLastError(GetLastError());
      return false;
    }
    TOKEN_PRIVILEGES wanted{};
    wanted.PrivilegeCount = 1;
    wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    DWORD size = sizeof previous_;
    SetLastError(0);
    if (!Win32().LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &wanted.Privileges[0].Luid) ||
        !Win32Changes().AdjustTokenPrivileges(token_, FALSE, &wanted, sizeof previous_, &previous_, &size)) {
      failure = StatusFromLastError(GetLastError());
      return false;
    }
    adjusted_ = true;
    return true;
  }

  ~ShutdownPrivilege() {
    if (adjusted_) Win32Changes().AdjustTokenPrivileges(token_, FALSE, &previous_, 0, nullptr, nullptr);
    if (token_) CloseHandle(token_);
  }

 private:
  HANDLE token_ = nullptr;
  TOKEN_PRIVILEGES previous_{};
  bool adjusted_ = false;
};

// When the session list cannot be read, a session counts as active.
bool UserSessionActive() {
  struct SessionInfoA {
    DWORD sessionId;
    char* stationName;
    int state;  // WTS_CONNECTSTATE_CLASS; 0 is WTSActive
  };
  void* sessions = nullptr;
  DWORD count = 0;
  if (!Win32().EnumerateSessions(nullptr, 0, 1, &sessions, &count)) return true;
  bool active = false;
  const auto* list = static_cast<const SessionInfoA*>(sessions);
  for (DWORD i = 0; i < count; ++i) {
    if (list[i].state == 0) active = true;
  }
  Win32().FreeSessions(sessions);
  return active;
}

bool UsesExitWindows(const OsIdentity& identity) {
  return IsWindows2000Professional(identity) || IsXpWithoutServicePack(identity);
}

StatusCode ExitWindowsMethod(std::uint32_t flags) {
  UINT how = (flags & (RestartForceApplications | RestartEvenWithoutSession)) ? EWX_FORCE : EWX_FORCEIFHUNG;
  how |= (flags & RestartReboot) ? EWX_REBOOT : EWX_POWEROFF;
  SetLastError(0);
  if (!Win32Changes().ExitWindowsEx(how, kPlannedReason)) return StatusFromLastError(GetLastError());
  return status::Success;
}

StatusCode InitiateShutdownMethod(std::uint32_t flags) {
  const bool sessionActive = UserSessionActive();
  const bool evenWithoutSession = (flags & RestartEvenWithoutSession) != 0;
  if (!evenWithoutSession && !sessionActive) return status::RestartRefused;

  bool askForce = false;
  StatusCode remembered = status::GenericFailure;
  for (int attempt = 0; attempt < 2; ++attempt) {
    const BOOL force = askForce || (flags & RestartForceApplications) || (evenWithoutSession && !sessionActive);
    std::wstring message(kShutdownMessage);
    SetLastError(0);
    if (Win32Changes().InitiateSystemShutdownExW(nullptr, message.data(), kShutdownTimeoutSeconds, force, (flags & RestartReboot) ? TRUE : FALSE,
                 kPlannedReason)) {
      return status::Success;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_NOT_READY && !sessionActive) {
      // Nobody is logged on to close: go straight to the kernel.
      if (NativeChanges().ZwShutdownSystem) {
        for (int i = 0; i < 10; ++i) {
          NativeChanges().ZwShutdownSystem((flags & RestartReboot) ? 1 /* ShutdownReboot */ : 2 /* ShutdownPowerOff */);
          Win32().Sleep(300);
        }
      }
      continue;
    }
    if (error == ERROR_MACHINE_LOCKED || error == ERROR_BAD_LOGON_SESSION_STATE) {
      if (!evenWithoutSession) return status::RestartRefused;
      askForce = true;
      continue;
    }
    remembered = StatusFromLastError(error);
  }
  return remembered;
}

}  // namespace

StatusCode RequestRestart(std::uint32_t flags) {
  ShutdownPrivilege privilege;
  if (StatusCode failure = status::Success; !privilege.Enable(failure)) return failure;
  if (UsesExitWindows(CurrentOsIdentity())) return ExitWindowsMethod(flags);
  return InitiateShutdownMethod(flags);
}

}  // namespace zor
