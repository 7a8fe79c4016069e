// The installer-data stage on packages installed by msiexec, with the
// cleaner the program carries as its resource. Each test runs in a prefix of
// its own: installing and removing packages is machine-wide.
#include "engines/installer_data_remover.h"
#include "engines/stage_files.h"

#include <windows.h>
#include <msi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/run_context.h"
#include "platform/win32_api.h"
#include "tests/engines/engine_under_test.h"
#include "tests/platform/file_test_support.h"
#include "tests/support/child_process.h"
#include "tests/support/narrow_text.h"
#include "tests/support/recorded_commands.h"
#include "tests/support/table_swap.h"
#include "tests/support/test_packages.h"

namespace zor {
namespace {

using Lines = std::vector<std::string>;
using test::Narrow;
using test::RecordedCommands;
using test::RelatedProduct;
using Stage = test::EngineUnderTest<InstallerDataRemover>;

const std::wstring kProduct = L"{3B9D2E41-6C7A-4F15-8E2B-9A0C4D6F1E73}";
const std::wstring kUpgrade = L"{6A3F2B1C-8D4E-4F7A-9B2C-1E5D7F3A9C40}";
const std::wstring kOther = L"{D2A6F184-3C5B-4E97-B0A1-7E8C9D2F4B65}";
const std::wstring kOtherUpgrade = L"{47B0E3C9-1A2D-4B6E-9F85-C3D7A1E0B928}";

std::wstring OwnFolder() {
  wchar_t own[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, own, MAX_PATH);
  const std::wstring path(own, length);
  return path.substr(0, path.rfind(L'\\'));
}

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

std::string ReadBytes(const std::wstring& path) {
  HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
  if (handle == INVALID_HANDLE_VALUE) return {};
  std::string bytes(GetFileSize(handle, nullptr), '\0');
  DWORD read = 0;
  ReadFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(handle);
  bytes.resize(read);
  return bytes;
}

TEST(InstallerDataStage, WithoutARelatedProductOneLineAndNoFile) {
  test::TestFolder temporary;
  SetEnvironmentVariableW(L"TMP", temporary.path().c_str());
  RecordedCommands recorded;
  Stage stage;
  EXPECT_TRUE(stage.remover.RemoveInstallerData().Empty());
  EXPECT_EQ(stage.log.TakeLines(), Lines{"DEBUG No product code found for our upgrade codes, nothing to do here"});
  EXPECT_TRUE(RecordedCommands::commands.empty());
  EXPECT_TRUE(FilesIn(temporary.path()).empty());
}

// A related product is wiped through the cleaner: two commands, echo then
// zap, the log beside the program, the temporary files gone; the other
// vendor's package is untouched.
TEST(InstallerDataStage, WipesTheRelatedProductThroughTheCarriedCleaner) {
  test::InstallPackage("other-vendor.msi");
  test::InstallPackage("zor-core.msi");
  ASSERT_EQ(RelatedProduct(kUpgrade), kProduct);
  const std::wstring log = OwnFolder() + L"\\zorremover_msilog.txt";
  DeleteFileW(log.c_str());
  test::TestFolder temporary;
  SetEnvironmentVariableW(L"TMP", temporary.path().c_str());

  RecordedCommands recorded;
  Stage stage;
  EXPECT_TRUE(stage.remover.RemoveInstallerData().Empty());
  EXPECT_EQ(stage.remover.ProductCodes(), std::vector<std::wstring>{kProduct});
  const Lines lines = stage.log.TakeLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "DEBUG Obtained product code GUID '" + Narrow(kProduct) + "' related to upgrade code '" +
                          Narrow(kUpgrade) + "'");
  EXPECT_EQ(lines[1], "DEBUG Extracting msizap.exe from .cab archive");
  EXPECT_EQ(lines[2].rfind("DEBUG Running msizap.bat: '", 0), 0u) << lines[2];
  ASSERT_EQ(RecordedCommands::commands.size(), 2u);
  EXPECT_EQ(RecordedCommands::commands[0].rfind(L"echo \"Running zap for product code " + kProduct + L":%date% %time%\" >>", 0),
            0u)
      << Narrow(RecordedCommands::commands[0]);
  EXPECT_NE(RecordedCommands::commands[1].find(L" " + kProduct + L" >>"), std::wstring::npos)
      << Narrow(RecordedCommands::commands[1]);

  EXPECT_EQ(RelatedProduct(kUpgrade), L"");
  EXPECT_EQ(MsiQueryProductStateW(kProduct.c_str()), INSTALLSTATE_UNKNOWN);
  EXPECT_EQ(RelatedProduct(kOtherUpgrade), kOther);
  EXPECT_EQ(MsiQueryProductStateW(kOther.c_str()), INSTALLSTATE_DEFAULT);
  EXPECT_TRUE(FilesIn(temporary.path()).empty()) << "the tool and the batch file are gone";
  const std::string written = ReadBytes(log);
  EXPECT_NE(written.find("Running zap for product code " + Narrow(kProduct)), std::string::npos) << written;
  EXPECT_NE(written.find("Removed key HKLM\\Software\\Classes\\Installer\\Products\\14E2D9B3A7C651F4E8B2A9C0D4F6E137"),
            std::string::npos)
      << written;

