#include "engines/firewall_driver_uninstaller.h"

#include <windows.h>
#include <setupapi.h>

#include <algorithm>
#include <new>
#include <source_location>
#include <string_view>
#include <vector>

#include "app/run_context.h"
#include "app/whitelist_file.h"
#include "engines/firewall_names.h"
#include "foundation/text_case.h"
#include "logging/config_document.h"
#include "platform/directory_lister.h"
#include "platform/downcase_text.h"
#include "platform/file_operations.h"
#include "platform/network_configuration.h"
#include "platform/os_identity_reader.h"
#include "platform/path_text.h"
#include "platform/registry_key.h"
#include "platform/special_folders.h"
#include "platform/tree_delete.h"
#include "platform/win32_api.h"

namespace zor {
namespace {

constexpr std::wstring_view kFileId = L"F0B83FAB-59FF-44eb-8905-B0D6EA595932";

LogSite Here(std::source_location where = std::source_location::current()) { return {kFileId, where.line()}; }

constexpr std::int32_t kStepFilterDone = 4;
constexpr std::int32_t kStepMiniportsDone = 5;
constexpr std::int32_t kStepNotPresent = 10;
constexpr std::uint32_t kVerboseSetupLog = 0xFFFF;
constexpr std::uint32_t kLockMilliseconds = 5000;
constexpr wchar_t kSetupKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";

constexpr StatusCode kLockedByAnother = CodeFromBits(0xE0010058);
constexpr StatusCode kRestartFirst = CodeFromBits(0xE0010054);
constexpr StatusCode kRemovalFailed = CodeFromBits(0xE0010057);
constexpr StatusCode kNoConfiguration = CodeFromBits(0xE001003E);
constexpr StatusCode kComponentMissing = CodeFromBits(0xE001004C);
constexpr StatusCode kClassUnreachable = CodeFromBits(0xE0010013);
constexpr StatusCode kNoDeviceList = CodeFromBits(0xE001003F);

// The lines of a file read by the whitelist file's rules, one by one, for
// the configuration-text parser.
class LineListText final : public ConfigTextSource {
 public:
  explicit LineListText(const std::vector<std::wstring>& lines) : lines_(lines) {}
  bool NextLine(std::wstring& line) override {
    if (next_ == lines_.size()) return false;
    line = lines_[next_++];
    return true;
  }

