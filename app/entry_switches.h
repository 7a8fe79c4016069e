#pragma once
// The switches the entry point itself looks at before anything else runs.
// Portable: no Windows header.
#include <string_view>

namespace zor {

struct EntrySwitches {
  bool consoleOnly = false;  // "/silent" or "-silent"
  bool help = false;         // "/help", "-help", "/?", "-?", "/h"
};

// Looks at every argument after the program name; whole-argument matches,
// letters a to z folded; an argument of 65535 characters or more never matches.
EntrySwitches ScanEntrySwitches(int argumentCount, const wchar_t* const* arguments);

}  // namespace zor
