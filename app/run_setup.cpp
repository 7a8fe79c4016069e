#include "app/run_setup.h"

#include <initializer_list>
#include <string>
#include <vector>

#include "app/log_configuration.h"
#include "app/options.h"
#include "app/product_folder.h"
#include "app/separate_copy.h"
#include "app/whitelist_file.h"
#include "logging/log_manager.h"
#include "platform/console_output.h"
#include "platform/full_path.h"
#include "platform/named_mutex.h"
#include "platform/os_identity_reader.h"
#include "platform/registry_key.h"

namespace zor {
namespace {

constexpr std::wstring_view kFileId = L"5B1E7C42-9D3A-4F86-B0E1-2C7A94D03F5E";

// The calling line, as a default argument evaluated where the call stands.
LogSite Here(std::source_location where = std::source_location::current()) { return {kFileId, where.line()}; }

constexpr std::wstring_view kUninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr std::wstring_view kCurrentVersion = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr std::wstring_view kCurrentVersionNt = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr std::wstring_view kShellFolders = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// A value that names a folder, and the field of the run it fills.
struct FolderValue {
  std::wstring_view name;
  std::wstring RunParameters::*field;
};

// Reads the values of an open key into the run's fields; a value that
// cannot be read is named in the log with the key as `shownKey` says it.
void ReadFolderValues(RunContext& context, RegistryKey& key, std::wstring_view shownKey,
                      std::initializer_list<FolderValue> values) {
  for (const FolderValue& value : values) {
    if (const StatusCode read = key.GetString(value.name, context.parameters.*value.field); IsFailure(read)) {
      context.Log(severity::Debug, Here(), L"Reading %s:%s value failed (error: %x)", shownKey, value.name, read);
    }
  }
}

// The uninstall records of the generations that kept their folders there,
// newest first; the first record found is the one read.
struct UninstallRecord {
  std::wstring_view name;  // below the Uninstall key, as the log shows it
  std::wstring_view programValue;
  std::wstring_view dataValue;
};
constexpr UninstallRecord kUninstallRecords[] = {
    {L"Zor9Uninstall\\Directories", L"dir_Zor9Dir", L"dir_AllUsersAppData_Zor9"},
    {L"Zor8Uninstall\\Directories", L"dir_Zor8Dir", L"dir_AllUsersAppData_Zor8"},
};

void ReadUninstallRecord(RunContext& context, RegistryKey& machine) {
  for (const UninstallRecord& record : kUninstallRecords) {
    if (const StatusCode opened = machine.Open(std::wstring(kUninstall) + std::wstring(record.name));
        IsFailure(opened)) {
      context.Log(severity::Debug, Here(), L"%s key failed to open (error: %x)", record.name, opened);
      continue;
    }
    ReadFolderValues(context, machine, record.name,
                     {{record.programValue, &RunParameters::ZorDir}, {record.dataValue, &RunParameters::ZorDataDir}});
    machine.Close();
    return;
  }
}

void ReadWindowsFolders(RunContext& context) {
  RunParameters& parameters = context.parameters;
  RegistryKey machine(RootLocalMachine);
  if (IsFailure(machine.Open(kCurrentVersionNt)) && IsFailure(machine.Open(kCurrentVersion))) {
    context.Log(severity::Debug, Here(),
                L"Opening HKLM\\SOFTWARE\\Microsoft\\Windows( NT)\\CurrentVersion key failed");
  } else {
    std::wstring systemRoot;
    if (const StatusCode read = machine.GetString(L"SystemRoot", systemRoot); IsFailure(read)) {
      context.Log(severity::Debug, Here(), L"Reading %s:%s value failed (error: %x)",
                  L"HKLM\\SOFTWARE\\Microsoft\\Windows( NT)\\CurrentVersion", L"SystemRoot", read);
    } else {
      parameters.System32Dir = systemRoot + L"\\System32";
      parameters.DriversDir = parameters.System32Dir + L"\\Drivers";
      parameters.SysWow64Dir = systemRoot + L"\\SysWOW64";
    }
    machine.Close();
  }

  if (const StatusCode opened = machine.Open(kCurrentVersion); IsFailure(opened)) {
    context.Log(severity::Debug, Here(), L"Opening HKLM\\%s key failed", kCurrentVersion);
  } else {
    ReadFolderValues(context, machine, L"HKLM\\" + std::wstring(kCurrentVersion),
                     {{L"ProgramFilesDir", &RunParameters::ProgramFilesDir},
                      {L"ProgramFilesDir (x86)", &RunParameters::ProgramFilesX86Dir}});
    machine.Close();
  }
}

void ReadShellFolders(RunContext& context) {
  RegistryKey user(RootCurrentUser);
  if (const StatusCode opened = user.Open(kShellFolders); IsFailure(opened)) {
    context.Log(severity::Debug, Here(), L"Opening HKCU\\%s key failed (error: %x)", kShellFolders, opened);
  } else {
    ReadFolderValues(context, user, L"HKCU\\" + std::wstring(kShellFolders),
                     {{L"AppData", &RunParameters::AppDataDir}});
  }

  RegistryKey machine(RootLocalMachine);
  if (const StatusCode opened = machine.Open(kShellFolders); IsFailure(opened)) {
    context.Log(severity::Debug, Here(), L"Opening HKLM\\%s key failed (error: %x)", kShellFolders, opened);
    return;
  }
  ReadFolderValues(context, machine, L"HKLM\\" + std::wstring(kShellFolders),
                   {{L"Common Desktop", &RunParameters::CommonDesktopDir},
                    {L"Common Programs", &RunParameters::CommonProgramsDir},
                    {L"Common AppData", &RunParameters::CommonAppDataDir}});
}

}  // namespace

StatusRecord SetUpLogging(RunContext& context) {
  std::wstring folder;
  if (const StatusCode found = ProgramFolder(folder); IsFailure(found)) return PassOn(MakeStatus(found));
  const StatusCode configured = Configure(BuiltInLogConfiguration(folder));
  const std::vector<std::wstring> refused = ConfigurationRefusals();
  if (IsFailure(configured)) {
    // No log to say it in: the console is all there is.
    for (const std::wstring& refusal : refused) PrintConsole(L"Log configuration: %s\n", refusal);
    return PassOn(MakeStatus(configured));
  }
  Logger* logger = GetLogger(L"ZorRemover");
  if (!logger) return PassOn(MakeStatus(status::OutOfMemory));
  context.logger = logger;
  for (const std::wstring& refusal : refused) context.Log(severity::Warn, Here(), L"Log configuration: %s", refusal);
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
    // Its figures reach the main run's report through its exit code.
    context.parameters.ReportPath.clear();
  }
  // A relative name would land elsewhere in the run after a restart, which
  // starts in another folder.
  if (std::wstring& report = context.parameters.ReportPath; !report.empty()) {
    std::wstring full;
    if (!IsFailure(FullPathOf(report, full))) report = std::move(full);
  }
  std::size_t index = 0;
  if (const OptionEntry* whitelist = FindOption(options, L"whitelist", index)) {
    std::vector<std::wstring> entries;
    if (const StatusCode read = ReadWhitelistFile(whitelist->value, entries); IsFailure(read)) {
      context.Log(severity::Info, Here(), L"Parsing Whitelist file '%s' failed (error: %x)", whitelist->value, read);
    } else {
      context.Log(severity::Info, Here(), L"Whitelist file '%s' read: %d entries", whitelist->value,
                  static_cast<std::int32_t>(entries.size()));
      context.parameters.Whitelist = std::move(entries);
    }
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
