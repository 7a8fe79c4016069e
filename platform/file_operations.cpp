#include "platform/file_operations.h"

#include <cstring>
#include <memory>
#include <new>

#include "platform/change_tally.h"
#include "platform/file_copy.h"
#include "platform/native_api.h"
#include "platform/native_file.h"
#include "platform/nt_path.h"
#include "platform/win32_api.h"

namespace zor {
namespace {

using namespace native_file;

// The source of a rename: DELETE, SYNCHRONIZE and FILE_READ_ATTRIBUTES.
constexpr ACCESS_MASK kRenameAccess = DELETE | SYNCHRONIZE | FILE_READ_ATTRIBUTES;

// FILE_RENAME_INFORMATION without its name.
struct RenameInformationHead {
  BOOLEAN ReplaceIfExists;
  HANDLE RootDirectory;
  ULONG FileNameLength;
};
constexpr std::size_t kRenameNameOffset = offsetof(RenameInformationHead, FileNameLength) + sizeof(ULONG);
static_assert(kRenameNameOffset == 20);
// What the system counts as the size of FILE_RENAME_INFORMATION.
constexpr std::size_t kRenameRecordBytes = 24;

NTSTATUS SetRenameTarget(HANDLE file, const UNICODE_STRING& target, bool failIfExists) {
  if (!NativeChanges().ZwSetInformationFile) return nt::NotImplemented;
  const std::size_t bytes = target.Length + kRenameRecordBytes;
  std::unique_ptr<unsigned char[]> record(new (std::nothrow) unsigned char[bytes]());
  if (!record) return nt::NoMemory;
  RenameInformationHead head{};
  head.ReplaceIfExists = failIfExists ? FALSE : TRUE;
  head.RootDirectory = nullptr;
  head.FileNameLength = target.Length;
  std::memcpy(record.get(), &head, sizeof(head));
  std::memcpy(record.get() + kRenameNameOffset, target.Buffer, target.Length);
  IO_STATUS_BLOCK io{};
  return NativeChanges().ZwSetInformationFile(file, &io, record.get(), static_cast<ULONG>(bytes), FileRenameInformationClass);
}

}  // namespace

StatusCode QueryAttributes(std::wstring_view path, std::uint32_t& attributes) {
  NtPath ntPath;
  const StatusCode converted = ToNtPath(path, ntPath);
  if (IsFailure(converted)) return converted;
  UniqueNtHandle object;
  NTSTATUS status = Open(nullptr, *ntPath.get(), FILE_READ_ATTRIBUTES, kShareAll, kOpenReparsePoint, object);
  if (status == nt::InvalidParameter) status = Open(nullptr, *ntPath.get(), FILE_READ_ATTRIBUTES, kShareAll, 0, object);
  if (!NT_SUCCESS(status)) return FileStatus(status);
  if (!Native().ZwQueryInformationFile) return FileStatus(nt::NotImplemented);
  FileBasicInformationRecord basic{};
  IO_STATUS_BLOCK io{};
  status = Native().ZwQueryInformationFile(object.get(), &io, &basic, sizeof(basic), FileBasicInformationClass);
  if (!NT_SUCCESS(status)) return FileStatus(status);
  attributes = basic.FileAttributes;
  return status::Success;
}

StatusCode FileExists(std::wstring_view path) {
  if (path.empty()) return status::InvalidArgument;
  std::uint32_t attributes = 0;
  const StatusCode queried = QueryAttributes(path, attributes);
  if (IsFailure(queried)) return queried;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? status::FolderWhereFileExpected : status::Success;
}

StatusCode FolderExists(std::wstring_view path) {
  if (path.empty()) return status::InvalidArgument;
  std::uint32_t attributes = 0;
  const StatusCode queried = QueryAttributes(path, attributes);
  if (IsFailure(queried)) return queried;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? status::Success : status::NotAFolder;
}

StatusCode DeleteFileNow(std::wstring_view path, ReadOnlyAttribute readOnly) {
  NtPath ntPath;
  const StatusCode converted = ToNtPath(path, ntPath);
  if (IsFailure(converted)) return converted;
  const UNICODE_STRING& name = *ntPath.get();
  return FileStatus(DeleteFileAt(nullptr, name, [&name](Listed& listed) { return QueryListedByPath(name, listed); },
                                 readOnly == ReadOnlyAttribute::Clear));
}

StatusCode DeleteFolder(std::wstring_view path) {
  NtPath ntPath;
  const StatusCode converted = ToNtPath(path, ntPath);
  if (IsFailure(converted)) return converted;
  const UNICODE_STRING& name = *ntPath.get();
  return FileStatus(DeleteFolderAt(nullptr, name, [&name](Listed& listed) { return QueryListedByPath(name, listed); }));
}

StatusCode RenameFile(std::wstring_view source, std::wstring_view target, bool failIfExists) {
  if (source.empty() || target.empty()) return status::InvalidArgument;
  NtPath sourcePath;
  StatusCode converted = ToNtPath(source, sourcePath);
  if (IsFailure(converted)) return converted;

  const ULONG options = kOpenReparsePoint | kBackupIntent | kSynchronousIo | (failIfExists ? 0 : kWriteThrough);
  UniqueNtHandle file;
  NTSTATUS status = Open(nullptr, *sourcePath.get(), kRenameAccess, kShareAll, options, file);
  bool openFollowing = status == nt::InvalidParameter;
  if (!openFollowing && !NT_SUCCESS(status)) return FileStatus(status);
  if (!openFollowing) {
    ULONG attributes = 0;
    ULONG tag = 0;
    const NTSTATUS queried = QueryAttributeTag(file.get(), attributes, tag);
    // A mount point is renamed itself; any other reparse point stands for
    // its target.
    openFollowing = !NT_SUCCESS(queried) || ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && tag != kTagMountPoint);
  }
  if (openFollowing) {
    file.reset();
    status = Open(nullptr, *sourcePath.get(), DELETE | SYNCHRONIZE, kShareReadWrite, options & ~kOpenReparsePoint, file);
    if (!NT_SUCCESS(status)) return FileStatus(status);
  }

  NtPath targetPath;
  converted = ToNtPath(target, targetPath);
  if (IsFailure(converted)) return converted;
  status = SetRenameTarget(file.get(), *targetPath.get(), failIfExists);
  file.reset();
  if (status != nt::NotSameDevice) return FileStatus(status);

  const StatusCode copied = CopyFileForRename(source, target, failIfExists);
  if (IsFailure(copied)) return copied;
  return DeleteFileNow(source);
}

bool PlanDeleteAfterRestart(std::wstring_view path, std::uint32_t& lastError) {
  std::wstring text;
  try {
    text = path;
  } catch (const std::bad_alloc&) {
    lastError = ERROR_NOT_ENOUGH_MEMORY;
    return false;
  }
  if (Win32Changes().MoveFileExW(text.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
    CountPlannedDeletion(true);
    return true;
  }
  lastError = GetLastError();
  CountPlannedDeletion(false);
  return false;
}

}  // namespace zor
