#include "logging/log_file.h"

#include <cstring>

#include "foundation/format_text.h"
#include "foundation/status_codes.h"
#include "logging/log_file_names.h"
#include "logging/log_status.h"
#include "logging/logger.h"
#include "platform/environment_variable.h"
#include "platform/file_operations.h"
#include "platform/native_api.h"
#include "platform/native_file.h"
#include "platform/nt_path.h"
#include "platform/path_text.h"
#include "platform/platform_startup.h"

namespace zor {
namespace {

using native_file::FileBasicInformationClass;
using native_file::FileBasicInformationRecord;
using native_file::FileEndOfFileInformationClass;
using native_file::FileStandardInformationClass;
using native_file::FileStandardInformationRecord;
using native_file::kFileCreate;
using native_file::kFileOpen;
using native_file::kFileOpenIf;

constexpr ULONG kSynchronousNonDirectory = FILE_NON_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT;

// Every account may read, write and delete the log and its lock file: the
// program and the copy it starts may run under different accounts, and
// each must be able to roll what the other wrote.
class LogFileSecurity {
 public:
  LogFileSecurity() {
    auto& api = Native();
    if (!api.RtlCreateSecurityDescriptor || !api.RtlCreateAcl || !api.RtlAddAccessAllowedAce ||
        !api.RtlSetDaclSecurityDescriptor) {
      return;
    }
    if (!NT_SUCCESS(api.RtlCreateSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION))) return;
    auto* acl = reinterpret_cast<PACL>(aclBuffer_);
    if (!NT_SUCCESS(api.RtlCreateAcl(acl, sizeof(aclBuffer_), ACL_REVISION))) return;
    constexpr ACCESS_MASK kEveryone = FILE_GENERIC_READ | FILE_GENERIC_WRITE | DELETE;
    if (!NT_SUCCESS(api.RtlAddAccessAllowedAce(acl, ACL_REVISION, kEveryone, everyone_))) return;
    if (!NT_SUCCESS(api.RtlAddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, system_))) return;
    if (!NT_SUCCESS(api.RtlAddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, administrators_))) return;
    ready_ = NT_SUCCESS(api.RtlSetDaclSecurityDescriptor(&descriptor_, TRUE, acl, FALSE));
  }

  // Null when it could not be built: the file then gets the folder's defaults.
  SECURITY_DESCRIPTOR* Descriptor() { return ready_ ? &descriptor_ : nullptr; }

 private:
  // S-1-1-0, S-1-5-18 and S-1-5-32-544, laid out as the system stores them.
  alignas(4) unsigned char everyone_[12] = {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
  alignas(4) unsigned char system_[12] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
  alignas(4) unsigned char administrators_[16] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 0x02, 0, 0};
  alignas(8) unsigned char aclBuffer_[256] = {};
  SECURITY_DESCRIPTOR descriptor_{};
  bool ready_ = false;
};

SECURITY_DESCRIPTOR* SharedLogSecurity() {
  static LogFileSecurity security;
  return security.Descriptor();
}

StatusCode CreateFileHandle(std::wstring_view fullPath, ACCESS_MASK access, ULONG share, ULONG disposition,
                            UniqueNtHandle& handle, ULONG_PTR* outcome = nullptr) {
  NtPath ntPath;
  const StatusCode converted = ToNtPath(fullPath, ntPath);
  if (IsFailure(converted)) return converted;
  OBJECT_ATTRIBUTES attributes;
  nt::InitObjectAttributes(attributes, ntPath.get(), OBJ_CASE_INSENSITIVE, nullptr);
  attributes.SecurityDescriptor = SharedLogSecurity();
  IO_STATUS_BLOCK io{};
  UniqueNtHandle opened;
  const NTSTATUS created =
      NativeChanges().ZwCreateFile(opened.put(), access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, share,
                            disposition, kSynchronousNonDirectory, nullptr, 0);
  if (!NT_SUCCESS(created)) return StatusFromNtStatus(created);
  if (outcome) *outcome = io.Information;
  handle = std::move(opened);
  return status::Success;
}

