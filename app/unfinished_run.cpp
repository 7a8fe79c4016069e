#include "app/unfinished_run.h"

#include <cstdint>

#include "app/run_context.h"
#include "platform/registry_key.h"
#include "platform/registry_value.h"

namespace zor {
namespace {

constexpr std::wstring_view kFileId = L"2E50283E-8198-4BC7-8CC5-E0CAFF0EC3BB";
// The calling line, as a default argument evaluated where the call stands.
LogSite Here(std::source_location where = std::source_location::current()) { return {kFileId, where.line()}; }

// kRemoverKey in its two parts.
constexpr std::wstring_view kSoftwareKey = L"SOFTWARE";
constexpr std::wstring_view kRemoverName = L"ZorRemover";

struct FolderField {
  std::wstring_view name;
  std::wstring RecordedFolders::*recorded;
  std::wstring RunParameters::*parameter;
};

constexpr FolderField kFields[] = {
    {kRecordedFolderNames[0], &RecordedFolders::ZorDir, &RunParameters::ZorDir},
    {kRecordedFolderNames[1], &RecordedFolders::ZorAdminDir, &RunParameters::ZorAdminDir},
    {kRecordedFolderNames[2], &RecordedFolders::ZorDataDir, &RunParameters::ZorDataDir},
};

// The product's keys lie in the 32-bit view; the remover's own key lies in
// the 64-bit one.
StatusCode UseRecordView(RegistryKey& machine) { return machine.SetViewMode(ViewMode64); }

StatusCode WriteFolders(const RunParameters& parameters) {
  RegistryKey record(RootLocalMachine);
  if (const StatusCode selected = UseRecordView(record); IsFailure(selected)) return selected;
  if (const StatusCode opened = record.OpenOrCreate(kUnfinishedRunKey); IsFailure(opened)) return opened;
  for (const FolderField& field : kFields) {
    const std::wstring& folder = parameters.*field.parameter;
    StatusCode written = status::Success;
    if (!folder.empty()) {
      written = record.SetString(field.name, folder);
    } else if (record.ValueExists(field.name)) {
      written = record.DeleteValue(field.name);
    }
    if (IsFailure(written)) return written;
  }
  // A record still in memory when the machine goes down is no record.
  return record.Flush();
}

// A folder text: a REG_SZ without a NUL inside. Anything else would be read
// as some other folder than the one recorded.
bool FolderText(const RegistryValue& value, std::wstring& text) {
  if (value.Type() != ValueTypeString) return false;
  std::wstring read;
  if (IsFailure(value.ToString(read)) || read.find(L'\0') != std::wstring::npos) return false;
  text = std::move(read);
  return true;
}

}  // namespace

void RecordUnfinishedRun(RunContext& context) {
  if (const StatusCode written = WriteFolders(context.parameters); IsFailure(written)) {
    context.Log(severity::Warn, Here(),
                L"The product folders of this run could not be recorded in %s (error: %x); a run stopped from "
                L"here on may leave them behind",
                kUnfinishedRunLogName, written);
    return;
  }
  context.Log(severity::Debug, Here(), L"The product folders of this run are recorded in %s",
              kUnfinishedRunLogName);
}

bool ReadUnfinishedRun(RunContext& context, RecordedFolders& folders) {
  RegistryKey record(RootLocalMachine);
  if (IsFailure(UseRecordView(record)) || IsFailure(record.Open(kUnfinishedRunKey))) return false;
  for (const FolderField& field : kFields) {
    if (!record.ValueExists(field.name)) continue;
    RegistryValue value;
    std::wstring text;
    if (IsFailure(record.QueryValue(field.name, value)) || !FolderText(value, text)) {
      context.Log(severity::Warn, Here(), L"The value %s of %s is no folder and is ignored", field.name,
                  kUnfinishedRunLogName);
      continue;
    }
    folders.*field.recorded = text;
  }
  return true;
}

void ForgetUnfinishedRun(RunContext& context) {
  RegistryKey remover(RootLocalMachine);
  if (IsFailure(UseRecordView(remover)) || IsFailure(remover.Open(kRemoverKey)) ||
      !RegistryKey::KeyExists(remover, kUnfinishedRunName)) {
    return;
  }
  if (const StatusCode deleted = remover.DeleteSubKey(kUnfinishedRunName, true); IsFailure(deleted)) {
    context.Log(severity::Warn, Here(),
                L"The record %s could not be removed (error: %x); the next run takes its folders from it",
                kUnfinishedRunLogName, deleted);
    return;
  }
  context.Log(severity::Debug, Here(), L"The record %s is removed: the run is finished", kUnfinishedRunLogName);
  // The remover's key goes only when it holds nothing else.
  std::uint32_t subKeys = 1;
  std::uint32_t values = 1;
  if (IsFailure(remover.CountEntries(subKeys, values)) || subKeys != 0 || values != 0) return;
  remover.Close();
  if (IsFailure(remover.Open(kSoftwareKey))) return;
  if (const StatusCode deleted = remover.DeleteSubKey(kRemoverName, false); IsFailure(deleted)) {
    context.Log(severity::Debug, Here(), L"The empty key HKLM\\%s stays (error: %x)", kRemoverKey, deleted);
  }
}

}  // namespace zor
