#include "platform/new_file.h"

#include "platform/native_api.h"
#include "platform/native_file.h"
#include "platform/nt_path.h"
#include "platform/unique_handle.h"

namespace zor {

StatusCode WriteNewFile(std::wstring_view path, std::span<const std::byte> content) {
  NtPath name;
  if (const StatusCode converted = ToNtPath(path, name); IsFailure(converted)) return converted;
  OBJECT_ATTRIBUTES attributes;
  nt::InitObjectAttributes(attributes, name.get(), native_file::kObjectAttributes, nullptr);
  IO_STATUS_BLOCK io{};
  UniqueNtHandle file;
  const NTSTATUS created = NativeChanges().ZwCreateFile(
      file.put(), GENERIC_WRITE | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ,
      native_file::kFileCreate, native_file::kSynchronousIo | native_file::kNonDirectoryFile, nullptr, 0);
  if (!NT_SUCCESS(created)) {
    file.release();
    return native_file::FileStatus(created);
  }
  std::size_t written = 0;
  while (written < content.size()) {
    const auto chunk = static_cast<ULONG>(std::min<std::size_t>(content.size() - written, 1u << 20));
    io = IO_STATUS_BLOCK{};
    const NTSTATUS wrote = NativeChanges().ZwWriteFile(file.get(), nullptr, nullptr, nullptr, &io,
                                                       const_cast<std::byte*>(content.data() + written), chunk,
                                                       nullptr, nullptr);
    if (!NT_SUCCESS(wrote)) return native_file::FileStatus(wrote);
    if (io.Information == 0) return status::GenericFailure;
    written += io.Information;
  }
  return status::Success;
}

}  // namespace zor
