#pragma once
// The record of a run that has begun to remove: the product folders it
// settled on, in a registry key of the remover's own. The registry stage
// deletes the product keys that name these folders before the file stage
// deletes the folders, so a run stopped in between (killed, a power cut)
// would leave the next run nothing to find them by. The record stays until
// the run ends, or, when the run registered another one for after the
// restart, until that one ends. No Windows header here: the registry
// table's tests check against the name natively too.
#include <string>
#include <string_view>

namespace zor {

class RunContext;

// HKEY_LOCAL_MACHINE, 64-bit view. The remover's own key is not below the
// product's "SOFTWARE\Zor", which the registry stage deletes.
inline constexpr std::wstring_view kRemoverKey = L"SOFTWARE\\ZorRemover";
inline constexpr std::wstring_view kUnfinishedRunName = L"UnfinishedRun";
inline constexpr std::wstring_view kUnfinishedRunKey = L"SOFTWARE\\ZorRemover\\UnfinishedRun";
// How the log names the record.
inline constexpr std::wstring_view kUnfinishedRunLogName = L"HKLM\\SOFTWARE\\ZorRemover\\UnfinishedRun";

// One REG_SZ value per folder, named as the run parameter.
inline constexpr std::wstring_view kRecordedFolderNames[] = {L"ZorDir", L"ZorAdminDir", L"ZorDataDir"};

struct RecordedFolders {
  std::wstring ZorDir;
  std::wstring ZorAdminDir;
  std::wstring ZorDataDir;
};

// Writes the run's three product folders; the value of an empty folder is
// deleted, so an older record cannot lend it one. A failure is a WARN line
// and the run goes on.
void RecordUnfinishedRun(RunContext& context);

// False when there is no record. A value that is missing, empty, not a
// REG_SZ or holds a NUL leaves its folder empty; the others get a WARN line
// each.
bool ReadUnfinishedRun(RunContext& context, RecordedFolders& folders);

// Deletes the record, and the remover's key above it when nothing else is in
// it. A failure is a WARN line and the run goes on.
void ForgetUnfinishedRun(RunContext& context);

}  // namespace zor
