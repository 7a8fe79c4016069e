// The merged classes root: HKEY_CLASSES_ROOT as the user's classes over the
// machine's, for opening, creating, deleting and reading values.
#include <string>

#include "platform/registry_internal.h"
#include "platform/registry_key.h"

namespace zor {

using namespace registry_detail;

StatusCode RegistryKey::MergedOpen(const Position& parent, std::wstring_view subpath, ACCESS_MASK access,
                                   UniqueNtHandle& key) {
  std::wstring path;
  if (parent.handle == RootHandleValue(RootClassesRoot)) {
    path = L"SOFTWARE\\CLASSES";
  } else {
    HANDLE resolved = nullptr;
    if (const StatusCode found = parent.owner->ResolveRoot(parent.handle, resolved); IsFailure(found)) return found;
    bool isMachine = false;
    if (const StatusCode made = RelativeKeyPath(resolved, path, isMachine); IsFailure(made)) return made;
  }
  if (!subpath.empty()) {
    if (!path.empty()) path += L'\\';
    path += subpath;
  }
  const StatusCode user =
      parent.owner->OpenKeyHandle(RootHandleValue(RootCurrentUser), path, access, false, 0, key);
  if (!IsFailure(user)) return user;
  return parent.owner->OpenKeyHandle(RootHandleValue(RootLocalMachine), path, access, false, 0, key);
}

StatusCode RegistryKey::MergedCreate(const Position& parent, std::wstring_view subpath, ACCESS_MASK access,
                                     UniqueNtHandle& key) {
  HANDLE resolved = nullptr;
  if (const StatusCode found = parent.owner->ResolveRoot(parent.handle, resolved); IsFailure(found)) return found;
  std::wstring path;
  bool isMachine = false;
  if (const StatusCode made = RelativeKeyPath(resolved, path, isMachine); IsFailure(made)) return made;
  if (!subpath.empty()) {
    path += L'\\';
    path += subpath;
  }

  RegistryKey creator(RootLocalMachine);
  StatusCode result = creator.SetViewMode(viewMode_);
  if (!IsFailure(result)) result = creator.CreatePath(path);
  if (IsFailure(result) && (viewMode_ & ViewModeNative) == 0) {
    creator.SetRoot(RootCurrentUser);
    result = creator.SetViewMode(viewMode_);
    if (!IsFailure(result)) result = creator.CreatePath(path);
  }
  if (IsFailure(result)) return result;
  creator.Close();

  const std::wstring_view below =
      path.size() > kClassesPrefixLength ? std::wstring_view(path).substr(kClassesPrefixLength) : std::wstring_view();
  return MergedOpen(Position{RootHandleValue(RootClassesRoot), parent.owner}, below, access, key);
}

StatusCode RegistryKey::MergedDelete(HANDLE key, std::wstring_view name, DeleteOperation operation) {
  std::wstring path;
  bool isMachine = false;
  if (const StatusCode made = RelativeKeyPath(key, path, isMachine); IsFailure(made)) return made;

  RegistryKey counterpart(isMachine ? RootCurrentUser : RootLocalMachine);
  if (const StatusCode viewed = counterpart.SetViewMode(viewMode_); IsFailure(viewed)) return viewed;
  HANDLE other = nullptr;
  const StatusCode opened = counterpart.Open(path);
  if (!IsFailure(opened)) {
    if (const StatusCode writable = counterpart.ResolvedPosition(true, other); IsFailure(writable)) return writable;
  } else if (opened != status::KeyNotFound) {
    return opened;
  }

  const HANDLE machine = isMachine ? key : other;
  const HANDLE user = isMachine ? other : key;
  const ACCESS_MASK access = kKeyAllAccess | ViewBits();
  StatusCode machineResult = status::Success;
  if (machine) machineResult = (this->*operation)(machine, name, access);
  const bool machineDone = machine && !IsFailure(machineResult);
  if (user && (!machine || machineDone || machineResult == status::FileNotFound || machineResult == status::PathNotFound)) {
    const StatusCode userResult = (this->*operation)(user, name, access);
    if (userResult == status::PathNotFound || (userResult == status::FileNotFound && machineDone)) return status::Success;
    return userResult;
  }
  return machineResult;
}

StatusCode RegistryKey::ReadValueMerged(HANDLE key, std::wstring_view valueName, RegistryValue& value) {
  const StatusCode own = ReadValueAt(key, valueName, value);
  if (own != status::FileNotFound) return own;
  std::wstring path;
  bool isMachine = false;
  if (IsFailure(RelativeKeyPath(key, path, isMachine)) || isMachine) return own;
  UniqueNtHandle machine;
  if (IsFailure(OpenKeyHandle(RootHandleValue(RootLocalMachine), path, kKeyQueryValue, false, 0, machine))) return own;
  return ReadValueAt(machine.get(), valueName, value);
}

}  // namespace zor
