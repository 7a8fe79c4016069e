#include "platform/registry_key.h"

#include <new>
#include <set>

#include "platform/change_tally.h"
#include "platform/os_identity_reader.h"
#include "platform/registry_internal.h"

namespace zor {
namespace {

std::vector<std::wstring_view> PathComponents(std::wstring_view path) {
  std::vector<std::wstring_view> components;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find(L'\\', start);
    if (end == std::wstring_view::npos) end = path.size();
    if (end > start) components.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return components;
}

struct ByUtf16LeBytes {
  bool operator()(const std::wstring& left, const std::wstring& right) const {
    return PrecedesInUtf16LeBytes(left, right);
  }
};

}  // namespace

// The files of RegistryKey share these helpers.
using namespace registry_detail;

RegistryKey::RegistryKey(RegistryRoot root) { SetRoot(root); }

RegistryKey::RegistryKey(AsChildOf child)
    : parent_(&child.parent), viewMode_(child.parent.viewMode_), flags_(child.parent.flags_) {}

RegistryKey::~RegistryKey() {
  Close();
  for (std::atomic<HANDLE>& slot : rootCache_) {
    if (HANDLE cached = slot.exchange(nullptr)) Native().ZwClose(cached);
  }
}

StatusCode RegistryKey::SetRoot(RegistryRoot root) {
  Close();
  if ((viewMode_ & ViewModeNative) != 0 && root != RootNone && root != RootLocalMachine && root != RootUsers) {
    return status::ViewNeedsMachineOrUsersRoot;
  }
  root_ = root;
  parent_ = nullptr;
  if (root == RootClassesRoot) {
    flags_ |= FlagMergeClasses;
  } else {
    flags_ &= ~FlagMergeClasses;
  }
  return status::Success;
}

void RegistryKey::Close() {
  read_.reset();
  write_.reset();
  state_ = StateClosed;
}

StatusCode RegistryKey::ResolveRoot(HANDLE key, HANDLE& resolved) {
  if (!key) return status::RootHandleInvalid;
  const auto bits = reinterpret_cast<std::uintptr_t>(key);
  std::optional<std::size_t> slot;
  if ((bits >> 32) == 0xFFFFFFFFu) slot = RegistryRootSlot(static_cast<RegistryRoot>(bits));
  if (!slot) {
    resolved = key;
    return status::Success;
  }
  if (HANDLE cached = rootCache_[*slot].load()) {
    resolved = cached;
    return status::Success;
  }

  const RegistryRootEntry& entry = kRegistryRoots[*slot];
  HANDLE opened = nullptr;
  auto openWith = [&](ACCESS_MASK access) -> StatusCode {
    if (entry.value == RootCurrentUser) return StatusOfNativeCall(Native().RtlOpenCurrentUser(access, &opened));
    if (entry.path[0] == L'\0') return status::RootHandleInvalid;
    UNICODE_STRING name = Counted(entry.path);
    OBJECT_ATTRIBUTES attributes;
    nt::InitObjectAttributes(attributes, &name, kCaseInsensitive, nullptr);
    return StatusOfNativeCall(NativeChanges().ZwCreateKey(&opened, access, &attributes, 0, nullptr, 0, nullptr));
  };
  StatusCode result = openWith(kKeyAllAccess);
  if (result == status::AccessDenied) result = openWith(kKeyRead);
  if (IsFailure(result)) return result;

  HANDLE expected = nullptr;
  if (!rootCache_[*slot].compare_exchange_strong(expected, opened)) {
    Native().ZwClose(opened);
    opened = expected;
  }
  resolved = opened;
  return status::Success;
}

StatusCode RegistryKey::OpenKeyHandle(HANDLE parent, std::wstring_view subpath, ACCESS_MASK access, bool create,
                                      ULONG extraAttributes, UniqueNtHandle& key, ULONG* disposition) {
  HANDLE root = nullptr;
  if (const StatusCode resolved = ResolveRoot(parent, root); IsFailure(resolved)) return resolved;
  std::wstring path(subpath);
  if ((access & kWow64Key32) != 0) {
    if (const StatusCode redirected = RedirectTo32BitView(root, path, access); IsFailure(redirected)) {
      return redirected;
    }
  }
  UNICODE_STRING name = Counted(path);
  OBJECT_ATTRIBUTES attributes;
  nt::InitObjectAttributes(attributes, &name, kCaseInsensitive | extraAttributes, root);
  access &= ~kGenericBits;
  HANDLE opened = nullptr;
  const NTSTATUS result = create
                              ? NativeChanges().ZwCreateKey(&opened, access, &attributes, 0, nullptr, 0, disposition)
                              : Native().ZwOpenKey(&opened, access, &attributes);
  if (!NT_SUCCESS(result)) return StatusFromNtStatus(result);
  key.reset(opened);
  return status::Success;
}

StatusCode RegistryKey::CurrentPosition(bool forWriting, Position& position) {
  if (state_ != StateClosed) {
    if (forWriting && !write_) {
      UniqueNtHandle writer;
      const StatusCode opened = OpenKeyHandle(read_.get(), L"", kKeyAllAccess | ViewBits(), false, 0, writer);
      if (IsFailure(opened)) return opened;
      write_ = std::move(writer);
      state_ = StateBoth;
    } else if (!forWriting && !read_) {
      UniqueNtHandle reader;
      const StatusCode opened = OpenKeyHandle(write_.get(), L"", kKeyRead | ViewBits(), false, 0, reader);
      if (IsFailure(opened)) return opened;
      read_ = std::move(reader);
      state_ = StateBoth;
    }
    position = {forWriting ? write_.get() : read_.get(), this};
    return status::Success;
  }
  if (parent_) return parent_->CurrentPosition(forWriting, position);
  position = {RootHandleValue(root_), this};
  return status::Success;
}

StatusCode RegistryKey::ResolvedPosition(bool forWriting, HANDLE& key) {
  Position position;
  if (const StatusCode found = CurrentPosition(forWriting, position); IsFailure(found)) return found;
  return position.owner->ResolveRoot(position.handle, key);
}

StatusCode RegistryKey::Open(std::wstring_view subpath) {
  Position position;
  if (const StatusCode found = CurrentPosition(false, position); IsFailure(found)) return found;
  UniqueNtHandle opened;
  const ACCESS_MASK access = kKeyRead | ViewBits();
  const StatusCode result = Merging() ? MergedOpen(position, subpath, access, opened)
                                      : position.owner->OpenKeyHandle(position.handle, subpath, access, false, 0, opened);
  if (IsFailure(result)) {
    if (result == status::FileNotFound || result == status::PathNotFound || result == status::BadPathname) return status::KeyNotFound;
    return result;
  }
  Close();
  read_ = std::move(opened);
  state_ = StateRead;
  return status::Success;
}

StatusCode RegistryKey::Create(std::wstring_view subpath) { return CreateReporting(subpath, nullptr); }

StatusCode RegistryKey::CreateReporting(std::wstring_view subpath, ULONG* disposition) {
  Position position;
  if (const StatusCode found = CurrentPosition(true, position); IsFailure(found)) return found;
  UniqueNtHandle created;
  const ACCESS_MASK access = kKeyAllAccess | ViewBits();
  StatusCode result;
  if (Merging()) {
    result = MergedCreate(position, subpath, access, created);
    // The merged create runs its own roll-back; what it made counts as new.
    if (disposition) *disposition = kCreatedNewKey;
  } else {
    result = position.owner->OpenKeyHandle(position.handle, subpath, access, true, 0, created, disposition);
  }
  if (IsFailure(result)) return result;
  Close();
  write_ = std::move(created);
  state_ = StateWrite;
  return status::Success;
}

StatusCode RegistryKey::CreatePath(std::wstring_view subpath) {
  const std::wstring collapsed = CollapseDoubledViewNodes(subpath, UpcaseRegistryText);
  const std::vector<std::wstring_view> components = PathComponents(collapsed);
  RegistryKey walker(AsChildOf{*this});
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::size_t firstCreated = kNone;
  bool creating = false;
  for (std::size_t i = 0; i < components.size(); ++i) {
    if (!creating) {
      if (!IsFailure(walker.Open(components[i]))) continue;
      creating = true;
    }
    ULONG disposition = 0;
    const StatusCode created = walker.CreateReporting(components[i], &disposition);
    if (IsFailure(created)) {
      if (firstCreated != kNone) {
        // Take back what this call made, from its first new key down.
        walker.Close();
        std::wstring above;
        for (std::size_t j = 0; j < firstCreated; ++j) {
          if (j > 0) above += L'\\';
          above += components[j];
        }
        if (above.empty() || !IsFailure(walker.Open(above))) walker.DeleteSubKey(components[firstCreated], true);
      }
      return created;
    }
    // A key that appeared since the open failed is not ours to take back.
    if (firstCreated == kNone && disposition != kOpenedExistingKey) firstCreated = i;
  }
  walker.Close();
  return Open(collapsed);
}

StatusCode RegistryKey::OpenOrCreate(std::wstring_view subpath) {
  const StatusCode opened = Open(subpath);
  if (!IsFailure(opened)) return opened;
  return subpath.find(L'\\') == std::wstring_view::npos ? Create(subpath) : CreatePath(subpath);
}

bool RegistryKey::KeyExists(RegistryKey& parent, std::wstring_view subpath) {
  RegistryKey probe(AsChildOf{parent});
  return !IsFailure(probe.Open(subpath));
}

bool RegistryKey::MachineSoftwareKeyExists() {
  RegistryKey machine(RootLocalMachine);
  return KeyExists(machine, L"Software");
}

StatusCode RegistryKey::PlainDelete(HANDLE parent, std::wstring_view name, ACCESS_MASK access) {
  UniqueNtHandle key;
  if (const StatusCode opened = OpenKeyHandle(parent, name, access | kDelete, false, kOpenLink, key);
      IsFailure(opened)) {
    return opened;
  }
  return StatusOfNativeCall(NativeChanges().ZwDeleteKey(key.get()));
}

StatusCode RegistryKey::TreeDelete(HANDLE parent, std::wstring_view name, ACCESS_MASK access) {
  {
    // A link is opened as itself: its own (empty) subtree is all that is
    // walked, never the tree it points to.
    UniqueNtHandle key;
    if (const StatusCode opened = OpenKeyHandle(parent, name, access | kKeyRead, false, kOpenLink, key);
        IsFailure(opened)) {
      return opened;
    }
    ULONG index = 0;
    std::wstring lastDeleted;
    bool deletedAtIndex = false;
    for (;;) {
      std::wstring child;
      if (IsFailure(EnumerateSubKeyName(key.get(), index, child))) break;
      // The name just deleted is back in its place: someone recreated it.
      // Step over it rather than delete it again and again.
      if (deletedAtIndex && child == lastDeleted) {
        ++index;
        deletedAtIndex = false;
        continue;
      }
      const StatusCode deleted = TreeDelete(key.get(), child, access);
      if (IsFailure(deleted) && deleted != status::NoMoreSubKeys) {
        ++index;
        deletedAtIndex = false;
      } else {
        lastDeleted = std::move(child);
        deletedAtIndex = true;
      }
    }
  }
  return PlainDelete(parent, name, access);
}

StatusCode RegistryKey::DeleteSubKey(std::wstring_view name, bool recursive) {
  HANDLE key = nullptr;
  if (const StatusCode found = ResolvedPosition(true, key); IsFailure(found)) return found;
  const ACCESS_MASK access = kKeyAllAccess | ViewBits();
  StatusCode result =
      Merging() ? MergedDelete(key, name, &RegistryKey::PlainDelete) : PlainDelete(key, name, access);
  if (IsFailure(result) && !recursive && result == status::KeyMarkedForDeletion) result = status::Success;
  if (IsFailure(result) && recursive) {
    result = Merging() ? MergedDelete(key, name, &RegistryKey::TreeDelete) : TreeDelete(key, name, access);
  }
  if (result != status::KeyNotFound && result != status::FileNotFound) CountRemoval(!IsFailure(result));
  return result;
}

StatusCode RegistryKey::DeleteValue(std::wstring_view valueName) {
  HANDLE key = nullptr;
  if (const StatusCode found = ResolvedPosition(true, key); IsFailure(found)) return found;
  UNICODE_STRING name = Counted(valueName);
  const StatusCode deleted = StatusOfNativeCall(NativeChanges().ZwDeleteValueKey(key, &name));
  if (deleted != status::FileNotFound) CountRemoval(!IsFailure(deleted));
  return deleted;
}

bool RegistryKey::ValueExists(std::wstring_view valueName) {
  HANDLE key = nullptr;
  if (IsFailure(ResolvedPosition(false, key))) return false;
  if (ValueExistsAt(key, valueName)) return true;
  if (!Merging()) return false;
  std::wstring path;
  bool isMachine = false;
  if (IsFailure(RelativeKeyPath(key, path, isMachine)) || isMachine) return false;
  UniqueNtHandle machine;
  if (IsFailure(OpenKeyHandle(RootHandleValue(RootLocalMachine), path, kKeyQueryValue, false, 0, machine))) return false;
  return ValueExistsAt(machine.get(), valueName);
}

StatusCode RegistryKey::QueryValue(std::wstring_view valueName, RegistryValue& value) {
  HANDLE key = nullptr;
  if (const StatusCode found = ResolvedPosition(false, key); IsFailure(found)) return found;
  RegistryValue read;
  const StatusCode result = Merging() ? ReadValueMerged(key, valueName, read) : ReadValueAt(key, valueName, read);
  if (IsFailure(result)) return result;
  read.EnsureTerminators();
  value = std::move(read);
  return status::Success;
}

StatusCode RegistryKey::SetValue(std::wstring_view valueName, std::uint32_t type, const void* data,
                                 std::uint32_t size) {
  HANDLE key = nullptr;
  if (const StatusCode found = ResolvedPosition(true, key); IsFailure(found)) return found;
  UNICODE_STRING name = Counted(valueName);
  return StatusOfNativeCall(NativeChanges().ZwSetValueKey(key, &name, 0, type, data, size));
}

StatusCode RegistryKey::SetValue(std::wstring_view valueName, const RegistryValue& value) {
  return SetValue(valueName, value.Type(), value.Data().data(), static_cast<std::uint32_t>(value.Data().size()));
}

StatusCode RegistryKey::GetDword(std::wstring_view valueName, std::uint32_t& value) {
  RegistryValue read;
  if (const StatusCode result = QueryValue(valueName, read); IsFailure(result)) return result;
  return read.ToDword(value);
}

StatusCode RegistryKey::SetDword(std::wstring_view valueName, std::uint32_t value) {
  return SetValue(valueName, RegistryValue::FromDword(value));
}

StatusCode RegistryKey::GetString(std::wstring_view valueName, std::wstring& text) {
  RegistryValue read;
  if (const StatusCode result = QueryValue(valueName, read); IsFailure(result)) return result;
  return read.ToString(text);
}

StatusCode RegistryKey::SetString(std::wstring_view valueName, std::wstring_view text) {
  return SetValue(valueName, RegistryValue::FromString(text));
}

StatusCode RegistryKey::GetMultiString(std::wstring_view valueName, std::vector<std::wstring>& list) {
  RegistryValue read;
  if (const StatusCode result = QueryValue(valueName, read); IsFailure(result)) return result;
  return read.ToMultiString(list);
}

StatusCode RegistryKey::SetMultiString(std::wstring_view valueName, const std::vector<std::wstring>& list) {
  return SetValue(valueName, RegistryValue::FromMultiString(list));
}

StatusCode RegistryKey::EnumSubKeys(std::vector<std::wstring>& names) {
  names.clear();
  HANDLE key = nullptr;
  if (const StatusCode found = ResolvedPosition(false, key); IsFailure(found)) return found;
  if (!Merging()) return EnumerateAll(key, names);

  std::wstring path;
  bool isMachine = false;
  if (const StatusCode made = RelativeKeyPath(key, path, isMachine); IsFailure(made)) return made;
  // A counterpart that cannot be opened leaves its side out.
  UniqueNtHandle other;
  OpenKeyHandle(RootHandleValue(isMachine ? RootCurrentUser : RootLocalMachine), path, kKeyRead | ViewBits(), false,
                0, other);
  const HANDLE sides[] = {isMachine ? other.get() : key, isMachine ? key : other.get()};  // user side first

  std::set<std::wstring, ByUtf16LeBytes> merged;
  StatusCode result = status::Success;
  for (HANDLE side : sides) {
    if (!side) continue;
    std::vector<std::wstring> part;
    result = EnumerateAll(side, part);
    merged.insert(part.begin(), part.end());
    if (IsFailure(result)) break;
  }
  names.assign(merged.begin(), merged.end());
  return result;
}

StatusCode RegistryKey::CountEntries(std::uint32_t& subKeys, std::uint32_t& values) {
  HANDLE key = nullptr;
  if (const StatusCode found = ResolvedPosition(false, key); IsFailure(found)) return found;
  QueryBuffer buffer;
  ULONG length = 0;
  const StatusCode result = buffer.Run(length, [&](void* data, ULONG size, ULONG* reported) {
    return Native().ZwQueryKey(key, nt::KeyFullInformation, data, size, reported);
  });
  if (IsFailure(result)) return result;
  const auto* full = static_cast<const nt::KeyFullInformationRecord*>(buffer.data());
  subKeys = full->SubKeys;
  values = full->Values;
  return status::Success;
}

StatusCode RegistryKey::Flush() {
  HANDLE key = nullptr;
  if (const StatusCode found = ResolvedPosition(true, key); IsFailure(found)) return found;
  return StatusOfNativeCall(NativeChanges().ZwFlushKey(key));
}

StatusCode RegistryKey::KeyName(std::wstring& name) {
  HANDLE key = nullptr;
  if (const StatusCode found = ResolvedPosition(false, key); IsFailure(found)) return found;
  return QueryKeyName(key, name);
}

}  // namespace zor
