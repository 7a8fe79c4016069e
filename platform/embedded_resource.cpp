#include "platform/embedded_resource.h"

#include <windows.h>

#include "platform/win32_api.h"

namespace zor {

StatusCode ReadBinaryResource(int id, std::span<const std::byte>& bytes) {
  bytes = {};
  SetLastError(0);
  HRSRC found = Win32().FindResourceW(nullptr, MAKEINTRESOURCEW(id), L"BINARY");
  if (found == nullptr) return StatusFromLastError(GetLastError());
  HGLOBAL loaded = Win32().LoadResource(nullptr, found);
  if (loaded == nullptr) return StatusFromLastError(GetLastError());
  const void* data = Win32().LockResource(loaded);
  if (data == nullptr) return status::ResourceNotLocked;
  bytes = std::span<const std::byte>(static_cast<const std::byte*>(data), Win32().SizeofResource(nullptr, found));
  return status::Success;
}

}  // namespace zor
