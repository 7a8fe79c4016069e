// The verification pass with the product's engines, on a fresh prefix: it
// finds nothing on a clean machine and finds a planted leftover of each
// kind an engine knows. Each test runs in a prefix of its own.
#include "app/verification.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/run_context.h"
#include "engines/stage_engines.h"
#include "tests/engines/engine_log.h"
#include "tests/platform/file_test_support.h"
#include "tests/platform/registry_test_support.h"
#include "tests/support/line_checks.h"
#include "tests/support/narrow_text.h"
#include "tests/support/test_packages.h"
#include "tests/support/test_service_host.h"

namespace zor {
namespace {

using Lines = std::vector<std::string>;

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
  EXPECT_EQ(result.remaining.size(), 7u) << test::Joined(lines);
  EXPECT_EQ(result.planned, 1u);
  EXPECT_EQ(lines.back(), "INFO Verification: 7 item(s) of ZOR remain, 1 of them planned for removal at restart");
  // Read only: everything planted is still there.
  EXPECT_TRUE(service.Exists());
  EXPECT_TRUE(test::PathExists(driver));
  EXPECT_TRUE(test::PathExists(inf));
  EXPECT_TRUE(test::KeyPresent(HKEY_LOCAL_MACHINE, L"Software\\ZOR\\Zor10\\FwSetup"));
}

}  // namespace
}  // namespace zor
