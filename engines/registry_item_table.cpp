#include "engines/registry_item_table.h"

#include <array>

namespace zor {
namespace {

constexpr RegistryRowView kDefaultView = RegistryRowView::Default;
constexpr RegistryRowView kView32 = RegistryRowView::View32;
constexpr RegistryRowView kView64 = RegistryRowView::View64;

// Keys always go with their whole subtree: the product's keys hold subkeys
// of their own that a plain delete would refuse.
constexpr RegistryItem MachineKey(std::wstring_view path, RegistryRowView view) {
  return {path, {}, ParentLocalMachine, view, ActionKeyForceRemove};
}
constexpr RegistryItem MachineValue(std::wstring_view path, std::wstring_view name, RegistryRowView view) {
  return {path, name, ParentLocalMachine, view, ActionValueRemove};
}
constexpr RegistryItem UserKey(std::wstring_view path, RegistryRowView view) {
  return {path, {}, ParentCurrentUser, view, ActionKeyForceRemove};
}
constexpr RegistryItem UserValue(std::wstring_view path, std::wstring_view name, RegistryRowView view) {
  return {path, name, ParentCurrentUser, view, ActionValueRemove};
}
constexpr RegistryItem ClassesKey(std::wstring_view path, RegistryRowView view) {
  return {path, {}, ParentClassesRoot, view, ActionKeyForceRemove};
}

constexpr std::array<RegistryItem, kRegistryItemCount> kItems{{
    // The product's own software keys, written by its 32-bit installer and
    // by its 64-bit services; the generations' keys before their parent.
    MachineKey(L"SOFTWARE\\Zor\\Zor10", kView32),
    MachineKey(L"SOFTWARE\\Zor\\Zor10", kView64),
    MachineKey(L"SOFTWARE\\Zor\\Zor9", kView32),
    MachineKey(L"SOFTWARE\\Zor\\Zor9", kView64),
    MachineKey(L"SOFTWARE\\Zor\\Zor8", kView32),
    MachineKey(L"SOFTWARE\\Zor\\ZorAdmin10", kView32),
    MachineKey(L"SOFTWARE\\Zor\\ZorAdmin10", kView64),
    MachineKey(L"SOFTWARE\\Zor\\ZorAdmin9", kView32),
    MachineKey(L"SOFTWARE\\Zor\\Shared", kView32),
    MachineKey(L"SOFTWARE\\Zor\\Shared", kView64),
    MachineKey(L"SOFTWARE\\Zor", kView32),
    MachineKey(L"SOFTWARE\\Zor", kView64),
    MachineKey(L"SOFTWARE\\ZorLabs", kView32),
    MachineKey(L"SOFTWARE\\Policies\\Zor", kDefaultView),

    // Uninstall records.
    MachineKey(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zor8Uninstall", kView32),
    MachineKey(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zor9Uninstall", kView32),
    MachineKey(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zor9Uninstall", kView64),
    MachineKey(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zor10Uninstall", kView32),
    MachineKey(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zor10Uninstall", kView64),
    MachineKey(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZorAdmin9Uninstall", kView32),
    MachineKey(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZorAdmin10Uninstall", kView32),
    MachineKey(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZorAdmin10Uninstall", kView64),
    MachineKey(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZorToolbarUninstall", kView32),

    // Services and drivers. The control sets are named one by one: the
    // current one is only a link to one of them, and the other may become
    // current at the next start.
    MachineKey(L"SYSTEM\\CurrentControlSet\\Services\\ZorSvc", kDefaultView),
    MachineKey(L"SYSTEM\\CurrentControlSet\\Services\\ZorWatchdog", kDefaultView),
    MachineKey(L"SYSTEM\\CurrentControlSet\\Services\\ZorUpdate", kDefaultView),
    MachineKey(L"SYSTEM\\CurrentControlSet\\Services\\ZorScan", kDefaultView),
    MachineKey(L"SYSTEM\\CurrentControlSet\\Services\\ZorAdminServer", kDefaultView),
    MachineKey(L"SYSTEM\\CurrentControlSet\\Services\\ZOR", kDefaultView),
    MachineKey(L"SYSTEM\\CurrentControlSet\\Services\\zorfwfd", kDefaultView),
    MachineKey(L"SYSTEM\\CurrentControlSet\\Services\\zorfwfdmp", kDefaultView),
    MachineKey(L"SYSTEM\\CurrentControlSet\\Services\\zorfsf", kDefaultView),
    MachineKey(L"SYSTEM\\CurrentControlSet\\Services\\zorhips", kDefaultView),
    MachineKey(L"SYSTEM\\CurrentControlSet\\Services\\zorndis", kDefaultView),
    MachineKey(L"SYSTEM\\ControlSet001\\Services\\ZorSvc", kDefaultView),
    MachineKey(L"SYSTEM\\ControlSet001\\Services\\ZorWatchdog", kDefaultView),
    MachineKey(L"SYSTEM\\ControlSet001\\Services\\ZorUpdate", kDefaultView),
    MachineKey(L"SYSTEM\\ControlSet001\\Services\\ZorScan", kDefaultView),
    MachineKey(L"SYSTEM\\ControlSet001\\Services\\ZorAdminServer", kDefaultView),
    MachineKey(L"SYSTEM\\ControlSet001\\Services\\ZOR", kDefaultView),
    MachineKey(L"SYSTEM\\ControlSet001\\Services\\zorfwfd", kDefaultView),
    MachineKey(L"SYSTEM\\ControlSet001\\Services\\zorfwfdmp", kDefaultView),
    MachineKey(L"SYSTEM\\ControlSet001\\Services\\zorfsf", kDefaultView),
    MachineKey(L"SYSTEM\\ControlSet001\\Services\\zorhips", kDefaultView),
    MachineKey(L"SYSTEM\\ControlSet001\\Services\\zorndis", kDefaultView),
    MachineKey(L"SYSTEM\\ControlSet002\\Services\\ZorSvc", kDefaultView),
    MachineKey(L"SYSTEM\\ControlSet002\\Services\\ZorWatchdog", kDefaultView),
    MachineKey(L"SYSTEM\\ControlSet002\\Services\\ZorUpdate", kDefaultView),
    MachineKey(L"SYSTEM\\ControlSet002\\Services\\ZorScan", kDefaultView),
    MachineKey(L"SYSTEM\\ControlSet002\\Services\\ZorAdminServer", kDefaultView),
    MachineKey(L"SYSTEM\\ControlSet002\\Services\\ZOR", kDefaultView),
    MachineKey(L"SYSTEM\\ControlSet002\\Services\\zorfwfd", kDefaultView),
    MachineKey(L"SYSTEM\\ControlSet002\\Services\\zorfwfdmp", kDefaultView),
    MachineKey(L"SYSTEM\\ControlSet002\\Services\\zorfsf", kDefaultView),
    MachineKey(L"SYSTEM\\ControlSet002\\Services\\zorhips", kDefaultView),
    MachineKey(L"SYSTEM\\ControlSet002\\Services\\zorndis", kDefaultView),
    MachineKey(L"SYSTEM\\CurrentControlSet\\Control\\SafeBoot\\Minimal\\ZorSvc", kDefaultView),
    MachineKey(L"SYSTEM\\CurrentControlSet\\Control\\SafeBoot\\Network\\ZorSvc", kDefaultView),
    MachineKey(L"SYSTEM\\CurrentControlSet\\Control\\SafeBoot\\Minimal\\ZorWatchdog", kDefaultView),
    MachineKey(L"SYSTEM\\CurrentControlSet\\Control\\SafeBoot\\Network\\ZorWatchdog", kDefaultView),

    // Event log sources, and the product's own log.
    MachineKey(L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\ZorSvc", kDefaultView),
    MachineKey(L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\ZorWatchdog", kDefaultView),
    MachineKey(L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\ZorUpdate", kDefaultView),
    MachineKey(L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\ZorScan", kDefaultView),
    MachineKey(L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\System\\zorfwfd", kDefaultView),
    MachineKey(L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\System\\zorfsf", kDefaultView),
    MachineKey(L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\System\\zorhips", kDefaultView),
    MachineKey(L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\System\\zorndis", kDefaultView),
    MachineKey(L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Zor Security", kDefaultView),

    // COM classes of the product's servers: shell extension, browser
    // helper, Outlook add-in, toolbar band, scanner, console, overlay.
    MachineKey(L"SOFTWARE\\Classes\\CLSID\\{4E6A1C52-7B3D-4F09-9C1E-2A7D5B8E0F31}", kView32),
    MachineKey(L"SOFTWARE\\Classes\\CLSID\\{4E6A1C52-7B3D-4F09-9C1E-2A7D5B8E0F31}", kView64),
    MachineKey(L"SOFTWARE\\Classes\\CLSID\\{8D2F0B47-1C6E-4A95-B3D8-6E0F9A2C4B17}", kView32),
    MachineKey(L"SOFTWARE\\Classes\\CLSID\\{8D2F0B47-1C6E-4A95-B3D8-6E0F9A2C4B17}", kView64),
    MachineKey(L"SOFTWARE\\Classes\\CLSID\\{C3B71E90-5F2A-4D68-A1C4-9B7E2D0F6A53}", kView32),
    MachineKey(L"SOFTWARE\\Classes\\CLSID\\{C3B71E90-5F2A-4D68-A1C4-9B7E2D0F6A53}", kView64),
    MachineKey(L"SOFTWARE\\Classes\\CLSID\\{B5E20C93-6A1F-4D7E-8C42-F39A0D1E7B65}", kView32),
    MachineKey(L"SOFTWARE\\Classes\\CLSID\\{B5E20C93-6A1F-4D7E-8C42-F39A0D1E7B65}", kView64),
    MachineKey(L"SOFTWARE\\Classes\\CLSID\\{2C7F9E14-8B03-4A6D-95E1-C4D8B2A06F37}", kView32),
    MachineKey(L"SOFTWARE\\Classes\\CLSID\\{E4A83D06-1F9B-4C52-A7E0-5B3C6D29F814}", kView32),
    MachineKey(L"SOFTWARE\\Classes\\CLSID\\{7B19E5A0-4D2C-4F83-B6A1-0E9F8C3D5A72}", kView32),
    MachineKey(L"SOFTWARE\\Classes\\CLSID\\{C96E3F0A-1B7D-4E42-8A5C-D3F6B2E09A71}", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\CLSID\\{4A2D8C61-E9F3-4B05-B7A2-6C1E0D5F8B39}", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\CLSID\\{8E6F1A2D-4C93-4B70-A5D8-9F3E0B7C2D16}", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\CLSID\\{D5B0E7C2-3A68-4F19-9E4B-8C2F1A6D3E07}", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\AppID\\{5D0E3C9B-7A42-4F1E-B8D3-6C2A9E0F1B84}", kView32),
    MachineKey(L"SOFTWARE\\Classes\\AppID\\{5D0E3C9B-7A42-4F1E-B8D3-6C2A9E0F1B84}", kView64),
    MachineKey(L"SOFTWARE\\Classes\\AppID\\zorsvc.exe", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\AppID\\zorgui.exe", kDefaultView),

    // File types and ProgIDs.
    MachineKey(L"SOFTWARE\\Classes\\.zqr", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\ZorQuarantine.File", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\.zlic", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\ZorLicense.File", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\.zcfg", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\ZorConfig.File", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\ZorShell.ContextMenu", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\ZorShell.ContextMenu.1", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\ZorBho.Helper", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\ZorBho.Helper.1", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\ZorOutlook.Addin", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\ZorOutlook.Addin.1", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\ZorToolbar.Band", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\ZorToolbar.Band.1", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\ZorScan.Scanner", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\ZorScan.Scanner.1", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\ZorGui.Application", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\ZorGui.Application.1", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\ZorOverlay.Handler", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\Applications\\zorgui.exe", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\Applications\\zorscan.exe", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\MIME\\Database\\Content Type\\application/x-zor-quarantine", kDefaultView),

    // Type libraries and interfaces.
    MachineKey(L"SOFTWARE\\Classes\\TypeLib\\{0A9E4D21-3C7B-4E58-B6F2-1D8C5A7E9B04}", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\TypeLib\\{1E5F8A32-D46C-4B7A-9F03-8E2B6C1D4A95}", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\TypeLib\\{6B3D9F05-2E81-4C4A-B7F6-0A5E3D8C1F29}", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\Interface\\{D81A4C67-5E2B-4F90-A3C8-7B1F6E0D9C52}", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\Interface\\{4F7E2A98-B1C3-4D65-8E0A-3C9B5F2D1A76}", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\Interface\\{92B6E0D1-7C4A-4E38-B5F9-1A3D8C6E2F40}", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\Interface\\{0C5A9E3F-6D21-4B87-A4E2-F8B1C7D3906E}", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\Interface\\{E7D3B1A4-2F6C-4A90-8D5E-6B0C9A3F4E18}", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\Interface\\{3F9C6D20-A8E5-4B13-9C7F-2E4D1B8A5C63}", kDefaultView),

    // Shell extension handlers and shell namespace entries.
    MachineKey(L"SOFTWARE\\Classes\\*\\shellex\\ContextMenuHandlers\\ZorShell", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\Directory\\shellex\\ContextMenuHandlers\\ZorShell", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\Directory\\Background\\shellex\\ContextMenuHandlers\\ZorShell", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\Folder\\shellex\\ContextMenuHandlers\\ZorShell", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\Drive\\shellex\\ContextMenuHandlers\\ZorShell", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\lnkfile\\shellex\\ContextMenuHandlers\\ZorShell", kDefaultView),
    MachineKey(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers\\ZorOverlay",
               kView32),
    MachineKey(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers\\ZorOverlay",
               kView64),
    MachineKey(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellServiceObjects\\"
               L"{8E6F1A2D-4C93-4B70-A5D8-9F3E0B7C2D16}",
               kDefaultView),
    MachineKey(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ControlPanel\\NameSpace\\"
               L"{C96E3F0A-1B7D-4E42-8A5C-D3F6B2E09A71}",
               kDefaultView),
    MachineKey(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MyComputer\\NameSpace\\"
               L"{4A2D8C61-E9F3-4B05-B7A2-6C1E0D5F8B39}",
               kDefaultView),
    MachineKey(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers\\Handlers\\ZorScanOnArrival",
               kDefaultView),
    MachineKey(L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify\\ZorLogon", kView32),

    // Browser helper objects, toolbars and search scopes.
    MachineKey(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\"
               L"{8D2F0B47-1C6E-4A95-B3D8-6E0F9A2C4B17}",
               kView32),
    MachineKey(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\"
               L"{8D2F0B47-1C6E-4A95-B3D8-6E0F9A2C4B17}",
               kView64),
    MachineKey(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\"
               L"{B5E20C93-6A1F-4D7E-8C42-F39A0D1E7B65}",
               kView32),
    MachineKey(L"SOFTWARE\\Microsoft\\Internet Explorer\\SearchScopes\\{6F1D3B8A-2E47-4C90-8A5B-3D7E1F0C9A26}",
               kView32),
    MachineKey(L"SOFTWARE\\Microsoft\\Internet Explorer\\SearchScopes\\{6F1D3B8A-2E47-4C90-8A5B-3D7E1F0C9A26}",
               kView64),
    MachineKey(L"SOFTWARE\\Microsoft\\Internet Explorer\\SearchScopes\\{A7C21E6F-3B90-4D58-8E14-B9F0C5D2A763}",
               kView32),
    MachineKey(L"SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\{F02C6B81-9E4D-4A37-8B5F-1C7A3E60D94B}", kView32),
    MachineKey(L"SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\{F02C6B81-9E4D-4A37-8B5F-1C7A3E60D94B}", kView64),
    MachineKey(L"SOFTWARE\\Microsoft\\Internet Explorer\\Low Rights\\ElevationPolicy\\"
               L"{3A8E0F27-C15B-4D96-A2E4-7F6B9D1C0E58}",
               kView32),
    MachineKey(L"SOFTWARE\\Microsoft\\Internet Explorer\\Low Rights\\ElevationPolicy\\"
               L"{3A8E0F27-C15B-4D96-A2E4-7F6B9D1C0E58}",
               kView64),
    MachineKey(L"SOFTWARE\\Microsoft\\Internet Explorer\\Low Rights\\DragDrop\\{9C4B7A13-E28F-4B05-9D6C-2A1E8F5B3C47}",
               kView32),
    MachineKey(L"SOFTWARE\\Microsoft\\Internet Explorer\\Extension Compatibility\\"
               L"{8D2F0B47-1C6E-4A95-B3D8-6E0F9A2C4B17}",
               kDefaultView),
    MachineKey(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Ext\\PreApproved\\{8D2F0B47-1C6E-4A95-B3D8-6E0F9A2C4B17}",
               kDefaultView),
    MachineKey(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Ext\\PreApproved\\{B5E20C93-6A1F-4D7E-8C42-F39A0D1E7B65}",
               kDefaultView),
    MachineKey(L"SOFTWARE\\Google\\Chrome\\Extensions\\kpafhogjeliclbnadcmhdfmkjenmfbpl", kView32),
    MachineKey(L"SOFTWARE\\Google\\Chrome\\NativeMessagingHosts\\com.zor.webprotect", kDefaultView),
    MachineKey(L"SOFTWARE\\Mozilla\\NativeMessagingHosts\\com.zor.webprotect", kDefaultView),
    MachineKey(L"SOFTWARE\\MozillaPlugins\\@zor.com/ZorWebProtect", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\PROTOCOLS\\Filter\\ZorWebFilter", kDefaultView),
    MachineKey(L"SOFTWARE\\Classes\\PROTOCOLS\\Handler\\zorscan", kDefaultView),

    // Mail clients.
    MachineKey(L"SOFTWARE\\Microsoft\\Office\\Outlook\\Addins\\ZorOutlook.Addin", kView32),
    MachineKey(L"SOFTWARE\\Microsoft\\Office\\Outlook\\Addins\\ZorOutlook.Addin", kView64),
    MachineKey(L"SOFTWARE\\Microsoft\\Office\\Outlook\\Addins\\ZorAntispam.Addin", kView32),

    // Application paths.
    MachineKey(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\zorgui.exe", kView32),
    MachineKey(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\zorgui.exe", kView64),
    MachineKey(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\zorscan.exe", kView32),
    MachineKey(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\zortray.exe", kDefaultView),
    MachineKey(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\zorupd.exe", kDefaultView),
    MachineKey(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\zorwd.exe", kDefaultView),

    // What the product leaves in Windows' own keys: crash dumps, network
    // tracing, Security Center registrations.
    MachineKey(L"SOFTWARE\\Microsoft\\Windows\\Windows Error Reporting\\LocalDumps\\zorsvc.exe", kDefaultView),
    MachineKey(L"SOFTWARE\\Microsoft\\Windows\\Windows Error Reporting\\LocalDumps\\zorgui.exe", kDefaultView),
    MachineKey(L"SOFTWARE\\Microsoft\\Windows\\Windows Error Reporting\\LocalDumps\\zorscan.exe", kDefaultView),
    MachineKey(L"SOFTWARE\\Microsoft\\Tracing\\zorupd_RASAPI32", kView32),
    MachineKey(L"SOFTWARE\\Microsoft\\Tracing\\zorupd_RASAPI32", kView64),
    MachineKey(L"SOFTWARE\\Microsoft\\Tracing\\zorupd_RASMANCS", kView32),
    MachineKey(L"SOFTWARE\\Microsoft\\Tracing\\zorsvc_RASAPI32", kDefaultView),
    MachineKey(L"SOFTWARE\\Microsoft\\Tracing\\zorsvc_RASMANCS", kDefaultView),
    MachineKey(L"SOFTWARE\\Microsoft\\Tracing\\zorgui_RASAPI32", kDefaultView),
    MachineKey(L"SOFTWARE\\Microsoft\\Tracing\\zorgui_RASMANCS", kDefaultView),
    MachineKey(L"SOFTWARE\\Microsoft\\Security Center\\Monitoring\\ZorAntiVirus", kDefaultView),
    MachineKey(L"SOFTWARE\\Microsoft\\Security Center\\Monitoring\\ZorFirewall", kDefaultView),

    // Single values in keys that are not the product's.
    MachineValue(L"SOFTWARE\\Mozilla\\Firefox\\Extensions", L"toolbar@zor.com", kView32),
    MachineValue(L"SOFTWARE\\Mozilla\\Firefox\\Extensions", L"webprotect@zor.com", kView32),
    MachineValue(L"SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar", L"{8D2F0B47-1C6E-4A95-B3D8-6E0F9A2C4B17}",
                 kView32),
    MachineValue(L"SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar", L"{8D2F0B47-1C6E-4A95-B3D8-6E0F9A2C4B17}",
                 kView64),
    MachineValue(L"SOFTWARE\\Mozilla\\Thunderbird\\Extensions", L"antispam@zor.com", kView32),
    MachineValue(L"SOFTWARE\\Microsoft\\Exchange\\Client\\Extensions", L"ZorMailScan", kView32),
    MachineValue(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved",
                 L"{4E6A1C52-7B3D-4F09-9C1E-2A7D5B8E0F31}", kView32),
    MachineValue(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved",
                 L"{4E6A1C52-7B3D-4F09-9C1E-2A7D5B8E0F31}", kView64),
    MachineValue(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved",
                 L"{7B19E5A0-4D2C-4F83-B6A1-0E9F8C3D5A72}", kView32),
    MachineValue(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", L"ZorTray", kView32),
    MachineValue(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", L"ZorTray", kView64),
    MachineValue(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", L"ZorGui", kView32),
    MachineValue(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", L"ZorAdminTray", kView32),
    MachineValue(L"SYSTEM\\ControlSet001\\Control\\GroupOrderList", L"ZorFilter", kDefaultView),
    MachineValue(L"SOFTWARE\\Microsoft\\Security Center", L"ZorProviderState", kView32),

    // The product's library in the list of libraries every program loads.
    {L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows", L"AppInit_DLLs", ParentLocalMachine, kDefaultView,
     ActionValueModify},

    // The current user's keys.
    UserKey(L"Software\\Zor", kView32),
    UserKey(L"Software\\Zor", kView64),
    UserKey(L"Software\\ZorLabs", kView32),
    UserKey(L"Software\\AppDataLow\\Zor", kDefaultView),
    UserKey(L"Software\\AppDataLow\\ZorToolbar", kDefaultView),
    UserKey(L"Software\\Microsoft\\Internet Explorer\\SearchScopes\\{6F1D3B8A-2E47-4C90-8A5B-3D7E1F0C9A26}", kView32),
    UserKey(L"Software\\Microsoft\\Internet Explorer\\SearchScopes\\{6F1D3B8A-2E47-4C90-8A5B-3D7E1F0C9A26}", kView64),
    UserKey(L"Software\\Microsoft\\Internet Explorer\\SearchScopes\\{A7C21E6F-3B90-4D58-8E14-B9F0C5D2A763}", kView32),
    UserKey(L"Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\{8D2F0B47-1C6E-4A95-B3D8-6E0F9A2C4B17}",
            kView32),
    UserKey(L"Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\{8D2F0B47-1C6E-4A95-B3D8-6E0F9A2C4B17}",
            kView64),
    UserKey(L"Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Stats\\{8D2F0B47-1C6E-4A95-B3D8-6E0F9A2C4B17}",
            kView32),
    UserKey(L"Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\{B5E20C93-6A1F-4D7E-8C42-F39A0D1E7B65}",
            kView32),
    UserKey(L"Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Stats\\{B5E20C93-6A1F-4D7E-8C42-F39A0D1E7B65}",
            kView32),
    UserValue(L"Software\\Microsoft\\Internet Explorer\\URLSearchHooks", L"{D5B0E7C2-3A68-4F19-9E4B-8C2F1A6D3E07}",
              kView32),
    UserValue(L"Software\\Microsoft\\Internet Explorer\\Toolbar\\WebBrowser", L"{B5E20C93-6A1F-4D7E-8C42-F39A0D1E7B65}",
              kView32),

    // The merged classes root: the same classes wherever a user's
    // registration hides a machine one.
    ClassesKey(L".zqr", kDefaultView),
    ClassesKey(L"ZorQuarantine.File", kDefaultView),
    ClassesKey(L".zlic", kDefaultView),
    ClassesKey(L"ZorLicense.File", kDefaultView),
    ClassesKey(L".zcfg", kDefaultView),
    ClassesKey(L"ZorConfig.File", kDefaultView),
    ClassesKey(L"ZorShell.ContextMenu", kDefaultView),
    ClassesKey(L"ZorShell.ContextMenu.1", kDefaultView),
    ClassesKey(L"ZorBho.Helper", kDefaultView),
    ClassesKey(L"ZorBho.Helper.1", kDefaultView),
    ClassesKey(L"ZorOutlook.Addin", kDefaultView),
    ClassesKey(L"ZorOutlook.Addin.1", kDefaultView),
    ClassesKey(L"ZorToolbar.Band", kDefaultView),
    ClassesKey(L"ZorToolbar.Band.1", kDefaultView),
    ClassesKey(L"ZorScan.Scanner", kDefaultView),
    ClassesKey(L"ZorScan.Scanner.1", kDefaultView),
    ClassesKey(L"ZorGui.Application", kDefaultView),
    ClassesKey(L"ZorGui.Application.1", kDefaultView),
    ClassesKey(L"ZorOverlay.Handler", kDefaultView),
    ClassesKey(L"CLSID\\{4E6A1C52-7B3D-4F09-9C1E-2A7D5B8E0F31}", kView32),
    ClassesKey(L"CLSID\\{4E6A1C52-7B3D-4F09-9C1E-2A7D5B8E0F31}", kView64),
    ClassesKey(L"CLSID\\{8D2F0B47-1C6E-4A95-B3D8-6E0F9A2C4B17}", kView32),
    ClassesKey(L"CLSID\\{8D2F0B47-1C6E-4A95-B3D8-6E0F9A2C4B17}", kView64),
    ClassesKey(L"CLSID\\{C3B71E90-5F2A-4D68-A1C4-9B7E2D0F6A53}", kView32),
    ClassesKey(L"CLSID\\{C3B71E90-5F2A-4D68-A1C4-9B7E2D0F6A53}", kView64),
    ClassesKey(L"CLSID\\{B5E20C93-6A1F-4D7E-8C42-F39A0D1E7B65}", kView32),
    ClassesKey(L"CLSID\\{4A2D8C61-E9F3-4B05-B7A2-6C1E0D5F8B39}", kDefaultView),
    ClassesKey(L"TypeLib\\{0A9E4D21-3C7B-4E58-B6F2-1D8C5A7E9B04}", kDefaultView),
    ClassesKey(L"TypeLib\\{1E5F8A32-D46C-4B7A-9F03-8E2B6C1D4A95}", kDefaultView),
    ClassesKey(L"TypeLib\\{6B3D9F05-2E81-4C4A-B7F6-0A5E3D8C1F29}", kDefaultView),
    ClassesKey(L"Interface\\{D81A4C67-5E2B-4F90-A3C8-7B1F6E0D9C52}", kDefaultView),
    ClassesKey(L"Interface\\{4F7E2A98-B1C3-4D65-8E0A-3C9B5F2D1A76}", kDefaultView),
    ClassesKey(L"Interface\\{92B6E0D1-7C4A-4E38-B5F9-1A3D8C6E2F40}", kDefaultView),
    ClassesKey(L"Interface\\{0C5A9E3F-6D21-4B87-A4E2-F8B1C7D3906E}", kDefaultView),
    ClassesKey(L"Interface\\{E7D3B1A4-2F6C-4A90-8D5E-6B0C9A3F4E18}", kDefaultView),
    ClassesKey(L"Interface\\{3F9C6D20-A8E5-4B13-9C7F-2E4D1B8A5C63}", kDefaultView),
    ClassesKey(L"*\\shellex\\ContextMenuHandlers\\ZorShell", kDefaultView),
    ClassesKey(L"Directory\\shellex\\ContextMenuHandlers\\ZorShell", kDefaultView),
    ClassesKey(L"Folder\\shellex\\ContextMenuHandlers\\ZorShell", kDefaultView),
    ClassesKey(L"Drive\\shellex\\ContextMenuHandlers\\ZorShell", kDefaultView),
}};

}  // namespace

std::span<const RegistryItem> RegistryItemTable() { return kItems; }

}  // namespace zor
