#pragma once
// The severity scale of log records: larger is more severe. No Windows header.
#include <cstdint>
#include <string_view>

namespace zor {

using Severity = std::int32_t;

namespace severity {
inline constexpr Severity All = INT32_MIN;
inline constexpr Severity Debug = 100000;
inline constexpr Severity Detail = 150000;
inline constexpr Severity Info = 200000;
inline constexpr Severity Warn = 300000;
inline constexpr Severity Error = 400000;
inline constexpr Severity Fatal = 500000;
inline constexpr Severity Off = INT32_MAX;
}  // namespace severity

// Names compare without regard to letter case; a name off the scale gives
// `fallback`.
Severity SeverityFromName(std::wstring_view name, Severity fallback);

// The upper-case name; a value off the scale is shown as "INFO".
std::wstring_view SeverityName(Severity value);

}  // namespace zor
