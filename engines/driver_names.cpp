#include "engines/driver_names.h"

#include <iterator>

namespace zor {
namespace {

constexpr std::wstring_view kNames[] = {
    // The firewall: its filter driver and its miniport, 32-bit and 64-bit.
    L"zorfwfd",
    L"zorfwfd64",
    L"zorfwmp",
    L"zorfwmp64",
    // The host intrusion prevention component.
    L"zorhips",
    L"zorhipsfs",
    L"zorhipsnet",
    L"zorhipsreg",
    // Network monitor, keyboard guard, device control and early-launch
    // scanner, 32-bit and 64-bit.
    L"zorndis",
    L"zorndis64",
    L"zorkbd",
    L"zorkbd64",
    L"zordevc",
    L"zordevc64",
    L"zorelam",
    L"zorelam64",
    // The boot-time scanner, one build for every system.
    L"zorboot",
};
static_assert(std::size(kNames) == kDriverNameCount);

}  // namespace

std::span<const std::wstring_view> DriverNames() { return kNames; }

}  // namespace zor
