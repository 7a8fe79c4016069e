#include "engines/service_item_table.h"

#include <iterator>

namespace zor {
namespace {

constexpr WatchdogGeneration kWatchdogs[] = {
    {L"ZorWatchdog8", L"ZorWatchdog8"},
    {L"ZorWatchdog9", L"ZorWatchdog9"},
    {L"ZorWatchdog", L"ZorWatchdog10"},
};
constexpr std::size_t kCurrentWatchdog = 2;

constexpr ServiceItem kTable[] = {
    // The watchdogs of ZOR 8, 9 and 10; each must allow its stop first.
    {L"ZorWatchdog8", kWatchdogSteps},
    {L"ZorWatchdog9", kWatchdogSteps},
    {L"ZorWatchdog", kWatchdogSteps},

    // The protection service, the updater and the on-demand scanner.
    {L"ZorSvc", kServiceSteps},
    {L"ZorUpdate", kServiceSteps},
    {L"ZorScan", kServiceSteps},

    // E-mail scanner and firewall service of each generation.
    {L"ZorMail8", kServiceSteps},
    {L"ZorMail9", kServiceSteps},
    {L"ZorMail", kServiceSteps},
    {L"ZorFirewall8", kServiceSteps},
    {L"ZorFirewall9", kServiceSteps},
    {L"ZorFirewall", kServiceSteps},

    // Drivers in x86 and x64 builds: network filter (WFP), file-system
    // mini-filter, loader, TDI filter and rootkit scanner.
    {L"zorwfp", kServiceSteps},
    {L"zorwfp64", kServiceSteps},
    {L"zorfsf", kServiceSteps},
    {L"zorfsf64", kServiceSteps},
    {L"zorldr", kServiceSteps},
    {L"zorldr64", kServiceSteps},
    {L"zortdi", kServiceSteps},
    {L"zortdi64", kServiceSteps},
    {L"zorrks", kServiceSteps},
    {L"zorrks64", kServiceSteps},

    // The sandbox component: agent, shim, filter, driver and error handler,
    // for Windows XP, and for Windows 7 on x86 and on x64.
    {L"ZorSbxAgentXP", kServiceSteps},
    {L"ZorSbxShimXP", kServiceSteps},
    {L"zorsbxfltXP", kServiceSteps},
    {L"zorsbxdrvXP", kServiceSteps},
    {L"ZorSbxErrXP", kServiceSteps},
    {L"ZorSbxAgent7", kServiceSteps},
    {L"ZorSbxShim7", kServiceSteps},
    {L"zorsbxflt7", kServiceSteps},
    {L"zorsbxdrv7", kServiceSteps},
    {L"ZorSbxErr7", kServiceSteps},
    {L"ZorSbxAgent7x64", kServiceSteps},
    {L"ZorSbxShim7x64", kServiceSteps},
    {L"zorsbxflt7x64", kServiceSteps},
    {L"zorsbxdrv7x64", kServiceSteps},
    {L"ZorSbxErr7x64", kServiceSteps},

    // The administration server.
    {L"ZorAdminServer", kServiceSteps},
};
static_assert(std::size(kTable) == kServiceItemCount);

}  // namespace

std::span<const ServiceItem> ServiceItemTable() { return kTable; }

std::span<const WatchdogGeneration> WatchdogGenerations() { return kWatchdogs; }

const WatchdogGeneration& CurrentWatchdog() { return kWatchdogs[kCurrentWatchdog]; }

const WatchdogGeneration* WatchdogNamed(std::wstring_view name) {
  for (const WatchdogGeneration& watchdog : kWatchdogs) {
    if (watchdog.serviceName == name) return &watchdog;
  }
  return nullptr;
}

}  // namespace zor
