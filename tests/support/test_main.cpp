// Test entry: starts the platform layer as the program's entry point does,
// except for suites named ColdStart*, which test the start-up itself.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <string_view>

#include "platform/platform_startup.h"
#include "tests/support/line_checks.h"

namespace {

class PlatformEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    const std::string filter = ::testing::GTEST_FLAG(filter);
    if (filter.rfind("ColdStart", 0) == 0) return;
    ASSERT_EQ(zor::StartPlatform(), 0);
  }
};

// A pipeline test starts its separate copy from its own command line, so
// the copy is this test program with options appended. It stands in for the
// program's copy: it records its command line and ends with the step number
// the test asked for, and never runs a test itself (which would start yet
// another copy).
void ActAsSeparateCopy() {
  const std::wstring_view commandLine = GetCommandLineW();
  if (commandLine.find(L"/ndisonly") == std::wstring_view::npos) return;
  wchar_t record[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"ZOR_TEST_COPY_RECORD", record, MAX_PATH) > 0) {
    const HANDLE file = CreateFileW(record, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      const std::string line = zor::test::Narrow(commandLine) + "\n";
      DWORD written = 0;
      WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
      CloseHandle(file);
    }
  }
  wchar_t step[32] = {};
  const DWORD length = GetEnvironmentVariableW(L"ZOR_TEST_COPY_EXIT", step, 32);
  ExitProcess(length > 0 && length < 32 ? static_cast<UINT>(std::wcstol(step, nullptr, 10)) : 1);
}

}  // namespace

int main(int argc, char** argv) {
  ActAsSeparateCopy();
  // Unbuffered, so a process that dies early still shows how far it got.
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new PlatformEnvironment);
  return RUN_ALL_TESTS();
}
