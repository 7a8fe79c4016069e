#include "engines/file_item_table.h"

#include <iterator>

namespace zor {
namespace {

// A row that runs with WOW64 file system redirection on, so that a 32-bit
// build sees the same folders as the product's 32-bit installer did.
constexpr FileItem Row(std::int32_t parent, const wchar_t* path, const wchar_t* mask, std::uint8_t action) {
  return FileItem{parent, path, mask, 1, action, 0};
}
constexpr FileItem Matching(std::int32_t parent, const wchar_t* mask) {
  return Row(parent, nullptr, mask, ActionDeleteMatching);
}
constexpr FileItem Emptied(std::int32_t parent, const wchar_t* path) {
  return Row(parent, path, nullptr, ActionEmptyAndRemoveFolder);
}
constexpr FileItem Tree(std::int32_t parent, const wchar_t* path) { return Row(parent, path, nullptr, ActionRemoveTree); }
constexpr FileItem Plain(std::int32_t parent, const wchar_t* path) {
  return Row(parent, path, nullptr, ActionRemoveFolder);
}
constexpr FileItem Single(std::int32_t parent, const wchar_t* path) { return Row(parent, path, nullptr, ActionDeleteFile); }
// Windows' own system folders are named as the running build sees them,
// and the program folder as it was given: redirection is left as it is.
constexpr FileItem AsIs(FileItem row) {
  row.redirect = 0;
  return row;
}

constexpr FileItem kTable[] = {
    // Product files directly in the program folder.
    Matching(ParentZorDir, L"zor*.exe"),
    Matching(ParentZorDir, L"zor*.dll"),
    Matching(ParentZorDir, L"*.exe"),
    Matching(ParentZorDir, L"*.dll"),
    Matching(ParentZorDir, L"*.sys"),
    Matching(ParentZorDir, L"*.cat"),
    Matching(ParentZorDir, L"*.inf"),
    Matching(ParentZorDir, L"*.dat"),
    Matching(ParentZorDir, L"*.chm"),
    Matching(ParentZorDir, L"*.txt"),
    Matching(ParentZorDir, L"*.ini"),
    Matching(ParentZorDir, L"*.xml"),
    Matching(ParentZorDir, L"*.log"),
    Matching(ParentZorDir, L"*.manifest"),
    Matching(ParentZorDir, L"*.mui"),
    Matching(ParentZorDir, L"*.tlb"),
    Matching(ParentZorDir, L"*.ocx"),
    Matching(ParentZorDir, L"*.cab"),
    Matching(ParentZorDir, L"*.msi"),
    Matching(ParentZorDir, L"*.bin"),
    Matching(ParentZorDir, L"*.sig"),
    Matching(ParentZorDir, L"*.key"),
    Matching(ParentZorDir, L"*.lic"),
    Matching(ParentZorDir, L"*.cfg"),
    Matching(ParentZorDir, L"*.ico"),
    Matching(ParentZorDir, L"*.png"),
    Matching(ParentZorDir, L"*.htm*"),
    Matching(ParentZorDir, L"*.js"),

    // Driver packages: whatever is left there goes with them.
    Tree(ParentZorDir, L"Drivers\\x64"),
    Tree(ParentZorDir, L"Drivers\\x86"),
    Tree(ParentZorDir, L"Drivers\\amd64"),
    Tree(ParentZorDir, L"Drivers\\i386"),
    Tree(ParentZorDir, L"Drivers\\ia64"),
    Tree(ParentZorDir, L"Drivers"),

    // Subfolders of the program folder, then the folder itself.
    Emptied(ParentZorDir, L"Scripts\\IM\\MSN"),
    Emptied(ParentZorDir, L"Scripts\\IM\\ICQ"),
    Emptied(ParentZorDir, L"Scripts\\IM\\Skype"),
    Emptied(ParentZorDir, L"Scripts\\IM"),
    Emptied(ParentZorDir, L"Scripts\\Mail"),
    Emptied(ParentZorDir, L"Scripts\\Web"),
    Emptied(ParentZorDir, L"Scripts"),
    Emptied(ParentZorDir, L"Toolbar\\IE\\Images"),
    Emptied(ParentZorDir, L"Toolbar\\IE"),
    Emptied(ParentZorDir, L"Toolbar\\Firefox\\chrome\\content"),
    Emptied(ParentZorDir, L"Toolbar\\Firefox\\chrome"),
    Emptied(ParentZorDir, L"Toolbar\\Firefox\\defaults\\preferences"),
    Emptied(ParentZorDir, L"Toolbar\\Firefox\\defaults"),
    Emptied(ParentZorDir, L"Toolbar\\Firefox"),
    Emptied(ParentZorDir, L"Toolbar\\Chrome\\_locales\\en"),
    Emptied(ParentZorDir, L"Toolbar\\Chrome\\_locales"),
    Emptied(ParentZorDir, L"Toolbar\\Chrome\\images"),
    Emptied(ParentZorDir, L"Toolbar\\Chrome"),
    Emptied(ParentZorDir, L"Toolbar"),
    Emptied(ParentZorDir, L"Extensions\\Firefox"),
    Emptied(ParentZorDir, L"Extensions\\Chrome"),
    Emptied(ParentZorDir, L"Extensions\\Opera"),
    Emptied(ParentZorDir, L"Extensions"),
    Emptied(ParentZorDir, L"Notify\\Sounds"),
    Emptied(ParentZorDir, L"Notify\\Skins"),
    Emptied(ParentZorDir, L"Notify"),
    Emptied(ParentZorDir, L"Logs"),
    Emptied(ParentZorDir, L"Plugins\\Outlook"),
    Emptied(ParentZorDir, L"Plugins\\Thunderbird"),
    Emptied(ParentZorDir, L"Plugins\\TheBat"),
    Emptied(ParentZorDir, L"Plugins\\Exchange"),
    Emptied(ParentZorDir, L"Plugins\\SharePoint"),
    Emptied(ParentZorDir, L"Plugins\\Lotus"),
    Emptied(ParentZorDir, L"Plugins"),
    Emptied(ParentZorDir, L"Lang\\en"),
    Emptied(ParentZorDir, L"Lang\\de"),
    Emptied(ParentZorDir, L"Lang\\fr"),
    Emptied(ParentZorDir, L"Lang\\es"),
    Emptied(ParentZorDir, L"Lang\\it"),
    Emptied(ParentZorDir, L"Lang\\ru"),
    Emptied(ParentZorDir, L"Lang\\pl"),
    Emptied(ParentZorDir, L"Lang\\cs"),
    Emptied(ParentZorDir, L"Lang\\ja"),
    Emptied(ParentZorDir, L"Lang\\zh"),
    Emptied(ParentZorDir, L"Lang"),
    Emptied(ParentZorDir, L"Help\\en"),
    Emptied(ParentZorDir, L"Help\\de"),
    Emptied(ParentZorDir, L"Help"),
    Emptied(ParentZorDir, L"Skins\\Default\\Images"),
    Emptied(ParentZorDir, L"Skins\\Default"),
    Emptied(ParentZorDir, L"Skins\\Classic\\Images"),
    Emptied(ParentZorDir, L"Skins\\Classic"),
    Emptied(ParentZorDir, L"Skins"),
    Emptied(ParentZorDir, L"Modules\\Scanner"),
    Emptied(ParentZorDir, L"Modules\\Hips"),
    Emptied(ParentZorDir, L"Modules\\Firewall"),
    Emptied(ParentZorDir, L"Modules\\AntiSpam"),
    Emptied(ParentZorDir, L"Modules\\WebFilter"),
    Emptied(ParentZorDir, L"Modules\\DeviceControl"),
    Emptied(ParentZorDir, L"Modules"),
    Emptied(ParentZorDir, L"Engine\\x64"),
    Emptied(ParentZorDir, L"Engine\\x86"),
    Emptied(ParentZorDir, L"Engine"),
    Emptied(ParentZorDir, L"Update\\Temp"),
    Emptied(ParentZorDir, L"Update"),
    Emptied(ParentZorDir, L"Setup\\Backup"),
    Emptied(ParentZorDir, L"Setup"),
    Emptied(ParentZorDir, L"Redist\\x64"),
    Emptied(ParentZorDir, L"Redist\\x86"),
    Emptied(ParentZorDir, L"Redist"),
    Emptied(ParentZorDir, L"Tools\\Diagnostics"),
    Emptied(ParentZorDir, L"Tools\\Rescue"),
    Emptied(ParentZorDir, L"Tools"),
    Emptied(ParentZorDir, L"Templates\\Reports"),
    Emptied(ParentZorDir, L"Templates\\Mail"),
    Emptied(ParentZorDir, L"Templates"),
    Emptied(ParentZorDir, L"Certificates"),
    Emptied(ParentZorDir, L"Schemas"),
    Emptied(ParentZorDir, L"Sdk\\Include"),
    Emptied(ParentZorDir, L"Sdk\\Lib"),
    Emptied(ParentZorDir, L"Sdk"),
    Emptied(ParentZorDir, L"Temp"),
    Emptied(ParentZorDir, L"Data\\Whitelists"),
    Emptied(ParentZorDir, L"Data\\Signatures"),
    Emptied(ParentZorDir, L"Data"),
    Emptied(ParentZorDir, L"Gadget\\images"),
    Emptied(ParentZorDir, L"Gadget"),
    Emptied(ParentZorDir, L"Mail\\Queue"),
    Emptied(ParentZorDir, L"Mail"),
    Emptied(ParentZorDir, L"Rescue\\Boot"),
    Emptied(ParentZorDir, L"Rescue"),
    Emptied(ParentZorDir, L"Licenses"),
    Emptied(ParentZorDir, L"Reports"),
    Emptied(ParentZorDir, L"Config"),
    Emptied(ParentZorDir, L"Dumps"),
    Emptied(ParentZorDir, L"Backup"),
    AsIs(Emptied(ParentZorDir, nullptr)),

    // Subfolders of the data folder.
    Emptied(ParentZorDataDir, L"Update\\Temp"),
    Emptied(ParentZorDataDir, L"Update\\Backup"),
    Emptied(ParentZorDataDir, L"Update\\Patches"),
    Emptied(ParentZorDataDir, L"Update"),
    Emptied(ParentZorDataDir, L"Logs\\Archive"),
    Emptied(ParentZorDataDir, L"Logs"),
    Emptied(ParentZorDataDir, L"ScanLogs\\OnDemand"),
    Emptied(ParentZorDataDir, L"ScanLogs\\OnAccess"),
    Emptied(ParentZorDataDir, L"ScanLogs"),
    Emptied(ParentZorDataDir, L"Quarantine\\Index"),
    Emptied(ParentZorDataDir, L"Quarantine"),
    Emptied(ParentZorDataDir, L"Hips\\Profiles"),
    Emptied(ParentZorDataDir, L"Hips\\Rules"),
    Emptied(ParentZorDataDir, L"Hips\\Logs"),
    Emptied(ParentZorDataDir, L"Hips"),
    Emptied(ParentZorDataDir, L"MailQueue\\In"),
    Emptied(ParentZorDataDir, L"MailQueue\\Out"),
    Emptied(ParentZorDataDir, L"MailQueue\\Bad"),
    Emptied(ParentZorDataDir, L"MailQueue"),
    Emptied(ParentZorDataDir, L"Dumps"),
    Emptied(ParentZorDataDir, L"Config\\Backup"),
    Emptied(ParentZorDataDir, L"Config\\Policies"),
    Emptied(ParentZorDataDir, L"Config"),
    Emptied(ParentZorDataDir, L"Temp\\Scan"),
    Emptied(ParentZorDataDir, L"Temp"),
    Emptied(ParentZorDataDir, L"Firewall\\Rules"),
    Emptied(ParentZorDataDir, L"Firewall\\Logs"),
    Emptied(ParentZorDataDir, L"Firewall"),
    Emptied(ParentZorDataDir, L"WebFilter\\Cache"),
    Emptied(ParentZorDataDir, L"WebFilter"),
    Emptied(ParentZorDataDir, L"Signatures\\Incremental"),
    Emptied(ParentZorDataDir, L"Signatures"),
    Emptied(ParentZorDataDir, L"Reports"),
    Emptied(ParentZorDataDir, L"Cache"),
    Emptied(ParentZorDataDir, L"Tasks"),
    Emptied(ParentZorDataDir, L"Notify"),
    Emptied(ParentZorDataDir, L"Toolbar"),
    Emptied(ParentZorDataDir, L"Statistics"),
    Emptied(ParentZorDataDir, L"Licenses"),
    Emptied(ParentZorDataDir, L"Mirror\\Packages"),
    Emptied(ParentZorDataDir, L"Mirror"),
    Emptied(ParentZorDataDir, L"SelfDefense"),
    Emptied(ParentZorDataDir, L"DeviceControl"),
    Emptied(ParentZorDataDir, L"Schedule"),

    // Data folders that may hold what users put there: removed whole.
    Tree(ParentZorDataDir, L"SetupBackup\\Previous"),
    Tree(ParentZorDataDir, L"SetupBackup"),
    Tree(ParentZorDataDir, L"AntiSpam\\Bayes"),
    Tree(ParentZorDataDir, L"AntiSpam"),
    Tree(ParentZorDataDir, L"AdminData"),
    Tree(ParentZorDataDir, L"AdminLogs"),
    Tree(ParentZorDataDir, L"MailArchive"),
    Tree(ParentZorDataDir, L"Mail Archive"),

    // The data folder keeps whatever else was put there.
    Plain(ParentZorDataDir, nullptr),

    // Machine-wide application data.
    Emptied(ParentCommonAppDataDir, L"ZOR\\Licenses\\Offline"),
    Emptied(ParentCommonAppDataDir, L"ZOR\\Licenses"),
    Tree(ParentCommonAppDataDir, L"ZOR\\Shared"),
    Tree(ParentCommonAppDataDir, L"ZOR\\Crash Reports"),
    Emptied(ParentCommonAppDataDir, L"ZOR\\Installer"),
    Emptied(ParentCommonAppDataDir, L"ZOR"),
    Tree(ParentCommonAppDataDir, L"ZorSetup"),
    Emptied(ParentCommonAppDataDir, L"ZOR Toolbar"),

    // The browser toolbar of the user who runs the remover.
    Emptied(ParentAppDataDir, L"ZOR Toolbar"),

    // Windows' own folders.
    AsIs(Matching(ParentSystem32Dir, L"zorhk*.dll")),
    AsIs(Emptied(ParentSysWow64Dir, L"drivers\\ZOR")),
    AsIs(Matching(ParentDriversDir, L"zorfwfd*.sys")),
    AsIs(Matching(ParentDriversDir, L"zorfsf*.sys")),
    AsIs(Matching(ParentDriversDir, L"zorhips*.sys")),
    AsIs(Matching(ParentDriversDir, L"zorndis*.sys")),
    AsIs(Matching(ParentDriversDir, L"zorkbd*.sys")),
    AsIs(Matching(ParentDriversDir, L"zordevc*.sys")),
    AsIs(Matching(ParentDriversDir, L"zorsd*.sys")),
    AsIs(Matching(ParentDriversDir, L"zorel*.sys")),
    AsIs(Emptied(ParentDriversDir, L"ZOR")),

    // Shortcuts and Start menu folders of the product's editions.
    Single(ParentCommonDesktopDir, L"ZOR Security 10.lnk"),
    Single(ParentCommonDesktopDir, L"ZOR Antivirus 10.lnk"),
    Single(ParentCommonDesktopDir, L"ZOR Admin Console 10.lnk"),
    Single(ParentCommonDesktopDir, L"ZOR Mail Security 10.lnk"),
    Single(ParentCommonDesktopDir, L"ZOR Security 9.lnk"),
    Single(ParentCommonDesktopDir, L"ZOR Antivirus 9.lnk"),
    Single(ParentCommonDesktopDir, L"ZOR Admin Console 9.lnk"),
    Single(ParentCommonDesktopDir, L"ZOR Security 8.lnk"),
    Single(ParentCommonDesktopDir, L"ZOR Antivirus 8.lnk"),
    Emptied(ParentCommonProgramsDir, L"ZOR Security 10"),
    Emptied(ParentCommonProgramsDir, L"ZOR Antivirus 10"),
    Emptied(ParentCommonProgramsDir, L"ZOR Admin 10"),
    Emptied(ParentCommonProgramsDir, L"ZOR Mail Security 10"),
    Emptied(ParentCommonProgramsDir, L"ZOR Security 9"),
    Emptied(ParentCommonProgramsDir, L"ZOR Antivirus 9"),
    Emptied(ParentCommonProgramsDir, L"ZOR Admin 9"),
    Emptied(ParentCommonProgramsDir, L"ZOR Security 8"),
    Emptied(ParentCommonProgramsDir, L"ZOR Antivirus 8"),

    // The desktop gadget, installed under both Program Files folders.
    Tree(ParentProgramFilesDir, L"Windows Sidebar\\Shared Gadgets\\ZorMonitor.gadget"),
    Tree(ParentProgramFilesX86Dir, L"Windows Sidebar\\Shared Gadgets\\ZorMonitor.gadget"),

    // The administration console and server, then their folder.
    Tree(ParentZorAdminDir, L"Console\\Reports"),
    Tree(ParentZorAdminDir, L"Server\\Logs"),
    Tree(ParentZorAdminDir, L"Server\\Backup"),
    Emptied(ParentZorAdminDir, L"Console"),
    Emptied(ParentZorAdminDir, L"Server"),
    Emptied(ParentZorAdminDir, L"Help"),
    Plain(ParentZorAdminDir, nullptr),
};
static_assert(std::size(kTable) == kFileItemCount);

}  // namespace

std::span<const FileItem> FileItemTable() { return kTable; }

bool IsProductParent(std::int32_t parentDir) {
  return parentDir == ParentZorDir || parentDir == ParentZorDataDir || parentDir == ParentZorAdminDir;
}

}  // namespace zor
