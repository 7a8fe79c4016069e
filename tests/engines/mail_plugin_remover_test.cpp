// The plug-in stage on real keys, a real service under the information
// store's name, and a stand-in powershell.exe on the path that records how
// it was called. Each test runs in a prefix of its own: the stage works on
// fixed names of other vendors' software.
#include "engines/mail_plugin_remover.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "engines/mail_plugin_names.h"
#include "foundation/status_codes.h"
#include "tests/engines/engine_under_test.h"
#include "tests/platform/file_test_support.h"
#include "tests/platform/registry_test_support.h"
#include "tests/support/child_process.h"
#include "tests/support/line_checks.h"
#include "tests/support/narrow_text.h"
#include "tests/support/recorded_commands.h"
#include "tests/support/test_service_host.h"

namespace zor {
namespace {

using Lines = std::vector<std::string>;
using test::HasLine;
using test::KeyPresent;
using test::MakeKey;
using test::Narrow;
using test::RecordedCommands;
using test::WriteString;
using Stage = test::EngineUnderTest<MailPluginRemover>;

constexpr REGSAM k32 = KEY_WOW64_32KEY;
constexpr REGSAM k64 = KEY_WOW64_64KEY;
const std::wstring kAddins = L"Software\\Microsoft\\Office\\Outlook\\Addins\\";
const std::wstring kClasses = L"Software\\Classes\\";
const std::wstring kScanner = L"Software\\Microsoft\\Shared Tools\\Web Server Extensions\\AVScanner";
const std::wstring kVirusScan = L"SYSTEM\\CurrentControlSet\\Services\\MSExchangeIS\\VirusScan";
const std::wstring kVirusScan001 = L"SYSTEM\\ControlSet001\\Services\\MSExchangeIS\\VirusScan";
const std::wstring kOtherClass = L"{0B8E5F3A-7C2D-4A91-B6E4-D3F2A1C09E58}";
const std::string kFileId = "09EADD8D-CCD2-4426-A386-7A3B23465422";

std::wstring ClassKey(std::wstring_view clsid) { return kClasses + L"CLSID\\" + std::wstring(clsid); }

Lines WithPrefix(const Lines& lines, const std::string& prefix) {
  Lines found;
  for (const std::string& line : lines)
    if (line.rfind(prefix, 0) == 0) found.push_back(line);
  return found;
}

TEST(OutlookAddin, GoesFromBothViewsAndBothClassRootsWhileAnotherVendorsStays) {
  for (REGSAM view : {k32, k64}) {
    ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, kAddins + L"zoroutlook.Addin", L"FriendlyName", L"ZOR Outlook", view));
    ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, kAddins + L"Other.Addin", L"FriendlyName", L"Other", view));
  }
  // The machine's registration in both views, the user's in his own
  // classes; another vendor's add-in beside them.
  const std::vector<std::pair<HKEY, std::wstring>> ours = {
      {HKEY_LOCAL_MACHINE, kClasses + L"zoroutlook.Addin"},
      {HKEY_LOCAL_MACHINE, kClasses + L"zoroutlook.Addin.1"},
      {HKEY_LOCAL_MACHINE, ClassKey(kOutlookAddinClasses[0])},
      {HKEY_LOCAL_MACHINE, ClassKey(kOutlookAddinClasses[1])},
      {HKEY_LOCAL_MACHINE, kClasses + L"AppID\\zoroutlook.DLL"},
      {HKEY_CURRENT_USER, kClasses + L"zoroutlook.Addin"},
      {HKEY_CURRENT_USER, ClassKey(kOutlookAddinClasses[0])},
  };
  for (const auto& [root, path] : ours) ASSERT_TRUE(MakeKey(root, path + L"\\Sub"));
  ASSERT_TRUE(MakeKey(HKEY_LOCAL_MACHINE, ClassKey(kOutlookAddinClasses[0]) + L"\\InprocServer32", k32));
  ASSERT_TRUE(MakeKey(HKEY_LOCAL_MACHINE, ClassKey(kOutlookAddinClasses[1]), k32));
  ASSERT_TRUE(MakeKey(HKEY_LOCAL_MACHINE, kClasses + L"Other.Addin\\CLSID"));
  ASSERT_TRUE(MakeKey(HKEY_LOCAL_MACHINE, ClassKey(kOtherClass) + L"\\InprocServer32", k32));
  ASSERT_TRUE(MakeKey(HKEY_CURRENT_USER, ClassKey(kOtherClass)));

  Stage stage;
  stage.remover.RemoveOutlookAddin();

  for (REGSAM view : {k32, k64}) {
    EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, kAddins + L"zoroutlook.Addin", view));
    EXPECT_TRUE(KeyPresent(HKEY_LOCAL_MACHINE, kAddins + L"Other.Addin", view));
  }
  for (const auto& [root, path] : ours) EXPECT_FALSE(KeyPresent(root, path)) << Narrow(path);
  EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, ClassKey(kOutlookAddinClasses[0]), k32));
  EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, ClassKey(kOutlookAddinClasses[1]), k32));
  EXPECT_TRUE(KeyPresent(HKEY_LOCAL_MACHINE, kClasses + L"Other.Addin\\CLSID"));
  EXPECT_TRUE(KeyPresent(HKEY_LOCAL_MACHINE, ClassKey(kOtherClass) + L"\\InprocServer32", k32));
  EXPECT_TRUE(KeyPresent(HKEY_CURRENT_USER, ClassKey(kOtherClass)));

  const Lines lines = stage.log.TakeLines();
  EXPECT_EQ(WithPrefix(lines, "INFO "), (Lines{"INFO Removing ZorOutlook addin",
                                               "INFO  ZorOutlook addin key 'zoroutlook.Addin' found at x86, remove it",
                                               "INFO  ZorOutlook Removing HKCR addin keys x86",
                                               "INFO  ZorOutlook addin key 'zoroutlook.Addin' found at x64, remove it",
                                               "INFO  ZorOutlook Removing HKCR addin keys x64"}));
  // What the second pass no longer finds is said at DEBUG level, by name.
  for (const std::string& line : WithPrefix(lines, "DEBUG ")) {
    EXPECT_TRUE(std::regex_match(line, std::regex("DEBUG   Failed to delete key '[^']+': 0x[0-9a-f]{8}"))) << line;
  }
  EXPECT_EQ(stage.log.FileIds(), std::set<std::string>{kFileId});
}

