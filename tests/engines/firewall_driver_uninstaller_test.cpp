// The firewall network driver stage on real INF files in the Windows INF
// folder, real policy values, driver files, keys and root-enumerated
// devices; phase 1 on a fake network configuration (see
// fake_network_configuration.h) and once on Wine's own. Each test runs in a
// prefix of its own: the stage works on machine-wide names.
#include "engines/firewall_driver_uninstaller.h"

#include <windows.h>
#include <setupapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engines/firewall_names.h"
#include "platform/win32_api.h"
#include "tests/engines/engine_under_test.h"
#include "tests/engines/fake_network_configuration.h"
#include "tests/platform/file_test_support.h"
#include "tests/platform/registry_test_support.h"
#include "tests/support/line_checks.h"
#include "tests/support/narrow_text.h"
#include "tests/support/table_swap.h"

namespace zor {
namespace {

using Lines = std::vector<std::string>;
using Calls = std::vector<std::string>;
using test::HasLine;
using test::Narrow;
using test::NetworkAnswers;
using Stage = test::EngineUnderTest<FirewallDriverUninstaller>;

const std::wstring kProgramFolder = L"C:\\Program Files (x86)\\ZOR\\ZOR10";
const std::wstring kSetupKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";
const std::string kOurInf = "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=NetService\r\n"
                            "CatalogFile=zorfwfd6.cat\r\nDriverVer=03/14/2012,10.0.2210.0\r\n\r\n"
                            "[Manufacturer]\r\n%ZOR%=ZOR,NTamd64\r\n\r\n[SourceDisksFiles]\r\nzorfwdim.sys=1\r\n";

std::wstring WindowsFolder() {
  wchar_t folder[MAX_PATH] = {};
  GetWindowsDirectoryW(folder, MAX_PATH);
  return folder;
}

std::wstring InfFolder() { return WindowsFolder() + L"\\inf"; }

std::wstring SystemFolder() {
  wchar_t folder[MAX_PATH] = {};
  GetSystemDirectoryW(folder, MAX_PATH);
  return folder;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) { test::WriteTextFile(path, bytes); }

// The text as UTF-16 little-endian with its byte-order mark.
std::string Utf16(const std::string& text) {
  std::string bytes = "\xFF\xFE";
  for (char c : text) {
    bytes += c;
    bytes += '\0';
  }
  return bytes;
}

std::unique_ptr<test::FakeNetworkConfiguration> Fake(NetworkAnswers answers, Calls& calls) {
  return std::make_unique<test::FakeNetworkConfiguration>(std::move(answers), calls);
}

Lines Messages(Stage& stage) { return stage.log.TakeLines(); }

// ---------------------------------------------------------------------------
// Phase 1's decisions.

struct FilterCase {
  const char* name;
  NetworkAnswers answers;
  std::uint32_t outcome;
  bool restart;
  const char* owner;
  Calls calls;
};

Calls Opening() { return {"InitializeCom", "Create", "AcquireWriteLock 5000 ZorFwSetup", "Initialize"}; }
Calls Closing() { return {"Uninitialize", "ReleaseWriteLock", "Release", "UninitializeCom"}; }
Calls Joined(std::initializer_list<Calls> parts) {
  Calls all;
  for (const Calls& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}
NetworkAnswers With(void (*change)(NetworkAnswers&)) {
  NetworkAnswers answers;
  change(answers);
  return answers;
}

TEST(FilterComponent, EachAnswerOfTheConfigurationHasItsOutcomeAndNoLockOutlivesTheCall) {
  const Calls found = {"FindComponent gr_zorfwfd", "OpenComponentClass"};
  const FilterCase cases[] = {
      {"removed", {}, 0, false, "Unknown application",
       Joined({Opening(), found, {"DeInstallComponent", "Apply"}, Closing()})},
      {"the removal asks for a restart", With([](NetworkAnswers& a) { a.deInstall = kNetCfgReboot; }), 0, true,
       "Unknown application", Joined({Opening(), found, {"DeInstallComponent", "Apply"}, Closing()})},
      {"applying asks for a restart", With([](NetworkAnswers& a) { a.apply = kNetCfgReboot; }), 0, true,
       "Unknown application", Joined({Opening(), found, {"DeInstallComponent", "Apply"}, Closing()})},
      {"Windows needs a restart first", With([](NetworkAnswers& a) { a.deInstall = kNetCfgNeedReboot; }),
       0xE0010054, false, "Unknown application", Joined({Opening(), found, {"DeInstallComponent"}, Closing()})},
      {"the removal fails", With([](NetworkAnswers& a) { a.deInstall = E_FAIL; }), 0xE0010057, false,
       "Unknown application", Joined({Opening(), found, {"DeInstallComponent"}, Closing()})},
      {"applying fails", With([](NetworkAnswers& a) { a.apply = E_FAIL; }), 0xE0010057, false, "Unknown application",
       Joined({Opening(), found, {"DeInstallComponent", "Apply"}, Closing()})},
      {"the component is not installed", With([](NetworkAnswers& a) { a.findComponent = kComFalse; }), 0xE001004C,
       false, "Unknown application", Joined({Opening(), {"FindComponent gr_zorfwfd"}, Closing()})},
      {"its class cannot be reached", With([](NetworkAnswers& a) { a.openComponentClass = E_NOINTERFACE; }),
       0xE0010013, false, "Unknown application", Joined({Opening(), found, Closing()})},
      {"another client holds the lock",
       With([](NetworkAnswers& a) {
         a.acquireWriteLock = kComFalse;
         a.holder = L"Network Connections";
       }),
       0xE0010058, false, "Network Connections",
       {"InitializeCom", "Create", "AcquireWriteLock 5000 ZorFwSetup", "Release", "UninitializeCom"}},
      {"the lock is refused without a name", With([](NetworkAnswers& a) { a.acquireWriteLock = kComFalse; }),
       0xE0010058, false, "Unknown application",
       {"InitializeCom", "Create", "AcquireWriteLock 5000 ZorFwSetup", "Release", "UninitializeCom"}},
      {"the lock call fails otherwise", With([](NetworkAnswers& a) { a.acquireWriteLock = E_ACCESSDENIED; }),
       0xE001003E, false, "Unknown application",
       {"InitializeCom", "Create", "AcquireWriteLock 5000 ZorFwSetup", "Release", "UninitializeCom"}},
      {"no configuration object", With([](NetworkAnswers& a) { a.create = REGDB_E_CLASSNOTREG; }), 0xE001003E, false,
       "Unknown application", {"InitializeCom", "Create", "Release", "UninitializeCom"}},
      {"the configuration does not initialise", With([](NetworkAnswers& a) { a.initialize = E_FAIL; }), 0xE001003E,
       false, "Unknown application",
       {"InitializeCom", "Create", "AcquireWriteLock 5000 ZorFwSetup", "Initialize", "ReleaseWriteLock", "Release",
        "UninitializeCom"}},
      {"COM was initialised before", With([](NetworkAnswers& a) { a.initializeCom = kComFalse; }), 0, false,
       "Unknown application",
       Joined({Opening(), found, {"DeInstallComponent", "Apply", "Uninitialize", "ReleaseWriteLock", "Release"}})},
      {"uninitialising fails: the lock still goes", With([](NetworkAnswers& a) { a.uninitialize = E_FAIL; }), 0,
       false, "Unknown application", Joined({Opening(), found, {"DeInstallComponent", "Apply"}, Closing()})},
  };
  for (const FilterCase& row : cases) {
    SCOPED_TRACE(row.name);
    Calls calls;
    Stage stage;
    stage.remover.UseNetworkConfiguration(Fake(row.answers, calls));
    bool restart = false;
    std::wstring owner = L"Unknown application";
    const StatusCode outcome = stage.remover.UninstallFilterComponent(restart, owner);
    EXPECT_EQ(static_cast<std::uint32_t>(outcome), row.outcome);
    EXPECT_EQ(restart, row.restart);
    EXPECT_EQ(Narrow(owner), row.owner);
    EXPECT_EQ(calls, row.calls);
  }
}

// SetupAPI's verbosity is raised while the component goes and is the same
// afterwards, also when it was never set.
TEST(FilterComponent, TheSetupLogLevelIsRaisedForTheRemovalAndPutBack) {
  struct LevelCase {
    const char* name;
    bool present;
  };
  for (const LevelCase& row : {LevelCase{"set before", true}, LevelCase{"absent before", false}}) {
    SCOPED_TRACE(row.name);
    test::RemoveTree(HKEY_LOCAL_MACHINE, kSetupKey + L"\\ZorTestOnly");
    const DWORD before = 0x20000020;
    if (row.present) {
      ASSERT_TRUE(test::WriteValue(HKEY_LOCAL_MACHINE, kSetupKey, L"LogLevel", REG_DWORD, &before, sizeof before));
    } else {
      HKEY key = nullptr;
      if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSetupKey.c_str(), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueW(key, L"LogLevel");
        RegCloseKey(key);
      }
    }
    Calls calls;
    Stage stage;
    auto fake = Fake({}, calls);
    DWORD type = 0;
    std::vector<std::uint8_t> during;
    bool readDuring = false;
    fake->duringDeInstall = [&] {
      readDuring = test::ReadValue(HKEY_LOCAL_MACHINE, kSetupKey, L"LogLevel", type, during);
    };
    stage.remover.UseNetworkConfiguration(std::move(fake));
    bool restart = false;
    std::wstring owner;
    stage.remover.UninstallFilterComponent(restart, owner);

    std::vector<std::uint8_t> after;
    const bool readAfter = test::ReadValue(HKEY_LOCAL_MACHINE, kSetupKey, L"LogLevel", type, after);
    EXPECT_EQ(readAfter, row.present);
    EXPECT_EQ(readDuring, row.present);
    if (row.present) {
      ASSERT_EQ(during.size(), 4u);
      ASSERT_EQ(after.size(), 4u);
      EXPECT_EQ(*reinterpret_cast<const DWORD*>(during.data()), 0xFFFFu);
      EXPECT_EQ(*reinterpret_cast<const DWORD*>(after.data()), before);
    }
  }
}

// ---------------------------------------------------------------------------
// The passes: which phases run for which step, and what they leave.

class FirewallPasses : public testing::Test {
 protected:
  void SetUp() override { WriteBytes(InfFolder() + L"\\oem41.inf", kOurInf); }
  void TearDown() override {
    DeleteFileW((InfFolder() + L"\\oem41.inf").c_str());
  }
};

struct PassCase {
  const char* name;
  std::int32_t step;
  NetworkAnswers answers;
  std::int32_t stepAfter;
  std::int32_t restarts;
  Lines lines;  // the stage's lines after "FW removing policy", severities included
};

TEST_F(FirewallPasses, EachStepRunsItsPhasesAndCarriesTheNextStep) {
  const std::string phase2 = "DEBUG FW NDIS driver uninstallation Phase 2";
  const std::string phase3 = "DEBUG FW NDIS driver uninstallation Phase 3";
  const std::string finished = "INFO FW NDIS driver uninstallation finished";
  const std::string legacy = "DEBUG RemoveZORLegacyRegistryKeys failed or keys missing (error e001003d)";
  const PassCase cases[] = {
      {"phase 1 removes the component", 1, {}, 5, 0,
       {"DEBUG FW NDIS driver uninstallation Phase 1", phase2, phase3, legacy, finished}},
      {"another client holds the lock",
       1,
       With([](NetworkAnswers& a) {
         a.acquireWriteLock = kComFalse;
         a.holder = L"Network Connections";
       }),
       2,
       1,
       {"DEBUG FW NDIS driver uninstallation Phase 1",
        "DEBUG FW NDIS Uninstallation failed, interface is locked by another application (Network Connections)",
        "DEBUG FW NDIS Uninstallation (phase 1) failed, restart required before next attempt (e0010058)"}},
      {"the third attempt meets the lock too",
       3,
       With([](NetworkAnswers& a) { a.acquireWriteLock = kComFalse; }),
       4,
       1,
       {"DEBUG FW NDIS driver uninstallation Phase 1",
        "DEBUG FW NDIS Uninstallation failed, interface is locked by another application (Unknown application)",
        "DEBUG FW NDIS Uninstallation (phase 1) failed, restart required before next attempt (e0010058)"}},
      {"Windows needs a restart first",
       2,
       With([](NetworkAnswers& a) { a.deInstall = kNetCfgNeedReboot; }),
       3,
       1,
       {"DEBUG FW NDIS driver uninstallation Phase 1",
        "DEBUG FW NDIS Uninstallation (phase 1) failed, restart required before next attempt (e0010054)"}},
      {"the removal asks for a restart",
       1,
       With([](NetworkAnswers& a) { a.deInstall = kNetCfgReboot; }),
       5,
       1,
       {"DEBUG FW NDIS driver uninstallation Phase 1", "DEBUG FW NDIS Uninstallation (phase 1) requires restart",
        phase2, phase3, legacy, finished}},
      {"a failure that needs no restart is passed over",
       1,
       With([](NetworkAnswers& a) { a.findComponent = kComFalse; }),
       5,
       0,
       {"DEBUG FW NDIS driver uninstallation Phase 1",
        "DEBUG FW NDIS Uninstallation failed but error is ignored (error: e001004c)", phase2, phase3, legacy,
        finished}},
  };
  for (const PassCase& row : cases) {
    SCOPED_TRACE(row.name);
    WriteBytes(InfFolder() + L"\\oem41.inf", kOurInf);
    Calls calls;
    Stage stage;
    stage.context.parameters.ZorDir = kProgramFolder;
    stage.context.parameters.NdisNextStep = row.step;
    stage.context.parameters.RestartCounter = 1;
    stage.remover.UseNetworkConfiguration(Fake(row.answers, calls));
    EXPECT_TRUE(stage.remover.UninstallFirewallDriver().Empty());
    EXPECT_EQ(stage.context.parameters.NdisNextStep, row.stepAfter);
    EXPECT_EQ(stage.context.parameters.RestartCounter, 1 + row.restarts);
    Lines lines = Messages(stage);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "INFO FW removing policy");
    lines.erase(lines.begin());
    EXPECT_EQ(lines, row.lines) << test::Joined(lines);
    // Phase 2 took the INF with it wherever it ran.
    EXPECT_EQ(test::PathExists(InfFolder() + L"\\oem41.inf"), row.stepAfter < 5);
  }
}

TEST_F(FirewallPasses, FromStepFourThereIsNoPresenceCheckAndAMissingInfDoesNotStopPhaseThree) {
  DeleteFileW((InfFolder() + L"\\oem41.inf").c_str());
  WriteBytes(SystemFolder() + L"\\zorfwd6.dll", "filter notify object");
  Calls calls;
  Stage stage;
  stage.context.parameters.NdisNextStep = 4;
  stage.remover.UseNetworkConfiguration(Fake({}, calls));
  stage.remover.UninstallFirewallDriver();
  EXPECT_EQ(stage.context.parameters.NdisNextStep, 5);
  EXPECT_TRUE(calls.empty());
  const Lines lines = Messages(stage);
  EXPECT_TRUE(HasLine(lines, "DEBUG UninstallOEMInfs failed (error e001003d)"));
  EXPECT_TRUE(HasLine(lines, "DEBUG FW NDIS driver uninstallation Phase 3"));
  EXPECT_FALSE(HasLine(lines, "INFO FW NDIS driver not present"));
  EXPECT_FALSE(test::PathExists(SystemFolder() + L"\\zorfwd6.dll"));
}

TEST_F(FirewallPasses, FromStepFiveOnlyPhaseThreeRunsAndTheStepStays) {
  Calls calls;
  Stage stage;
  stage.context.parameters.NdisNextStep = 5;
  stage.remover.UseNetworkConfiguration(Fake({}, calls));
  stage.remover.UninstallFirewallDriver();
  EXPECT_EQ(stage.context.parameters.NdisNextStep, 5);
  EXPECT_TRUE(calls.empty());
  const Lines lines = Messages(stage);
  EXPECT_FALSE(HasLine(lines, "DEBUG FW NDIS driver uninstallation Phase 2"));
  EXPECT_TRUE(HasLine(lines, "DEBUG FW NDIS driver uninstallation Phase 3"));
  EXPECT_TRUE(test::PathExists(InfFolder() + L"\\oem41.inf"));
}

// Nothing of the driver: step 10, and every later pass only looks at the
// firewall's list.
TEST(FirewallNotPresent, StepTenAndLaterPassesOnlyRemovePolicyValues) {
  Stage stage;
  stage.context.parameters.RestartCounter = 0;
  EXPECT_TRUE(stage.remover.UninstallFirewallDriver().Empty());
  EXPECT_EQ(stage.context.parameters.NdisNextStep, 10);
  EXPECT_EQ(stage.context.parameters.RestartCounter, 0);
  EXPECT_EQ(Messages(stage), (Lines{"INFO FW removing policy", "INFO FW NDIS driver not present"}));

  stage.remover.UninstallFirewallDriver();
  EXPECT_EQ(stage.context.parameters.NdisNextStep, 10);
  EXPECT_EQ(Messages(stage), (Lines{"INFO FW removing policy", "INFO FW NDIS driver uninstallation finished"}));
}

// Wine's own configuration object: it has no component of that name, which
// the stage passes over, and the log level is left as it was.
TEST(FirewallOnWindowsConfiguration, AMissingComponentIsPassedOverAndTheRemovalGoesOn) {
  WriteBytes(InfFolder() + L"\\oem42.inf", kOurInf);
  Stage stage;
  stage.remover.UninstallFirewallDriver();
  EXPECT_EQ(stage.context.parameters.NdisNextStep, 5);
  const Lines lines = Messages(stage);
  EXPECT_TRUE(HasLine(lines, "DEBUG FW NDIS driver uninstallation Phase 1")) << test::Joined(lines);
  // Wine's object finds no component of that name.
  EXPECT_TRUE(HasLine(lines, "DEBUG FW NDIS Uninstallation failed but error is ignored (error: e001004c)"))
      << test::Joined(lines);
  EXPECT_TRUE(HasLine(lines, "INFO FW NDIS driver uninstallation finished"));
  EXPECT_FALSE(test::PathExists(InfFolder() + L"\\oem42.inf"));
}

// ---------------------------------------------------------------------------
// The INF search.

TEST(FirewallInfs, OnlyTheCatalogsValueIsComparedWithoutRegardToCase) {
  struct InfCase {
    const wchar_t* name;
    std::string bytes;
    bool matches;
  };
  const InfCase cases[] = {
      {L"oem50.inf", kOurInf, true},
      {L"oem51.inf", "[Version]\r\nCatalogFile = ZORFWFD6.CAT ; signed by the maker\r\n", true},
      {L"oem52.inf", Utf16("[Version]\r\nCatalogFile=ZorFwFd6.cat\r\n"), true},
      {L"oem53.inf", "[Version]\nClass=Net\nCatalogFile=zorfwfd6.cat\n", true},
      {L"oem54.inf", "[version]\r\nCatalogFile=zorfwfd6.cat\r\n", false},
      {L"oem55.inf", "[Version]\r\ncatalogfile=zorfwfd6.cat\r\n", false},
      {L"oem56.inf", "[Version]\r\nCatalogFile=zorfwfd.cat\r\n", false},
      {L"oem57.inf", "[Version]\r\nCatalogFile=othernet.cat\r\n", false},
      {L"oem58.inf", "[Strings]\r\nCatalogFile=zorfwfd6.cat\r\n", false},
      {L"other59.inf", kOurInf, false},
  };
  for (const InfCase& row : cases) WriteBytes(InfFolder() + L"\\" + row.name, row.bytes);
  // A folder of a matching name is no INF and stops nothing.
  CreateDirectoryW((InfFolder() + L"\\oem60.inf").c_str(), nullptr);

  std::vector<std::wstring> found;
  EXPECT_EQ(FindFirewallInfs(found), 0);
  std::vector<std::wstring> expected;
  for (const InfCase& row : cases)
    if (row.matches) expected.push_back(InfFolder() + L"\\" + row.name);
  std::sort(found.begin(), found.end());
  std::vector<std::string> narrowFound;
  for (const std::wstring& path : found) narrowFound.push_back(Narrow(path));
  std::vector<std::string> narrowExpected;
  for (const std::wstring& path : expected) narrowExpected.push_back(Narrow(path));
  EXPECT_EQ(narrowFound, narrowExpected);
}

TEST(FirewallInfs, TheOemInfsGoWithTheirPrecompiledFilesAndOthersStay) {
  WriteBytes(InfFolder() + L"\\oem61.inf", kOurInf);
  WriteBytes(InfFolder() + L"\\oem61.pnf", "precompiled");
  WriteBytes(InfFolder() + L"\\oem62.inf", "[Version]\r\nCatalogFile=othernet.cat\r\n");
  WriteBytes(InfFolder() + L"\\oem62.pnf", "precompiled");
  Stage stage;
  bool restart = false;
  EXPECT_EQ(stage.remover.UninstallOEMInfs(restart), 0);
  EXPECT_FALSE(restart);
  EXPECT_FALSE(test::PathExists(InfFolder() + L"\\oem61.inf"));
  EXPECT_FALSE(test::PathExists(InfFolder() + L"\\oem61.pnf"));
  EXPECT_TRUE(test::PathExists(InfFolder() + L"\\oem62.inf"));
  EXPECT_TRUE(test::PathExists(InfFolder() + L"\\oem62.pnf"));
}

// SetupAPI refuses an INF that a device still uses unless forced; the
// forced removal finishes at the restart. Wine checks no use, so the
// refusal is the test's.
struct Refusals {
  static inline int forcedAnswer = TRUE;
  static inline std::vector<DWORD> flags;
  static BOOL WINAPI Uninstall(const wchar_t*, DWORD flag) {
    flags.push_back(flag);
    if (flag == 0) {
      SetLastError(ERROR_INF_IN_USE_BY_DEVICES);
      return FALSE;
    }
    if (!forcedAnswer) SetLastError(ERROR_ACCESS_DENIED);
    return forcedAnswer;
  }
};

TEST(FirewallInfs, AnInfRemovedOnlyByForceCountsOneRestartAndItsFilesGoEitherWay) {
  for (const BOOL forced : {TRUE, FALSE}) {
    SCOPED_TRACE(forced ? "the forced removal succeeds" : "the forced removal fails too");
    WriteBytes(InfFolder() + L"\\oem63.inf", kOurInf);
    WriteBytes(InfFolder() + L"\\oem63.pnf", "precompiled");
    Refusals::forcedAnswer = forced;
    Refusals::flags.clear();
    test::SwappedEntry swap{Win32Changes().UninstallOemInf, &Refusals::Uninstall};
    Stage stage;
    bool restart = false;
    EXPECT_EQ(stage.remover.UninstallOEMInfs(restart), 0);
    EXPECT_EQ(restart, forced == TRUE);
    EXPECT_EQ(Refusals::flags, (std::vector<DWORD>{0, SUOI_FORCEDELETE}));
    EXPECT_FALSE(test::PathExists(InfFolder() + L"\\oem63.inf"));
    EXPECT_FALSE(test::PathExists(InfFolder() + L"\\oem63.pnf"));
  }
}

// ---------------------------------------------------------------------------
// Phase 3 and the policy values.

TEST(FirewallPolicy, OurProgramsGoFromEveryControlSetInAnyLetterCaseAndOthersStay) {
  const std::wstring other = L"c:\\program files\\othernet\\othernet.exe";
  for (const std::wstring_view key : kFirewallPolicyKeys) {
    const std::wstring path(key);
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, path, kProgramFolder + L"\\ZorGui.exe",
                                  kProgramFolder + L"\\ZorGui.exe:*:Enabled:ZOR Security"));
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, path, L"c:\\program files (x86)\\zor\\zor10\\zorsvc.exe",
                                  L"enabled"));
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, path, other, other + L":*:Enabled:OtherNet"));
  }
  Stage stage;
  stage.context.parameters.ZorDir = kProgramFolder;
  EXPECT_EQ(stage.remover.RemoveFirewallPolicy(), 0);
  DWORD type = 0;
  std::vector<std::uint8_t> data;
  const Lines lines = Messages(stage);
  for (const std::wstring_view key : kFirewallPolicyKeys) {
    const std::wstring path(key);
    EXPECT_FALSE(test::ReadValue(HKEY_LOCAL_MACHINE, path, kProgramFolder + L"\\ZorGui.exe", type, data));
    EXPECT_FALSE(test::ReadValue(HKEY_LOCAL_MACHINE, path, L"c:\\program files (x86)\\zor\\zor10\\zorsvc.exe", type,
                                 data));
    EXPECT_TRUE(test::ReadValue(HKEY_LOCAL_MACHINE, path, other, type, data));
    EXPECT_TRUE(HasLine(lines, "INFO FW policy: deleting value '" + Narrow(path) +
                                   "\\c:\\program files (x86)\\zor\\zor10\\zorgui.exe'"));
  }
  EXPECT_EQ(stage.log.FileIds(), std::set<std::string>{"F0B83FAB-59FF-44eb-8905-B0D6EA595932"});
}

