// The verification pass with the product's engines, on a fresh prefix: it
// finds nothing on a clean machine and finds a planted leftover of each
// kind an engine knows. Each test runs in a prefix of its own.
#include "app/verification.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "app/run_context.h"
#include "engines/stage_engines.h"
#include "tests/engines/engine_log.h"
#include "tests/platform/file_test_support.h"
#include "tests/platform/registry_test_support.h"
#include "tests/support/line_checks.h"
#include "tests/support/narrow_text.h"
#include "tests/support/signed_programs.h"
#include "tests/support/test_packages.h"
#include "tests/support/test_service_host.h"

namespace zor {
namespace {

using Lines = std::vector<std::string>;
using namespace std::string_literals;

struct Verified {
  Verified() {
    context.logger = log.logger();
    BindStageEngines(context);
    context.parameters.ZorDir = L"C:\\Program Files (x86)\\ZOR\\ZOR10";
  }
  ~Verified() { context.logger = nullptr; }
  test::EngineLog log;
  RunContext context;
};

// The machine as files and registry show it: every file and folder of C:
// with its size, attributes and time of last writing, and every key and
// value below the machine's and the user's roots (both views) with its data.
using Snapshot = std::map<std::wstring, std::string>;

void SnapFiles(const std::wstring& folder, Snapshot& snapshot) {
  WIN32_FIND_DATAW found{};
  const HANDLE listing = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (listing == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    char state[96];
    std::snprintf(state, sizeof state, "%lx %lu:%lu %lx:%lx", found.dwFileAttributes, found.nFileSizeHigh,
                  found.nFileSizeLow, found.ftLastWriteTime.dwHighDateTime, found.ftLastWriteTime.dwLowDateTime);
    snapshot[path] = state;
    const bool link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !link) SnapFiles(path, snapshot);
  } while (FindNextFileW(listing, &found));
  FindClose(listing);
}

void SnapKey(HKEY root, const std::wstring& path, REGSAM view, const std::wstring& label, Snapshot& snapshot) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return;
  snapshot[label + path] = "key";
  for (DWORD i = 0;; ++i) {
    wchar_t name[16384];
    DWORD nameSize = 16384;
    std::string data(65536, '\0');
    DWORD dataSize = static_cast<DWORD>(data.size());
    DWORD type = 0;
    if (RegEnumValueW(key, i, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &dataSize) !=
        ERROR_SUCCESS) {
      break;
    }
    data.resize(dataSize);
    snapshot[label + path + L" : " + name] = std::to_string(type) + ":" + data;
  }
  std::vector<std::wstring> subkeys;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameSize = 256;
    if (RegEnumKeyExW(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subkeys.push_back(path.empty() ? name : path + L"\\" + name);
  }
  RegCloseKey(key);
  for (const std::wstring& subkey : subkeys) SnapKey(root, subkey, view, label, snapshot);
}

Snapshot MachineSnapshot() {
  Snapshot snapshot;
  SnapFiles(L"C:", snapshot);
  for (const auto& [view, label] : {std::pair{KEY_WOW64_64KEY, L"x64 "}, std::pair{KEY_WOW64_32KEY, L"x86 "}}) {
    SnapKey(HKEY_LOCAL_MACHINE, L"", view, std::wstring(L"HKLM ") + label, snapshot);
    SnapKey(HKEY_CURRENT_USER, L"", view, std::wstring(L"HKCU ") + label, snapshot);
  }
  return snapshot;
}

// Windows' trust provider makes the user's certificate and trust keys on
// its first use, whoever asks it to check a signature.
bool MadeByTheTrustProvider(const std::wstring& name) {
  for (const wchar_t* subtree : {L"Software\\Microsoft\\SystemCertificates\\Root",
                                 L"Software\\Microsoft\\Windows\\CurrentVersion\\Wintrust"}) {
    if (name.starts_with(L"HKCU x64 " + std::wstring(subtree)) ||
        name.starts_with(L"HKCU x86 " + std::wstring(subtree))) {
      return true;
    }
  }
  return false;
}

// What differs between two snapshots, one line each.
std::vector<std::string> Differences(const Snapshot& before, const Snapshot& after) {
  std::vector<std::string> differences;
  for (const auto& [name, state] : before) {
    const auto found = after.find(name);
    if (found == after.end()) {
      differences.push_back("gone: " + test::Narrow(name));
    } else if (found->second != state) {
      differences.push_back("changed: " + test::Narrow(name));
    }
  }
  for (const auto& [name, state] : after) {
    if (!before.contains(name) && !MadeByTheTrustProvider(name)) differences.push_back("new: " + test::Narrow(name));
  }
  return differences;
}

std::wstring SystemFolder() {
  wchar_t folder[MAX_PATH] = {};
  GetSystemDirectoryW(folder, MAX_PATH);
  return folder;
}

TEST(Verification, ACleanMachineHasNothingLeft) {
  Verified run;
  const VerificationResult result = VerifyRemoval(run.context);
  EXPECT_TRUE(result.remaining.empty());
  EXPECT_EQ(run.log.TakeLines(),
            Lines{"INFO Verification: 0 item(s) of ZOR remain, 0 of them planned for removal at restart"});
}

TEST(Verification, FindsALeftoverOfEachKindAndWhatIsPlannedForTheRestart) {
  // A service of the table, a driver file (planned for deletion at the
  // restart), an installer product of the product's family, the firewall
  // driver's INF, policy value and setup key, and the Outlook add-in's key.
  test::TestService service(test::TestService::Named{L"ZorScan"}, L"--stop=accept");
  ASSERT_TRUE(service.Made());
  const std::wstring driver = SystemFolder() + L"\\Drivers\\zorkbd.sys";
  test::WriteTextFile(driver, "keyboard guard");
  ASSERT_TRUE(MoveFileExW(driver.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  test::InstallPackage("zor-core.msi");
  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  const std::wstring inf = std::wstring(windows) + L"\\inf\\oem70.inf";
  test::WriteTextFile(inf, "[Version]\r\nCatalogFile=zorfwfd6.cat\r\n");
  const std::wstring policy =
      L"SYSTEM\\ControlSet001\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\StandardProfile\\"
      L"AuthorizedApplications\\List";
  const std::wstring program = L"c:\\program files (x86)\\zor\\zor10\\zorsvc.exe";
  ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, policy, program, program + L":*:Enabled:ZOR"));
  ASSERT_TRUE(test::MakeKey(HKEY_LOCAL_MACHINE, L"Software\\ZOR\\Zor10\\FwSetup"));
  ASSERT_TRUE(test::MakeKey(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Office\\Outlook\\Addins\\zoroutlook.Addin",
                            KEY_WOW64_32KEY));

  Verified run;
  const VerificationResult result = VerifyRemoval(run.context);
  const Lines lines = run.log.TakeLines();
  const auto has = [&](const std::string& line) {
    EXPECT_TRUE(test::HasLine(lines, line)) << line << "\n" << test::Joined(lines);
  };
  has("WARN Still present: service ZorScan");
  has("WARN Still present: driver file " + test::Narrow(driver) + " (deletion planned at restart)");
  has("WARN Still present: installer product {3B9D2E41-6C7A-4F15-8E2B-9A0C4D6F1E73}");
  has("WARN Still present: file " + test::Narrow(inf));
  has("WARN Still present: value HKLM\\" + test::Narrow(policy) + " : " + test::Narrow(program) + " (x64)");
  has("WARN Still present: key HKLM\\Software\\ZOR\\Zor10\\FwSetup (x64)");
  has("WARN Still present: key HKLM\\Software\\Microsoft\\Office\\Outlook\\Addins\\zoroutlook.Addin (x86)");
  // The same plants are items of the registry and file tables too: the
  // service's key and the setup key's parents, the package's file and
  // folders.
  has("WARN Still present: key HKLM\\SYSTEM\\CurrentControlSet\\Services\\ZorScan (x64)");
  has("WARN Still present: key HKLM\\SOFTWARE\\Zor\\Zor10 (x64)");
  has("WARN Still present: key HKLM\\SOFTWARE\\Zor (x64)");
  has("WARN Still present: file C:\\Program Files (x86)\\ZOR\\ZOR10\\zorcore.txt");
  has("WARN Still present: folder C:\\Program Files (x86)\\ZOR\\ZOR10");
  has("WARN Still present: folder C:\\Program Files (x86)\\ZOR");
  EXPECT_EQ(result.remaining.size(), 13u) << test::Joined(lines);
  EXPECT_EQ(result.planned, 1u);
  EXPECT_EQ(lines.back(), "INFO Verification: 13 item(s) of ZOR remain, 1 of them planned for removal at restart");
  // Read only: everything planted is still there.
  EXPECT_TRUE(service.Exists());
  EXPECT_TRUE(test::PathExists(driver));
  EXPECT_TRUE(test::PathExists(inf));
  EXPECT_TRUE(test::KeyPresent(HKEY_LOCAL_MACHINE, L"Software\\ZOR\\Zor10\\FwSetup"));
}

TEST(Verification, FindsWhatTheFileRegistryAndProcessStagesLeaveAndChangesNothing) {
  // A product folder with a file and a running program signed as the
  // maker's, a shortcut on the desktop, a key and a value of the registry
  // table, the product's library in AppInit_DLLs and its boot-time program
  // in BootExecute.
  ASSERT_TRUE(test::TrustTestRoot());
  const std::wstring zorDir = L"C:\\Program Files\\ZOR\\ZOR10";
  test::MakeFolder(L"C:\\Program Files\\ZOR");
  test::MakeFolder(zorDir);
  test::WriteTextFile(zorDir + L"\\zorcore.dll", "core");
  // A file no row names, held until the restart deletes it: it keeps its
  // folder, and is named itself.
  test::MakeFolder(zorDir + L"\\bin");
  const std::wstring held = zorDir + L"\\bin\\zorhold.bin";
  test::WriteTextFile(held, "held");
  ASSERT_TRUE(MoveFileExW(held.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  test::RunningCopy program(L"maker.exe", zorDir + L"\\zortray.exe");
  ASSERT_TRUE(program.Started());
  const std::wstring desktop = L"C:\\users\\Public\\Desktop";
  CreateDirectoryW(desktop.c_str(), nullptr);
  test::WriteTextFile(desktop + L"\\ZOR Security 10.lnk", "shortcut");
  test::WriteTextFile(desktop + L"\\Other Vendor.lnk", "shortcut");
  const std::wstring run = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
  ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, run, L"ZorTray", zorDir + L"\\zortray.exe", KEY_WOW64_64KEY));
  ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, run, L"OtherTray", L"other.exe", KEY_WOW64_64KEY));
  ASSERT_TRUE(test::MakeKey(HKEY_CURRENT_USER, L"Software\\ZorLabs", KEY_WOW64_32KEY));
  ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
                                L"AppInit_DLLs", L"other.dll, C:\\PROGRA~1\\ZOR\\ZOR10\\ZORRSSTA.DLL"));
  const std::wstring session = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
  const std::wstring boot = L"autocheck autochk *\0zorboot C:\\Program Files\\ZOR\\ZOR10\\zorboot.exe\0\0"s;
  ASSERT_TRUE(test::WriteValue(HKEY_LOCAL_MACHINE, session, L"BootExecute", REG_MULTI_SZ, boot.data(),
                               static_cast<DWORD>(boot.size() * sizeof(wchar_t))));

  Verified verified;
  RunParameters& parameters = verified.context.parameters;
  parameters.ZorDir = zorDir;
  parameters.CommonDesktopDir = desktop;
  parameters.Is64BitSystem = true;
  const Snapshot before = MachineSnapshot();
  const VerificationResult result = VerifyRemoval(verified.context);
  const Snapshot after = MachineSnapshot();
  const Lines lines = verified.log.TakeLines();
  const auto has = [&](const std::string& line) {
    EXPECT_TRUE(test::HasLine(lines, line)) << line << "\n" << test::Joined(lines);
  };
  const std::string folder = test::Narrow(zorDir);
  has("WARN Still present: file " + folder + "\\zorcore.dll");
  has("WARN Still present: file " + folder + "\\zortray.exe");
  has("WARN Still present: folder " + folder);
  has("WARN Still present: folder C:\\Program Files\\ZOR");
  has("WARN Still present: file " + folder + "\\bin\\zorhold.bin (deletion planned at restart)");
  has("WARN Still present: file " + test::Narrow(desktop) + "\\ZOR Security 10.lnk");
  has("WARN Still present: process " + folder + "\\zortray.exe");
  has("WARN Still present: value HKLM\\" + test::Narrow(run) + " : ZorTray (x64)");
  has("WARN Still present: key HKCU\\Software\\ZorLabs (x86)");
  has("WARN Still present: AppInit_DLLs entry HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows : "
      "AppInit_DLLs : C:\\PROGRA~1\\ZOR\\ZOR10\\ZORRSSTA.DLL (x64)");
  has("WARN Still present: BootExecute entry HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager : "
      "BootExecute : zorboot c:\\program files\\zor\\zor10\\zorboot.exe (x64)");
  // Nothing of the other vendor's is taken for the product's.
  for (const std::string& line : lines) {
    EXPECT_EQ(line.find("Other"), std::string::npos) << line;
    EXPECT_EQ(line.find("other"), std::string::npos) << line;
  }
  EXPECT_EQ(lines.back(), "INFO Verification: " + std::to_string(result.remaining.size()) +
                              " item(s) of ZOR remain, 1 of them planned for removal at restart");
  // The pass only read: the machine is as it was, and the program runs.
  EXPECT_EQ(Differences(before, after), std::vector<std::string>{});
  EXPECT_GT(before.size(), 1000u);
  EXPECT_TRUE(program.Running());
}

}  // namespace
}  // namespace zor
