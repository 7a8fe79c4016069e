#include "app/product_folder.h"

#include <array>
#include <mutex>
#include <string_view>

#include "platform/native_types.h"
#include "platform/os_identity_reader.h"
#include "platform/path_text.h"
#include "platform/registry_key.h"
#include "platform/spin_lock.h"

namespace zor {
namespace {

struct ProductFolderRow {
  int kind;
  std::wstring_view key;
  std::wstring_view value;
};

constexpr std::array<ProductFolderRow, 4> kProductFolders{{
    {ProductProgramFolder, L"SOFTWARE\\Zor\\Zor10", L"ZorDir"},
    {ProductDataFolder, L"SOFTWARE\\Zor\\Zor10", L"ZorAllUsersDir"},
    {ProductAdminConsoleFolder, L"SOFTWARE\\Zor\\ZorAdmin10", L"AdminConsoleInstDir"},
    {ProductAdminServerFolder, L"SOFTWARE\\Zor\\ZorAdmin10", L"AdminServerInstDir"},
}};

struct CachedFolder {
  bool filled = false;
  StatusCode code = status::Success;
  std::wstring folder;
};

SpinLock cacheLock;
std::array<CachedFolder, kProductFolders.size()> cache;

StatusCode ReadProductFolder(const ProductFolderRow& row, std::wstring& folder) {
  RegistryKey key(RootLocalMachine);
  // The product is a 32-bit program: its keys live in the 32-bit view.
  if (IsSystem64Bit()) {
    if (StatusCode code = key.SetViewMode(ViewMode32); IsFailure(code)) return code;
  }
  if (StatusCode code = key.Open(row.key); IsFailure(code)) return code;
  return key.GetString(row.value, folder);
}

}  // namespace

StatusCode ProgramFolder(std::wstring& folder) {
  const PEB* peb = nt::CurrentPeb();
  if (!peb || !peb->ProcessParameters) return status::GenericFailure;
  const auto* parameters = reinterpret_cast<const nt::ProcessParameters*>(peb->ProcessParameters);
  const UNICODE_STRING& image = parameters->ImagePathName;
  if (!image.Buffer || image.Length == 0) return status::GenericFailure;
  std::wstring parent;
  if (StatusCode code = ParentFolder(std::wstring_view(image.Buffer, image.Length / sizeof(wchar_t)), parent);
      IsFailure(code)) {
    return code;
  }
  if (parent.empty()) return status::GenericFailure;
  folder = std::move(parent);
  return status::Success;
}

StatusCode ProductFolder(int kind, std::wstring& folder) {
  std::size_t index = 0;
  while (index < kProductFolders.size() && kProductFolders[index].kind != kind) ++index;
  if (index == kProductFolders.size()) return status::FolderKindUnknown;

  std::lock_guard<SpinLock> guard(cacheLock);
  CachedFolder& entry = cache[index];
  if (!entry.filled) {
    std::wstring found;
    if (IsFailure(ReadProductFolder(kProductFolders[index], found))) {
      // Callers see from the code that this is no product folder.
      entry.code = ProgramFolder(found);
      if (!IsFailure(entry.code)) entry.code = status::OwnFolderSupplied;
    } else {
      entry.code = status::Success;
    }
    entry.folder = std::move(found);
    entry.filled = true;
  }
  if (!IsFailure(entry.code)) folder = entry.folder;
  return entry.code;
}

}  // namespace zor
