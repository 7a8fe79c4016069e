#include "platform/hardware_faults.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <type_traits>

#include "platform/worker_thread.h"

namespace zor {
namespace {

static_assert(std::is_base_of_v<ZorBasSyncThreadHwException, ZorBasSyncThreadAccessViolationHwException>);
static_assert(std::is_base_of_v<ZorBasSyncThreadHwException, ZorBasSyncThreadInPageErrorHwException>);
static_assert(std::is_base_of_v<ZorBasSyncThreadHwException, ZorBasSyncThreadStackOverflowHwException>);
static_assert(!std::is_base_of_v<ZorBasSyncThreadAccessViolationHwException, ZorBasSyncThreadInPageErrorHwException>);

TEST(FaultKindOf, FollowsTheFaultTable) {
  const struct {
    std::uint32_t code;
    FaultKind kind;
  } rows[] = {
      {0xC0000005, FaultAccessViolation},  {0xC0000006, FaultInPageError},          {0x80000003, FaultBreakpoint},
      {0x80000002, FaultMisalignment},     {0xC000008E, FaultFloatDivideByZero},    {0xC0000091, FaultFloatOverflow},
      {0xC0000093, FaultFloatUnderflow},   {0xC000008D, FaultFloatDenormal},        {0xC000001D, FaultIllegalInstruction},
      {0xC0000096, FaultPrivilegedInstruction}, {0xC0000094, FaultIntegerDivideByZero}, {0xC0000095, FaultIntegerOverflow},
      {0x80000004, FaultSingleStep},       {0xC00000FD, FaultStackOverflow},        {0xE0000042, FaultOther},
      {0x00000000, FaultOther},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << std::hex << row.code);
    EXPECT_EQ(FaultKindOf(row.code), row.kind);
  }
}

// Each fault sits in a function of its own, as it would deep inside a callee.
volatile std::uintptr_t g_lowAddress = 0x10;
volatile int g_zero = 0;
__attribute__((noinline)) int ReadFromLowAddress() { return *reinterpret_cast<volatile int*>(g_lowAddress); }
volatile int g_quotient = 0;
__attribute__((noinline)) void DivideByZero() { g_quotient = 100 / g_zero; }
__attribute__((noinline)) void IllegalInstruction() { asm volatile("ud2"); }
__attribute__((noinline)) void Breakpoint() { asm volatile("int3"); }
__attribute__((noinline)) void UnlistedException() { RaiseException(0xE0000042, 0, 0, nullptr); }

struct Caught {
  bool caught = false;
  const char* asClass = "";
  FaultKind kind = FaultOther;
  std::uint32_t code = 0;
  std::uintptr_t dataAddress = 0;
  std::uintptr_t instructionAddress = 0;
  bool pointersSelfContained = false;
};

template <typename Fault>
Caught RunTranslated(Fault fault) {
  Caught result;
  WorkerThread worker;
  const StatusCode started = worker.Start(
      [&] {
        try {
          fault();
        } catch (const ZorBasSyncThreadAccessViolationHwException& e) {
          result = {true, "access violation", e.Kind(), e.ExceptionCode(), e.DataAddress(), e.InstructionAddress(),
                    e.ExceptionPointers()->ExceptionRecord->ExceptionCode == e.ExceptionCode()};
        } catch (const ZorBasSyncThreadStackOverflowHwException& e) {
          result = {true, "stack overflow", e.Kind(), e.ExceptionCode()};
        } catch (const ZorBasSyncThreadHwException& e) {
          result = {true, "base", e.Kind(), e.ExceptionCode()};
        }
      },
      WorkerTranslateFaults);
  EXPECT_EQ(started, status::Success);
  EXPECT_EQ(worker.Wait(30000), status::Success);
  return result;
}

TEST(FaultTranslation, FaultsOnATranslatingWorkerBecomeTheirClasses) {
  const Caught violation = RunTranslated([] { ReadFromLowAddress(); });
  ASSERT_TRUE(violation.caught);
  EXPECT_STREQ(violation.asClass, "access violation");
  EXPECT_EQ(violation.kind, FaultAccessViolation);
  EXPECT_EQ(violation.code, 0xC0000005u);
  EXPECT_EQ(violation.dataAddress, 0x10u);
  EXPECT_NE(violation.instructionAddress, 0u);
  EXPECT_TRUE(violation.pointersSelfContained);

  const Caught divide = RunTranslated([] { DivideByZero(); });
  ASSERT_TRUE(divide.caught);
  EXPECT_STREQ(divide.asClass, "base");
  EXPECT_EQ(divide.kind, FaultIntegerDivideByZero);
  EXPECT_EQ(divide.code, 0xC0000094u);

  const Caught illegal = RunTranslated([] { IllegalInstruction(); });
  ASSERT_TRUE(illegal.caught);
  EXPECT_STREQ(illegal.asClass, "base");
  EXPECT_EQ(illegal.kind, FaultIllegalInstruction);

  const Caught breakpoint = RunTranslated([] { Breakpoint(); });
  ASSERT_TRUE(breakpoint.caught);
  EXPECT_EQ(breakpoint.kind, FaultBreakpoint);

  const Caught unlisted = RunTranslated([] { UnlistedException(); });
  ASSERT_TRUE(unlisted.caught);
  EXPECT_STREQ(unlisted.asClass, "stack overflow");
  EXPECT_EQ(unlisted.kind, FaultOther);
  EXPECT_EQ(unlisted.code, 0xE0000042u);
}

TEST(FaultTranslation, OrdinaryCppExceptionsStillWorkOnATranslatingWorker) {
  bool caught = false;
  WorkerThread worker;
  ASSERT_EQ(worker.Start(
                [&] {
                  try {
                    throw std::runtime_error("plain");
                  } catch (const std::runtime_error&) {
                    caught = true;
                  }
                },
                WorkerTranslateFaults),
            status::Success);
  ASSERT_EQ(worker.Wait(30000), status::Success);
  EXPECT_TRUE(caught);
}

TEST(WorkerThread, WaitTimesOutWhileTheBodyRuns) {
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  WorkerThread worker;
  ASSERT_EQ(worker.Start([&] { WaitForSingleObject(release, INFINITE); }, WorkerPlain), status::Success);
  EXPECT_EQ(static_cast<std::uint32_t>(worker.Wait(50)), 0xA0010004u);
  SetEvent(release);
  EXPECT_EQ(worker.Wait(30000), status::Success);
  CloseHandle(release);
}

// An exception that escapes a worker body ends the process with 0xFFFFFFFF
// (the test prefix has no just-in-time debugger, as a plain Windows machine).
void FaultOnPlainWorker() {
  WorkerThread worker;
  worker.Start([] { ReadFromLowAddress(); }, WorkerPlain);
  worker.Wait(30000);
  ExitProcess(0);
}

void ThrowOnPlainWorker() {
  WorkerThread worker;
  worker.Start([] { throw std::runtime_error("escapes"); }, WorkerPlain);
  worker.Wait(30000);
  ExitProcess(0);
}

void UnlistedFaultOnTranslatingWorker() {
  WorkerThread worker;
  worker.Start([] { ReadFromLowAddress(); }, WorkerTranslateFaults);  // translated, but nobody catches it
  worker.Wait(30000);
  ExitProcess(0);
}

TEST(WorkerThreadDeathTest, AnEscapingExceptionEndsTheProcessWithAllBitsSet) {
  EXPECT_EXIT(FaultOnPlainWorker(), ::testing::ExitedWithCode(static_cast<int>(0xFFFFFFFF)), "");
  EXPECT_EXIT(ThrowOnPlainWorker(), ::testing::ExitedWithCode(static_cast<int>(0xFFFFFFFF)), "");
  EXPECT_EXIT(UnlistedFaultOnTranslatingWorker(), ::testing::ExitedWithCode(static_cast<int>(0xFFFFFFFF)), "");
}

}  // namespace
}  // namespace zor
