#include "foundation/status_codes.h"

#include <gtest/gtest.h>

#include <map>

namespace zor {
namespace {

struct Win32Row {
  std::uint32_t error;
  std::uint32_t expected;  // with error severity
};

TEST(StatusFromLastError, MapsEveryKnownErrorAndWrapsTheRest) {
  const Win32Row rows[] = {
      {0, 0x00000000},     {2, 0xE001003D},    {3, 0xE001003E},    {6, 0xE001003F},     {4306, 0xE0010040},
      {4307, 0xE0010041},  {30, 0xE0010042},   {29, 0xE0010043},   {122, 0xE0010044},   {13, 0xE0010045},
      {18, 0xE0010046},    {52, 0xE0010047},   {1630, 0xE0010048}, {24, 0xE0010049},    {23, 0xE001004A},
      {123, 0xE001004B},   {4312, 0xE001004C}, {487, 0xE001004D},  {12, 0xE001004E},    {183, 0xE001004F},
      {87, 0xE0010002},    {131, 0xE0010051},  {998, 0xE0010052},  {14, 0xE0010001},    {32, 0xE0010053},
      {50, 0xE0010054},    {4317, 0xE0010055}, {1, 0xE0010056},    {995, 0xE0010057},   {5, 0xE0010058},
      {10061, 0xE0010190}, {1060, 0xC0070424}, {1326, 0xC007052E}, {0x12345, 0xC0072345},
  };
  for (const Win32Row& row : rows) {
    SCOPED_TRACE(row.error);
    EXPECT_EQ(static_cast<std::uint32_t>(StatusFromLastError(row.error)), row.expected);
  }
}

TEST(StatusFromWin32Error, KeepsTheGivenSeverity) {
  EXPECT_EQ(static_cast<std::uint32_t>(StatusFromWin32Error(1, 5)), 0x60010058u);
  EXPECT_EQ(static_cast<std::uint32_t>(StatusFromWin32Error(2, 1060)), 0x80070424u);
  EXPECT_EQ(static_cast<std::uint32_t>(StatusFromWin32Error(0, 2)), 0x2001003Du);
  EXPECT_FALSE(IsFailure(StatusFromWin32Error(1, 5)));
  EXPECT_TRUE(IsFailure(StatusFromWin32Error(2, 5)));
}

// A stand-in for RtlNtStatusToDosError with the translations these rows need.
std::uint32_t FakeDosError(std::int32_t ntStatus) {
  static const std::map<std::uint32_t, std::uint32_t> table{
      {0xC0000034, 2},    // STATUS_OBJECT_NAME_NOT_FOUND
      {0xC0000022, 5},    // STATUS_ACCESS_DENIED
      {0xC0000043, 32},   // STATUS_SHARING_VIOLATION
      {0x40000000, 1},    // an informational status
      {0x00000103, 997},  // STATUS_PENDING, a success other than 0
      {0x80000006, 18},   // STATUS_NO_MORE_FILES
  };
  const auto found = table.find(static_cast<std::uint32_t>(ntStatus));
  return found == table.end() ? 317 : found->second;
}

TEST(StatusFromNtStatus, ConvertsThroughTheDosError) {
  const struct {
    std::uint32_t ntStatus;
    std::uint32_t expected;
  } rows[] = {
      {0x00000000, 0x00000000},
      {0x80000005, 0xE0010044},  // buffer overflow is "more data", an error, not a warning
      {0xC0000034, 0xE001003D},
      {0xC0000022, 0xE0010058},
      {0xC0000043, 0xE0010053},
      {0x80000006, 0xA0010046},  // warning severity stays warning
      {0x40000000, 0x60010056},  // informational stays a success
      {0x00000103, 0x400703E5},  // a success other than 0 is raised to informational
      {0xC0000999, 0xC007013D},  // unknown: ERROR_MR_MID_NOT_FOUND wrapped
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << std::hex << row.ntStatus);
    const StatusCode converted = StatusFromNtStatusWith(static_cast<std::int32_t>(row.ntStatus), FakeDosError);
    EXPECT_EQ(static_cast<std::uint32_t>(converted), row.expected);
  }
  EXPECT_FALSE(IsFailure(StatusFromNtStatusWith(0x40000000, FakeDosError)));
  EXPECT_FALSE(IsFailure(StatusFromNtStatusWith(0x00000103, FakeDosError)));
}

}  // namespace
}  // namespace zor