TEST(OutlookAddin, NothingToRemoveStillSucceedsAndSaysSo) {
  Stage stage;
  stage.remover.RemoveOutlookAddin();
  const Lines lines = stage.log.TakeLines();
  SCOPED_TRACE(test::Joined(lines));
  EXPECT_EQ(WithPrefix(lines, "INFO "), (Lines{"INFO Removing ZorOutlook addin",
                                               "INFO  ZorOutlook Removing HKCR addin keys x86",
                                               "INFO  ZorOutlook Removing HKCR addin keys x64"}));
  EXPECT_TRUE(HasLine(lines, "DEBUG   Failed to delete key 'AppID\\zoroutlook.DLL': 0xe001003d"));
}

struct ScannerCase {
  const char* name;
  std::wstring value;
  bool deleted;
};

// The stage goes on to the information store, which a fresh prefix does
// not have: the server step fails with the service's absence every time.
TEST(SharePointScanner, OnlyOurClassGoesInAnyLetterCase) {
  const ScannerCase cases[] = {
      {"newer class in lower case", L"{91e4c7b2-3a05-4f6d-b8e9-2c7d10a5f463}", true},
      {"older class as registered", std::wstring(kSharePointScannerClasses[1]), true},
      {"another vendor's scanner", kOtherClass, false},
  };
  for (const ScannerCase& scanner : cases) {
    SCOPED_TRACE(scanner.name);
    ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, kScanner, L"CLSID", scanner.value, k64));
    ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, kScanner, L"Engine", L"kept", k64));
    for (std::wstring_view clsid : kSharePointScannerClasses) ASSERT_TRUE(MakeKey(HKEY_LOCAL_MACHINE, ClassKey(clsid)));

    Stage stage;
    const StatusRecord result = stage.remover.RemoveServerPlugins();
    EXPECT_EQ(result.Code(), status::ServiceDoesNotExist);

    DWORD type = 0;
    std::vector<std::uint8_t> data;
    EXPECT_NE(test::ReadValue(HKEY_LOCAL_MACHINE, kScanner, L"CLSID", type, data, k64), scanner.deleted);
    EXPECT_EQ(test::ReadString(HKEY_LOCAL_MACHINE, kScanner, L"Engine", k64), L"kept");
    for (std::wstring_view clsid : kSharePointScannerClasses) EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, ClassKey(clsid)));
    const Lines lines = stage.log.TakeLines();
    SCOPED_TRACE(test::Joined(lines));
    EXPECT_TRUE(HasLine(lines, "INFO Removing Sharepoint plugin if exists"));
    EXPECT_TRUE(HasLine(lines, "DEBUG  Found CLSID value '" + Narrow(scanner.value) + "'"));
    EXPECT_EQ(HasLine(lines, "DEBUG  Deleting CLSID value '" + Narrow(scanner.value) + "'"), scanner.deleted);
    // Windows spells the machine's root in capitals, Wine not.
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
      return test::SameName(test::Widen(line), L"DEBUG  Key '\\REGISTRY\\MACHINE\\Software\\Microsoft\\Shared Tools"
                                                L"\\Web Server Extensions\\AVScanner' opened");
    }));
    test::RemoveTree(HKEY_LOCAL_MACHINE, kScanner, k64);
  }
}

