#pragma once
// What one run works with: the options of its command line, the folders of
// Windows and of the product, and the counters the stages share.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/product_folder_check.h"
#include "app/run_folder.h"

namespace zor {

struct RunParameters {
  std::int32_t RunNumber = 1;
  std::wstring ZorDir;
  std::wstring ZorAdminDir;
  std::wstring ZorDataDir;
  std::wstring AppDataDir;
  std::wstring CommonAppDataDir;
  std::wstring System32Dir;
  std::wstring SysWow64Dir;
  std::wstring DriversDir;
  std::wstring CommonDesktopDir;
  std::wstring CommonProgramsDir;
  std::wstring ProgramFilesDir;
  std::wstring ProgramFilesX86Dir;
  std::vector<std::wstring> Whitelist;
  // The file named by "whitelist", whose entries ReadOptions puts into
  // Whitelist.
  std::wstring WhitelistPath;
  bool Is64BitSystem = false;
  bool Is32BitSystem = false;
  std::int32_t RestartCounter = 0;
  std::int32_t NdisNextStep = 1;
  bool NoRestart = false;
  // "msi": the run ends with the exit codes of Windows Installer.
  std::wstring ExitCodes;
  // "report": where the run's JSON report goes; made full when the options
  // are read, so that the run after a restart writes to the same file.
  std::wstring ReportPath;
  // "dryrun": every stage finds what it would change; nothing is changed.
  bool DryRun = false;
  bool SkipAsk = false;
  bool DeleteDirForceHard = false;
  bool NdisOnly = false;
  bool AdminConsoleDetected = false;
};

// One row per folder of the run, in RunFolder order: the field that holds
// it and, for a folder of Windows that no product folder may be, the field
// of SystemFolders it fills (null for the product's and the user's folders).
struct RunFolderField {
  RunFolder folder;
  std::wstring RunParameters::*field;
  std::wstring SystemFolders::*guarded;
};
std::span<const RunFolderField> RunFolderFields();

// The field of a folder; null for a number that names no folder.
std::wstring* FolderOf(RunParameters& parameters, RunFolder folder);

// Sets the fields named by the options; the first occurrence of an option
// counts, later ones are ignored. Fields without an option stay as they were.
void ApplyOptions(const OptionList& options, RunParameters& parameters);

// The names of the options after the program's own path that no run reads
// (a mistyped "/zordri=", "--zordir="), in the order written. Fails as
// ParseOptions does, leaving `names` as it was.
StatusCode UnknownOptionNames(std::wstring_view commandLine, std::vector<std::wstring>& names);

}  // namespace zor
