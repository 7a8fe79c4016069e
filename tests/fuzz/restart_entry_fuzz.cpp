// The RunOnce entry read back by the next run: whatever the folders hold,
// the run after the restart must get the same folders, the next run number,
// the firewall driver's step (when this run has one) and /norestart, and
// no option that this run did not carry over. The program's own path, in
// quotes, must start no option either.
//
// Input lines: program path, program folder, data folder, run number, step,
// norestart ("1" or empty), administration folder. Quotation marks, which
// no Windows path holds, and NULs are taken out of the paths; a program path
// that starts with neither a drive nor a share is put on drive C.
#include <cstdint>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/restart_entry.h"
#include "app/run_parameters.h"
#include "tests/fuzz/fuzz_support.h"

namespace zor {
namespace {

using fuzz::FieldAt;
using fuzz::Printable;
using fuzz::Require;

std::wstring WindowsPath(std::wstring_view text) {
  std::wstring path;
  for (wchar_t c : text) {
    if (c != L'"' && c != L'\0' && c != L'\r') path.push_back(c);
  }
  return path;
}

struct Named {
  std::wstring name;
  std::wstring value;
  bool operator==(const Named&) const = default;
};

void Check(const std::vector<std::wstring>& fields) {
  std::wstring program = WindowsPath(FieldAt(fields, 0));
  // The path the program finds for itself is full: it starts with a drive
  // or a share, never with "/" or "-". It names a file: it never ends with
  // a separator.
  const bool onDrive = program.size() >= 2 && program[1] == L':' &&
                       ((program[0] >= L'a' && program[0] <= L'z') || (program[0] >= L'A' && program[0] <= L'Z'));
  if (!onDrive && program.rfind(L"\\\\", 0) != 0) program = L"C:\\" + program;
  while (!program.empty() && program.back() == L'\\') program.pop_back();
  RunParameters current;
  current.ZorDir = WindowsPath(FieldAt(fields, 1));
  current.ZorDataDir = WindowsPath(FieldAt(fields, 2));
  current.RunNumber = static_cast<std::int32_t>(fuzz::NumberFromField(FieldAt(fields, 3)));
  // The entry is only written below the last run number, so the next one
  // always exists.
  if (current.RunNumber == INT32_MAX) current.RunNumber = 1;
  current.NdisNextStep = static_cast<std::int32_t>(fuzz::NumberFromField(FieldAt(fields, 4)));
  current.NoRestart = !FieldAt(fields, 5).empty() && FieldAt(fields, 5) != L"0";
  current.ZorAdminDir = WindowsPath(FieldAt(fields, 6));
  // Fields the next run must not inherit.
  current.WhitelistPath = L"C:\\list.txt";
  current.SkipAsk = true;
  current.DeleteDirForceHard = true;
  current.NdisOnly = true;

  const std::wstring entry = RestartEntryText(program, current);
  OptionList options;
  const StatusCode parsed = ParseOptions(entry, options);
  Require(!IsFailure(parsed), "entry-parses", [&] { return Printable(entry); });
  if (IsFailure(parsed)) return;

  RunParameters next;
  ApplyOptions(options, next);
  const RunParameters defaults;
  const std::int32_t expectedStep = current.NdisNextStep >= 0 ? current.NdisNextStep : defaults.NdisNextStep;
  const bool same = next.RunNumber == current.RunNumber + 1 && next.ZorDir == current.ZorDir &&
                    next.ZorAdminDir == current.ZorAdminDir && next.ZorDataDir == current.ZorDataDir && next.NdisNextStep == expectedStep &&
                    next.NoRestart == current.NoRestart;
  Require(same, "next-run-parameters", [&] {
    return Printable(entry) + " gave run " + std::to_string(next.RunNumber) + ", zordir " + Printable(next.ZorDir) +
           ", zoradmindir " + Printable(next.ZorAdminDir) + ", zordatadir " + Printable(next.ZorDataDir) + ", step " + std::to_string(next.NdisNextStep) +
           ", norestart " + std::to_string(next.NoRestart);
  });
  const bool notInherited = next.WhitelistPath.empty() && !next.SkipAsk &&
                            !next.DeleteDirForceHard && !next.NdisOnly;
  Require(notInherited, "nothing-else-carried", [&] { return Printable(entry); });

  std::vector<Named> expected = {{L"run_number", std::to_wstring(current.RunNumber + 1)}};
  if (!current.ZorDir.empty()) expected.push_back({L"zordir", current.ZorDir});
  if (!current.ZorAdminDir.empty()) expected.push_back({L"zoradmindir", current.ZorAdminDir});
  if (!current.ZorDataDir.empty()) expected.push_back({L"zordatadir", current.ZorDataDir});
  if (current.NdisNextStep >= 0) expected.push_back({L"ndis_nextstep", std::to_wstring(current.NdisNextStep)});
  if (current.NoRestart) expected.push_back({L"norestart", {}});
  std::vector<Named> named;
  for (const OptionEntry& option : options) {
    if (!option.name.empty()) named.push_back({option.name, option.value});
  }
  Require(named == expected, "only-carried-options", [&] {
    std::string got;
    for (const Named& option : named) got += "[" + Printable(option.name) + "=" + Printable(option.value) + "]";
    return Printable(entry) + " gave " + got;
  });
}

}  // namespace
}  // namespace zor

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zor::Check(zor::fuzz::Fields(zor::fuzz::WideFromBytes(data, size)));
  return 0;
}
