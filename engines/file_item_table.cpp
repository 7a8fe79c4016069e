#include "engines/file_item_table.h"

#include <iterator>

namespace zor {
namespace {

// A row that runs with WOW64 file system redirection on, so that a 32-bit
// build sees the same folders as the product's 32-bit installer did.
constexpr FileItem Row(RunFolder parent, const wchar_t* path, const wchar_t* mask, std::uint8_t action) {
  return FileItem{parent, path, mask, Redirection::On, action, 0};
}
constexpr FileItem Matching(RunFolder parent, const wchar_t* mask) {
  return Row(parent, nullptr, mask, ActionDeleteMatching);
}
constexpr FileItem Emptied(RunFolder parent, const wchar_t* path) {
  return Row(parent, path, nullptr, ActionEmptyAndRemoveFolder);
}
constexpr FileItem Tree(RunFolder parent, const wchar_t* path) { return Row(parent, path, nullptr, ActionRemoveTree); }
constexpr FileItem Plain(RunFolder parent, const wchar_t* path) {
  return Row(parent, path, nullptr, ActionRemoveFolder);
}
constexpr FileItem Single(RunFolder parent, const wchar_t* path) { return Row(parent, path, nullptr, ActionDeleteFile); }
// Windows' own system folders are named as the running build sees them,
// and the program folder as it was given: redirection is left as it is.
constexpr FileItem AsIs(FileItem row) {
  row.redirect = Redirection::LeftAsIs;
  return row;
}

constexpr FileItem kTable[] = {
    // Product files directly in the program folder.
    Matching(RunFolder::ZorDir, L"zor*.exe"),
    Matching(RunFolder::ZorDir, L"zor*.dll"),
    Matching(RunFolder::ZorDir, L"*.exe"),
    Matching(RunFolder::ZorDir, L"*.dll"),
    Matching(RunFolder::ZorDir, L"*.sys"),
    Matching(RunFolder::ZorDir, L"*.cat"),
    Matching(RunFolder::ZorDir, L"*.inf"),
    Matching(RunFolder::ZorDir, L"*.dat"),
    Matching(RunFolder::ZorDir, L"*.chm"),
    Matching(RunFolder::ZorDir, L"*.txt"),
    Matching(RunFolder::ZorDir, L"*.ini"),
    Matching(RunFolder::ZorDir, L"*.xml"),
    Matching(RunFolder::ZorDir, L"*.log"),
    Matching(RunFolder::ZorDir, L"*.manifest"),
    Matching(RunFolder::ZorDir, L"*.mui"),
    Matching(RunFolder::ZorDir, L"*.tlb"),
    Matching(RunFolder::ZorDir, L"*.ocx"),
    Matching(RunFolder::ZorDir, L"*.cab"),
    Matching(RunFolder::ZorDir, L"*.msi"),
    Matching(RunFolder::ZorDir, L"*.bin"),
    Matching(RunFolder::ZorDir, L"*.sig"),
    Matching(RunFolder::ZorDir, L"*.key"),
    Matching(RunFolder::ZorDir, L"*.lic"),
    Matching(RunFolder::ZorDir, L"*.cfg"),
    Matching(RunFolder::ZorDir, L"*.ico"),
    Matching(RunFolder::ZorDir, L"*.png"),
    Matching(RunFolder::ZorDir, L"*.htm*"),
    Matching(RunFolder::ZorDir, L"*.js"),

    // Driver packages: whatever is left there goes with them.
    Tree(RunFolder::ZorDir, L"Drivers\\x64"),
    Tree(RunFolder::ZorDir, L"Drivers\\x86"),
    Tree(RunFolder::ZorDir, L"Drivers\\amd64"),
    Tree(RunFolder::ZorDir, L"Drivers\\i386"),
    Tree(RunFolder::ZorDir, L"Drivers\\ia64"),
    Tree(RunFolder::ZorDir, L"Drivers"),

    // Subfolders of the program folder, then the folder itself.
    Emptied(RunFolder::ZorDir, L"Scripts\\IM\\MSN"),
    Emptied(RunFolder::ZorDir, L"Scripts\\IM\\ICQ"),
    Emptied(RunFolder::ZorDir, L"Scripts\\IM\\Skype"),
    Emptied(RunFolder::ZorDir, L"Scripts\\IM"),
    Emptied(RunFolder::ZorDir, L"Scripts\\Mail"),
    Emptied(RunFolder::ZorDir, L"Scripts\\Web"),
    Emptied(RunFolder::ZorDir, L"Scripts"),
    Emptied(RunFolder::ZorDir, L"Toolbar\\IE\\Images"),
    Emptied(RunFolder::ZorDir, L"Toolbar\\IE"),
    Emptied(RunFolder::ZorDir, L"Toolbar\\Firefox\\chrome\\content"),
    Emptied(RunFolder::ZorDir, L"Toolbar\\Firefox\\chrome"),
    Emptied(RunFolder::ZorDir, L"Toolbar\\Firefox\\defaults\\preferences"),
    Emptied(RunFolder::ZorDir, L"Toolbar\\Firefox\\defaults"),
    Emptied(RunFolder::ZorDir, L"Toolbar\\Firefox"),
    Emptied(RunFolder::ZorDir, L"Toolbar\\Chrome\\_locales\\en"),
    Emptied(RunFolder::ZorDir, L"Toolbar\\Chrome\\_locales"),
    Emptied(RunFolder::ZorDir, L"Toolbar\\Chrome\\images"),
    Emptied(RunFolder::ZorDir, L"Toolbar\\Chrome"),
    Emptied(RunFolder::ZorDir, L"Toolbar"),
    Emptied(RunFolder::ZorDir, L"Extensions\\Firefox"),
    Emptied(RunFolder::ZorDir, L"Extensions\\Chrome"),
    Emptied(RunFolder::ZorDir, L"Extensions\\Opera"),
    Emptied(RunFolder::ZorDir, L"Extensions"),
    Emptied(RunFolder::ZorDir, L"Notify\\Sounds"),
    Emptied(RunFolder::ZorDir, L"Notify\\Skins"),
    Emptied(RunFolder::ZorDir, L"Notify"),
    Emptied(RunFolder::ZorDir, L"Logs"),
    Emptied(RunFolder::ZorDir, L"Plugins\\Outlook"),
    Emptied(RunFolder::ZorDir, L"Plugins\\Thunderbird"),
    Emptied(RunFolder::ZorDir, L"Plugins\\TheBat"),
    Emptied(RunFolder::ZorDir, L"Plugins\\Exchange"),
    Emptied(RunFolder::ZorDir, L"Plugins\\SharePoint"),
    Emptied(RunFolder::ZorDir, L"Plugins\\Lotus"),
    Emptied(RunFolder::ZorDir, L"Plugins"),
    Emptied(RunFolder::ZorDir, L"Lang\\en"),
    Emptied(RunFolder::ZorDir, L"Lang\\de"),
    Emptied(RunFolder::ZorDir, L"Lang\\fr"),
    Emptied(RunFolder::ZorDir, L"Lang\\es"),
    Emptied(RunFolder::ZorDir, L"Lang\\it"),
    Emptied(RunFolder::ZorDir, L"Lang\\ru"),
    Emptied(RunFolder::ZorDir, L"Lang\\pl"),
    Emptied(RunFolder::ZorDir, L"Lang\\cs"),
    Emptied(RunFolder::ZorDir, L"Lang\\ja"),
    Emptied(RunFolder::ZorDir, L"Lang\\zh"),
    Emptied(RunFolder::ZorDir, L"Lang"),
    Emptied(RunFolder::ZorDir, L"Help\\en"),
    Emptied(RunFolder::ZorDir, L"Help\\de"),
    Emptied(RunFolder::ZorDir, L"Help"),
    Emptied(RunFolder::ZorDir, L"Skins\\Default\\Images"),
    Emptied(RunFolder::ZorDir, L"Skins\\Default"),
    Emptied(RunFolder::ZorDir, L"Skins\\Classic\\Images"),
    Emptied(RunFolder::ZorDir, L"Skins\\Classic"),
    Emptied(RunFolder::ZorDir, L"Skins"),
    Emptied(RunFolder::ZorDir, L"Modules\\Scanner"),
    Emptied(RunFolder::ZorDir, L"Modules\\Hips"),
    Emptied(RunFolder::ZorDir, L"Modules\\Firewall"),
    Emptied(RunFolder::ZorDir, L"Modules\\AntiSpam"),
    Emptied(RunFolder::ZorDir, L"Modules\\WebFilter"),
    Emptied(RunFolder::ZorDir, L"Modules\\DeviceControl"),
    Emptied(RunFolder::ZorDir, L"Modules"),
    Emptied(RunFolder::ZorDir, L"Engine\\x64"),
    Emptied(RunFolder::ZorDir, L"Engine\\x86"),
    Emptied(RunFolder::ZorDir, L"Engine"),
    Emptied(RunFolder::ZorDir, L"Update\\Temp"),
    Emptied(RunFolder::ZorDir, L"Update"),
    Emptied(RunFolder::ZorDir, L"Setup\\Backup"),
    Emptied(RunFolder::ZorDir, L"Setup"),
    Emptied(RunFolder::ZorDir, L"Redist\\x64"),
    Emptied(RunFolder::ZorDir, L"Redist\\x86"),
    Emptied(RunFolder::ZorDir, L"Redist"),
    Emptied(RunFolder::ZorDir, L"Tools\\Diagnostics"),
    Emptied(RunFolder::ZorDir, L"Tools\\Rescue"),
    Emptied(RunFolder::ZorDir, L"Tools"),
    Emptied(RunFolder::ZorDir, L"Templates\\Reports"),
    Emptied(RunFolder::ZorDir, L"Templates\\Mail"),
    Emptied(RunFolder::ZorDir, L"Templates"),
    Emptied(RunFolder::ZorDir, L"Certificates"),
    Emptied(RunFolder::ZorDir, L"Schemas"),
    Emptied(RunFolder::ZorDir, L"Sdk\\Include"),
    Emptied(RunFolder::ZorDir, L"Sdk\\Lib"),
    Emptied(RunFolder::ZorDir, L"Sdk"),
    Emptied(RunFolder::ZorDir, L"Temp"),
    Emptied(RunFolder::ZorDir, L"Data\\Whitelists"),
    Emptied(RunFolder::ZorDir, L"Data\\Signatures"),
    Emptied(RunFolder::ZorDir, L"Data"),
    Emptied(RunFolder::ZorDir, L"Gadget\\images"),
    Emptied(RunFolder::ZorDir, L"Gadget"),
    Emptied(RunFolder::ZorDir, L"Mail\\Queue"),
    Emptied(RunFolder::ZorDir, L"Mail"),
    Emptied(RunFolder::ZorDir, L"Rescue\\Boot"),
    Emptied(RunFolder::ZorDir, L"Rescue"),
    Emptied(RunFolder::ZorDir, L"Licenses"),
    Emptied(RunFolder::ZorDir, L"Reports"),
    Emptied(RunFolder::ZorDir, L"Config"),
    Emptied(RunFolder::ZorDir, L"Dumps"),
    Emptied(RunFolder::ZorDir, L"Backup"),
    AsIs(Emptied(RunFolder::ZorDir, nullptr)),

    // Subfolders of the data folder.
    Emptied(RunFolder::ZorDataDir, L"Update\\Temp"),
    Emptied(RunFolder::ZorDataDir, L"Update\\Backup"),
    Emptied(RunFolder::ZorDataDir, L"Update\\Patches"),
    Emptied(RunFolder::ZorDataDir, L"Update"),
    Emptied(RunFolder::ZorDataDir, L"Logs\\Archive"),
    Emptied(RunFolder::ZorDataDir, L"Logs"),
    Emptied(RunFolder::ZorDataDir, L"ScanLogs\\OnDemand"),
    Emptied(RunFolder::ZorDataDir, L"ScanLogs\\OnAccess"),
    Emptied(RunFolder::ZorDataDir, L"ScanLogs"),
    Emptied(RunFolder::ZorDataDir, L"Quarantine\\Index"),
    Emptied(RunFolder::ZorDataDir, L"Quarantine"),
    Emptied(RunFolder::ZorDataDir, L"Hips\\Profiles"),
    Emptied(RunFolder::ZorDataDir, L"Hips\\Rules"),
    Emptied(RunFolder::ZorDataDir, L"Hips\\Logs"),
    Emptied(RunFolder::ZorDataDir, L"Hips"),
    Emptied(RunFolder::ZorDataDir, L"MailQueue\\In"),
    Emptied(RunFolder::ZorDataDir, L"MailQueue\\Out"),
    Emptied(RunFolder::ZorDataDir, L"MailQueue\\Bad"),
    Emptied(RunFolder::ZorDataDir, L"MailQueue"),
    Emptied(RunFolder::ZorDataDir, L"Dumps"),
    Emptied(RunFolder::ZorDataDir, L"Config\\Backup"),
    Emptied(RunFolder::ZorDataDir, L"Config\\Policies"),
    Emptied(RunFolder::ZorDataDir, L"Config"),
    Emptied(RunFolder::ZorDataDir, L"Temp\\Scan"),
    Emptied(RunFolder::ZorDataDir, L"Temp"),
    Emptied(RunFolder::ZorDataDir, L"Firewall\\Rules"),
    Emptied(RunFolder::ZorDataDir, L"Firewall\\Logs"),
    Emptied(RunFolder::ZorDataDir, L"Firewall"),
    Emptied(RunFolder::ZorDataDir, L"WebFilter\\Cache"),
    Emptied(RunFolder::ZorDataDir, L"WebFilter"),
    Emptied(RunFolder::ZorDataDir, L"Signatures\\Incremental"),
    Emptied(RunFolder::ZorDataDir, L"Signatures"),
    Emptied(RunFolder::ZorDataDir, L"Reports"),
    Emptied(RunFolder::ZorDataDir, L"Cache"),
    Emptied(RunFolder::ZorDataDir, L"Tasks"),
    Emptied(RunFolder::ZorDataDir, L"Notify"),
    Emptied(RunFolder::ZorDataDir, L"Toolbar"),
    Emptied(RunFolder::ZorDataDir, L"Statistics"),
    Emptied(RunFolder::ZorDataDir, L"Licenses"),
    Emptied(RunFolder::ZorDataDir, L"Mirror\\Packages"),
    Emptied(RunFolder::ZorDataDir, L"Mirror"),
    Emptied(RunFolder::ZorDataDir, L"SelfDefense"),
    Emptied(RunFolder::ZorDataDir, L"DeviceControl"),
    Emptied(RunFolder::ZorDataDir, L"Schedule"),

    // Data folders that may hold what users put there: removed whole.
    Tree(RunFolder::ZorDataDir, L"SetupBackup\\Previous"),
    Tree(RunFolder::ZorDataDir, L"SetupBackup"),
    Tree(RunFolder::ZorDataDir, L"AntiSpam\\Bayes"),
    Tree(RunFolder::ZorDataDir, L"AntiSpam"),
    Tree(RunFolder::ZorDataDir, L"AdminData"),
    Tree(RunFolder::ZorDataDir, L"AdminLogs"),
    Tree(RunFolder::ZorDataDir, L"MailArchive"),
    Tree(RunFolder::ZorDataDir, L"Mail Archive"),

    // The data folder keeps whatever else was put there.
    Plain(RunFolder::ZorDataDir, nullptr),

    // Machine-wide application data.
    Emptied(RunFolder::CommonAppDataDir, L"ZOR\\Licenses\\Offline"),
    Emptied(RunFolder::CommonAppDataDir, L"ZOR\\Licenses"),
    Tree(RunFolder::CommonAppDataDir, L"ZOR\\Shared"),
    Tree(RunFolder::CommonAppDataDir, L"ZOR\\Crash Reports"),
    Emptied(RunFolder::CommonAppDataDir, L"ZOR\\Installer"),
    Emptied(RunFolder::CommonAppDataDir, L"ZOR"),
    Tree(RunFolder::CommonAppDataDir, L"ZorSetup"),
    Emptied(RunFolder::CommonAppDataDir, L"ZOR Toolbar"),

    // The browser toolbar of the user who runs the remover.
    Emptied(RunFolder::AppDataDir, L"ZOR Toolbar"),

    // Windows' own folders.
    AsIs(Matching(RunFolder::System32Dir, L"zorhk*.dll")),
    AsIs(Emptied(RunFolder::SysWow64Dir, L"drivers\\ZOR")),
    AsIs(Matching(RunFolder::DriversDir, L"zorfwfd*.sys")),
    AsIs(Matching(RunFolder::DriversDir, L"zorfsf*.sys")),
    AsIs(Matching(RunFolder::DriversDir, L"zorhips*.sys")),
    AsIs(Matching(RunFolder::DriversDir, L"zorndis*.sys")),
    AsIs(Matching(RunFolder::DriversDir, L"zorkbd*.sys")),
    AsIs(Matching(RunFolder::DriversDir, L"zordevc*.sys")),
    AsIs(Matching(RunFolder::DriversDir, L"zorsd*.sys")),
    AsIs(Matching(RunFolder::DriversDir, L"zorel*.sys")),
    AsIs(Emptied(RunFolder::DriversDir, L"ZOR")),

    // Shortcuts and Start menu folders of the product's editions.
    Single(RunFolder::CommonDesktopDir, L"ZOR Security 10.lnk"),
    Single(RunFolder::CommonDesktopDir, L"ZOR Antivirus 10.lnk"),
    Single(RunFolder::CommonDesktopDir, L"ZOR Admin Console 10.lnk"),
    Single(RunFolder::CommonDesktopDir, L"ZOR Mail Security 10.lnk"),
    Single(RunFolder::CommonDesktopDir, L"ZOR Security 9.lnk"),
    Single(RunFolder::CommonDesktopDir, L"ZOR Antivirus 9.lnk"),
    Single(RunFolder::CommonDesktopDir, L"ZOR Admin Console 9.lnk"),
    Single(RunFolder::CommonDesktopDir, L"ZOR Security 8.lnk"),
    Single(RunFolder::CommonDesktopDir, L"ZOR Antivirus 8.lnk"),
    Emptied(RunFolder::CommonProgramsDir, L"ZOR Security 10"),
    Emptied(RunFolder::CommonProgramsDir, L"ZOR Antivirus 10"),
    Emptied(RunFolder::CommonProgramsDir, L"ZOR Admin 10"),
    Emptied(RunFolder::CommonProgramsDir, L"ZOR Mail Security 10"),
    Emptied(RunFolder::CommonProgramsDir, L"ZOR Security 9"),
    Emptied(RunFolder::CommonProgramsDir, L"ZOR Antivirus 9"),
    Emptied(RunFolder::CommonProgramsDir, L"ZOR Admin 9"),
    Emptied(RunFolder::CommonProgramsDir, L"ZOR Security 8"),
    Emptied(RunFolder::CommonProgramsDir, L"ZOR Antivirus 8"),

    // The desktop gadget, installed under both Program Files folders.
    Tree(RunFolder::ProgramFilesDir, L"Windows Sidebar\\Shared Gadgets\\ZorMonitor.gadget"),
    Tree(RunFolder::ProgramFilesX86Dir, L"Windows Sidebar\\Shared Gadgets\\ZorMonitor.gadget"),

    // The administration console and server, then their folder.
    Tree(RunFolder::ZorAdminDir, L"Console\\Reports"),
    Tree(RunFolder::ZorAdminDir, L"Server\\Logs"),
    Tree(RunFolder::ZorAdminDir, L"Server\\Backup"),
    Emptied(RunFolder::ZorAdminDir, L"Console"),
    Emptied(RunFolder::ZorAdminDir, L"Server"),
    Emptied(RunFolder::ZorAdminDir, L"Help"),
    Plain(RunFolder::ZorAdminDir, nullptr),
};
static_assert(std::size(kTable) == kFileItemCount);

}  // namespace

std::span<const FileItem> FileItemTable() { return kTable; }

bool IsProductParent(RunFolder parentDir) {
  return parentDir == RunFolder::ZorDir || parentDir == RunFolder::ZorDataDir || parentDir == RunFolder::ZorAdminDir;
}

}  // namespace zor
