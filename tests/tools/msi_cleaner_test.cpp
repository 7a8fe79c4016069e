// The installer-data cleaner on real packages installed by msiexec: the
// product's registrations go, for all users; another vendor's package, which
// shares a component with it, keeps every registration of its own.
#include <windows.h>
#include <msi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/narrow_text.h"
#include "tests/support/test_packages.h"

namespace zor {
namespace {

using test::Narrow;
using test::RelatedProduct;
using test::RunChild;

const std::wstring kProduct = L"{3B9D2E41-6C7A-4F15-8E2B-9A0C4D6F1E73}";
const std::wstring kProductPacked = L"14E2D9B3A7C651F4E8B2A9C0D4F6E137";
const std::wstring kUpgrade = L"{6A3F2B1C-8D4E-4F7A-9B2C-1E5D7F3A9C40}";
const std::wstring kOther = L"{D2A6F184-3C5B-4E97-B0A1-7E8C9D2F4B65}";
const std::wstring kOtherPacked = L"481F6A2DB5C379E40B1AE7C8D9F2B456";
const std::wstring kOtherUpgrade = L"{47B0E3C9-1A2D-4B6E-9F85-C3D7A1E0B928}";
const std::wstring kSharedComponent = L"16A2D4C8B3E907F45A8DB2E6C1F9A074";
const std::wstring kClasses = L"Software\\Classes\\Installer\\";
const std::wstring kUserData = L"Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\";
const std::wstring kUninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::wstring Cleaner() { return L"\"" + test::WindowsPathOf(ZOR_MSI_CLEANER_PATH) + L"\""; }

bool KeyThere(const std::wstring& path, REGSAM view = KEY_WOW64_64KEY) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

bool ValueThere(const std::wstring& path, const std::wstring& name) {
  return RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), name.c_str(), RRF_RT_ANY | KEY_WOW64_64KEY, nullptr, nullptr,
                      nullptr) == ERROR_SUCCESS;
}

std::wstring CachedPackage(const std::wstring& packed) {
  wchar_t package[MAX_PATH] = {};
  DWORD size = sizeof package;
  RegGetValueW(HKEY_LOCAL_MACHINE, (kUserData + L"Products\\" + packed + L"\\InstallProperties").c_str(),
               L"LocalPackage", RRF_RT_REG_SZ | KEY_WOW64_64KEY, nullptr, package, &size);
  return package;
}

TEST(MsiCleaner, RemovesOneProductsRegistrationsAndLeavesTheSharedComponentToTheOther) {
  test::InstallPackage("zor-core.msi");
  test::InstallPackage("other-vendor.msi");
  ASSERT_EQ(RelatedProduct(kUpgrade), kProduct);
  ASSERT_EQ(RelatedProduct(kOtherUpgrade), kOther);
  const std::wstring ourPackage = CachedPackage(kProductPacked);
  const std::wstring theirPackage = CachedPackage(kOtherPacked);
  ASSERT_FALSE(ourPackage.empty());
  ASSERT_NE(GetFileAttributesW(ourPackage.c_str()), INVALID_FILE_ATTRIBUTES);
  ASSERT_TRUE(ValueThere(kUserData + L"Components\\" + kSharedComponent, kProductPacked));
  ASSERT_TRUE(ValueThere(kUserData + L"Components\\" + kSharedComponent, kOtherPacked));

  // An empty component key of someone else's is no business of the cleaner.
  const std::wstring strayComponent = kUserData + L"Components\\00000000000000000000000000000ABC";
  HKEY stray = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, strayComponent.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                            nullptr, &stray, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(stray);

  const test::ChildResult cleaned = RunChild(Cleaner() + L" TW! " + kProduct + L" /nologo");
  ASSERT_TRUE(cleaned.started) << cleaned.startError;
  EXPECT_EQ(cleaned.exitCode, 0u) << cleaned.output;
  EXPECT_EQ(cleaned.output.find("ZOR installer-data cleaner"), std::string::npos) << "no banner with /nologo";
  for (const std::string& line :
       {"Removed key HKLM\\" + Narrow(kClasses) + "Products\\" + Narrow(kProductPacked),
        "Removed key HKLM\\" + Narrow(kClasses) + "Features\\" + Narrow(kProductPacked),
        "Removed key HKLM\\" + Narrow(kUserData) + "Products\\" + Narrow(kProductPacked),
        "Removed value HKLM\\" + Narrow(kUserData) + "Components\\" + Narrow(kSharedComponent) + " : " +
            Narrow(kProductPacked),
        "Removed cached package " + Narrow(ourPackage), "Removed key HKLM\\" + Narrow(kUninstall) + Narrow(kProduct)}) {
    EXPECT_NE(cleaned.output.find(line), std::string::npos) << line << "\nin:\n" << cleaned.output;
  }

  // Ours: gone everywhere.
  EXPECT_EQ(RelatedProduct(kUpgrade), L"");
  EXPECT_FALSE(KeyThere(kClasses + L"Products\\" + kProductPacked));
  EXPECT_FALSE(KeyThere(kClasses + L"Features\\" + kProductPacked));
  EXPECT_FALSE(KeyThere(kUserData + L"Products\\" + kProductPacked));
  EXPECT_FALSE(KeyThere(kUninstall + kProduct, KEY_WOW64_32KEY));
  EXPECT_FALSE(KeyThere(kUninstall + kProduct, KEY_WOW64_64KEY));
  EXPECT_EQ(GetFileAttributesW(ourPackage.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(ValueThere(kUserData + L"Components\\" + kSharedComponent, kProductPacked));
  EXPECT_TRUE(KeyThere(strayComponent));
  // Theirs: every registration kept.
  EXPECT_EQ(RelatedProduct(kOtherUpgrade), kOther);
  EXPECT_TRUE(ValueThere(kUserData + L"Components\\" + kSharedComponent, kOtherPacked));
  EXPECT_TRUE(KeyThere(kClasses + L"Products\\" + kOtherPacked));
  EXPECT_TRUE(KeyThere(kUserData + L"Products\\" + kOtherPacked));
  EXPECT_NE(GetFileAttributesW(theirPackage.c_str()), INVALID_FILE_ATTRIBUTES);

  // A second run finds nothing more to remove.
  const test::ChildResult again = RunChild(Cleaner() + L" TW! " + kProduct);
  EXPECT_EQ(again.exitCode, 0u);
  EXPECT_NE(again.output.find("ZOR installer-data cleaner"), std::string::npos);
  EXPECT_NE(again.output.find("Nothing of product " + Narrow(kProduct) + " is registered"), std::string::npos)
      << again.output;
}

TEST(MsiCleaner, RefusesEveryOtherCommandLineAndRemovesNothing) {
  test::InstallPackage("zor-core.msi");
  for (const std::wstring& arguments : std::initializer_list<std::wstring>{std::wstring(L""), L"TW!", L"tw! " + kProduct, L"TW " + kProduct, L"TW! " + kProduct.substr(1),
        L"TW! " + kProduct + L" /quiet", L"TW! " + kProduct + L" /nologo extra", L"/? " + kProduct}) {
    SCOPED_TRACE(Narrow(arguments));
    const test::ChildResult refused = RunChild(Cleaner() + L" " + arguments);
    EXPECT_EQ(refused.exitCode, 2u) << refused.output;
    EXPECT_NE(refused.output.find("Nothing was removed."), std::string::npos) << refused.output;
  }
  EXPECT_EQ(RelatedProduct(kUpgrade), kProduct);
}

}  // namespace
}  // namespace zor
