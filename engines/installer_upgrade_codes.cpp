#include "engines/installer_upgrade_codes.h"

#include <iterator>

namespace zor {
namespace {

constexpr std::wstring_view kCodes[] = {
    L"{6A3F2B1C-8D4E-4F7A-9B2C-1E5D7F3A9C40}",  // ZOR 10 client
    L"{c4e18a27-3b9f-4d62-a85e-0f7b2d9c6e13}",  // ZOR 10 administration console and server
    L"{9E2D5C1A-7F4B-4A38-B6E1-3C8F0D2A7B95}",  // ZOR 9 client
    L"{1f7b3e9d-6c2a-4e85-9d14-b8a0c5e7f362}",  // ZOR 8 client
};
static_assert(std::size(kCodes) == kUpgradeCodeCount);

}  // namespace

std::span<const std::wstring_view> InstallerUpgradeCodes() { return kCodes; }

}  // namespace zor
