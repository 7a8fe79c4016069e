// Packed codes as Windows Installer writes them into its keys.
#include "tools/msi/packed_guid.h"

#include <gtest/gtest.h>

#include "tests/support/narrow_text.h"

namespace zor::msi {
namespace {

TEST(PackedGuid, PacksAsWindowsInstallerDoesAndRefusesAnythingElse) {
  // Product, upgrade and component codes as Wine's installer packed them.
  EXPECT_EQ(PackedGuid(L"{3B9D2E41-6C7A-4F15-8E2B-9A0C4D6F1E73}"), L"14E2D9B3A7C651F4E8B2A9C0D4F6E137");
  EXPECT_EQ(PackedGuid(L"{6A3F2B1C-8D4E-4F7A-9B2C-1E5D7F3A9C40}"), L"C1B2F3A6E4D8A7F4B9C2E1D5F7A3C904");
  EXPECT_EQ(PackedGuid(L"{5e1a7c93-2b4d-4e6f-8a90-c1d2e3f4a5b6}"), L"39C7A1E5D4B2F6E4A8091C2D3E4F5A6B");
  for (const wchar_t* wrong : {L"", L"3B9D2E41-6C7A-4F15-8E2B-9A0C4D6F1E73", L"{3B9D2E41-6C7A-4F15-8E2B-9A0C4D6F1E7}",
                               L"{3B9D2E41-6C7A-4F15-8E2B-9A0C4D6F1E73", L"{3B9D2E41+6C7A-4F15-8E2B-9A0C4D6F1E73}",
                               L"{3B9D2E41-6C7A-4F15-8E2B-9A0C4D6F1G73}", L"{3B9D2E41-6C7A-4F15-8E2B-9A0C4D6F1E73}x"}) {
    EXPECT_FALSE(PackedGuid(wrong).has_value()) << test::Narrow(wrong);
  }
}

}  // namespace
}  // namespace zor::msi
