#pragma once
#include <array>
#include <string_view>

namespace zor {

// The help printed for /help, /h and /?, one entry per line as printed.
inline constexpr std::array<std::wstring_view, 10> kUsageLines{
    L"zorremover?.exe [/zordir=<path>] [/zordatadir=<path>] [/norestart] [/skipask] [/silent] [/datafile=<path>] \n",
    L"parameters info:\n",
    L"\t/zordir - path to ZOR binaries, eg. \"c:\\Program Files\\ZOR\\ZOR10\". By default is used ZorFolder(from "
    L"registry)\n",
    L"\t/zordatadir - path to ZOR app data, eg. \"c:\\ProgramData\\ZOR10\". By default is used this example.\n",
    L"\t/norestart - disable automatic restart of computer.\n",
    L"\t/skipask - skip ask dialog for do all actions.\n",
    L"\t/silent - work like /skipask, and all errors are only on console, no dialog.\n",
    L"\t/deletedirforcehard - all directory, which have to be deleted by force(with files inside) are deleted with "
    L"whole directory tree(dangerous, it delete all user directoris in ZOR directories).\n",
    L"\t/whitelist - path to process killer white list file.\n",
    L"\t/help,/h,/? - this help.\n",
};

inline constexpr std::wstring_view kMissingRightsConsole = L"ERROR: You need the admin rights to run this application\n";
inline constexpr std::wstring_view kMissingRightsBox = L"You need the admin rights to run this application";
inline constexpr std::wstring_view kMissingRightsCaption = L"Warning";

}  // namespace zor