TEST(SharePointScanner, AKeyThatIsNotThereIsSaidAtDebugLevel) {
  Stage stage;
  stage.remover.RemoveServerPlugins();
  const Lines opened = WithPrefix(stage.log.TakeLines(), "DEBUG  Failed to open key");
  EXPECT_EQ(opened, Lines(2, "DEBUG  Failed to open key 'Software\\Microsoft\\Shared Tools\\Web Server "
                             "Extensions\\AVScanner': 0xe0010013"));
}

// A workstation: Outlook, no Exchange. The information store's virus-scan
// key (left by an uninstalled Exchange) stays, and no Exchange is looked for
// even where a setup key says one is there.
TEST(InformationStore, WithoutTheServiceTheStageEndsBeforeExchangeIsLookedFor) {
  ASSERT_TRUE(MakeKey(HKEY_LOCAL_MACHINE, kVirusScan));
  ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\ExchangeServer\\v14\\Setup", L"MSiInstallPath",
                          L"C:\\Exchange\\", k64));
  RecordedCommands recorded;
  Stage stage;
  const StatusRecord result = stage.remover.RemoveMailPlugins();

  EXPECT_EQ(static_cast<std::uint32_t>(result.Code()), 0xC0070424u);
  EXPECT_TRUE(KeyPresent(HKEY_LOCAL_MACHINE, kVirusScan));
  EXPECT_EQ(stage.context.parameters.RestartCounter, 0);
  EXPECT_TRUE(RecordedCommands::commands.empty());
  const Lines lines = stage.log.TakeLines();
  EXPECT_TRUE(HasLine(lines, "DEBUG Stopping service 'MSExchangeIS' to remove VSAPI plugin..."));
  EXPECT_TRUE(HasLine(lines, "DEBUG Service MSExchangeIS Stop failed (error: c0070424)"));
  EXPECT_EQ(lines.back(), "DEBUG Service MSExchangeIS Stop failed (error: c0070424)");
}

TEST(InformationStore, IsStoppedForARestartAndLosesItsVirusScanKeys) {
  test::TestService store(test::TestService::Named{L"MSExchangeIS"}, L"--stop=accept");
  ASSERT_TRUE(store.Made());
  ASSERT_TRUE(store.Run());
  ASSERT_TRUE(MakeKey(HKEY_LOCAL_MACHINE, kVirusScan + L"\\Settings"));
  ASSERT_TRUE(MakeKey(HKEY_LOCAL_MACHINE, kVirusScan001));
  ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\MSExchangeIS\\ParametersSystem",
                          L"Kept", L"yes"));

  Stage stage;
  stage.context.parameters.RestartCounter = 2;
  const StatusRecord result = stage.remover.RemoveMailPlugins();

  EXPECT_TRUE(result.Empty()) << std::hex << result.Code();
  EXPECT_EQ(store.Status().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(stage.context.parameters.RestartCounter, 3);
  EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, kVirusScan));
  EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, kVirusScan001));
  EXPECT_EQ(test::ReadString(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\MSExchangeIS\\ParametersSystem",
                             L"Kept"),
            L"yes");
  EXPECT_TRUE(store.Exists());
  const Lines lines = stage.log.TakeLines();
  EXPECT_TRUE(HasLine(lines, "INFO Removing VSAPI plugin for Exchange if exists"));
  EXPECT_EQ(lines.back(), "INFO Exchange 2007/2010 not instaled on this machine");
}

}  // namespace
}  // namespace zor