TEST(FirewallPhaseThree, OnlyTheDriversFilesGoAndTheLegacyKeyOnlyWhenEmpty) {
  const std::wstring drivers = SystemFolder() + L"\\drivers";
  const std::vector<std::wstring> ours = {SystemFolder() + L"\\zorfwd6.dll", SystemFolder() + L"\\zorfwd1.dll",
                                          drivers + L"\\zorfwdim.sys", drivers + L"\\zorfwd.sys"};
  const std::vector<std::wstring> others = {SystemFolder() + L"\\zorfwd12.dll", SystemFolder() + L"\\zorfwd6.sys",
                                            drivers + L"\\zorfwfd.sys", drivers + L"\\zorfwdim.dll",
                                            SystemFolder() + L"\\zorfwdx.txt"};
  for (const std::wstring& path : ours) WriteBytes(path, "ours");
  for (const std::wstring& path : others) WriteBytes(path, "not ours");
  const std::wstring legacy(kFirewallLegacySetupKey);
  ASSERT_TRUE(test::MakeKey(HKEY_LOCAL_MACHINE, legacy + L"\\Bindings"));

  Stage stage;
  EXPECT_EQ(stage.remover.RemoveZORDriverFiles(), 0);
  for (const std::wstring& path : ours) EXPECT_FALSE(test::PathExists(path)) << Narrow(path);
  for (const std::wstring& path : others) EXPECT_TRUE(test::PathExists(path)) << Narrow(path);

  // A subkey keeps the key.
  EXPECT_TRUE(IsFailure(stage.remover.RemoveZORLegacyRegistryKeys()));
  EXPECT_TRUE(test::KeyPresent(HKEY_LOCAL_MACHINE, legacy));
  test::RemoveTree(HKEY_LOCAL_MACHINE, legacy + L"\\Bindings");
  EXPECT_EQ(stage.remover.RemoveZORLegacyRegistryKeys(), 0);
  EXPECT_FALSE(test::KeyPresent(HKEY_LOCAL_MACHINE, legacy));
  EXPECT_TRUE(test::KeyPresent(HKEY_LOCAL_MACHINE, L"Software\\ZOR\\Zor10"));
  for (const std::wstring& path : others) DeleteFileW(path.c_str());
}

