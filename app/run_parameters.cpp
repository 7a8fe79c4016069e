#include "app/run_parameters.h"

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
