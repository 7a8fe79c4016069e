#include "platform/process_identity.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/native_types.h"
#include "tests/support/child_process.h"

namespace zor {
namespace {

TEST(IsAdministrator, TheTestPrefixRunsAsAdministrator) {
  // Wine gives every process BUILTIN\Administrators.
  bool administrator = false;
  ASSERT_EQ(IsAdministrator(administrator), status::Success);
  EXPECT_TRUE(administrator);
}

// Also started as a child below with a long command line; it prints what it read.
TEST(GetProcessCommandLine, ReadsTheRecordedCommandLine) {
  std::wstring commandLine = L"sentinel";
  ASSERT_EQ(GetProcessCommandLine(commandLine), status::Success);
  EXPECT_EQ(commandLine, std::wstring(GetCommandLineW()));
  std::printf("length=%zu\n", commandLine.size());
}

TEST(GetProcessCommandLine, GrowsPastTheFirstBufferForLongCommandLines) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring padding(1000, L'p');
  const std::wstring commandLine = std::wstring(L"\"") + self +
                                   L"\" --gtest_filter=GetProcessCommandLine.ReadsTheRecordedCommandLine " + padding;
  const test::ChildResult child = test::RunChild(commandLine);
  ASSERT_TRUE(child.started);
  EXPECT_EQ(child.exitCode, 0u) << child.output;
  // The child compared its reading with GetCommandLineW; here only the
  // length matters: far past the first 257-character buffer.
  const std::size_t at = child.output.find("length=");
  ASSERT_NE(at, std::string::npos) << child.output;
  EXPECT_GT(std::stoul(child.output.substr(at + 7)), padding.size());
}

}  // namespace
}  // namespace zor
