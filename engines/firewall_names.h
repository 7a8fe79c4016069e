#pragma once
// The product's firewall network driver as Windows knows it: an NDIS
// intermediate driver made of a network filter component and its virtual
// miniport devices, installed from an OEM INF, with its control device,
// its legacy setup key and its files; and the product's programs in the
// Windows Firewall's authorized applications. No Windows header.
#include <array>
#include <string_view>

namespace zor {

inline constexpr std::wstring_view kFirewallFilterComponent = L"gr_zorfwfd";
inline constexpr std::wstring_view kFirewallMiniportHardwareId = L"gr_zorfwmp";
// The INF's [Version] CatalogFile: Windows Vista and later, and before.
inline constexpr std::wstring_view kFirewallCatalog = L"zorfwfd6.cat";
inline constexpr std::wstring_view kFirewallCatalogBeforeVista = L"zorfwfd.cat";
inline constexpr std::array<std::wstring_view, 2> kFirewallControlDevices = {L"\\\\.\\ZorFwFd",
                                                                              L"\\\\.\\Global\\ZorFwFd"};
// How the remover names itself to the network configuration's write lock.
inline constexpr std::wstring_view kFirewallLockClient = L"ZorFwSetup";
inline constexpr std::wstring_view kFirewallLegacySetupKey = L"Software\\ZOR\\Zor10\\FwSetup";
// In the system folder and in its "drivers" subfolder.
inline constexpr std::wstring_view kFirewallLibraryMask = L"zorfwd?.dll";
inline constexpr std::wstring_view kFirewallDriverMask = L"zorfwd*.sys";

inline constexpr std::array<std::wstring_view, 3> kFirewallPolicyKeys = {
    L"SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\StandardProfile\\"
    L"AuthorizedApplications\\List",
    L"SYSTEM\\ControlSet001\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\StandardProfile\\"
    L"AuthorizedApplications\\List",
    L"SYSTEM\\ControlSet002\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\StandardProfile\\"
    L"AuthorizedApplications\\List",
};

// The product's programs that its installers let through the firewall, by
// file name in the program folder. Installers of several generations wrote
// their own lists, so four names come twice.
inline constexpr std::array<std::wstring_view, 14> kFirewallAuthorizedPrograms = {
    L"zorsvc.exe",  L"zorgui.exe",  L"zorupd.exe",  L"zorscan.exe", L"zortray.exe",
    L"zormail.exe", L"zorfwsvc.exe", L"zoradmsrv.exe", L"zorrmt.exe", L"zornet.exe",
    L"zorsvc.exe",  L"zorgui.exe",  L"zorupd.exe",  L"zorscan.exe",
};

}  // namespace zor
