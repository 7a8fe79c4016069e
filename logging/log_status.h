#pragma once
// The codes the logging framework reports of its own. No Windows header.
#include "foundation/status_codes.h"

namespace zor::status {

inline constexpr StatusCode ConfigNotFound = CodeFromBits(0xE0010015);
inline constexpr StatusCode ConfigHeaderUnclosed = CodeFromBits(0xE0010016);
inline constexpr StatusCode ConfigSectionRepeated = CodeFromBits(0xE0010017);
inline constexpr StatusCode ConfigKeyOutsideSection = CodeFromBits(0xE0010018);
inline constexpr StatusCode ConfigKeyLineInvalid = CodeFromBits(0xE0010019);
inline constexpr StatusCode ConfigKeyRepeated = CodeFromBits(0xE001001A);
inline constexpr StatusCode AppenderTypeUnknown = CodeFromBits(0xE001001B);
inline constexpr StatusCode LayoutTypeUnknown = CodeFromBits(0xE001001D);
inline constexpr StatusCode AppenderTypeMismatch = CodeFromBits(0xE0010062);
inline constexpr StatusCode LayoutTypeMismatch = CodeFromBits(0xE0010063);
inline constexpr StatusCode LockingUnavailable = CodeFromBits(0xE0010076);

}  // namespace zor::status

namespace zor {

// A failure of one appender, as the logger reports it: the code keeps its
// facility and number but becomes a warning.
constexpr StatusCode AsLoggingWarning(StatusCode code) {
  return CodeFromBits((static_cast<std::uint32_t>(code) & 0x3FFFFFFFu) | 0x80000000u);
}

}  // namespace zor
