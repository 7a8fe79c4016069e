#pragma once
// The command the RunOnce entry "ZorRemover" starts after the restart: the
// program, quoted, then the run number and the three product folders of this
// run (the program, administration console and data folders), so that the
// next run finds them after this one deleted the keys that name them. No
// Windows header here.
#include <string>
#include <string_view>

#include "app/run_parameters.h"

namespace zor {

// The program path is quoted: unquoted, a path with blanks such as
// C:\Program Files\Tools\zorremover.exe would let Windows start
// C:\Program.exe. The firewall driver's step travels along whenever it is
// one the uninstaller wrote (not negative), so a removal that a restart
// interrupted resumes at that step instead of starting over.
std::wstring RestartEntryText(std::wstring_view programPath, const RunParameters& parameters);

}  // namespace zor
