// Test entry: starts the platform layer as the program's entry point does,
// except for suites named ColdStart*, which test the start-up itself.
#include <gtest/gtest.h>

#include <string>

#include "platform/platform_startup.h"

namespace {

class PlatformEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    const std::string filter = ::testing::GTEST_FLAG(filter);
    if (filter.rfind("ColdStart", 0) == 0) return;
    ASSERT_EQ(zor::StartPlatform(), 0);
  }
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new PlatformEnvironment);
  return RUN_ALL_TESTS();
}
