#include "app/run_parameters.h"

#include <iterator>

#include "foundation/text_case.h"

namespace zor {
namespace {

enum class OptionKind { Number, Text, Flag };

// The options a run reads, in the order they are applied.
struct OptionRow {
  std::wstring_view name;
  OptionKind kind;
  std::int32_t RunParameters::*number = nullptr;
  std::wstring RunParameters::*text = nullptr;
  bool RunParameters::*flag = nullptr;
};

const OptionRow kOptionRows[] = {
    {L"run_number", OptionKind::Number, &RunParameters::RunNumber},
    {L"zordir", OptionKind::Text, nullptr, &RunParameters::ZorDir},
    {L"zoradmindir", OptionKind::Text, nullptr, &RunParameters::ZorAdminDir},
    {L"zordatadir", OptionKind::Text, nullptr, &RunParameters::ZorDataDir},
    {L"ndis_nextstep", OptionKind::Number, &RunParameters::NdisNextStep},
    {L"norestart", OptionKind::Flag, nullptr, nullptr, &RunParameters::NoRestart},
    {L"skipask", OptionKind::Flag, nullptr, nullptr, &RunParameters::SkipAsk},
    {L"silent", OptionKind::Flag, nullptr, nullptr, &RunParameters::SkipAsk},
    {L"deletedirforcehard", OptionKind::Flag, nullptr, nullptr, &RunParameters::DeleteDirForceHard},
    {L"ndisonly", OptionKind::Flag, nullptr, nullptr, &RunParameters::NdisOnly},
    // Only the path here: the file is read by the whitelist reader.
    {L"whitelist", OptionKind::Text, nullptr, &RunParameters::WhitelistPath},
    {L"exitcodes", OptionKind::Text, nullptr, &RunParameters::ExitCodes},
    {L"report", OptionKind::Text, nullptr, &RunParameters::ReportPath},
    {L"dryrun", OptionKind::Flag, nullptr, nullptr, &RunParameters::DryRun},
};

// Switches the entry point answers before any option is read.
constexpr std::wstring_view kEntrySwitchNames[] = {L"help", L"h", L"?"};

const OptionEntry* FirstOption(const OptionList& options, std::wstring_view name) {
  std::size_t index = 0;
  return FindOption(options, name, index);
}

bool IsKnownName(std::wstring_view name) {
  for (const OptionRow& row : kOptionRows) {
    if (EqualsFoldingAscii(name, row.name)) return true;
  }
  for (std::wstring_view entrySwitch : kEntrySwitchNames) {
    if (EqualsFoldingAscii(name, entrySwitch)) return true;
  }
  return false;
}

// Where the program's own path ends: a path such as C:\my-tools\zr.exe
// would otherwise start an option name at its "-".
constexpr RunFolderField kRunFolders[] = {
    {RunFolder::ZorDir, &RunParameters::ZorDir, nullptr},
    {RunFolder::ZorDataDir, &RunParameters::ZorDataDir, nullptr},
    {RunFolder::CommonAppDataDir, &RunParameters::CommonAppDataDir, &SystemFolders::ProgramDataDir},
    {RunFolder::AppDataDir, &RunParameters::AppDataDir, nullptr},
    {RunFolder::System32Dir, &RunParameters::System32Dir, &SystemFolders::System32Dir},
    {RunFolder::SysWow64Dir, &RunParameters::SysWow64Dir, &SystemFolders::SysWow64Dir},
    {RunFolder::DriversDir, &RunParameters::DriversDir, &SystemFolders::DriversDir},
    {RunFolder::CommonDesktopDir, &RunParameters::CommonDesktopDir, &SystemFolders::CommonDesktopDir},
    {RunFolder::CommonProgramsDir, &RunParameters::CommonProgramsDir, &SystemFolders::CommonProgramsDir},
    {RunFolder::ProgramFilesDir, &RunParameters::ProgramFilesDir, &SystemFolders::ProgramFilesDir},
    {RunFolder::ProgramFilesX86Dir, &RunParameters::ProgramFilesX86Dir, &SystemFolders::ProgramFilesX86Dir},
    {RunFolder::ZorAdminDir, &RunParameters::ZorAdminDir, nullptr},
};
static_assert(std::size(kRunFolders) == kRunFolderCount);

constexpr bool RowsInFolderOrder() {
  for (std::int32_t i = 0; i < kRunFolderCount; ++i) {
    if (static_cast<std::int32_t>(kRunFolders[i].folder) != i) return false;
  }
  return true;
}
static_assert(RowsInFolderOrder(), "FolderOf finds a folder's row by its number");

std::size_t ProgramPathEnd(std::wstring_view commandLine) {
  bool inQuotes = false;
  std::size_t i = 0;
  for (; i < commandLine.size(); ++i) {
    const wchar_t c = commandLine[i];
    if (c == L'\0') break;
    if (c == L'"') inQuotes = !inQuotes;
    if (!inQuotes && (c == L' ' || c == L'\t')) break;
  }
  return i;
}

}  // namespace

void ApplyOptions(const OptionList& options, RunParameters& parameters) {
  for (const OptionRow& row : kOptionRows) {
    const OptionEntry* entry = FirstOption(options, row.name);
    if (!entry) continue;
    switch (row.kind) {
      case OptionKind::Number:
        parameters.*row.number = entry->number;
        break;
      case OptionKind::Text:
        // An option written without a value empties the field: the caller
        // asked for the folder to be found anew.
        parameters.*row.text = entry->value;
        break;
      case OptionKind::Flag:
        parameters.*row.flag = true;
        break;
    }
  }
}

std::span<const RunFolderField> RunFolderFields() { return kRunFolders; }

std::wstring* FolderOf(RunParameters& parameters, RunFolder folder) {
  const auto number = static_cast<std::int32_t>(folder);
  if (number < 0 || number >= kRunFolderCount) return nullptr;
  return &(parameters.*kRunFolders[number].field);
}

StatusCode UnknownOptionNames(std::wstring_view commandLine, std::vector<std::wstring>& names) {
  OptionList options;
  if (const StatusCode parsed = ParseOptions(commandLine.substr(ProgramPathEnd(commandLine)), options);
      IsFailure(parsed)) {
    return parsed;
  }
  std::vector<std::wstring> unknown;
  for (const OptionEntry& entry : options) {
    if (!entry.name.empty() && !IsKnownName(entry.name)) unknown.push_back(entry.name);
  }
  names = std::move(unknown);
  return status::Success;
}

}  // namespace zor
