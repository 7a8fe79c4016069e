#include "platform/native_file.h"

#include <cstring>
#include <string>

#include "platform/file_status.h"
#include "platform/native_api.h"

namespace zor::native_file {
namespace {

constexpr ULONG kFolderOpenOptions = kOpenReparsePoint | kBackupIntent | kSynchronousIo | kDirectoryFile;  // 0x204021
constexpr ULONG kFolderFollowOptions = kBackupIntent | kSynchronousIo | kDirectoryFile;                     // 0x4021
constexpr ULONG kFileDeleteOptions = kOpenReparsePoint | kBackupIntent | kNonDirectoryFile;                 // 0x204040
constexpr ULONG kFileDeleteFollowOptions = kBackupIntent | kNonDirectoryFile;                               // 0x4040

// Enough for an entry with a name of 480 characters.
constexpr ULONG kProbeBufferBytes = 1024;

struct FileDirectoryInformationRecord {
  ULONG NextEntryOffset;
  ULONG FileIndex;
  LARGE_INTEGER CreationTime;
  LARGE_INTEGER LastAccessTime;
  LARGE_INTEGER LastWriteTime;
  LARGE_INTEGER ChangeTime;
  LARGE_INTEGER EndOfFile;
  LARGE_INTEGER AllocationSize;
  ULONG FileAttributes;
  ULONG FileNameLength;
  WCHAR FileName[1];
};

}  // namespace

StatusCode FileStatus(NTSTATUS status) {
  return status == kReparsePointEncountered ? status::LinkNotFollowed : StatusFromNtStatus(status);
}

UNICODE_STRING CountedName(const wchar_t* text, std::size_t length) {
  UNICODE_STRING name;
  name.Buffer = const_cast<PWSTR>(text);
  name.Length = static_cast<USHORT>(length * sizeof(wchar_t));
  name.MaximumLength = name.Length;
  return name;
}

NTSTATUS Open(HANDLE root, const UNICODE_STRING& name, ACCESS_MASK access, ULONG share, ULONG options, UniqueNtHandle& handle) {
  if (!Native().ZwOpenFile) return nt::NotImplemented;
  UNICODE_STRING text = name;
  OBJECT_ATTRIBUTES attributes;
  nt::InitObjectAttributes(attributes, &text, kObjectAttributes, root);
  IO_STATUS_BLOCK io{};
  HANDLE opened = nullptr;
  const NTSTATUS status = Native().ZwOpenFile(&opened, access, &attributes, &io, share, options);
  if (NT_SUCCESS(status)) handle.reset(opened);
  return status;
}

NTSTATUS CreateOpen(HANDLE root, const UNICODE_STRING& name, ACCESS_MASK access, ULONG share, ULONG options, UniqueNtHandle& handle) {
  if (!Native().ZwCreateFile) return nt::NotImplemented;
  UNICODE_STRING text = name;
  OBJECT_ATTRIBUTES attributes;
  nt::InitObjectAttributes(attributes, &text, kObjectAttributes, root);
  IO_STATUS_BLOCK io{};
  HANDLE opened = nullptr;
  const NTSTATUS status =
      Native().ZwCreateFile(&opened, access, &attributes, &io, nullptr, 0, share, kFileOpen, options, nullptr, 0);
  if (NT_SUCCESS(status)) handle.reset(opened);
  return status;
}

NTSTATUS Reopen(HANDLE same, ACCESS_MASK access, ULONG share, ULONG options, UniqueNtHandle& handle) {
  const UNICODE_STRING none = CountedName(L"", 0);
  return Open(same, none, access, share, options, handle);
}

NTSTATUS QueryAttributeTag(HANDLE handle, ULONG& attributes, ULONG& tag) {
  if (!Native().ZwQueryInformationFile) return nt::NotImplemented;
  ULONG record[2] = {0, 0};
  IO_STATUS_BLOCK io{};
  const NTSTATUS status = Native().ZwQueryInformationFile(handle, &io, record, sizeof(record), FileAttributeTagInformationClass);
  if (NT_SUCCESS(status)) {
    attributes = record[0];
    tag = record[1];
  }
  return status;
}

NTSTATUS SetDeleteDisposition(HANDLE handle) {
  if (!Native().ZwSetInformationFile) return nt::NotImplemented;
  BOOLEAN deleteFile = TRUE;
  IO_STATUS_BLOCK io{};
  return Native().ZwSetInformationFile(handle, &io, &deleteFile, sizeof(deleteFile), FileDispositionInformationClass);
}

bool IsLinkTag(ULONG tag) { return tag == kTagMountPoint || tag == kTagSymlink; }

// Names in a folder compare without regard to case: a link listed as
// "uPDATE" is the folder a caller named "Update".
bool SameName(const wchar_t* listed, const UNICODE_STRING& name) {
  std::wstring left(listed, name.Length / sizeof(wchar_t));
  std::wstring right(name.Buffer, name.Length / sizeof(wchar_t));
  if (left == right) return true;
  if (!Native().RtlUpcaseUnicodeString) return false;
  for (std::wstring* text : {&left, &right}) {
    UNICODE_STRING counted = CountedName(text->data(), text->size());
    // In place: upper case never needs more room in UTF-16 here.
    if (!NT_SUCCESS(Native().RtlUpcaseUnicodeString(&counted, &counted, FALSE))) return false;
  }
  return left == right;
}

Listed ListedAs(HANDLE folder, const UNICODE_STRING& name) {
  if (!Native().ZwQueryDirectoryFile || name.Length == 0) return Listed::Unknown;
  // A folder handle keeps the first mask it was asked with, so every
  // question gets a handle of its own.
  UniqueNtHandle probe;
  if (!NT_SUCCESS(Reopen(folder, FILE_LIST_DIRECTORY | SYNCHRONIZE, kShareAll, kFolderFollowOptions, probe))) {
    return Listed::Unknown;
  }
  alignas(8) unsigned char buffer[kProbeBufferBytes];
  UNICODE_STRING mask = name;
  IO_STATUS_BLOCK io{};
  const NTSTATUS status = Native().ZwQueryDirectoryFile(probe.get(), nullptr, nullptr, nullptr, &io, buffer, sizeof(buffer),
                                                        FileDirectoryInformationClass, TRUE, &mask, TRUE);
  if (!NT_SUCCESS(status)) return Listed::Unknown;
  const auto* entry = reinterpret_cast<const FileDirectoryInformationRecord*>(buffer);
  if (entry->FileNameLength != name.Length || !SameName(entry->FileName, name)) {
    return Listed::Unknown;
  }
  return (entry->FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? Listed::Link : Listed::NotLink;
}

Listed ListedAsByPath(const UNICODE_STRING& ntPath) {
  std::size_t length = ntPath.Length / sizeof(wchar_t);
  const wchar_t* text = ntPath.Buffer;
  while (length > 0 && text[length - 1] == L'\\') --length;
  std::size_t separator = length;
  while (separator > 0 && text[separator - 1] != L'\\') --separator;
  if (separator == 0 || separator == length) return Listed::Unknown;
  const UNICODE_STRING name = CountedName(text + separator, length - separator);
  // The parent is opened following links: it is only asked, never changed.
  const UNICODE_STRING parentPath = CountedName(text, separator);
  UniqueNtHandle parent;
  if (!NT_SUCCESS(Open(nullptr, parentPath, FILE_LIST_DIRECTORY | SYNCHRONIZE, kShareAll, kFolderFollowOptions, parent))) {
    return Listed::Unknown;
  }
  return ListedAs(parent.get(), name);
}

NTSTATUS DeleteFileAt(HANDLE root, const UNICODE_STRING& name, bool listedAsLink) {
  const ACCESS_MASK access = listedAsLink ? (DELETE | FILE_READ_ATTRIBUTES) : DELETE;
  UniqueNtHandle file;
  NTSTATUS status = CreateOpen(root, name, access, kShareAll, kFileDeleteOptions, file);
  if (status == nt::InvalidParameter) {
    // A system without reparse points cannot open a link as itself.
    if (listedAsLink) return kReparsePointEncountered;
    status = CreateOpen(root, name, access, kShareAll, kFileDeleteFollowOptions, file);
  }
  if (!NT_SUCCESS(status)) return status;
  if (listedAsLink) {
    ULONG attributes = 0;
    ULONG tag = 0;
    if (!NT_SUCCESS(QueryAttributeTag(file.get(), attributes, tag)) || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      return kReparsePointEncountered;
    }
  }
  return SetDeleteDisposition(file.get());
}

NTSTATUS DeleteFolderAt(HANDLE root, const UNICODE_STRING& name, const std::function<Listed()>& listed) {
  UniqueNtHandle folder;
  NTSTATUS status = Open(root, name, DELETE | SYNCHRONIZE | FILE_READ_ATTRIBUTES, kShareAll, kFolderOpenOptions, folder);
  if (status == nt::InvalidParameter) {
    status = Open(root, name, DELETE | SYNCHRONIZE, kShareAll, kFolderFollowOptions, folder);
    if (!NT_SUCCESS(status)) return status;
    return SetDeleteDisposition(folder.get());
  }
  if (!NT_SUCCESS(status)) return status;

  ULONG attributes = 0;
  ULONG tag = 0;
  status = QueryAttributeTag(folder.get(), attributes, tag);
  if (!NT_SUCCESS(status) && status != nt::NotImplemented && status != nt::InvalidParameter) return status;

  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    // A link is removed itself, through the handle that opened it.
    if (IsLinkTag(tag)) return SetDeleteDisposition(folder.get());
    // Any other reparse point is left to the filter that owns it.
    folder.reset();
    status = Open(root, name, DELETE | SYNCHRONIZE, kShareAll, kFolderFollowOptions, folder);
    if (status == kReparseTagNotHandled) {
      status = Open(root, name, DELETE | SYNCHRONIZE, kShareAll, kFolderOpenOptions, folder);
    }
    if (!NT_SUCCESS(status)) return status;
    return SetDeleteDisposition(folder.get());
  }

  // The handle shows an ordinary folder; it is kept, so nothing swapped in
  // under the name since can be deleted in its place.
  if (listed() == Listed::Link) return kReparsePointEncountered;
  return SetDeleteDisposition(folder.get());
}

NTSTATUS DeleteFolderThroughHandle(HANDLE folder) {
  UniqueNtHandle deleting;
  NTSTATUS status = Reopen(folder, DELETE | SYNCHRONIZE, kShareAll, kFolderOpenOptions, deleting);
  if (status == nt::InvalidParameter) status = Reopen(folder, DELETE | SYNCHRONIZE, kShareAll, kFolderFollowOptions, deleting);
  if (!NT_SUCCESS(status)) return status;
  return SetDeleteDisposition(deleting.get());
}

}  // namespace zor::native_file
