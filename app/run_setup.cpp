#include "app/run_setup.h"

#include <string>
#include <vector>

#include "app/log_configuration.h"
#include "app/options.h"
#include "app/product_folder.h"
#include "app/separate_copy.h"
#include "logging/log_manager.h"
#include "platform/named_mutex.h"
#include "platform/os_identity_reader.h"
#include "platform/registry_key.h"

namespace zor {
namespace {

constexpr std::wstring_view kFileId = L"5B1E7C42-9D3A-4F86-B0E1-2C7A94D03F5E";

// The calling line, as a default argument evaluated where the call stands.
LogSite Here(std::source_location where = std::source_location::current()) { return {kFileId, where.line()}; }

// The whitelist file cannot be read yet; the run goes on without one.


constexpr std::wstring_view kZor9Directories =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zor9Uninstall\\Directories";
constexpr std::wstring_view kZor8Directories =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zor8Uninstall\\Directories";
constexpr std::wstring_view kShellFolders = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

void ReadUninstallRecord(RunContext& context, RegistryKey& machine) {
  RunParameters& parameters = context.parameters;
  StatusCode opened = machine.Open(kZor9Directories);
  if (!IsFailure(opened)) {
    if (const StatusCode read = machine.GetString(L"dir_Zor9Dir", parameters.ZorDir); IsFailure(read)) {
      context.Log(severity::Debug, Here(),
                  L"Reading Zor9Uninstall\\Directories:dir_Zor9Dir value failed (error: %x)", read);
    }
    if (const StatusCode read = machine.GetString(L"dir_AllUsersAppData_Zor9", parameters.ZorDataDir);
        IsFailure(read)) {
      context.Log(severity::Debug, Here(),
                  L"Reading Zor9Uninstall\\Directories:dir_AllUsersAppData_Zor9 value failed (error: %x)", read);
    }
    machine.Close();
    return;
  }
  context.Log(severity::Debug, Here(), L"Zor9Uninstall\\Directories key failed to open (error: %x)", opened);
  opened = machine.Open(kZor8Directories);
  if (IsFailure(opened)) {
    context.Log(severity::Debug, Here(), L"Zor8Uninstall\\Directories key failed to open (error: %x)", opened);
    return;
  }
  if (const StatusCode read = machine.GetString(L"dir_Zor8Dir", parameters.ZorDir); IsFailure(read)) {
    context.Log(severity::Debug, Here(),
                L"Reading Zor8Uninstall\\Directories:dir_Zor8Dir value failed (error: %x)", read);
  }
  if (const StatusCode read = machine.GetString(L"dir_AllUsersAppData_Zor8", parameters.ZorDataDir); IsFailure(read)) {
    context.Log(severity::Debug, Here(),
                L"Reading Zor8Uninstall\\Directories:dir_AllUsersAppData_Zor8 value failed (error: %x)", read);
  }
  machine.Close();
}

void ReadWindowsFolders(RunContext& context) {
  RunParameters& parameters = context.parameters;
  RegistryKey machine(RootLocalMachine);
  if (IsFailure(machine.Open(L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion")) &&
      IsFailure(machine.Open(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion"))) {
    context.Log(severity::Debug, Here(),
                L"Opening HKLM\\SOFTWARE\\Microsoft\\Windows( NT)\\CurrentVersion key failed");
  } else {
    std::wstring systemRoot;
    if (const StatusCode read = machine.GetString(L"SystemRoot", systemRoot); IsFailure(read)) {
      context.Log(
          severity::Debug, Here(),
          L"Reading HKLM\\SOFTWARE\\Microsoft\\Windows( NT)\\CurrentVersion:SystemRoot value failed (error: %x)", read);
    } else {
      parameters.System32Dir = systemRoot + L"\\System32";
      parameters.DriversDir = parameters.System32Dir + L"\\Drivers";
      parameters.SysWow64Dir = systemRoot + L"\\SysWOW64";
    }
    machine.Close();
  }

  if (const StatusCode opened = machine.Open(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion"); IsFailure(opened)) {
    context.Log(severity::Debug, Here(),
                L"Opening HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion key failed");
  } else {
    if (const StatusCode read = machine.GetString(L"ProgramFilesDir", parameters.ProgramFilesDir); IsFailure(read)) {
      context.Log(
          severity::Debug, Here(),
          L"Reading HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion:ProgramFilesDir value failed (error: %x)", read);
    }
    if (const StatusCode read = machine.GetString(L"ProgramFilesDir (x86)", parameters.ProgramFilesX86Dir);
        IsFailure(read)) {
      context.Log(
          severity::Debug, Here(),
          L"Reading HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion:ProgramFilesDir (x86) value failed (error: %x)",
          read);
    }
    machine.Close();
  }
}

void ReadShellFolders(RunContext& context) {
  RunParameters& parameters = context.parameters;
  RegistryKey user(RootCurrentUser);
  if (const StatusCode opened = user.Open(kShellFolders); IsFailure(opened)) {
    context.Log(
        severity::Debug, Here(),
        L"Opening HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders key failed (error: %x)",
        opened);
  } else if (const StatusCode read = user.GetString(L"AppData", parameters.AppDataDir); IsFailure(read)) {
    context.Log(severity::Debug, Here(),
                L"Reading HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders:AppData value "
                L"failed (error: %x)",
                read);
  }

  RegistryKey machine(RootLocalMachine);
  if (const StatusCode opened = machine.Open(kShellFolders); IsFailure(opened)) {
    context.Log(
        severity::Debug, Here(),
        L"Opening HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders key failed (error: %x)",
        opened);
    return;
  }
  struct Folder {
    std::wstring_view valueName;
    std::wstring& field;
  };
  for (const Folder& folder : {Folder{L"Common Desktop", parameters.CommonDesktopDir},
                               Folder{L"Common Programs", parameters.CommonProgramsDir},
                               Folder{L"Common AppData", parameters.CommonAppDataDir}}) {
    if (const StatusCode read = machine.GetString(folder.valueName, folder.field); IsFailure(read)) {
      context.Log(severity::Debug, Here(),
                  L"Reading HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders:%s value "
                  L"failed (error: %x)",
                  folder.valueName, read);
    }
  }
}

}  // namespace

StatusRecord SetUpLogging(RunContext& context) {
  std::wstring folder;
  if (const StatusCode found = ProgramFolder(folder); IsFailure(found)) return PassOn(MakeStatus(found));
  if (const StatusCode configured = Configure(BuiltInLogConfiguration(folder)); IsFailure(configured)) {
    return PassOn(MakeStatus(configured));
  }
  Logger* logger = GetLogger(L"ZorRemover");
  if (!logger) return PassOn(MakeStatus(status::OutOfMemory));
  context.logger = logger;
  return {};
}

StatusRecord ReadSystemFolders(RunContext& context) { return ReadSystemFolders(context, CurrentOsIdentity()); }

StatusRecord ReadSystemFolders(RunContext& context, const OsIdentity& identity) {
  RunParameters& parameters = context.parameters;
  if (identity.processorArchitecture != identity.programArchitecture) {
    context.Log(severity::Error, Here(),
                L"Wrong application platform. Use corresponding application version for 32bit or 64bit systems");
    return MakeStatus(status::GenericFailure);
  }
  if (identity.processorArchitecture == ArchitectureX86) {
    parameters.Is32BitSystem = true;
  } else if (identity.processorArchitecture == ArchitectureX64) {
    parameters.Is64BitSystem = true;
  } else {
    context.Log(severity::Error, Here(), L"Platform architecture not supported");
    return MakeStatus(status::GenericFailure);
  }

  // The product keeps its uninstall record in the 32-bit view.
  const bool system64 = IsSystem64Bit();
  RegistryKey machine(RootLocalMachine);
  if (system64 && IsFailure(machine.SetViewMode(ViewMode32))) {
    context.Log(severity::Warn, Here(), L"SetViewMode for Zor8Uninstall key failed");
  }
  ReadUninstallRecord(context, machine);
  if (system64 && IsFailure(machine.SetViewMode(ViewModeDefault))) {
    context.Log(severity::Warn, Here(), L"SetViewMode after Zor8Uninstall key failed");
  }

  ReadWindowsFolders(context);
  ReadShellFolders(context);
  return {};
}

StatusRecord ReadOptions(RunContext& context, std::wstring_view commandLine) {
  if (commandLine.empty()) return {};
  context.Log(severity::Info, Here(), L"Command line: %s", commandLine);
  OptionList options;
  const StatusCode parsed = ParseOptions(commandLine, options);
  if (parsed == status::UnbalancedQuotes) {
    // Everything after the open mark would be read as one value, options
    // such as /silent included: better to touch nothing and say why.
    context.Log(severity::Error, Here(),
                L"The command line has a quotation mark that is not closed: nothing is removed. "
                L"Close every quotation mark and run again.");
    return MakeStatus(parsed);
  }
  ThrowIfFailed(parsed);
  std::vector<std::wstring> unknown;
  if (!IsFailure(UnknownOptionNames(commandLine, unknown))) {
    for (const std::wstring& name : unknown) {
      context.Log(severity::Warn, Here(), L"Unknown option '%s' is ignored; see /help for the options.",
                  name);
    }
  }
  ApplyOptions(options, context.parameters);
  if (IsSeparateCopy()) {
    // The copy's mode comes from its mark, whatever its command line says.
    context.parameters.NdisOnly = true;
    context.parameters.SkipAsk = true;
  }
  std::size_t index = 0;
  if (const OptionEntry* whitelist = FindOption(options, L"whitelist", index)) {
    // The whitelist reader comes with the process stage; until then the file
    // is reported as not readable and Whitelist stays as it was.
    context.Log(severity::Info, Here(), L"Parsing Whitelist file '%s' failed (error: %x)", whitelist->value,
                status::NotSupported);
  }
  return {};
}

StatusRecord TakeRunLock(RunContext& context, UniqueNtHandle& lock) {
  bool taken = false;
  if (const StatusCode opened = TryTakeNamedMutex(kRunLockName, lock, taken); IsFailure(opened)) {
    context.Log(severity::Error, Here(),
                L"The lock that keeps two runs apart cannot be taken (error: %x): nothing is removed.", opened);
    return MakeStatus(opened);
  }
  if (!taken) {
    context.Log(severity::Error, Here(),
                L"Another ZorRemover run is in progress on this machine: this run removes nothing and ends. "
                L"Wait for the other run to end and start again if needed.");
    return MakeStatus(status::AnotherRunActive);
  }
  return {};
}

}  // namespace zor