StatusCode WriteAt(HANDLE file, const void* data, ULONG length, LONGLONG offset) {
  IO_STATUS_BLOCK io{};
  LARGE_INTEGER position;
  position.QuadPart = offset;
  const NTSTATUS written = NativeChanges().ZwWriteFile(file, nullptr, nullptr, nullptr, &io, data, length, &position, nullptr);
  return StatusOfNativeCall(written);
}

StatusCode QueryBasic(HANDLE file, FileBasicInformationRecord& basic) {
  IO_STATUS_BLOCK io{};
  const NTSTATUS queried = Native().ZwQueryInformationFile(file, &io, &basic, sizeof(basic), FileBasicInformationClass);
  return StatusOfNativeCall(queried);
}

constexpr unsigned char kByteOrderMark[2] = {0xFF, 0xFE};
// "Write at the current end of the file" for ZwWriteFile.
constexpr LONGLONG kWriteAtEnd = -1;

}  // namespace

StatusCode LogFile::Open(std::wstring_view fullPath, bool shareDelete) {
  const ULONG share = FILE_SHARE_READ | FILE_SHARE_WRITE | (shareDelete ? FILE_SHARE_DELETE : 0);
  constexpr ACCESS_MASK kAccess = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;
  UniqueNtHandle opened;
  const StatusCode result = CreateFileHandle(fullPath, kAccess, share, kFileOpenIf, opened);
  if (IsFailure(result)) return result;
  handle_ = std::move(opened);
  const StatusCode marked = WriteMarkIfEmpty();
  if (IsFailure(marked)) {
    handle_.reset();
    return marked;
  }
  constexpr ACCESS_MASK kAppendOnly = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES;
  const StatusCode appending = CreateFileHandle(fullPath, kAppendOnly, share, kFileOpen, append_);
  if (IsFailure(appending)) {
    handle_.reset();
    return appending;
  }
  // Without a gate this process writes as the file's only writer.
  gate_.Open(fullPath);
  return status::Success;
}

// Two processes that find the same new file empty both write the mark at
// offset 0: the same two bytes, so the file still holds one mark.
StatusCode LogFile::WriteMarkIfEmpty() {
  std::uint64_t size = 0;
  const StatusCode sized = Size(size);
  if (IsFailure(sized)) return sized;
  if (size != 0) return status::Success;
  return WriteAt(handle_.get(), kByteOrderMark, sizeof(kByteOrderMark), 0);
}

StatusCode LogFile::AppendLine(std::wstring_view text) {
  std::wstring line;
  line.reserve(text.size() + 2);
  line.append(text);
  line.append(L"\r\n");
  const StatusCode written = gate_.Append([&] {
    return WriteAt(append_.get(), line.data(), static_cast<ULONG>(line.size() * sizeof(wchar_t)), kWriteAtEnd);
  });
  if (written == status::LockingUnavailable) CountDroppedLogMessage();
  return written;
}

StatusCode LogFile::Flush() {
  IO_STATUS_BLOCK io{};
  const NTSTATUS flushed = NativeChanges().ZwFlushBuffersFile(handle_.get(), &io);
  return StatusOfNativeCall(flushed);
}

StatusCode LogFile::Truncate() {
  IO_STATUS_BLOCK io{};
  LARGE_INTEGER end;
  end.QuadPart = 0;
  const NTSTATUS truncated =
      NativeChanges().ZwSetInformationFile(handle_.get(), &io, &end, sizeof(end), FileEndOfFileInformationClass);
  if (!NT_SUCCESS(truncated)) return StatusFromNtStatus(truncated);
  return WriteMarkIfEmpty();
}

StatusCode LogFile::Size(std::uint64_t& size) {
  FileStandardInformationRecord standard{};
  IO_STATUS_BLOCK io{};
  const NTSTATUS queried =
      Native().ZwQueryInformationFile(handle_.get(), &io, &standard, sizeof(standard), FileStandardInformationClass);
  if (!NT_SUCCESS(queried)) return StatusFromNtStatus(queried);
  size = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
  return status::Success;
}

