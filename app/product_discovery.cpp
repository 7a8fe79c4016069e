#include "app/product_discovery.h"

#include <string>
#include <string_view>

#include "app/product_folder.h"
#include "app/product_folder_check.h"
#include "app/product_folder_guard.h"
#include "app/run_setup.h"
#include "app/separate_copy.h"
#include "app/unfinished_run.h"
#include "platform/file_operations.h"
#include "platform/native_types.h"
#include "platform/registry_key.h"
#include "platform/special_folders.h"
#include "platform/win32_api.h"

namespace zor {
namespace {

constexpr std::wstring_view kFileId = L"8C3F0A61-4E27-4B9D-A5D2-71E6B09C4F38";

// The calling line, as a default argument evaluated where the call stands.
LogSite Here(std::source_location where = std::source_location::current()) { return {kFileId, where.line()}; }

// Where older or damaged installations keep their folders.
constexpr std::wstring_view kFallbackKeys[] = {
    L"Software\\ZOR\\ZOR10",
    L"Software\\ZOR\\ZOR9",
    L"System\\CurrentControlSet\\services\\ZOR\\ZOR10",
};

std::wstring ParentFolder(const std::wstring& path) {
  std::wstring trimmed = path;
  while (!trimmed.empty() && (trimmed.back() == L'\\' || trimmed.back() == L'/')) trimmed.pop_back();
  const std::size_t last = trimmed.find_last_of(L"\\/");
  return last == std::wstring::npos ? std::wstring() : trimmed.substr(0, last);
}

std::wstring EnvironmentText(const wchar_t* name) {
  wchar_t buffer[1024] = {};
  const DWORD length = Win32().GetEnvironmentVariableW(name, buffer, 1024);
  return length > 0 && length < 1024 ? std::wstring(buffer, length) : std::wstring();
}

std::wstring UsersFolder() {
  RegistryKey machine(RootLocalMachine);
  std::wstring profiles;
  if (!IsFailure(machine.Open(L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList")) &&
      !IsFailure(machine.GetString(L"ProfilesDirectory", profiles)) && !profiles.empty()) {
    wchar_t expanded[1024] = {};
    const DWORD length = Win32().ExpandEnvironmentStringsW(profiles.c_str(), expanded, 1024);
    if (length > 1 && length <= 1024) return std::wstring(expanded, length - 1);
  }
  return ParentFolder(EnvironmentText(L"PUBLIC"));
}

// Empties a folder value that is not recognisably a product folder, so the
// field counts as not found and no engine deletes anything there.
void RefuseUnsafe(RunContext& context, const ProductFolderGuard& guard, std::wstring& folder,
                  ProductFolderField field) {
  if (folder.empty()) return;
  StatusCode cause = status::Success;
  const FolderRefusal refusal = guard.Check(folder, field, cause);
  if (refusal == FolderRefusal::None) return;
  const ProductFolderFieldNames names = NamesOf(field);
  const std::wstring_view name = names.name;
  if (refusal == FolderRefusal::DoesNotExist) {
    context.Log(severity::Info, Here(), L"Not using '%s' as %s: it does not exist.", folder, name);
  } else if (refusal == FolderRefusal::CannotOpen) {
    context.Log(severity::Warn, Here(),
                L"Refusing '%s' as %s: %s (error: %x). If the product lies elsewhere, name its folder with "
                L"/%s=\"<full path>\".",
                folder, name, RefusalReason(refusal), cause, names.option);
  } else {
    context.Log(severity::Warn, Here(),
                L"Refusing '%s' as %s: %s. If the product lies elsewhere, name its folder with /%s=\"<full path>\".",
                folder, name, RefusalReason(refusal), names.option);
  }
  folder.clear();
}

bool IsDirectory(const std::wstring& path) { return FolderExists(path) == status::Success; }

// A candidate from the product keys: only a real answer counts, never the
// program's own folder.
bool TakeProductFolder(int kind, std::wstring& candidate) {
  std::wstring folder;
  const StatusCode found = ProductFolder(kind, folder);
  if (IsFailure(found) || found == status::OwnFolderSupplied || folder.empty()) return false;
  candidate = folder;
  return true;
}

struct DiscoveredField {
  std::wstring_view name;
  ProductFolderField field;
  int productKind;
  std::wstring_view fallbackValue;
};

StatusCode DiscoverFromKeys(RunContext& context, const ProductFolderGuard& guard, const DiscoveredField& field,
                            std::wstring& candidate, bool& anyKeyOpened) {
  anyKeyOpened = false;
  if (TakeProductFolder(field.productKind, candidate)) {
    RefuseUnsafe(context, guard, candidate, field.field);
    if (!candidate.empty()) return status::Success;
  }
  candidate.clear();
  RegistryKey machine(RootLocalMachine);
  if (context.parameters.Is64BitSystem) {
    if (const StatusCode selected = machine.SetViewMode(ViewMode32); IsFailure(selected)) return selected;
  }
  for (std::wstring_view key : kFallbackKeys) {
    if (IsFailure(machine.Open(key))) continue;
    anyKeyOpened = true;
    std::wstring value;
    if (!IsFailure(machine.GetString(field.fallbackValue, value))) candidate = value;
    machine.Close();
    break;
  }
  RefuseUnsafe(context, guard, candidate, field.field);
  return status::Success;
}

void Report(RunContext& context, std::wstring_view name, std::wstring& target, const std::wstring& candidate) {
  if (candidate.empty()) {
    context.Log(severity::Warn, Here(), L"%s param empty.", name);
    return;
  }
  target = candidate;
  context.Log(severity::Warn, Here(),
              L"%s param empty, but Remover found %s at '%s', use this path as default.",
              name, name, candidate);
}

// ZorDir and ZorDataDir: product keys, then the fall-back keys, then a
// folder that exists under the special folder.
StatusCode DiscoverField(RunContext& context, const ProductFolderGuard& guard, const DiscoveredField& field,
                         std::wstring& target, int specialKind, std::wstring_view specialChild) {
  if (!target.empty()) {
    context.Log(severity::Debug, Here(), L"%s param set to %s.", field.name, target);
    return status::Success;
  }
  std::wstring candidate;
  bool anyKeyOpened = false;
  if (const StatusCode found = DiscoverFromKeys(context, guard, field, candidate, anyKeyOpened); IsFailure(found)) {
    return found;
  }
  if (candidate.empty() && !anyKeyOpened) {
    std::wstring special;
    if (!IsFailure(SpecialFolder(specialKind, special))) {
      std::wstring guess = special + L"\\" + std::wstring(specialChild);
      if (IsDirectory(guess)) {
        candidate = guess;
        RefuseUnsafe(context, guard, candidate, field.field);
      }
    }
  }
  Report(context, field.name, target, candidate);
  return status::Success;
}

StatusCode DiscoverAdminFolder(RunContext& context, const ProductFolderGuard& guard) {
  RunParameters& parameters = context.parameters;
  if (!parameters.ZorAdminDir.empty()) {
    context.Log(severity::Debug, Here(), L"ZorAdminDir param set to %s.", parameters.ZorAdminDir);
    parameters.AdminConsoleDetected = true;
    return status::Success;
  }
  std::wstring candidate;
  for (int kind : {static_cast<int>(ProductAdminServerFolder), static_cast<int>(ProductAdminConsoleFolder)}) {
    if (!TakeProductFolder(kind, candidate)) continue;
    if (candidate.back() == L'\\' || candidate.back() == L'/') candidate.pop_back();
    RefuseUnsafe(context, guard, candidate, ProductFolderField::ZorAdminDir);
    if (!candidate.empty()) break;
  }
  if (candidate.empty()) {
    std::wstring special;
    const int kind = parameters.Is64BitSystem ? FolderProgramFiles64Bit : FolderProgramFiles;
    if (const StatusCode read = SpecialFolder(kind, special); IsFailure(read)) return read;
    std::wstring guess = special + L"\\Zor10 Admin";
    if (IsDirectory(guess)) {
      candidate = guess;
      RefuseUnsafe(context, guard, candidate, ProductFolderField::ZorAdminDir);
    }
  }
  if (candidate.empty()) {
    context.Log(severity::Warn, Here(), L"ZorAdminDir param empty.");
    parameters.AdminConsoleDetected = false;
    return status::Success;
  }
  parameters.ZorAdminDir = candidate;
  context.Log(severity::Warn, Here(),
              L"ZorAdminDir param empty, but Remover found ZorAdminDir at '%s', use this path as default.", candidate);
  parameters.AdminConsoleDetected = true;
  return status::Success;
}

// A run stopped before its end may have deleted the product keys already:
// the folders it recorded come before them. They pass the same check as a
// folder from anywhere else.
void TakeUnfinishedRun(RunContext& context, const ProductFolderGuard& guard) {
  RunParameters& parameters = context.parameters;
  if (!parameters.ZorDir.empty() && !parameters.ZorAdminDir.empty() && !parameters.ZorDataDir.empty()) return;
  RecordedFolders recorded;
  if (!ReadUnfinishedRun(context, recorded)) return;
  const struct {
    ProductFolderField kind;
    std::wstring& target;
    std::wstring& folder;
  } fields[] = {
      {ProductFolderField::ZorDir, parameters.ZorDir, recorded.ZorDir},
      {ProductFolderField::ZorAdminDir, parameters.ZorAdminDir, recorded.ZorAdminDir},
      {ProductFolderField::ZorDataDir, parameters.ZorDataDir, recorded.ZorDataDir},
  };
  bool announced = false;
  for (const auto& field : fields) {
    if (!field.target.empty() || field.folder.empty()) continue;
    if (!announced) {
      // The separate copy starts while its main run is under way: the record
      // is that run's own, and nothing is resumed.
      if (IsSeparateCopy()) {
        context.Log(severity::Debug, Here(), L"The product folders of the main run are read from %s",
                    kUnfinishedRunLogName);
      } else {
        context.Log(severity::Info, Here(), L"Resuming an unfinished run recorded in %s",
                    kUnfinishedRunLogName);
      }
      announced = true;
    }
    RefuseUnsafe(context, guard, field.folder, field.kind);
    if (field.folder.empty()) continue;
    field.target = field.folder;
    context.Log(severity::Debug, Here(), L"%s taken from the unfinished run: '%s'", NamesOf(field.kind).name,
                field.folder);
  }
}

}  // namespace

SystemFolders MachineSystemFolders(const RunParameters& parameters) {
  SystemFolders folders;
  std::wstring windows;
  if (!IsFailure(SpecialFolder(FolderWindows, windows))) folders.WindowsDir = windows;
  for (const RunFolderField& row : RunFolderFields()) {
    if (row.guarded != nullptr) folders.*row.guarded = parameters.*row.field;
  }
  folders.UsersDir = UsersFolder();
  folders.CommonStartMenuDir = ParentFolder(parameters.CommonProgramsDir);
  return folders;
}

StatusRecord DiscoverProductFolders(RunContext& context) {
  RunParameters& parameters = context.parameters;
  const ProductFolderGuard guard(MachineSystemFolders(parameters));
  // Values from the uninstall record, the command line and the restart
  // entry pass the same check as the discovered ones.
  RefuseUnsafe(context, guard, parameters.ZorDir, ProductFolderField::ZorDir);
  RefuseUnsafe(context, guard, parameters.ZorAdminDir, ProductFolderField::ZorAdminDir);
  RefuseUnsafe(context, guard, parameters.ZorDataDir, ProductFolderField::ZorDataDir);
  TakeUnfinishedRun(context, guard);

  const int programFiles = parameters.Is64BitSystem ? FolderProgramFiles32Bit : FolderProgramFiles;
  if (const StatusCode found = DiscoverField(context, guard, {L"ZorDir", ProductFolderField::ZorDir, ProductProgramFolder, L"ZorDir"},
                                             parameters.ZorDir, programFiles, L"ZOR\\ZOR10");
      IsFailure(found)) {
    return MakeStatus(found);
  }
  if (const StatusCode found = DiscoverAdminFolder(context, guard); IsFailure(found)) return MakeStatus(found);
  if (const StatusCode found = DiscoverField(context, guard,
                                             {L"ZorDataDir", ProductFolderField::ZorDataDir, ProductDataFolder,
                                              L"ZorAllUsersDir"},
                                             parameters.ZorDataDir, FolderUserAppData, L"ZOR10");
      IsFailure(found)) {
    return MakeStatus(found);
  }
  // What this run will touch, for the administrator to see.
  for (const auto& [name, folder] : {std::pair<std::wstring_view, const std::wstring*>{L"ZorDir", &parameters.ZorDir},
                                     {L"ZorAdminDir", &parameters.ZorAdminDir},
                                     {L"ZorDataDir", &parameters.ZorDataDir}}) {
    if (folder->empty()) {
      context.Log(severity::Info, Here(), L"%s of this run: none", name);
    } else {
      context.Log(severity::Info, Here(), L"%s of this run: '%s'", name, *folder);
    }
  }
  return {};
}

}  // namespace zor
