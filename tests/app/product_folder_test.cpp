#include "app/product_folder.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/native_types.h"
#include "platform/os_identity_reader.h"
#include "tests/platform/registry_test_support.h"

namespace zor {
namespace {

std::wstring ExecutableFolder() {
  wchar_t self[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self, length);
  return path.substr(0, path.find_last_of(L'\\'));
}

TEST(ProgramFolder, IsTheFolderThatHoldsTheExecutable) {
  std::wstring folder = L"sentinel";
  ASSERT_EQ(ProgramFolder(folder), status::Success);
  EXPECT_EQ(folder, ExecutableFolder());
  EXPECT_NE(folder.back(), L'\\');
}

TEST(ProductFolder, RefusesKindsTheProductDoesNotRecord) {
  for (const int kind : {-1, 2, 3, 29, 32, 0x7FFFFFFF}) {
    SCOPED_TRACE(kind);
    std::wstring folder = L"sentinel";
    EXPECT_EQ(static_cast<std::uint32_t>(ProductFolder(kind, folder)), 0xE0018E15u);
    EXPECT_EQ(folder, L"sentinel");
  }
}

// The product's key names are fixed, so this is the one test that writes
// them; it removes them again and leaves "SOFTWARE\Zor" as it found it.
TEST(ProductFolder, ReadsTheProductKeysOnceFromThe32BitView) {
  ASSERT_TRUE(IsSystem64Bit()) << "the test prefix is a 64-bit Windows";
  const std::wstring product = L"SOFTWARE\\Zor\\Zor10";
  const std::wstring admin = L"SOFTWARE\\Zor\\ZorAdmin10";
  const bool zorKeyExisted = test::KeyPresent(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Zor", KEY_WOW64_32KEY);
  const bool zorKey64Existed = test::KeyPresent(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Zor", KEY_WOW64_64KEY);
  {
    const test::ScopedTree product32(HKEY_LOCAL_MACHINE, product, KEY_WOW64_32KEY);
    const test::ScopedTree admin32(HKEY_LOCAL_MACHINE, admin, KEY_WOW64_32KEY);
    const test::ScopedTree product64(HKEY_LOCAL_MACHINE, product, KEY_WOW64_64KEY);
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, product, L"ZorDir", L"C:\\Program Files (x86)\\ZOR\\ZOR10",
                                  KEY_WOW64_32KEY));
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, admin, L"AdminConsoleInstDir",
                                  L"C:\\Program Files\\Zor10 Admin\\", KEY_WOW64_32KEY));
    // The 64-bit view holds other values: none of them may be read.
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, product, L"ZorDir", L"C:\\Wrong64", KEY_WOW64_64KEY));
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, product, L"ZorAllUsersDir", L"C:\\Wrong64Data",
                                  KEY_WOW64_64KEY));

    const struct {
      int kind;
      std::uint32_t code;
      std::wstring folder;
    } rows[] = {
        {ProductProgramFolder, 0, L"C:\\Program Files (x86)\\ZOR\\ZOR10"},
        {ProductDataFolder, 0x60018E1C, ExecutableFolder()},  // the value is missing in the 32-bit view
        {ProductAdminConsoleFolder, 0, L"C:\\Program Files\\Zor10 Admin\\"},
        {ProductAdminServerFolder, 0x60018E1C, ExecutableFolder()},
    };
    for (const auto& row : rows) {
      SCOPED_TRACE(row.kind);
      std::wstring folder = L"sentinel";
      EXPECT_EQ(static_cast<std::uint32_t>(ProductFolder(row.kind, folder)), row.code);
      EXPECT_EQ(folder, row.folder);
    }

    // Later writes are not seen: each kind is read once per process.
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, product, L"ZorDir", L"D:\\Moved", KEY_WOW64_32KEY));
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, admin, L"AdminServerInstDir", L"D:\\Server", KEY_WOW64_32KEY));
    for (const auto& row : rows) {
      SCOPED_TRACE(row.kind);
      std::wstring folder = L"sentinel";
      EXPECT_EQ(static_cast<std::uint32_t>(ProductFolder(row.kind, folder)), row.code);
      EXPECT_EQ(folder, row.folder);
    }
  }
  if (!zorKeyExisted) RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Zor", KEY_WOW64_32KEY, 0);
  if (!zorKey64Existed) RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Zor", KEY_WOW64_64KEY, 0);
  EXPECT_FALSE(test::KeyPresent(HKEY_LOCAL_MACHINE, product, KEY_WOW64_32KEY));
  EXPECT_FALSE(test::KeyPresent(HKEY_LOCAL_MACHINE, admin, KEY_WOW64_32KEY));
  EXPECT_FALSE(test::KeyPresent(HKEY_LOCAL_MACHINE, product, KEY_WOW64_64KEY));
}

}  // namespace
}  // namespace zor