StatusCode LogFile::CreationTime(std::int64_t& time) {
  FileBasicInformationRecord basic{};
  const StatusCode queried = QueryBasic(handle_.get(), basic);
  if (IsFailure(queried)) return queried;
  time = basic.CreationTime.QuadPart;
  return status::Success;
}

StatusCode LogFile::SetCreationTime(std::int64_t time) {
  FileBasicInformationRecord basic{};  // zero leaves a field as it is
  basic.CreationTime.QuadPart = time;
  IO_STATUS_BLOCK io{};
  const NTSTATUS set = NativeChanges().ZwSetInformationFile(handle_.get(), &io, &basic, sizeof(basic), FileBasicInformationClass);
  return StatusOfNativeCall(set);
}

StatusCode LogLockFile::Open(std::wstring_view fullPath) {
  return CreateFileHandle(fullPath, FILE_READ_DATA | FILE_WRITE_DATA,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, kFileOpenIf, handle_);
}

namespace {

constexpr LONGLONG kWholeFile = 0x7FFFFFFFFFFFFFFF;

// Wine implements file locks only without a status block (and answers
// STATUS_NOT_IMPLEMENTED with one), Windows only with one: the lock calls
// try with a block first and without it on that answer.
StatusCode LockRange(HANDLE file, LONGLONG length, bool wait) {
  if (!Native().ZwLockFile) return status::LockingUnavailable;
  LARGE_INTEGER offset;
  offset.QuadPart = 0;
  LARGE_INTEGER count;
  count.QuadPart = length;
  IO_STATUS_BLOCK io{};
  const BOOLEAN failImmediately = wait ? FALSE : TRUE;
  NTSTATUS locked =
      Native().ZwLockFile(file, nullptr, nullptr, nullptr, &io, &offset, &count, nullptr, failImmediately, TRUE);
  if (locked == nt::NotImplemented) {
    locked =
        Native().ZwLockFile(file, nullptr, nullptr, nullptr, nullptr, &offset, &count, nullptr, failImmediately, TRUE);
  }
  return StatusOfNativeCall(locked);
}

void UnlockRange(HANDLE file, LONGLONG length) {
  if (!Native().ZwUnlockFile) return;
  LARGE_INTEGER offset;
  offset.QuadPart = 0;
  LARGE_INTEGER count;
  count.QuadPart = length;
  IO_STATUS_BLOCK io{};
  if (Native().ZwUnlockFile(file, &io, &offset, &count, nullptr) == nt::NotImplemented) {
    Native().ZwUnlockFile(file, nullptr, &offset, &count, nullptr);
  }
}

}  // namespace

StatusCode LogLockFile::LockWhole() {
  if (!handle_) return status::LockingUnavailable;
  return LockRange(handle_.get(), kWholeFile, false);
}

void LogLockFile::UnlockWhole() {
  if (handle_) UnlockRange(handle_.get(), kWholeFile);
}

StatusCode LogLockFile::LockForWrite() {
  if (!handle_) return status::LockingUnavailable;
  return LockRange(handle_.get(), 1, true);
}

void LogLockFile::UnlockForWrite() {
  if (handle_) UnlockRange(handle_.get(), 1);
}

std::int64_t CurrentSystemTime() {
  LARGE_INTEGER now;
  now.QuadPart = 0;
  if (Native().ZwQuerySystemTime) Native().ZwQuerySystemTime(&now);
  return now.QuadPart;
}