 private:
  const std::vector<std::wstring>& lines_;
  std::size_t next_ = 0;
};

std::wstring_view CatalogForThisWindows() {
  return CurrentOsIdentity().majorVersion > 5 ? kFirewallCatalog : kFirewallCatalogBeforeVista;
}

bool IsOurInf(const std::vector<std::wstring>& lines) {
  LineListText text(lines);
  ConfigDocument document;
  document.Parse(text);
  const ConfigSection* version = document.FindSection(L"Version");
  std::wstring catalog;
  if (!version || IsFailure(version->GetValue(L"CatalogFile", catalog))) return false;
  return EqualsFoldingAscii(catalog, CatalogForThisWindows());
}

// The phase-1 results of the configuration, as the stage's codes: S_OK and
// NETCFG_S_REBOOT go on (the latter asking for a restart).
StatusCode ConfigurationChange(ComResult result, bool& restartNeeded) {
  if (result == kComOk) return status::Success;
  if (result == kNetCfgReboot) {
    restartNeeded = true;
    return status::Success;
  }
  return result == kNetCfgNeedReboot ? kRestartFirst : kRemovalFailed;
}

// The root-enumerated devices whose first hardware id is the miniport's;
// `remove` sends DIF_REMOVE to each, the first failure ending the pass.
StatusCode VisitMiniports(bool remove, std::uint32_t& matched) {
  matched = 0;
  const HDEVINFO devices =
      Win32().SetupDiGetClassDevsW(nullptr, L"Root", nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
  if (devices == INVALID_HANDLE_VALUE) return kNoDeviceList;
  StatusCode result = status::Success;
  std::vector<wchar_t> ids(1024);
  for (DWORD index = 0;; ++index) {
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (!Win32().SetupDiEnumDeviceInfo(devices, index, &device)) {
      const DWORD error = GetLastError();
      if (error != ERROR_NO_MORE_ITEMS) result = StatusFromLastError(error);
      break;
    }
    DWORD needed = 0;
    BOOL read = FALSE;
    for (;;) {
      read = Win32().SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_HARDWAREID, nullptr,
                                                       reinterpret_cast<BYTE*>(ids.data()),
                                                       static_cast<DWORD>(ids.size() * sizeof(wchar_t)), &needed);
      if (read || GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
      ids.resize(needed / sizeof(wchar_t) + 2);
    }
    // ERROR_INVALID_DATA: a device without hardware ids.
    if (!read) continue;
    ids.back() = L'\0';
    if (!EqualsFoldingAscii(std::wstring_view(ids.data()), kFirewallMiniportHardwareId)) continue;
    ++matched;
    if (remove && !Win32Changes().SetupDiCallClassInstaller(DIF_REMOVE, devices, &device)) {
      result = StatusFromLastError(GetLastError());
      break;
    }
  }
  Win32().SetupDiDestroyDeviceInfoList(devices);
  return result;
}

// The authorized-application values of the product's programs: their full
// paths in the program folder, in lower case, each name once.
StatusCode PolicyValueNames(const std::wstring& zorDir, std::vector<std::wstring>& names) {
  for (const std::wstring_view program : kFirewallAuthorizedPrograms) {
    std::wstring path;
    if (const StatusCode joined = CombinePath(zorDir, program, path); IsFailure(joined)) return joined;
    std::wstring lower;
    if (const StatusCode lowered = DowncaseText(path, lower); IsFailure(lowered)) return lowered;
    if (std::find(names.begin(), names.end(), lower) == names.end()) names.push_back(std::move(lower));
  }
  return status::Success;
}

// The system folder the driver's files were copied to, and its "drivers".
StatusCode DriverFolders(std::wstring& system, std::wstring& drivers) {
  const int kind = IsSystem64Bit() ? FolderSystemFromWindows : FolderSystem32Bit;
  if (const StatusCode found = SpecialFolder(kind, system); IsFailure(found)) return found;
  return CombinePath(system, L"drivers", drivers);
}

}  // namespace

FirewallDriverUninstaller::FirewallDriverUninstaller(RunContext& context)
    : StageEngine(context), configuration_(NetworkConfigurationOfWindows()) {}

FirewallDriverUninstaller::~FirewallDriverUninstaller() = default;

void FirewallDriverUninstaller::UseNetworkConfiguration(std::unique_ptr<NetworkConfiguration> configuration) {
  configuration_ = std::move(configuration);
}

StatusRecord FirewallDriverUninstaller::UninstallFirewallDriver() {
  RunContext& run = context();
  RunParameters& parameters = run.parameters;
  try {
    RemoveFirewallPolicy();

    if (parameters.NdisNextStep <= 3) {
      if (!IsFirewallDriverInstalled()) {
        parameters.NdisNextStep = kStepNotPresent;
        run.Log(severity::Info, Here(), L"FW NDIS driver not present");
        return {};
      }
      run.Log(severity::Debug, Here(), L"FW NDIS driver uninstallation Phase 1");
      std::wstring lockOwner = L"Unknown application";
      bool restartNeeded = false;
      const StatusCode removed = UninstallFilterComponent(restartNeeded, lockOwner);
      if (removed == kLockedByAnother) {
        run.Log(severity::Debug, Here(),
                L"FW NDIS Uninstallation failed, interface is locked by another application (%s)", lockOwner);
      }
      if (removed == kLockedByAnother || removed == kRestartFirst || removed == kRemovalFailed) {
        run.Log(severity::Debug, Here(),
                L"FW NDIS Uninstallation (phase 1) failed, restart required before next attempt (%x)", removed);
        ++parameters.RestartCounter;
        ++parameters.NdisNextStep;
        return {};
      }
      if (IsFailure(removed)) {
        run.Log(severity::Debug, Here(), L"FW NDIS Uninstallation failed but error is ignored (error: %x)", removed);
      }
      if (restartNeeded) {
        run.Log(severity::Debug, Here(), L"FW NDIS Uninstallation (phase 1) requires restart");
        ++parameters.RestartCounter;
      }
      parameters.NdisNextStep = kStepFilterDone;
    }

    if (parameters.NdisNextStep <= kStepFilterDone) {
      run.Log(severity::Debug, Here(), L"FW NDIS driver uninstallation Phase 2");
      RemoveMiniports();
      bool restartNeeded = false;
      if (const StatusCode infs = UninstallOEMInfs(restartNeeded); IsFailure(infs)) {
        run.Log(severity::Debug, Here(), L"UninstallOEMInfs failed (error %x)", infs);
      }
      if (restartNeeded) {
        run.Log(severity::Debug, Here(), L"FW NDIS Uninstallation (phase 2) requires restart");
        ++parameters.RestartCounter;
      }
      parameters.NdisNextStep = kStepMiniportsDone;
    }

    if (parameters.NdisNextStep <= kStepMiniportsDone) {
      run.Log(severity::Debug, Here(), L"FW NDIS driver uninstallation Phase 3");
      if (const StatusCode key = RemoveZORLegacyRegistryKeys(); IsFailure(key)) {
        run.Log(severity::Debug, Here(), L"RemoveZORLegacyRegistryKeys failed or keys missing (error %x)", key);
      }
      if (const StatusCode files = RemoveZORDriverFiles(); IsFailure(files)) {
        run.Log(severity::Debug, Here(), L"RemoveZORDriverFiles failed or some files missing (error %x)", files);
      }
    }
    run.Log(severity::Info, Here(), L"FW NDIS driver uninstallation finished");
  } catch (const std::bad_alloc&) {
    // Nothing of this stage stops the run; the step stays where it got to.
  }
  return {};
}

StatusCode FirewallDriverUninstaller::RemoveFirewallPolicy() {
  RunContext& run = context();
  run.Log(severity::Info, Here(), L"FW removing policy");
  std::vector<std::wstring> names;
  if (const StatusCode built = PolicyValueNames(run.parameters.ZorDir, names); IsFailure(built)) return built;
  for (const std::wstring_view policy : kFirewallPolicyKeys) {
    RegistryKey key(RootLocalMachine);
    if (IsFailure(key.Open(policy))) continue;
    for (const std::wstring& name : names) {
      if (!key.ValueExists(name)) continue;
      run.Log(severity::Info, Here(), L"FW policy: deleting value '%s\\%s'", policy, name);
      key.DeleteValue(name);
    }
  }
  return status::Success;
}

StatusCode FindFirewallInfs(std::vector<std::wstring>& infs) {
  std::wstring windows;
  if (const StatusCode found = SpecialFolder(FolderWindows, windows); IsFailure(found)) return found;
  std::wstring folder;
  if (const StatusCode joined = CombinePath(windows, L"inf", folder); IsFailure(joined)) return joined;
  if (const StatusCode exists = FolderExists(folder); IsFailure(exists)) return exists;
  std::vector<std::wstring> names;
  DirectoryLister lister;
  StatusCode state = lister.OpenListing(folder, L"oem*.inf", ListFiles);
  for (; state == status::Success; state = lister.NextEntry()) {
    FolderEntry entry;
    if (!IsFailure(lister.CurrentEntry(entry))) names.emplace_back(entry.name);
  }
  if (state != status::ListingEnd) return state;
  for (const std::wstring& name : names) {
    std::wstring path;
    if (const StatusCode joined = CombinePath(folder, name, path); IsFailure(joined)) return joined;
    std::vector<std::wstring> lines;
    if (const StatusCode read = ReadWhitelistFile(path, lines); IsFailure(read)) return read;
    if (IsOurInf(lines)) infs.push_back(std::move(path));
  }
  return status::Success;
}

bool FirewallDriverUninstaller::IsFirewallDriverInstalled() {
  std::vector<std::wstring> infs;
  if (!IsFailure(FindFirewallInfs(infs)) && !infs.empty()) return true;
  for (const std::wstring_view device : kFirewallControlDevices) {
    if (Win32().ExistingObjectOpens(std::wstring(device).c_str())) return true;
  }
  return false;
}

StatusCode FirewallDriverUninstaller::UninstallFilterComponent(bool& restartNeeded, std::wstring& lockOwner) {
  NetworkConfiguration& network = *configuration_;
  std::uint32_t previousLevel = 0;
  SetSetupLogLevel(kVerboseSetupLog, previousLevel);

  const bool comStarted = network.InitializeCom() == kComOk;
  bool locked = false;
  bool ready = false;
  std::wstring holder;
  ComResult result = network.Create();
  if (ComSucceeded(result)) {
    result = network.AcquireWriteLock(kLockMilliseconds, kFirewallLockClient, holder);
    if (result == kComFalse) result = kNetCfgNoWriteLock;
    locked = ComSucceeded(result);
    if (locked) {
      result = network.Initialize();
      ready = ComSucceeded(result);
      if (!ready) {
        network.ReleaseWriteLock();
        locked = false;
      }
    }
  }

  StatusCode outcome = status::Success;
  if (!ready) {
    if (result == kNetCfgNoWriteLock) {
      if (!holder.empty()) lockOwner = holder;
      outcome = kLockedByAnother;
    } else {
      outcome = kNoConfiguration;
    }
  } else if (network.FindComponent(kFirewallFilterComponent) != kComOk) {
    outcome = kComponentMissing;
  } else if (!ComSucceeded(network.OpenComponentClass())) {
    outcome = kClassUnreachable;
  } else {
    outcome = ConfigurationChange(network.DeInstallComponent(), restartNeeded);
    if (!IsFailure(outcome)) outcome = ConfigurationChange(network.Apply(), restartNeeded);
  }

  // Whatever happened, no write lock outlives this call: a lock left held
  // would keep every other network installer out until the restart.
  if (ready) network.Uninitialize();
  if (locked) network.ReleaseWriteLock();
  network.Release();
  if (comStarted) network.UninitializeCom();

  std::uint32_t ignored = 0;
  SetSetupLogLevel(previousLevel, ignored);
  return outcome;
}

StatusCode FirewallDriverUninstaller::RemoveMiniports() {
  std::uint32_t matched = 0;
  if (IsFailure(VisitMiniports(false, matched)) || matched == 0) return status::Success;
  const StatusCode removed = VisitMiniports(true, matched);
  if (IsFailure(removed)) context().Log(severity::Debug, Here(), L"Removing miniports failed (error %x)", removed);
  return removed;
}

StatusCode FirewallDriverUninstaller::UninstallOEMInfs(bool& restartNeeded) {
  std::vector<std::wstring> infs;
  if (const StatusCode found = FindFirewallInfs(infs); IsFailure(found)) return found;
  if (infs.empty()) return status::FileNotFound;
  for (const std::wstring& inf : infs) {
    std::wstring name;
    if (const StatusCode split = LastComponent(inf, name); IsFailure(split)) return split;
    std::uint32_t previousLevel = 0;
    SetSetupLogLevel(kVerboseSetupLog, previousLevel);
    // Without force first: Windows refuses an INF that a device still uses,
    // and the forced removal takes effect with the next restart.
    if (!Win32Changes().UninstallOemInf(name.c_str(), 0) && GetLastError() != ERROR_PROC_NOT_FOUND &&
        Win32Changes().UninstallOemInf(name.c_str(), SUOI_FORCEDELETE)) {
      restartNeeded = true;
    }
    std::uint32_t ignored = 0;
    SetSetupLogLevel(previousLevel, ignored);
    DeleteFileNow(inf);
    DeleteFileNow(inf.substr(0, inf.size() - 4) + L".pnf");
  }
  return status::Success;
}

StatusCode FirewallDriverUninstaller::RemoveZORLegacyRegistryKeys() {
  RegistryKey machine(RootLocalMachine);
  return machine.DeleteSubKey(kFirewallLegacySetupKey, false);
}

StatusCode FirewallDriverUninstaller::RemoveZORDriverFiles() {
  std::wstring system;
  std::wstring drivers;
  if (const StatusCode found = DriverFolders(system, drivers); IsFailure(found)) return found;
  std::uint32_t deleted = 0;
  const StatusCode libraries = DeleteAllMatching(system, kFirewallLibraryMask, deleted);
  const StatusCode driverFiles = DeleteAllMatching(drivers, kFirewallDriverMask, deleted);
  return IsFailure(libraries) || IsFailure(driverFiles) ? kRemovalFailed : status::Success;
}

StatusCode SetSetupLogLevel(std::uint32_t level, std::uint32_t& previous) {
  RegistryKey setup(RootLocalMachine);
  if (const StatusCode opened = setup.OpenOrCreate(kSetupKey); IsFailure(opened)) return opened;
  if (const StatusCode read = setup.GetDword(L"LogLevel", previous); IsFailure(read)) return read;
  return setup.SetDword(L"LogLevel", level);
}

void FirewallDriverUninstaller::Verify(std::vector<RemainingItem>& remaining) {
  std::vector<std::wstring> names;
  if (!IsFailure(PolicyValueNames(context().parameters.ZorDir, names))) {
    for (const std::wstring_view policy : kFirewallPolicyKeys) {
      RegistryKey key(RootLocalMachine);
      if (IsFailure(key.Open(policy))) continue;
      for (const std::wstring& name : names) {
        if (key.ValueExists(name)) {
          remaining.push_back({L"value", L"HKLM\\" + std::wstring(policy) + L" : " + name, L"x64", false});
        }
      }
    }
  }
  std::vector<std::wstring> infs;
  if (!IsFailure(FindFirewallInfs(infs))) {
    for (const std::wstring& inf : infs) remaining.push_back({L"file", inf, {}, false});
  }
  std::uint32_t miniports = 0;
  if (!IsFailure(VisitMiniports(false, miniports))) {
    for (std::uint32_t i = 0; i < miniports; ++i) {
      remaining.push_back({L"device", std::wstring(kFirewallMiniportHardwareId), {}, false});
    }
  }
  if (RegistryKey machine(RootLocalMachine); RegistryKey::KeyExists(machine, kFirewallLegacySetupKey)) {
    remaining.push_back({L"key", L"HKLM\\" + std::wstring(kFirewallLegacySetupKey), L"x64", false});
  }
  std::wstring system;
  std::wstring drivers;
  if (IsFailure(DriverFolders(system, drivers))) return;
  for (const auto& [folder, mask] : {std::pair{system, kFirewallLibraryMask}, std::pair{drivers, kFirewallDriverMask}}) {
    DirectoryLister lister;
    const std::wstring text(mask);
    for (StatusCode state = lister.OpenListing(folder, text.c_str(), ListFiles); state == status::Success;
         state = lister.NextEntry()) {
      std::wstring path;
      if (!IsFailure(lister.EntryPath(path))) remaining.push_back({L"file", path, {}, false});
    }
  }
}

}  // namespace zor
