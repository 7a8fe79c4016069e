#include "engines/mail_plugin_remover.h"

#include <windows.h>

#include <array>
#include <new>
#include <source_location>
#include <span>
#include <string_view>

#include "app/run_context.h"
#include "engines/mail_plugin_names.h"
#include "engines/stage_files.h"
#include "foundation/format_text.h"
#include "foundation/text_case.h"
#include "platform/embedded_resource.h"
#include "platform/file_operations.h"
#include "platform/new_file.h"
#include "platform/os_identity_reader.h"
#include "platform/path_text.h"
#include "platform/process_launch.h"
#include "platform/registry_key.h"
#include "platform/service_control.h"
#include "platform/win32_api.h"

namespace zor {
namespace {

constexpr std::wstring_view kFileId = L"09EADD8D-CCD2-4426-A386-7A3B23465422";

LogSite Here(std::source_location where = std::source_location::current()) { return {kFileId, where.line()}; }

constexpr wchar_t kOutlookAddins[] = L"Software\\Microsoft\\Office\\Outlook\\Addins";
constexpr wchar_t kOutlookAddinKey[] = L"zoroutlook.Addin";
constexpr wchar_t kSharePointScanner[] = L"Software\\Microsoft\\Shared Tools\\Web Server Extensions\\AVScanner";
constexpr wchar_t kInformationStore[] = L"MSExchangeIS";
constexpr wchar_t kExchange2007Setup[] = L"Software\\Microsoft\\Exchange\\v8.0\\Setup";
constexpr wchar_t kExchange2010Setup[] = L"Software\\Microsoft\\ExchangeServer\\v14\\Setup";

struct ViewPass {
  ViewMode mode;
  const wchar_t* name;
};

// The 32-bit view first, then the program's own. On 32-bit Windows both
// passes address the same keys.
std::array<ViewPass, 2> BothViews() {
  const ViewMode first = IsSystem64Bit() ? ViewMode32 : ViewModeDefault;
  return {ViewPass{first, L"x86"}, ViewPass{ViewModeDefault, L"x64"}};
}

std::wstring ClassKey(std::wstring_view clsid) { return L"CLSID\\" + std::wstring(clsid); }

// The add-in's keys below HKEY_CLASSES_ROOT, in the order they go.
std::array<std::wstring, 5> OutlookClassKeys() {
  return {L"zoroutlook.Addin", L"zoroutlook.Addin.1", ClassKey(kOutlookAddinClasses[0]),
          ClassKey(kOutlookAddinClasses[1]), L"AppID\\zoroutlook.DLL"};
}

// Windows paths may hold an apostrophe (a user named O'Neill has one in his
// temporary folder); inside a single-quoted PowerShell string it is doubled.
std::wstring SingleQuotedText(const std::wstring& text) {
  std::wstring quoted;
  for (const wchar_t c : text) {
    quoted += c;
    if (c == L'\'') quoted += L'\'';
  }
  return quoted;
}

// For the command interpreter's redirection: a folder with blanks stays one
// word.
std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

// "MSiInstallPath" of an Exchange version's setup key: present and not empty.
bool ExchangeInstallPath(const wchar_t* setupKey, std::wstring& path) {
  RegistryKey key(RootLocalMachine);
  if (IsFailure(key.Open(setupKey)) || !key.ValueExists(L"MSiInstallPath")) return false;
  return !IsFailure(key.GetString(L"MSiInstallPath", path)) && !path.empty();
}

// An Exchange version's management shell: the file below its install path
// that starts it, and how a script is run through it.
struct ManagementShell {
  bool found;
  const std::wstring& install;
  const wchar_t* file;
  const wchar_t* message;
  std::wstring (*command)(const std::wstring& shellFile, const std::wstring& script, const std::wstring& log);
};

}  // namespace

std::wstring Exchange2007Command(const std::wstring& consoleFile, const std::wstring& script,
                                 const std::wstring& log) {
  return FormatText(L"powershell.exe \u2013PSConsoleFile \"%s\" \u2013Command \". '%s' -norestart\" >>%s", consoleFile,
                    SingleQuotedText(script), Quoted(log));
}

std::wstring Exchange2010Command(const std::wstring& shellScript, const std::wstring& script,
                                 const std::wstring& log) {
  return FormatText(L"PowerShell.exe -command \". '%s'; Connect-ExchangeServer -auto; . '%s' -norestart\" >>%s",
                    SingleQuotedText(shellScript), SingleQuotedText(script), Quoted(log));
}

StatusRecord MailPluginRemover::RemoveMailPlugins() {
  try {
    RemoveOutlookAddin();
    if (StatusRecord server = RemoveServerPlugins(); server.Failed()) return server;
    return RemoveTransportAgents();
  } catch (const std::bad_alloc&) {
    return MakeStatus(status::OutOfMemory);
  }
}

void MailPluginRemover::RemoveOutlookAddin() {
  RunContext& run = context();
  run.Log(severity::Info, Here(), L"Removing ZorOutlook addin");
  const std::array<std::wstring, 5> classKeys = OutlookClassKeys();
  for (const ViewPass& pass : BothViews()) {
    RegistryKey addins(RootLocalMachine);
    addins.SetViewMode(pass.mode);
    if (!IsFailure(addins.Open(kOutlookAddins)) && RegistryKey::KeyExists(addins, kOutlookAddinKey)) {
      run.Log(severity::Info, Here(), L" ZorOutlook addin key 'zoroutlook.Addin' found at %s, remove it", pass.name);
      if (const StatusCode deleted = addins.DeleteSubKey(kOutlookAddinKey, true); IsFailure(deleted)) {
        run.Log(severity::Debug, Here(), L"  Failed to delete key '%s': 0x%08x", kOutlookAddinKey, deleted);
      }
    }
    // Through the merged classes root, so that the user's registration goes
    // with the machine's.
    RegistryKey classes(RootClassesRoot);
    classes.SetViewMode(pass.mode);
    run.Log(severity::Info, Here(), L" ZorOutlook Removing HKCR addin keys %s", pass.name);
    for (const std::wstring& name : classKeys) {
      if (const StatusCode deleted = classes.DeleteSubKey(name, true); IsFailure(deleted)) {
        run.Log(severity::Debug, Here(), L"  Failed to delete key '%s': 0x%08x", name, deleted);
      }
    }
  }
}

StatusRecord MailPluginRemover::RemoveServerPlugins() {
  RunContext& run = context();
  run.Log(severity::Info, Here(), L"Removing Sharepoint plugin if exists");
  {
    RegistryKey classes(RootClassesRoot);
    for (const std::wstring_view clsid : kSharePointScannerClasses) classes.DeleteSubKey(ClassKey(clsid), true);
  }
  for (const ViewPass& pass : BothViews()) {
    RegistryKey scanner(RootLocalMachine);
    scanner.SetViewMode(pass.mode);
    if (const StatusCode opened = scanner.Open(kSharePointScanner); IsFailure(opened)) {
      run.Log(severity::Debug, Here(),
              L" Failed to open key 'Software\\Microsoft\\Shared Tools\\Web Server Extensions\\AVScanner': 0x%08x",
              opened);
      continue;
    }
    std::wstring name;
    scanner.KeyName(name);
    run.Log(severity::Debug, Here(), L" Key '%s' opened", name);
    std::wstring clsid;
    if (const StatusCode read = scanner.GetString(L"CLSID", clsid); IsFailure(read)) {
      run.Log(severity::Debug, Here(), L" Failed to get value CLSID: 0x%08x", read);
      continue;
    }
    run.Log(severity::Debug, Here(), L" Found CLSID value '%s'", clsid);
    for (const std::wstring_view ours : kSharePointScannerClasses) {
      if (!EqualsFoldingAscii(clsid, ours)) continue;
      run.Log(severity::Debug, Here(), L" Deleting CLSID value '%s'", clsid);
      scanner.DeleteValue(L"CLSID");
      break;
    }
  }

  // The Exchange 2000/2003 sink exists only for 32-bit Windows, and only a
  // 32-bit program could load it.
  if (sizeof(void*) == 4 && !IsSystem64Bit()) {
    run.Log(severity::Info, Here(), L"Removing Antispam plugin for Exchange 2000/2003 if exists");
    std::wstring filter;
    if (const StatusCode joined = CombinePath(run.parameters.ZorDir, L"Exchange\\Filters\\zorasfx.dll", filter);
        IsFailure(joined)) {
      return MakeStatus(joined);
    }
    if (!IsFailure(FileExists(filter))) Win32Changes().CallLibraryExport(filter.c_str(), "DllUnbindServer");
    RegistryKey classes(RootClassesRoot);
    classes.DeleteSubKey(ClassKey(kExchangeAntispamFilterClass), true);
  }

  // The information store holds its virus-scanning registration while it
  // runs; it stays stopped until the restart this stage asks for.
  run.Log(severity::Debug, Here(), L"Stopping service '%s' to remove VSAPI plugin...", kInformationStore);
  if (StatusRecord stopped = StopServiceByName(kInformationStore); stopped.Failed()) {
    run.Log(severity::Debug, Here(), L"Service %s Stop failed (error: %x)", kInformationStore, stopped.Code());
    return stopped;
  }
  ++run.parameters.RestartCounter;
  run.Log(severity::Info, Here(), L"Removing VSAPI plugin for Exchange if exists");
  RegistryKey machine(RootLocalMachine);
  machine.DeleteSubKey(L"SYSTEM\\CurrentControlSet\\Services\\MSExchangeIS\\VirusScan", true);
  machine.DeleteSubKey(L"SYSTEM\\ControlSet001\\Services\\MSExchangeIS\\VirusScan", true);
  return {};
}

StatusRecord MailPluginRemover::RemoveTransportAgents() {
  RunContext& run = context();
  std::wstring exchange2007;
  std::wstring exchange2010;
  const bool has2007 = ExchangeInstallPath(kExchange2007Setup, exchange2007);
  if (has2007) run.Log(severity::Info, Here(), L"Exchange 2007 found at '%s'", exchange2007);
  const bool has2010 = ExchangeInstallPath(kExchange2010Setup, exchange2010);
  if (has2010) run.Log(severity::Info, Here(), L"Exchange 2010 found at '%s'", exchange2010);
  if (!has2007 && !has2010) {
    run.Log(severity::Info, Here(), L"Exchange 2007/2010 not instaled on this machine");
    return {};
  }

  // Beside the program rather than in whatever folder the run was started
  // from: a deployment tool's current folder is often the system folder.
  std::wstring log;
  if (const StatusCode placed = BesideProgram(kScriptLogName, log); IsFailure(placed)) return MakeStatus(placed);
  std::wstring folder;
  if (const StatusCode found = TemporaryFolder(folder); IsFailure(found)) return MakeStatus(found);

  // Each script runs through every version's shell that is installed.
  const ManagementShell shells[] = {
      {has2007, exchange2007, L"Bin\\ExShell.psc1", L"Removing Exchange 2007 by command line: %s", &Exchange2007Command},
      {has2010, exchange2010, L"Bin\\RemoteExchange.ps1", L"Removing Exchange 2010 by command line: %s",
       &Exchange2010Command},
  };
  for (std::size_t i = 0; i < kTransportAgentScripts.size(); ++i) {
    std::wstring script;
    if (const StatusCode combined = CombinePath(folder, TemporaryToolName(), script); IsFailure(combined)) {
      return MakeStatus(combined);
    }
    script.replace(script.size() - 3, 3, L"ps1");
    std::span<const std::byte> text;
    if (const StatusCode read = ReadBinaryResource(kTransportAgentScripts[i], text); IsFailure(read)) {
      return MakeStatus(read);
    }
    if (const StatusCode written = WriteNewFile(script, text); IsFailure(written)) return MakeStatus(written);
    RunShellCommand(FormatText(L"@echo --------- Executing script #%d >>%s", static_cast<int>(i), Quoted(log)));

    for (const ManagementShell& shell : shells) {
      if (!shell.found) continue;
      std::wstring shellFile;
      if (const StatusCode joined = CombinePath(shell.install, shell.file, shellFile); IsFailure(joined)) {
        DeleteFileNow(script);
        return MakeStatus(joined);
      }
      const std::wstring command = shell.command(shellFile, script, log);
      run.Log(severity::Info, Here(), shell.message, command);
      RunShellCommand(command);
    }
    DeleteFileNow(script);
  }
  return {};
}

void MailPluginRemover::Verify(std::vector<RemainingItem>& remaining) {
  const std::array<std::wstring, 5> classKeys = OutlookClassKeys();
  for (const ViewPass& pass : BothViews()) {
    RegistryKey addins(RootLocalMachine);
    addins.SetViewMode(pass.mode);
    if (!IsFailure(addins.Open(kOutlookAddins)) && RegistryKey::KeyExists(addins, kOutlookAddinKey)) {
      remaining.push_back({L"key", L"HKLM\\" + std::wstring(kOutlookAddins) + L"\\" + kOutlookAddinKey, pass.name,
                           false});
    }
    RegistryKey classes(RootClassesRoot);
    classes.SetViewMode(pass.mode);
    for (const std::wstring& name : classKeys) {
      if (RegistryKey::KeyExists(classes, name)) remaining.push_back({L"key", L"HKCR\\" + name, pass.name, false});
    }
  }
}

}  // namespace zor