StatusCode FullLogPath(std::wstring_view logFolder, std::wstring_view fileName, std::wstring& fullPath) {
  if (fileName.empty()) return status::InvalidArgument;
  std::wstring joined(fileName);
  if (!HasRootedPath(fileName) && !logFolder.empty()) {
    const StatusCode combined = CombinePath(logFolder, fileName, joined);
    if (IsFailure(combined)) return combined;
  }
  if (!Native().RtlGetFullPathName_U) return status::GenericFailure;
  std::wstring buffer(MAX_PATH, L'\0');
  // The first answer tells the size a longer path needs; the second must fit.
  for (int attempt = 0; attempt < 2; ++attempt) {
    const ULONG bytes = Native().RtlGetFullPathName_U(
        joined.c_str(), static_cast<ULONG>(buffer.size() * sizeof(wchar_t)), buffer.data(), nullptr);
    if (bytes == 0) return status::NotAFolder;
    if (bytes < buffer.size() * sizeof(wchar_t)) {
      buffer.resize(bytes / sizeof(wchar_t));
      fullPath = std::move(buffer);
      return status::Success;
    }
    buffer.assign(bytes / sizeof(wchar_t) + 1, L'\0');
  }
  return status::BufferTooSmall;
}

StatusCode QueryLogFileTimes(std::wstring_view fullPath, std::int64_t& creationTime, std::int64_t& lastWriteTime) {
  UniqueNtHandle file;
  const StatusCode opened = CreateFileHandle(fullPath, FILE_READ_ATTRIBUTES,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN, file);
  if (IsFailure(opened)) return opened;
  FileBasicInformationRecord basic{};
  const StatusCode queried = QueryBasic(file.get(), basic);
  if (IsFailure(queried)) return queried;
  creationTime = basic.CreationTime.QuadPart;
  lastWriteTime = basic.LastWriteTime.QuadPart;
  return status::Success;
}

StatusCode TemporaryFileName(std::wstring& path) {
  std::wstring folder;
  for (const wchar_t* variable : {L"TMP", L"TEMP", L"USERPROFILE"}) {
    folder = EnvironmentVariable(variable);
    if (!folder.empty()) break;
  }
  if (folder.empty()) return status::NotAFolder;
  unsigned char bytes[16];
  for (std::size_t i = 0; i < sizeof(bytes); i += 4) {
    const std::uint32_t random = NextRandom32();
    std::memcpy(bytes + i, &random, 4);
  }
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
  std::wstring uuid;
  for (std::size_t i = 0; i < sizeof(bytes); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) uuid.push_back(L'-');
    uuid.append(FormatText(L"%02x", static_cast<unsigned>(bytes[i])));
  }
  std::wstring name = L"zor-" + uuid + L".tmp";
  return CombinePath(folder, name, path);
}

}  // namespace zor

namespace zor {

StatusCode CreateLogFileAt(std::wstring_view fullPath, std::int64_t creationTime) {
  std::wstring temporary;
  StatusCode result = TemporaryFileName(temporary);
  if (IsFailure(result)) return result;
  {
    UniqueNtHandle handle;
    result = CreateFileHandle(temporary, FILE_WRITE_DATA | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, kFileCreate, handle);
    if (IsFailure(result)) return result;
    result = WriteAt(handle.get(), kByteOrderMark, sizeof(kByteOrderMark), 0);
    if (IsFailure(result)) {
      handle.reset();
      DeleteFileNow(temporary);
      return result;
    }
  }
  // Someone else may have made the log meanwhile: theirs stays.
  result = RenameFile(temporary, fullPath, true);
  if (IsFailure(result)) {
    DeleteFileNow(temporary);
    return result;
  }
  UniqueNtHandle placed;
  result = CreateFileHandle(fullPath, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            FILE_OPEN, placed);
  if (IsFailure(result)) return result;
  FileBasicInformationRecord basic{};  // zero leaves a field as it is
  basic.CreationTime.QuadPart = creationTime;
  IO_STATUS_BLOCK io{};
  const NTSTATUS set = NativeChanges().ZwSetInformationFile(placed.get(), &io, &basic, sizeof(basic), FileBasicInformationClass);
  return StatusOfNativeCall(set);
}

StatusCode DeleteLogFile(std::wstring_view fullPath) {
  std::wstring temporary;
  if (!IsFailure(TemporaryFileName(temporary)) && !IsFailure(RenameFile(fullPath, temporary, true))) {
    return DeleteFileNow(temporary);
  }
  return DeleteFileNow(fullPath);
}

}  // namespace zor