  // A second run finds nothing.
  {
    Stage again;
    EXPECT_TRUE(again.remover.RemoveInstallerData().Empty());
    EXPECT_EQ(again.log.TakeLines(), Lines{"DEBUG No product code found for our upgrade codes, nothing to do here"});
  }
  // A run after a reinstallation appends to the same log.
  test::InstallPackage("zor-core.msi");
  ASSERT_EQ(RelatedProduct(kUpgrade), kProduct) << "installed again";
  {
    Stage third;
    EXPECT_TRUE(third.remover.RemoveInstallerData().Empty());
    EXPECT_EQ(third.remover.ProductCodes(), std::vector<std::wstring>{kProduct});
  }
  const std::string appended = ReadBytes(log);
  const std::string echoed = "Running zap for product code " + Narrow(kProduct);
  EXPECT_NE(appended.find(echoed, appended.find(echoed) + 1), std::string::npos) << appended;
  EXPECT_EQ(RelatedProduct(kUpgrade), L"");
  DeleteFileW(log.c_str());
}

// Where the temporary files go: TMP, else TEMP, else USERPROFILE; with none
// the stage fails before any file is made.
TEST(InstallerDataStage, TakesTheTemporaryFolderFromTmpTempOrTheProfile) {
  test::InstallPackage("zor-core.msi");
  test::TestFolder folders;
  const std::wstring tmp = folders / L"tmp";
  const std::wstring temp = folders / L"temp";
  const std::wstring profile = folders / L"profile";
  for (const std::wstring& folder : {tmp, temp, profile}) CreateDirectoryW(folder.c_str(), nullptr);
  const struct {
    const wchar_t* tmp;
    const wchar_t* temp;
    const wchar_t* profile;
    const std::wstring* expected;  // null: no folder at all
  } rows[] = {
      {tmp.c_str(), temp.c_str(), profile.c_str(), &tmp},
      {nullptr, temp.c_str(), profile.c_str(), &temp},
      {nullptr, nullptr, profile.c_str(), &profile},
      {nullptr, nullptr, nullptr, nullptr},
  };
  // The commands are only recorded: the product stays installed for every row.
  static std::vector<std::wstring> commands;
  auto record = [](const wchar_t* command) -> int {
    commands.emplace_back(command);
    return 0;
  };
  test::SwappedEntry swapped(Win32Changes().RunCommandInterpreter, +record);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.expected ? Narrow(*row.expected) : "none");
    SetEnvironmentVariableW(L"TMP", row.tmp);
    SetEnvironmentVariableW(L"TEMP", row.temp);
    SetEnvironmentVariableW(L"USERPROFILE", row.profile);
    commands.clear();
    Stage stage;
    const StatusRecord result = stage.remover.RemoveInstallerData();
    if (row.expected == nullptr) {
      EXPECT_EQ(static_cast<std::uint32_t>(result.Code()), 0xE001003Eu);
      EXPECT_TRUE(commands.empty());
    } else {
      EXPECT_TRUE(result.Empty());
      ASSERT_EQ(commands.size(), 2u);
      // The zap command names the batch file and the tool in that folder
      // (the 8.3 form of it where it has one).
      std::wstring shortFolder(MAX_PATH, L'\0');
      shortFolder.resize(GetShortPathNameW(row.expected->c_str(), shortFolder.data(), MAX_PATH));
      EXPECT_NE(commands[1].find(L"\"" + shortFolder + L"\\zor-"), std::wstring::npos) << Narrow(commands[1]);
    }
    for (const std::wstring& folder : {tmp, temp, profile}) EXPECT_TRUE(FilesIn(folder).empty()) << Narrow(folder);
  }
  DeleteFileW((OwnFolder() + L"\\zorremover_msilog.txt").c_str());
}

