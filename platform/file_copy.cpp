#include "platform/file_copy.h"

#include <memory>
#include <new>
#include <string>

#include "platform/full_path.h"
#include "platform/native_api.h"
#include "platform/native_file.h"
#include "platform/nt_path.h"
#include "platform/path_text.h"

namespace zor {
namespace {

using namespace native_file;

constexpr ULONG kCopyChunkBytes = 64 * 1024;
constexpr ULONG kSequentialOnly = 0x4;  // FILE_SEQUENTIAL_ONLY
// The attributes a copy carries over.
constexpr ULONG kCopiedAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                    FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// The "\\?\" form of a path that kernel32 takes at any length: relative and
// drive paths are made full first.
StatusCode LongPath(std::wstring_view path, std::wstring& longPath) {
  try {
    const PathForm form = ClassifyPath(path);
    if (form == PathForm::Nt || path.substr(0, 4) == L"\\\\?\\" || path.substr(0, 4) == L"\\\\.\\") {
      longPath = LongPathForm(path);
      return status::Success;
    }
    std::wstring full;
    if (const StatusCode made = FullPathOf(path, full); IsFailure(made)) return made;
    longPath = LongPathForm(full);
    return status::Success;
  } catch (const std::bad_alloc&) {
    return status::OutOfMemory;
  }
}

NTSTATUS CopyContent(HANDLE from, HANDLE to) {
  std::unique_ptr<unsigned char[]> chunk(new (std::nothrow) unsigned char[kCopyChunkBytes]);
  if (!chunk) return nt::NoMemory;
  for (;;) {
    IO_STATUS_BLOCK io{};
    NTSTATUS status = Native().ZwReadFile(from, nullptr, nullptr, nullptr, &io, chunk.get(), kCopyChunkBytes, nullptr, nullptr);
    if (status == nt::EndOfFile) return nt::Success;
    if (!NT_SUCCESS(status)) return status;
    const ULONG read = static_cast<ULONG>(io.Information);
    if (read == 0) return nt::Success;
    ULONG written = 0;
    while (written < read) {
      IO_STATUS_BLOCK out{};
      status = NativeChanges().ZwWriteFile(to, nullptr, nullptr, nullptr, &out, chunk.get() + written, read - written, nullptr, nullptr);
      if (!NT_SUCCESS(status)) return status;
      if (out.Information == 0) return nt::DiskFull;
      written += static_cast<ULONG>(out.Information);
    }
  }
}

}  // namespace

StatusCode CopyFileNative(const UNICODE_STRING& source, const UNICODE_STRING& target, bool failIfExists) {
  const NativeApi& api = Native();
  const NativeChangesApi& changes = NativeChanges();
  if (!api.ZwReadFile || !changes.ZwWriteFile || !changes.ZwCreateFile || !api.ZwQueryInformationFile ||
      !changes.ZwSetInformationFile) {
    return StatusFromNtStatus(nt::NotImplemented);
  }
  UniqueNtHandle from;
  NTSTATUS status = Open(nullptr, source, FILE_READ_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                         kSynchronousIo | kNonDirectoryFile | kBackupIntent | kSequentialOnly, from);
  if (!NT_SUCCESS(status)) return FileStatus(status);
  FileBasicInformationRecord basic{};
  IO_STATUS_BLOCK io{};
  status = api.ZwQueryInformationFile(from.get(), &io, &basic, sizeof(basic), FileBasicInformationClass);
  if (!NT_SUCCESS(status)) return FileStatus(status);

  UNICODE_STRING targetName = target;
  OBJECT_ATTRIBUTES attributes;
  nt::InitObjectAttributes(attributes, &targetName, kObjectAttributes, nullptr);
  HANDLE made = nullptr;
  status = changes.ZwCreateFile(&made, FILE_GENERIC_WRITE | DELETE | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, 0,
                            failIfExists ? kFileCreate : kFileOverwriteIf, kSynchronousIo | kNonDirectoryFile | kBackupIntent,
                            nullptr, 0);
  if (!NT_SUCCESS(status)) return FileStatus(status);
  UniqueNtHandle to(made);

  status = CopyContent(from.get(), to.get());
  if (NT_SUCCESS(status)) {
    FileBasicInformationRecord stamped = basic;
    stamped.ChangeTime.QuadPart = 0;
    stamped.FileAttributes = basic.FileAttributes & kCopiedAttributes;
    if (stamped.FileAttributes == 0) stamped.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    status = changes.ZwSetInformationFile(to.get(), &io, &stamped, sizeof(stamped), FileBasicInformationClass);
  }
  // A partial copy is not left behind.
  if (!NT_SUCCESS(status)) SetDeleteDisposition(to.get());
  return FileStatus(status);
}

StatusCode CopyFileForRename(std::wstring_view source, std::wstring_view target, bool failIfExists) {
  if (Kernel32().CopyFileW) {
    std::wstring from;
    std::wstring to;
    StatusCode made = LongPath(source, from);
    if (IsFailure(made)) return made;
    made = LongPath(target, to);
    if (IsFailure(made)) return made;
    if (Kernel32().CopyFileW(from.c_str(), to.c_str(), failIfExists ? TRUE : FALSE)) return status::Success;
    return StatusFromLastError(GetLastError());
  }
  NtPath from;
  NtPath to;
  StatusCode converted = ToNtPath(source, from);
  if (IsFailure(converted)) return converted;
  converted = ToNtPath(target, to);
  if (IsFailure(converted)) return converted;
  return CopyFileNative(*from.get(), *to.get(), failIfExists);
}

}  // namespace zor
