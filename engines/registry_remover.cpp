#include "engines/registry_remover.h"

#include <string>
#include <vector>

#include "app/run_context.h"
#include "engines/registry_list_edits.h"
#include "foundation/format_text.h"
#include "platform/downcase_text.h"
#include "platform/os_identity_reader.h"
#include "platform/registry_key.h"
#include "platform/short_path.h"

namespace zor {
namespace {

constexpr std::wstring_view kFileId = L"388E34E6-E1EE-4634-B2B6-DBF223FB44B3";

// The calling line, as a default argument evaluated where the call stands.
LogSite Here(std::source_location where = std::source_location::current()) { return {kFileId, where.line()}; }

// Codes are shown as their bits, not as negative numbers.
std::uint32_t Bits(StatusCode code) { return static_cast<std::uint32_t>(code); }



constexpr std::wstring_view kAppInitValue = L"AppInit_DLLs";
constexpr std::wstring_view kBootExecute = L"BootExecute";
// The AppInit library the product installs for the native programs of each
// kind of Windows.
constexpr std::wstring_view kLibraryOn64BitWindows = L"zorrssta.dll";
constexpr std::wstring_view kLibraryOn32BitWindows = L"zorrsstx.dll";

constexpr std::wstring_view kSessionManager = L"\\Control\\Session Manager";
// Windows keeps at most this many numbered control sets worth looking at;
// they are numbered without gaps, so the first missing one ends the search.
constexpr int kLastControlSet = 9;

bool RootOf(RegistryParentRoot parent, RegistryRoot& root) {
  switch (parent) {
    case ParentLocalMachine:
      root = RootLocalMachine;
      return true;
    case ParentCurrentUser:
      root = RootCurrentUser;
      return true;
    case ParentClassesRoot:
      root = RootClassesRoot;
      return true;
    default:
      return false;
  }
}

// The root as the verification names it in front of a key.
std::wstring RootName(RegistryParentRoot parent) {
  switch (parent) {
    case ParentLocalMachine: return L"HKLM\\";
    case ParentCurrentUser: return L"HKCU\\";
    case ParentClassesRoot: return L"HKCR\\";
  }
  return {};
}

// The view a row is read in, as the verification names it: a 64-bit
// program reads the native view unless the row names the other one.
std::wstring ViewName(RegistryRowView view, bool system64Bit) {
  if (!system64Bit) return {};
  return view == RegistryRowView::View32 ? L"x86" : L"x64";
}

std::wstring SessionManagerPath(std::wstring_view systemKey, int number) {
  std::wstring keyPath(systemKey);
  keyPath += number == 0 ? std::wstring(L"\\CurrentControlSet") : FormatText(L"\\ControlSet00%d", number);
  keyPath += kSessionManager;
  return keyPath;
}

}  // namespace

StatusRecord RegistryRemover::RemoveRegistryItems() { return RemoveRegistryItems(RegistryItemTable(), L"SYSTEM"); }

StatusRecord RegistryRemover::RemoveRegistryItems(std::span<const RegistryItem> items, std::wstring_view systemKey) {
  for (const RegistryItem& item : items) RunRow(item);
  return CleanBootExecute(systemKey);
}

void RegistryRemover::RunRow(const RegistryItem& item) {
  RunContext& run = context();
  const std::wstring_view key = item.KeyPath;
  const std::wstring_view value = item.ValueName;
  run.Log(severity::Info, Here(), L"Processing registry %s", key);
  if (item.Actions & ActionKeyRemove) {
    run.Log(severity::Debug, Here(), L"Key %s Remove", key);
    if (RemoveKey(item.RegistryParent, key, item.ViewMode, false).Failed()) {
      run.Log(severity::Debug, Here(), L"Key %s Remove failed", key);
    }
  }
  if (item.Actions & ActionKeyForceRemove) {
    run.Log(severity::Debug, Here(), L"Key %s ForceRemove", key);
    if (RemoveKey(item.RegistryParent, key, item.ViewMode, true).Failed()) {
      run.Log(severity::Debug, Here(), L"Key %s ForceRemove failed", key);
    }
  }
  if (item.Actions & ActionValueRemove) {
    run.Log(severity::Debug, Here(), L"Value %s:%s Remove", key, value);
    if (RemoveValue(item.RegistryParent, key, value, item.ViewMode).Failed()) {
      run.Log(severity::Debug, Here(), L"Value %s:%s Remove failed", key, value);
    }
  }
  if (item.Actions & ActionValueModify) {
    run.Log(severity::Debug, Here(), L"Value %s:%s Modify", key, value);
    if (ModifyValue(item.RegistryParent, key, value, item.ViewMode).Failed()) {
      run.Log(severity::Debug, Here(), L"Value %s:%s Modify failed", key, value);
    }
  }
}

bool RegistryRemover::System64Bit() const {
  return assumedSystem64Bit_ ? *assumedSystem64Bit_ : IsSystem64Bit();
}

StatusRecord RegistryRemover::StartStep(RegistryParentRoot parent, std::wstring_view keyPath, RegistryRowView viewMode,
                                        RegistryKey& key) {
  RegistryRoot root = RootNone;
  if (!RootOf(parent, root)) {
    context().Log(severity::Debug, Here(), L"Wrong RegistryParent parameter for key %s", keyPath);
    return MakeStatus(status::GenericFailure);
  }
  key.SetRoot(root);
  // 32-bit Windows has one view only: the rows' views mean nothing there.
  const bool namesOneView = viewMode == RegistryRowView::View32 || viewMode == RegistryRowView::View64;
  if (namesOneView && System64Bit()) {
    const StatusCode viewed = key.SetViewMode(viewMode == RegistryRowView::View32 ? ViewMode32 : ViewMode64);
    if (IsFailure(viewed)) {
      context().Log(severity::Debug, Here(),
                    L"Wrong ViewMode parameter for key %s, or SetViewMode failed (result: %x)", keyPath, Bits(viewed));
    }
  }
  return {};
}

StatusRecord RegistryRemover::RemoveKey(RegistryParentRoot parent, std::wstring_view keyPath, RegistryRowView viewMode,
                                        bool force) {
  RegistryKey key;
  if (StatusRecord started = StartStep(parent, keyPath, viewMode, key); started.Failed()) return started;
  if (!RegistryKey::KeyExists(key, keyPath)) {
    context().Log(severity::Debug, Here(), L"Key %s not found", keyPath);
    return {};
  }
  const StatusCode deleted = key.DeleteSubKey(keyPath, force);
  if (!IsFailure(deleted)) return {};
  if (force) {
    context().Log(severity::Warn, Here(), L"Deleting key %s failed (error %x)", keyPath, Bits(deleted));
    return {};
  }
  // Without force the usual reason is a subkey: say so when it is.
  if (IsFailure(key.Open(keyPath))) return {};
  std::vector<std::wstring> subkeys;
  key.EnumSubKeys(subkeys);
  if (subkeys.empty()) {
    context().Log(severity::Warn, Here(), L"Deleting key %s failed (error %x)", keyPath, Bits(deleted));
  } else {
    context().Log(severity::Warn, Here(), L"Deleting key %s failed (error %x), key is not empty", keyPath,
                  Bits(deleted));
  }
  return {};
}

StatusRecord RegistryRemover::RemoveValue(RegistryParentRoot parent, std::wstring_view keyPath, std::wstring_view valueName,
                                          RegistryRowView viewMode) {
  RegistryKey key;
  if (StatusRecord started = StartStep(parent, keyPath, viewMode, key); started.Failed()) return started;
  const StatusCode opened = key.Open(keyPath);
  if (opened == status::KeyNotFound) {
    context().Log(severity::Debug, Here(), L"Value %s:%s not present - Key not found", keyPath, valueName);
  } else if (IsFailure(opened)) {
    context().Log(severity::Debug, Here(), L"Opening key %s failed (error %x)", keyPath, Bits(opened));
  } else {
    const StatusCode deleted = key.DeleteValue(valueName);
    if (deleted == status::FileNotFound) {
      context().Log(severity::Info, Here(), L"Value %s:%s is not present", keyPath, valueName);
    } else if (IsFailure(deleted)) {
      context().Log(severity::Warn, Here(), L"Deleting value %s:%s failed (error %x)", keyPath, valueName,
                    Bits(deleted));
    }
  }
  key.Close();
  return {};
}

StatusRecord RegistryRemover::ModifyValue(RegistryParentRoot parent, std::wstring_view keyPath, std::wstring_view valueName,
                                          RegistryRowView viewMode) {
  RegistryKey key;
  if (StatusRecord started = StartStep(parent, keyPath, viewMode, key); started.Failed()) return started;
  if (valueName != kAppInitValue) {
    context().Log(severity::Error, Here(), L"Modify action is not defined for %s:%s", keyPath, valueName);
    return {};
  }
  // A missing key holds no list, and so nothing to take out.
  std::wstring text;
  if (!IsFailure(key.Open(keyPath))) {
    const StatusCode read = key.GetString(valueName, text);
    if (IsFailure(read)) {
      context().Log(severity::Debug, Here(), L"Reading %s:%s failed (error: %x)", keyPath, valueName,
                    Bits(read));
      return MakeStatus(read);
    }
  }
  const std::wstring_view library = AppInitLibrary();
  LibraryList libraries;
  if (const StatusCode split = SplitLibraryList(text, libraries); IsFailure(split)) {
    context().Log(severity::Debug, Here(), L"Reading %s:%s failed, error while splitting %s (error: %x)",
                  keyPath, valueName, text, Bits(split));
    return MakeStatus(split);
  }
  // The other entries belong to other software: a list without the
  // product's library is not written at all.
  if (TakeOutLibrary(libraries, library) == 0) {
    context().Log(severity::Debug, Here(), L"Value %s:%s doesn't need to be modified", keyPath, valueName);
    return {};
  }
  const std::wstring joined = JoinLibraryList(libraries);
  if (const StatusCode stored = key.SetString(valueName, joined); IsFailure(stored)) {
    context().Log(severity::Debug, Here(), L"Storing new value of %s:%s failed, new value: %s (error: %x)",
                  keyPath, valueName, joined, Bits(stored));
    return MakeStatus(stored);
  }
  return {};
}

StatusRecord RegistryRemover::CleanBootExecute() { return CleanBootExecute(L"SYSTEM"); }

StatusRecord RegistryRemover::CleanBootExecute(std::wstring_view systemKey) {
  context().Log(severity::Debug, Here(), L"Removing Session Manager values");
  for (int number = 0; number <= kLastControlSet; ++number) {
    const std::wstring keyPath = SessionManagerPath(systemKey, number);
    RegistryKey sessionManager(RootLocalMachine);
    if (IsFailure(sessionManager.Open(keyPath))) break;
    if (StatusRecord cleaned = CleanControlSet(keyPath, sessionManager); cleaned.Failed()) return cleaned;
  }
  return {};
}

StatusCode RegistryRemover::SortBootExecute(RegistryKey& sessionManager, bool longFormSuffices,
                                            std::optional<BootExecuteSorting>& sorting) {
  // Both forms of the program folder, as the entries may name it. Without
  // them no entry can be told to be the product's: an empty text would
  // match every entry.
  const std::wstring& zorDir = context().parameters.ZorDir;
  std::wstring longForm;
  std::wstring shortPath;
  std::wstring shortForm;
  StatusCode made = zorDir.empty() ? status::InvalidArgument : DowncaseText(zorDir, longForm);
  if (!IsFailure(made)) {
    made = ShortPath(longForm, shortPath);
    // Only an existing folder has a short form; the verification comes
    // after the folder went, and still finds what names the long one.
    if (IsFailure(made) && longFormSuffices) {
      shortPath = longForm;
      made = status::Success;
    }
  }
  if (!IsFailure(made)) made = DowncaseText(shortPath, shortForm);
  if (!IsFailure(made) && shortForm.empty()) made = status::InvalidArgument;
  if (IsFailure(made)) return made;

  std::vector<std::wstring> entries;
  if (!sessionManager.ValueExists(kBootExecute) || IsFailure(sessionManager.GetBootExecute(entries))) {
    return status::Success;
  }
  // Compared in lower case; what stays is written back as it was stored,
  // since the other entries belong to other software.
  std::vector<std::wstring> lowered(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    // A list that cannot be compared is left as it is.
    if (IsFailure(DowncaseText(entries[i], lowered[i]))) return status::Success;
  }
  sorting = SortBootExecuteEntries(entries, lowered, longForm, shortForm);
  return status::Success;
}

StatusRecord RegistryRemover::CleanControlSet(std::wstring_view keyPath, RegistryKey& sessionManager) {
  std::optional<BootExecuteSorting> sorting;
  if (const StatusCode sorted = SortBootExecute(sessionManager, false, sorting); IsFailure(sorted)) return MakeStatus(sorted);
  if (!sorting) return {};
  for (const std::wstring& entry : sorting->dropped) {
    context().Log(severity::Debug, Here(),
                  L"Found value '%s' to remove from registry value HKLM\\%s\\\\BootExecute", entry, keyPath);
  }
  // A product entry left behind would start a program at every boot that
  // the file stage is about to delete, so even an emptied list is written.
  // A list without product entries stays untouched.
  if (sorting->dropped.empty()) return {};
  if (const StatusCode written = sessionManager.SetBootExecute(sorting->kept); IsFailure(written)) {
    return MakeStatus(written);
  }
  return {};
}

std::wstring_view RegistryRemover::AppInitLibrary() {
  const RunParameters& parameters = context().parameters;
  return parameters.Is64BitSystem   ? kLibraryOn64BitWindows
         : parameters.Is32BitSystem ? kLibraryOn32BitWindows
                                    : std::wstring_view();
}

void RegistryRemover::Verify(std::vector<RemainingItem>& remaining) {
  VerifyItems(RegistryItemTable(), L"SYSTEM", remaining);
}

void RegistryRemover::VerifyItems(std::span<const RegistryItem> items, std::wstring_view systemKey,
                                  std::vector<RemainingItem>& remaining) {
  for (const RegistryItem& item : items) VerifyRow(item, remaining);
  for (int number = 0; number <= kLastControlSet; ++number) {
    const std::wstring keyPath = SessionManagerPath(systemKey, number);
    RegistryKey sessionManager(RootLocalMachine);
    if (IsFailure(sessionManager.Open(keyPath))) break;
    std::optional<BootExecuteSorting> sorting;
    if (IsFailure(SortBootExecute(sessionManager, true, sorting)) || !sorting) continue;
    for (const std::wstring& entry : sorting->dropped) {
      remaining.push_back({L"BootExecute entry", L"HKLM\\" + keyPath + L" : BootExecute : " + entry, L"x64", false});
    }
  }
}

void RegistryRemover::VerifyRow(const RegistryItem& item, std::vector<RemainingItem>& remaining) {
  RegistryKey key;
  if (StartStep(item.RegistryParent, item.KeyPath, item.ViewMode, key).Failed()) return;
  const std::wstring name = RootName(item.RegistryParent) + std::wstring(item.KeyPath);
  const std::wstring view = ViewName(item.ViewMode, System64Bit());
  if (item.Actions & (ActionKeyRemove | ActionKeyForceRemove)) {
    if (RegistryKey::KeyExists(key, item.KeyPath)) remaining.push_back({L"key", name, view, false});
    return;
  }
  if (IsFailure(key.Open(item.KeyPath))) return;
  if ((item.Actions & ActionValueRemove) && key.ValueExists(item.ValueName)) {
    remaining.push_back({L"value", name + L" : " + std::wstring(item.ValueName), view, false});
  }
  if ((item.Actions & ActionValueModify) && item.ValueName == kAppInitValue) {
    std::wstring text;
    LibraryList libraries;
    if (IsFailure(key.GetString(item.ValueName, text)) || IsFailure(SplitLibraryList(text, libraries))) return;
    for (const std::wstring& entry : libraries.entries) {
      if (NamesLibrary(entry, AppInitLibrary())) {
        remaining.push_back({L"AppInit_DLLs entry", name + L" : " + std::wstring(item.ValueName) + L" : " + entry,
                             view, false});
      }
    }
  }
}

}  // namespace zor
