#include "foundation/status_codes.h"

#include <array>

namespace zor {
namespace {

struct ErrorMapping {
  std::uint32_t error;
  std::uint32_t mappedCode;
};

// First match wins; 0x50 is deliberately unused.
constexpr std::array<ErrorMapping, 30> kErrorMappings{{
    {2, 0x3D},      // ERROR_FILE_NOT_FOUND
    {3, 0x3E},      // ERROR_PATH_NOT_FOUND
    {6, 0x3F},      // ERROR_INVALID_HANDLE
    {4306, 0x40},   // ERROR_EMPTY
    {4307, 0x41},   // ERROR_NOT_EMPTY
    {30, 0x42},     // ERROR_READ_FAULT
    {29, 0x43},     // ERROR_WRITE_FAULT
    {122, 0x44},    // ERROR_INSUFFICIENT_BUFFER
    {13, 0x45},     // ERROR_INVALID_DATA
    {18, 0x46},     // ERROR_NO_MORE_FILES
    {52, 0x47},     // ERROR_DUP_NAME
    {1630, 0x48},   // ERROR_UNSUPPORTED_TYPE
    {24, 0x49},     // ERROR_BAD_LENGTH
    {23, 0x4A},     // ERROR_CRC
    {123, 0x4B},    // ERROR_INVALID_NAME
    {4312, 0x4C},   // ERROR_OBJECT_NOT_FOUND
    {487, 0x4D},    // ERROR_INVALID_ADDRESS
    {12, 0x4E},     // ERROR_INVALID_ACCESS
    {183, 0x4F},    // ERROR_ALREADY_EXISTS
    {87, 0x02},     // ERROR_INVALID_PARAMETER, same as the invalid-argument code
    {131, 0x51},    // ERROR_NEGATIVE_SEEK
    {998, 0x52},    // ERROR_NOACCESS
    {14, 0x01},     // ERROR_OUTOFMEMORY, same as the out-of-memory code
    {32, 0x53},     // ERROR_SHARING_VIOLATION
    {50, 0x54},     // ERROR_NOT_SUPPORTED
    {4317, 0x55},   // ERROR_INVALID_OPERATION
    {1, 0x56},      // ERROR_INVALID_FUNCTION
    {995, 0x57},    // ERROR_OPERATION_ABORTED
    {5, 0x58},      // ERROR_ACCESS_DENIED
    {10061, 0x190}, // WSAECONNREFUSED
}};

}  // namespace

StatusCode StatusFromWin32Error(std::uint32_t severity, std::uint32_t error) {
  const std::uint32_t severityBits = (severity & 3u) << 30;
  for (const ErrorMapping& mapping : kErrorMappings) {
    if (mapping.error == error) return CodeFromBits(severityBits | 0x20010000u | mapping.mappedCode);
  }
  return CodeFromBits(severityBits | 0x00070000u | (error & 0xFFFFu));
}

StatusCode StatusFromLastError(std::uint32_t error) {
  if (error == 0) return status::Success;
  return StatusFromWin32Error(3, error);
}

StatusCode StatusFromNtStatusWith(std::int32_t ntStatus, DosErrorFromNtStatus toDosError) {
  if (ntStatus == 0) return status::Success;
  if (ntStatus == NtStatusBufferOverflow) return status::BufferTooSmall;
  std::uint32_t severity = static_cast<std::uint32_t>(ntStatus) >> 30;
  if (severity == 0) severity = 1;
  return StatusFromWin32Error(severity, toDosError(ntStatus));
}

}  // namespace zor