// ---------------------------------------------------------------------------
// Miniports: a root-enumerated device made through SetupAPI, as the
// product's INF makes it.

bool MakeRootDevice(const std::wstring& hardwareId) {
  static const GUID kNetClass = {0x4D36E972, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
  const HDEVINFO list = SetupDiCreateDeviceInfoList(&kNetClass, nullptr);
  if (list == INVALID_HANDLE_VALUE) return false;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  std::wstring ids = hardwareId + L'\0' + L'\0';
  const bool made =
      SetupDiCreateDeviceInfoW(list, L"NET", &kNetClass, nullptr, nullptr, DICD_GENERATE_ID, &device) &&
      SetupDiSetDeviceRegistryPropertyW(list, &device, SPDRP_HARDWAREID, reinterpret_cast<const BYTE*>(ids.data()),
                                        static_cast<DWORD>(ids.size() * sizeof(wchar_t))) &&
      SetupDiCallClassInstaller(DIF_REGISTERDEVICE, list, &device);
  SetupDiDestroyDeviceInfoList(list);
  return made;
}

// The first hardware id of each present root device.
std::vector<std::wstring> RootDevices() {
  std::vector<std::wstring> found;
  const HDEVINFO devices = SetupDiGetClassDevsW(nullptr, L"Root", nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
  if (devices == INVALID_HANDLE_VALUE) return found;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD i = 0; SetupDiEnumDeviceInfo(devices, i, &device); ++i) {
    wchar_t ids[1024] = {};
    if (SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_HARDWAREID, nullptr, reinterpret_cast<BYTE*>(ids),
                                          sizeof ids - 4, nullptr)) {
      found.emplace_back(ids);
    }
  }
  SetupDiDestroyDeviceInfoList(devices);
  return found;
}

TEST(FirewallMiniports, EveryDeviceOfTheMiniportsHardwareIdGoesAndOtherDevicesStay) {
  ASSERT_TRUE(MakeRootDevice(L"gr_zorfwmp")) << GetLastError();
  ASSERT_TRUE(MakeRootDevice(L"GR_ZORFWMP")) << GetLastError();
  ASSERT_TRUE(MakeRootDevice(L"othernet_mp")) << GetLastError();
  const std::vector<std::wstring> before = RootDevices();
  if (std::count(before.begin(), before.end(), L"gr_zorfwmp") == 0) {
    GTEST_SKIP() << "Wine lists no device made through SetupAPI as present (docs/wine.md)";
  }
  Stage stage;
  EXPECT_EQ(stage.remover.RemoveMiniports(), 0);
  const std::vector<std::wstring> after = RootDevices();
  for (const std::wstring& id : after) EXPECT_FALSE(test::SameName(id, L"gr_zorfwmp")) << Narrow(id);
  EXPECT_EQ(std::count(after.begin(), after.end(), L"othernet_mp"), 1);
}

}  // namespace
}  // namespace zor
