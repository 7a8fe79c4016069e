#include "app/product_folder_guard.h"

#include <windows.h>

#include <algorithm>

#include "platform/directory_lister.h"
#include "platform/file_operations.h"
#include "platform/registry_key.h"
#include "platform/win32_api.h"

namespace zor {
namespace {


bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

bool StartsWith(std::wstring_view text, std::wstring_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// Only "X:\..." or "\\server\share\...", optionally behind "\\?\" or
// "\??\": no device namespace, no stream or device suffix, nothing relative.
bool IsFullFolderPath(std::wstring_view path) {
  if (StartsWith(path, L"\\\\?\\") || StartsWith(path, L"\\??\\")) path.remove_prefix(4);
  if (path.empty()) return false;
  const bool drive = path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == L':' && IsSeparator(path[2]);
  const bool share = path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1]) && path[2] != L'.' &&
                     path[2] != L'?';
  if (!drive && !share) return false;
  // A ":" after the drive's would name a stream ("::$INDEX_ALLOCATION").
  for (std::size_t i = drive ? 2 : 0; i < path.size(); ++i) {
    if (path[i] == L':' || path[i] == L'*' || path[i] == L'?' || path[i] == L'"' || path[i] == L'<' ||
        path[i] == L'>' || path[i] == L'|' || path[i] < L' ') {
      return false;
    }
  }
  return true;
}

// The folders above a full path, nearest first, as text.
std::vector<std::wstring> FoldersAbove(const std::wstring& full) {
  std::vector<std::wstring> above;
  std::wstring current = full;
  while (true) {
    const std::size_t last = current.find_last_of(L'\\');
    if (last == std::wstring::npos || last == 0) break;
    current.resize(last);
    // A drive "C:" is opened as its root.
    above.push_back(current.size() == 2 && current[1] == L':' ? current + L"\\" : current);
    if (current.size() <= 2) break;
  }
  return above;
}

std::wstring ExpandedText(const std::wstring& text) {
  wchar_t expanded[1024] = {};
  const DWORD length = Win32().ExpandEnvironmentStringsW(text.c_str(), expanded, 1024);
  return length > 1 && length <= 1024 ? std::wstring(expanded, length - 1) : text;
}

// Every profile folder: the Users folder's own folders and the profiles the
// machine registers, wherever they lie.
std::vector<std::wstring> ProfileFolders(const std::wstring& usersDir) {
  std::vector<std::wstring> profiles;
  if (!usersDir.empty()) {
    DirectoryLister lister;
    if (!IsFailure(lister.OpenListing(usersDir, L"*", ListFolders))) {
      do {
        FolderEntry entry;
        if (IsFailure(lister.CurrentEntry(entry))) break;
        const std::wstring_view name(entry.name);
        if (name == L"." || name == L"..") continue;
        profiles.push_back(usersDir + L"\\" + std::wstring(name));
      } while (!IsFailure(lister.NextEntry()));
    }
  }
  RegistryKey list(RootLocalMachine);
  if (IsFailure(list.Open(L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList"))) return profiles;
  std::vector<std::wstring> sids;
  if (IsFailure(list.EnumSubKeys(sids))) return profiles;
  for (const std::wstring& sid : sids) {
    RegistryKey profile(RootLocalMachine);
    std::wstring path;
    if (!IsFailure(profile.Open(L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" + sid)) &&
        !IsFailure(profile.GetString(L"ProfileImagePath", path)) && !path.empty()) {
      profiles.push_back(ExpandedText(path));
    }
  }
  return profiles;
}

bool Contains(const std::vector<FolderIdentity>& identities, const FolderIdentity& identity) {
  return std::find(identities.begin(), identities.end(), identity) != identities.end();
}

bool HoldsOwnFile(const std::wstring& folder, ProductFolderField field) {
  for (std::wstring_view file : ProductOwnFiles(field)) {
    if (FileExists(folder + L"\\" + std::wstring(file)) == status::Success) return true;
  }
  return false;
}

// The folder's own name as stored, so that an 8.3 spelling of it counts as
// the name it stands for.
std::wstring OwnName(const std::wstring& full) {
  wchar_t longPath[1024] = {};
  const DWORD length = Win32().GetLongPathNameW(full.c_str(), longPath, 1024);
  const std::wstring text = length > 0 && length < 1024 ? std::wstring(longPath, length) : full;
  const std::size_t last = text.find_last_of(L"\\/");
  return last == std::wstring::npos ? text : text.substr(last + 1);
}

}  // namespace

ProductFolderGuard::ProductFolderGuard(const SystemFolders& system) : system_(system) {
  for (const std::wstring* folder :
       {&system.WindowsDir, &system.System32Dir, &system.SysWow64Dir, &system.DriversDir, &system.ProgramFilesDir,
        &system.ProgramFilesX86Dir, &system.ProgramDataDir, &system.UsersDir, &system.CommonDesktopDir,
        &system.CommonStartMenuDir, &system.CommonProgramsDir}) {
    if (!folder->empty()) Protect(*folder, true);
  }
  for (const std::wstring& profile : ProfileFolders(system.UsersDir)) Protect(profile, true);
  const DWORD drives = Win32().GetLogicalDrives();
  for (int letter = 0; letter < 26; ++letter) {
    if (drives & (1u << letter)) Protect(std::wstring(1, static_cast<wchar_t>(L'A' + letter)) + L":\\", false);
  }
  FolderIdentity windows;
  if (!system.WindowsDir.empty() && !IsFailure(IdentifyFolder(system.WindowsDir, windows))) {
    windows_.push_back(windows);
  }
}

void ProductFolderGuard::Protect(std::wstring_view path, bool withFoldersAbove) {
  std::wstring full;
  if (!FullFolderPath(path, {}, full)) return;
  if (full.size() == 2 && full[1] == L':') full += L'\\';
  FolderIdentity identity;
  if (!IsFailure(IdentifyFolder(full, identity)) && !Contains(protected_, identity)) protected_.push_back(identity);
  if (!withFoldersAbove) return;
  for (const std::wstring& above : FoldersAbove(full)) {
    if (!IsFailure(IdentifyFolder(above, identity)) && !Contains(protected_, identity)) {
      protected_.push_back(identity);
    }
  }
}

FolderRefusal ProductFolderGuard::Check(std::wstring_view path, ProductFolderField field, StatusCode& cause) const {
  cause = status::Success;
  if (path.empty()) return FolderRefusal::None;
  std::wstring full;
  if (!IsFullFolderPath(path) || !FullFolderPath(path, {}, full)) return FolderRefusal::NotAFullPath;
  if (full.size() == 2 && full[1] == L':') full += L'\\';  // a drive's root
  // The plain spellings first: that check needs no folder to exist.
  if (IsUnsafeProductFolder(path, system_)) return FolderRefusal::ProtectedFolder;
  FolderIdentity identity;
  if (const StatusCode opened = IdentifyFolder(full, identity); IsFailure(opened)) {
    cause = opened;
    return opened == status::FileNotFound || opened == status::PathNotFound ? FolderRefusal::DoesNotExist
                                                              : FolderRefusal::CannotOpen;
  }
  if (Contains(protected_, identity)) return FolderRefusal::ProtectedFolder;
  if (Contains(windows_, identity)) return FolderRefusal::InsideWindows;
  for (const std::wstring& above : FoldersAbove(full)) {
    FolderIdentity aboveIdentity;
    if (IsFailure(IdentifyFolder(above, aboveIdentity))) continue;
    if (Contains(windows_, aboveIdentity)) return FolderRefusal::InsideWindows;
  }
  if (IsProductFolderName(OwnName(full)) || HoldsOwnFile(full, field)) return FolderRefusal::None;
  return FolderRefusal::NotRecognisable;
}

std::wstring_view RefusalReason(FolderRefusal refusal) {
  switch (refusal) {
    case FolderRefusal::None:
      return L"";
    case FolderRefusal::NotAFullPath:
      return L"it is not the full path of a folder (a drive or a share, then folder names; no device, stream or "
             L"relative path)";
    case FolderRefusal::DoesNotExist:
      return L"it does not exist";
    case FolderRefusal::CannotOpen:
      return L"it cannot be opened as a folder";
    case FolderRefusal::ProtectedFolder:
      return L"it is, or holds, a folder that Windows or its users need (the Windows folder, a Program Files "
             L"folder, ProgramData, the Users folder or a profile, the common desktop or Start menu, or a drive's "
             L"root)";
    case FolderRefusal::InsideWindows:
      return L"it lies inside the Windows folder";
    case FolderRefusal::NotRecognisable:
      return L"its name is none that the product gives its folders (such as ZOR10 or ZOR10 Admin) and it holds "
             L"none of the product's files";
  }
  return L"";
}

}  // namespace zor
