#include "app/run_parameters.h"

namespace zor {
namespace {

const OptionEntry* FirstOption(const OptionList& options, std::wstring_view name) {
  std::size_t index = 0;
  return FindOption(options, name, index);
}

void ApplyText(const OptionList& options, std::wstring_view name, std::wstring& field) {
  // An option written without a value empties the field: the caller asked
  // for the folder to be found anew.
  if (const OptionEntry* entry = FirstOption(options, name)) field = entry->value;
}

void ApplyNumber(const OptionList& options, std::wstring_view name, std::int32_t& field) {
  if (const OptionEntry* entry = FirstOption(options, name)) field = entry->number;
}

void ApplyFlag(const OptionList& options, std::wstring_view name, bool& field) {
  if (FirstOption(options, name)) field = true;
}

}  // namespace

void ApplyOptions(const OptionList& options, RunParameters& parameters) {
  ApplyNumber(options, L"run_number", parameters.RunNumber);
  ApplyText(options, L"zordir", parameters.ZorDir);
  ApplyText(options, L"zoradmindir", parameters.ZorAdminDir);
  ApplyText(options, L"zordatadir", parameters.ZorDataDir);
  ApplyNumber(options, L"ndis_nextstep", parameters.NdisNextStep);
  ApplyFlag(options, L"norestart", parameters.NoRestart);
  ApplyFlag(options, L"skipask", parameters.SkipAsk);
  ApplyFlag(options, L"silent", parameters.SkipAsk);
  ApplyFlag(options, L"deletedirforcehard", parameters.DeleteDirForceHard);
  ApplyFlag(options, L"ndisonly", parameters.NdisOnly);
  // Only the path for now: reading the file into Whitelist belongs to the
  // whitelist reader, which is not there yet.
  ApplyText(options, L"whitelist", parameters.WhitelistPath);
}

}  // namespace zor
