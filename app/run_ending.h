#pragma once
// How a main run ended, and the exit codes that deployment tools already
// understand for it (option "exitcodes=msi"; Windows Installer's own
// codes). No Windows header.
#include <cstdint>

namespace zor {

enum class RunEnding {
  Clean,              // nothing of the product is left
  RestartRegistered,  // a restart finishes the removal; nobody started it
  RestartStarted,     // the program started the restart
  ItemsLeft,          // items remain that no restart will remove
};

// `remaining` items were found by the verification, `planned` of them
// planned for deletion at the restart. A registered or started restart
// comes with a run after it that tries again, so it wins over what is left.
RunEnding EndingOf(bool restartStarted, bool restartRegistered, std::uint32_t remaining, std::uint32_t planned);

// 0, 3010 (ERROR_SUCCESS_REBOOT_REQUIRED), 1641
// (ERROR_SUCCESS_REBOOT_INITIATED), 1603 (ERROR_INSTALL_FAILURE).
int MsiExitCode(RunEnding ending);

}  // namespace zor
