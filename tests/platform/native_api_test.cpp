#include "platform/native_api.h"

#include <gtest/gtest.h>

#include "platform/platform_startup.h"

namespace zor {
namespace {

TEST(NativeApi, StartUpFillsTheTableFromNtdll) {
  const NativeApi& api = Native();
  ASSERT_NE(api.module, nullptr);
  EXPECT_EQ(api.module, static_cast<PVOID>(GetModuleHandleW(L"ntdll.dll")));
#define ZOR_EXPECT_ENTRY(name, result, parameters) \
  EXPECT_EQ(reinterpret_cast<void*>(api.name), reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), #name))) << #name;
  ZOR_NATIVE_READ_ENTRIES(ZOR_EXPECT_ENTRY)
#undef ZOR_EXPECT_ENTRY
#define ZOR_EXPECT_CHANGE_ENTRY(name, result, parameters) \
  EXPECT_EQ(reinterpret_cast<void*>(NativeChanges().name), \
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), #name))) << #name;
  ZOR_NATIVE_CHANGE_ENTRIES(ZOR_EXPECT_CHANGE_ENTRY)
#undef ZOR_EXPECT_CHANGE_ENTRY
  EXPECT_NE(api.RtlNtStatusToDosError, nullptr);
  EXPECT_NE(api.ZwOpenKey, nullptr);
  EXPECT_NE(api.RtlGetVersion, nullptr);

  const Kernel32Extras& kernel32 = Kernel32();
  ASSERT_NE(kernel32.module, nullptr);
  EXPECT_NE(kernel32.CopyFileW, nullptr);
  EXPECT_NE(kernel32.WriteFile, nullptr);
  EXPECT_NE(kernel32.UnhandledExceptionFilter, nullptr);
}

TEST(NativeApi, ASecondLoadReplacesTheTableInPlace) {
  const auto original = Native().ZwClose;
  Native().ZwClose = nullptr;
  ASSERT_EQ(LoadNativeApi(), status::Success);
  EXPECT_EQ(Native().ZwClose, original);
}

TEST(NativeApi, StatusFromNtStatusUsesTheSystemTranslation) {
  const struct {
    std::uint32_t ntStatus;
    std::uint32_t expected;
  } rows[] = {
      {0x00000000, 0x00000000}, {0xC0000034, 0xE001003D}, {0xC000003A, 0xE001003E}, {0xC0000022, 0xE0010058},
      {0xC0000043, 0xE0010053}, {0x80000005, 0xE0010044}, {0xC0000023, 0xE0010044}, {0xC000000D, 0xE0010002},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << std::hex << row.ntStatus);
    EXPECT_EQ(static_cast<std::uint32_t>(StatusFromNtStatus(static_cast<NTSTATUS>(row.ntStatus))), row.expected);
  }
}

TEST(PlatformStartup, CountsStartsAndStopsAndReadsThePageSize) {
  const int before = PlatformStartCount();
  ASSERT_EQ(StartPlatform(), status::Success);
  ASSERT_EQ(StartPlatform(), status::Success);
  EXPECT_EQ(PlatformStartCount(), before + 2);
  StopPlatform();
  StopPlatform();
  EXPECT_EQ(PlatformStartCount(), before);

  SYSTEM_INFO system{};
  GetSystemInfo(&system);
  EXPECT_EQ(PageSize(), system.dwPageSize);
}

TEST(PlatformStartup, RandomWordsVary) {
  const std::uint32_t first = NextRandom32();
  bool differs = false;
  for (int i = 0; i < 8 && !differs; ++i) differs = NextRandom32() != first;
  EXPECT_TRUE(differs);
}

}  // namespace
}  // namespace zor
