#pragma once
// Asking Windows to restart: with the shutdown privilege, by ExitWindowsEx on
// the oldest systems and InitiateSystemShutdownExW elsewhere, and straight
// from the kernel when nobody is logged on to close.
#include <cstdint>

#include "foundation/status_codes.h"

namespace zor {

// Bits of the restart request.
enum RestartFlags : std::uint32_t {
  RestartForceApplications = 1,
  RestartReboot = 2,
  RestartEvenWithoutSession = 4,
};

StatusCode RequestRestart(std::uint32_t flags);

}  // namespace zor
