#include "app/run_ending.h"

#include <gtest/gtest.h>

namespace zor {
namespace {

TEST(RunEnding, EachEndingHasTheCodeDeploymentToolsKnow) {
  const struct {
    const char* name;
    bool started;
    bool registered;
    std::uint32_t remaining;
    std::uint32_t planned;
    RunEnding ending;
    int code;
  } rows[] = {
      {"removed and verified clean", false, false, 0, 0, RunEnding::Clean, 0},
      {"restart registered under norestart", false, true, 3, 1, RunEnding::RestartRegistered, 3010},
      {"restart started", true, false, 2, 2, RunEnding::RestartStarted, 1641},
      {"restart started even with nothing found", true, false, 0, 0, RunEnding::RestartStarted, 1641},
      {"only held items, planned for the restart", false, false, 2, 2, RunEnding::RestartRegistered, 3010},
      {"items no restart removes", false, false, 3, 1, RunEnding::ItemsLeft, 1603},
      {"items left, none planned", false, false, 1, 0, RunEnding::ItemsLeft, 1603},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const RunEnding ending = EndingOf(row.started, row.registered, row.remaining, row.planned);
    EXPECT_EQ(ending, row.ending);
    EXPECT_EQ(MsiExitCode(ending), row.code);
  }
}

}  // namespace
}  // namespace zor