// A failure of the installer's enumeration for a later upgrade code ends
// the stage before any command, whatever the earlier codes found.
TEST(InstallerDataStage, AFailedEnumerationEndsTheStageBeforeAnyCommand) {
  test::InstallPackage("zor-core.msi");
  static decltype(Win32().MsiEnumRelatedProductsW) original = nullptr;
  original = Win32().MsiEnumRelatedProductsW;
  auto failSecond = [](LPCWSTR upgrade, DWORD reserved, DWORD index, LPWSTR product) -> UINT {
    if (std::wstring(upgrade) == L"{c4e18a27-3b9f-4d62-a85e-0f7b2d9c6e13}") return ERROR_ACCESS_DENIED;
    return original(upgrade, reserved, index, product);
  };
  test::SwappedEntry swapped(Win32().MsiEnumRelatedProductsW, +failSecond);
  RecordedCommands recorded;
  Stage stage;
  EXPECT_EQ(stage.remover.RemoveInstallerData().Code(), StatusFromLastError(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(RecordedCommands::commands.empty());
  EXPECT_EQ(RelatedProduct(kUpgrade), kProduct);
}

// Two related products under one upgrade code and one under another (as
// the installer's enumeration reports them, through the table): six
// commands, echo and zap for each product in order, written with every path
// quoted and shortened.
TEST(InstallerDataStage, RunsEchoThenZapForEachProductInOrder) {
  test::TestFolder temporary;
  SetEnvironmentVariableW(L"TMP", temporary.path().c_str());
  auto related = [](LPCWSTR upgrade, DWORD, DWORD index, LPWSTR product) -> UINT {
    const std::wstring code = upgrade;
    const wchar_t* found = nullptr;
    if (code == L"{6A3F2B1C-8D4E-4F7A-9B2C-1E5D7F3A9C40}" && index < 2) {
      found = index == 0 ? L"{11111111-2222-4333-8444-555555555555}" : L"{66666666-7777-4888-9999-AAAAAAAAAAAA}";
    } else if (code == L"{9E2D5C1A-7F4B-4A38-B6E1-3C8F0D2A7B95}" && index == 0) {
      found = L"{BBBBBBBB-CCCC-4DDD-8EEE-FFFFFFFFFFFF}";
    }
    if (found == nullptr) return ERROR_NO_MORE_ITEMS;
    wcscpy(product, found);
    return ERROR_SUCCESS;
  };
  static std::vector<std::wstring> commands;
  commands.clear();
  auto record = [](const wchar_t* command) -> int {
    commands.emplace_back(command);
    return 0;
  };
  test::SwappedEntry enumerated(Win32().MsiEnumRelatedProductsW, +related);
  test::SwappedEntry recorded(Win32Changes().RunCommandInterpreter, +record);
  Stage stage;
  EXPECT_TRUE(stage.remover.RemoveInstallerData().Empty());
  const std::vector<std::wstring> products = {L"{11111111-2222-4333-8444-555555555555}",
                                              L"{66666666-7777-4888-9999-AAAAAAAAAAAA}",
                                              L"{BBBBBBBB-CCCC-4DDD-8EEE-FFFFFFFFFFFF}"};
  ASSERT_EQ(commands.size(), 6u);
  std::wstring shortTemp(MAX_PATH, L'\0');
  shortTemp.resize(GetShortPathNameW(temporary.path().c_str(), shortTemp.data(), MAX_PATH));
  std::wstring shortOwn(MAX_PATH, L'\0');
  shortOwn.resize(GetShortPathNameW(OwnFolder().c_str(), shortOwn.data(), MAX_PATH));
  const std::wstring log = L"\"" + shortOwn + L"\\zorremover_msilog.txt\"";
  for (std::size_t i = 0; i < products.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(commands[2 * i], L"echo \"Running zap for product code " + products[i] + L":%date% %time%\" >>" + log);
    const std::wstring& zap = commands[2 * i + 1];
    // ""TEMP\zor-UUID.bat" "TEMP\zor-UUID.exe" {P} >>"LOG""
    ASSERT_GT(zap.size(), 2u);
    EXPECT_EQ(zap.rfind(L"\"\"" + shortTemp + L"\\zor-", 0), 0u) << Narrow(zap);
    const std::size_t batEnd = zap.find(L".bat\" \"");
    ASSERT_NE(batEnd, std::wstring::npos) << Narrow(zap);
    const std::wstring stem = zap.substr(2, batEnd - 2);
    EXPECT_EQ(zap, L"\"\"" + stem + L".bat\" \"" + stem + L".exe\" " + products[i] + L" >>" + log + L"\"");
  }
  EXPECT_TRUE(FilesIn(temporary.path()).empty());
}

TEST(TemporaryToolName, IsAVersionFourUuidInLowerCase) {
  for (int i = 0; i < 20; ++i) {
    const std::wstring name = TemporaryToolName();
    SCOPED_TRACE(Narrow(name));
    ASSERT_EQ(name.size(), 4u + 36u + 4u);
    EXPECT_EQ(name.substr(0, 4), L"zor-");
    EXPECT_EQ(name.substr(40), L".tmp");
    const std::wstring uuid = name.substr(4, 36);
    for (std::size_t k = 0; k < uuid.size(); ++k) {
      if (k == 8 || k == 13 || k == 18 || k == 23) {
        EXPECT_EQ(uuid[k], L'-');
      } else {
        EXPECT_TRUE((uuid[k] >= L'0' && uuid[k] <= L'9') || (uuid[k] >= L'a' && uuid[k] <= L'f'));
      }
    }
    EXPECT_EQ(uuid[14], L'4');
    EXPECT_NE(std::wstring(L"89ab").find(uuid[19]), std::wstring::npos);
  }
  EXPECT_NE(TemporaryToolName(), TemporaryToolName());
}

}  // namespace
}  // namespace zor
