#pragma once
// The product's Windows services and kernel-driver services that the
// service stage stops and deletes: one row each, all handled at once. No
// Windows header: the table's rules are checked natively too.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace zor {

// The steps a row runs, in this order; a row runs the steps whose bits it
// has.
enum ServiceStep : std::uint32_t {
  StepBeforeStop = 0x01,  // asks a watchdog to allow its stop
  StepStop = 0x02,
  StepAfterStop = 0x04,
  StepDelete = 0x08,
  StepAfterDelete = 0x10,
  StepRegCleanup = 0x20,
};

inline constexpr std::uint32_t kWatchdogSteps = StepBeforeStop | StepStop | StepDelete | StepRegCleanup;
inline constexpr std::uint32_t kServiceSteps = StepStop | StepDelete | StepRegCleanup;

struct ServiceItem {
  // The key name the service control manager knows it by, also its key
  // under SYSTEM\CurrentControlSet\Services.
  std::wstring_view name;
  std::uint32_t flags;
};

inline constexpr std::size_t kServiceItemCount = 38;

std::span<const ServiceItem> ServiceItemTable();

// The watchdog of each product generation and the pipe it takes requests
// on. The current generation's watchdog is the one whose state shows that a
// stop is allowed, whichever generation was asked.
struct WatchdogGeneration {
  std::wstring_view serviceName;
  std::wstring_view pipeName;  // \\.\pipe\NAME
};
std::span<const WatchdogGeneration> WatchdogGenerations();
const WatchdogGeneration& CurrentWatchdog();

// The generation whose watchdog is named exactly `name` (letter case
// counts), or null for a row that is no watchdog.
const WatchdogGeneration* WatchdogNamed(std::wstring_view name);

}  // namespace zor
