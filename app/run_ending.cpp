#include "app/run_ending.h"

namespace zor {

RunEnding EndingOf(bool restartStarted, bool restartRegistered, std::uint32_t remaining, std::uint32_t planned) {
  if (restartStarted) return RunEnding::RestartStarted;
  if (restartRegistered) return RunEnding::RestartRegistered;
  if (remaining == 0) return RunEnding::Clean;
  // Windows deletes what is planned at its next start: a restart finishes.
  return planned >= remaining ? RunEnding::RestartRegistered : RunEnding::ItemsLeft;
}

int MsiExitCode(RunEnding ending) {
  switch (ending) {
    case RunEnding::Clean:
      return 0;
    case RunEnding::RestartRegistered:
      return 3010;
    case RunEnding::RestartStarted:
      return 1641;
    case RunEnding::ItemsLeft:
      return 1603;
  }
  return 1603;
}

}  // namespace zor
