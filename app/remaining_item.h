#pragma once
// One item of the product that the verification pass found still there.
// No Windows header.
#include <string>

namespace zor {

struct RemainingItem {
  std::wstring kind;  // "file", "folder", "key", "value", "service", "driver file", ...
  std::wstring item;  // the path, the key, "key : value", the name
  std::wstring view;  // "x86" or "x64" for registry items, else empty
  bool plannedAtRestart = false;
};

}  // namespace zor
