#pragma once
// Every registry access of the program goes through RegistryKey, on the
// native key calls. The native interface knows no predefined roots, no
// 32-bit view and no merged classes root; this class supplies all three.
#include <array>
#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include "platform/native_types.h"
#include "platform/registry_path.h"
#include "platform/registry_value.h"
#include "platform/unique_handle.h"

namespace zor {

class RegistryKey;

// Names the parent of a key object that hangs from another one.
struct AsChildOf {
  RegistryKey& parent;
};

class RegistryKey {
 public:
  enum State : std::uint32_t { StateClosed = 0, StateRead = 1, StateWrite = 2, StateBoth = 3 };
  // Set exactly while the object hangs from HKEY_CLASSES_ROOT.
  static constexpr std::uint32_t FlagMergeClasses = 2;

  explicit RegistryKey(RegistryRoot root = RootNone);
  // Hangs from the parent's current key; takes its view mode and flags.
  explicit RegistryKey(AsChildOf child);
  ~RegistryKey();
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  StatusCode SetRoot(RegistryRoot root);
  StatusCode SetViewMode(ViewMode mode);

  // Move the object onto a subkey of its current position; a failure leaves
  // it where it was. Open reports a missing key as 0xE0010013.
  StatusCode Open(std::wstring_view subpath);
  StatusCode Create(std::wstring_view subpath);
  // Creates every missing key along the subpath and opens the last one for
  // reading; a failure removes again what this call created.
  StatusCode CreatePath(std::wstring_view subpath);
  StatusCode OpenOrCreate(std::wstring_view subpath);
  void Close();

  static bool KeyExists(RegistryKey& parent, std::wstring_view subpath);
  static bool MachineSoftwareKeyExists();

  // A subkey that is a registry link goes itself; the key it points to is
  // never entered.
  StatusCode DeleteSubKey(std::wstring_view name, bool recursive);
  StatusCode DeleteValue(std::wstring_view valueName);

  bool ValueExists(std::wstring_view valueName);
  // Leaves `value` as it was on failure.
  StatusCode QueryValue(std::wstring_view valueName, RegistryValue& value);
  StatusCode SetValue(std::wstring_view valueName, std::uint32_t type, const void* data, std::uint32_t size);
  StatusCode SetValue(std::wstring_view valueName, const RegistryValue& value);

  StatusCode GetDword(std::wstring_view valueName, std::uint32_t& value);
  StatusCode SetDword(std::wstring_view valueName, std::uint32_t value);
  StatusCode GetString(std::wstring_view valueName, std::wstring& text);
  StatusCode SetString(std::wstring_view valueName, std::wstring_view text);
  StatusCode GetMultiString(std::wstring_view valueName, std::vector<std::wstring>& list);
  StatusCode SetMultiString(std::wstring_view valueName, const std::vector<std::wstring>& list);
  StatusCode GetBootExecute(std::vector<std::wstring>& list);
  StatusCode SetBootExecute(const std::vector<std::wstring>& list);
  StatusCode SetRemoverValue(std::wstring_view text);

  // The list is replaced; on a failure it holds the names read until then.
  StatusCode EnumSubKeys(std::vector<std::wstring>& names);

  // How many subkeys and values the current key itself holds (no merging);
  // a failure leaves both counts as they were.
  StatusCode CountEntries(std::uint32_t& subKeys, std::uint32_t& values);

  // Writes the current key's changes to disk now rather than when Windows
  // gets round to it, so that they outlive a crash of the machine.
  StatusCode Flush();

  // The full registry name of the current position.
  StatusCode KeyName(std::wstring& name);

  std::uint32_t CurrentState() const noexcept { return state_; }
  ViewMode CurrentViewMode() const noexcept { return viewMode_; }
  RegistryRoot Root() const noexcept { return root_; }
  std::uint32_t Flags() const noexcept { return flags_; }

 private:
  // Where an operation works: a key handle or a predefined root value, and
  // the object whose root cache resolves it.
  struct Position {
    HANDLE handle;
    RegistryKey* owner;
  };
  using DeleteOperation = StatusCode (RegistryKey::*)(HANDLE parent, std::wstring_view name, ACCESS_MASK access);

  ACCESS_MASK ViewBits() const noexcept { return ViewAccessBits(viewMode_); }
  bool Merging() const noexcept { return (flags_ & FlagMergeClasses) != 0; }

  StatusCode CurrentPosition(bool forWriting, Position& position);
  StatusCode ResolvedPosition(bool forWriting, HANDLE& key);
  StatusCode ResolveRoot(HANDLE key, HANDLE& resolved);
  StatusCode OpenKeyHandle(HANDLE parent, std::wstring_view subpath, ACCESS_MASK access, bool create,
                           ULONG extraAttributes, UniqueNtHandle& key, ULONG* disposition = nullptr);
  StatusCode CreateReporting(std::wstring_view subpath, ULONG* disposition);

  StatusCode MergedOpen(const Position& parent, std::wstring_view subpath, ACCESS_MASK access, UniqueNtHandle& key);
  StatusCode MergedCreate(const Position& parent, std::wstring_view subpath, ACCESS_MASK access,
                          UniqueNtHandle& key);
  StatusCode MergedDelete(HANDLE key, std::wstring_view name, DeleteOperation operation);
  StatusCode PlainDelete(HANDLE parent, std::wstring_view name, ACCESS_MASK access);
  StatusCode TreeDelete(HANDLE parent, std::wstring_view name, ACCESS_MASK access);
  StatusCode ReadValueMerged(HANDLE key, std::wstring_view valueName, RegistryValue& value);

  std::array<std::atomic<HANDLE>, kRegistryRootCount> rootCache_{};
  RegistryRoot root_ = RootNone;
  RegistryKey* parent_ = nullptr;
  UniqueNtHandle read_;
  UniqueNtHandle write_;
  std::uint32_t state_ = StateClosed;
  ViewMode viewMode_ = ViewModeDefault;
  std::uint32_t flags_ = 0;
};

// The system's upper-casing of registry names (RtlUpcaseUnicodeString).
std::wstring UpcaseRegistryText(std::wstring_view text);

// The full registry name of an open key ("\REGISTRY\MACHINE\...").
StatusCode QueryKeyName(HANDLE key, std::wstring& name);

// A key's path below HKEY_LOCAL_MACHINE or the user's key, and which of the
// two it lies under.
StatusCode RelativeKeyPath(HANDLE key, std::wstring& path, bool& isMachine);

// Rewrites a key path for the 32-bit view. `subpath` may change; when it
// becomes an absolute registry path, `parent` becomes null and
// KEY_WOW64_32KEY leaves `access`.
StatusCode RedirectTo32BitView(HANDLE& parent, std::wstring& subpath, ACCESS_MASK& access);

}  // namespace zor
