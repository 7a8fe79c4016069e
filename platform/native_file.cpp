#include "platform/native_file.h"

#include <cstring>
#include <string>

#include "foundation/status_codes.h"
#include "platform/change_tally.h"
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
  return status == nt::ReparsePointEncountered ? status::LinkNotFollowed : StatusFromNtStatus(status);
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
  if (!NativeChanges().ZwCreateFile) return nt::NotImplemented;
  UNICODE_STRING text = name;
  OBJECT_ATTRIBUTES attributes;
  nt::InitObjectAttributes(attributes, &text, kObjectAttributes, root);
  IO_STATUS_BLOCK io{};
  HANDLE opened = nullptr;
  const NTSTATUS status =
      NativeChanges().ZwCreateFile(&opened, access, &attributes, &io, nullptr, 0, share, kFileOpen, options, nullptr, 0);
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
  if (!NativeChanges().ZwSetInformationFile) return nt::NotImplemented;
  BOOLEAN deleteFile = TRUE;
  IO_STATUS_BLOCK io{};
  return NativeChanges().ZwSetInformationFile(handle, &io, &deleteFile, sizeof(deleteFile), FileDispositionInformationClass);
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

NTSTATUS QueryListed(HANDLE folder, const UNICODE_STRING& name, Listed& listed) {
  if (!Native().ZwQueryDirectoryFile) return nt::NotImplemented;
  if (name.Length == 0) return nt::InvalidParameter;
  // A folder handle keeps the first mask it was asked with, so every
  // question gets a handle of its own.
  UniqueNtHandle probe;
  NTSTATUS status = Reopen(folder, FILE_LIST_DIRECTORY | SYNCHRONIZE, kShareAll, kFolderFollowOptions, probe);
  if (!NT_SUCCESS(status)) return status;
  alignas(8) unsigned char buffer[kProbeBufferBytes];
  UNICODE_STRING mask = name;
  IO_STATUS_BLOCK io{};
  status = Native().ZwQueryDirectoryFile(probe.get(), nullptr, nullptr, nullptr, &io, buffer, sizeof(buffer),
                                         FileDirectoryInformationClass, TRUE, &mask, TRUE);
  if (status == nt::NoSuchFile || status == nt::NoMoreFiles) {
    listed = Listed::Unknown;
    return nt::Success;
  }
  if (!NT_SUCCESS(status)) return status;
  const auto* entry = reinterpret_cast<const FileDirectoryInformationRecord*>(buffer);
  if (entry->FileNameLength != name.Length || !SameName(entry->FileName, name)) {
    listed = Listed::Unknown;
  } else {
    listed = (entry->FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? Listed::Link : Listed::NotLink;
  }
  return nt::Success;
}

NTSTATUS QueryListedByPath(const UNICODE_STRING& ntPath, Listed& listed) {
  std::size_t length = ntPath.Length / sizeof(wchar_t);
  const wchar_t* text = ntPath.Buffer;
  while (length > 0 && text[length - 1] == L'\\') --length;
  std::size_t separator = length;
  while (separator > 0 && text[separator - 1] != L'\\') --separator;
  if (separator == 0 || separator == length) {
    listed = Listed::Unknown;
    return nt::Success;
  }
  const UNICODE_STRING name = CountedName(text + separator, length - separator);
  // The parent is opened following links: it is only asked, never changed.
  const UNICODE_STRING parentPath = CountedName(text, separator);
  UniqueNtHandle parent;
  const NTSTATUS opened = Open(nullptr, parentPath, FILE_LIST_DIRECTORY | SYNCHRONIZE, kShareAll, kFolderFollowOptions, parent);
  if (!NT_SUCCESS(opened)) return opened;
  return QueryListed(parent.get(), name, listed);
}

namespace {

// The attributes a caller may set on a file; the others belong to the file
// system, which refuses to have them set.
constexpr ULONG kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                      FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                      FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

NTSTATUS QueryBasic(HANDLE handle, FileBasicInformationRecord& basic) {
  if (!Native().ZwQueryInformationFile) return nt::NotImplemented;
  IO_STATUS_BLOCK io{};
  return Native().ZwQueryInformationFile(handle, &io, &basic, sizeof(basic), FileBasicInformationClass);
}

// Through a second handle on the object that `file` refers to, opened for
// FILE_WRITE_ATTRIBUTES alone: no other opener's sharing refuses that
// access, so a file held open loses the attribute all the same.
NTSTATUS ClearReadOnlyOf(HANDLE file, ULONG attributes, ULONG options) {
  if (!NativeChanges().ZwSetInformationFile) return nt::NotImplemented;
  UniqueNtHandle writer;
  const NTSTATUS opened = Reopen(file, FILE_WRITE_ATTRIBUTES, kShareAll, options, writer);
  if (!NT_SUCCESS(opened)) return opened;
  FileBasicInformationRecord change{};  // times of 0 stay as they are
  const ULONG kept = attributes & kSettableAttributes & ~static_cast<ULONG>(FILE_ATTRIBUTE_READONLY);
  change.FileAttributes = kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL;
  IO_STATUS_BLOCK io{};
  return NativeChanges().ZwSetInformationFile(writer.get(), &io, &change, sizeof(change), FileBasicInformationClass);
}

}  // namespace

namespace {

NTSTATUS DeleteFileAtUncounted(HANDLE root, const UNICODE_STRING& name, const ListingCheck& listing,
                               bool clearReadOnly) {
  UniqueNtHandle file;
  ULONG options = kFileDeleteOptions;
  NTSTATUS status = CreateOpen(root, name, FILE_READ_ATTRIBUTES, kShareAll, options, file);
  if (status == nt::InvalidParameter) {
    options = kFileDeleteFollowOptions;
    status = CreateOpen(root, name, FILE_READ_ATTRIBUTES, kShareAll, options, file);
  }
  if (!NT_SUCCESS(status)) return status;
  const bool openedAsItself = options == kFileDeleteOptions;

  FileBasicInformationRecord basic{};
  status = QueryBasic(file.get(), basic);
  if (!NT_SUCCESS(status)) return status;
  if (!openedAsItself || !(basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    // The handle may show a link's target: the folder's listing still
    // shows the link.
    Listed listed = Listed::Unknown;
    status = listing(listed);
    if (!NT_SUCCESS(status)) return status;
    if (listed == Listed::Link || (!openedAsItself && listed != Listed::NotLink)) return nt::ReparsePointEncountered;
  }
  if (clearReadOnly && (basic.FileAttributes & FILE_ATTRIBUTE_READONLY)) {
    status = ClearReadOnlyOf(file.get(), basic.FileAttributes, options);
    if (!NT_SUCCESS(status)) return status;
  }
  UniqueNtHandle deleting;
  status = Reopen(file.get(), DELETE, kShareAll, options, deleting);
  if (!NT_SUCCESS(status)) return status;
  return SetDeleteDisposition(deleting.get());
}

NTSTATUS DeleteFolderAtUncounted(HANDLE root, const UNICODE_STRING& name, const ListingCheck& listing) {
  UniqueNtHandle folder;
  NTSTATUS status = Open(root, name, DELETE | SYNCHRONIZE | FILE_READ_ATTRIBUTES, kShareAll, kFolderOpenOptions, folder);
  Listed listed = Listed::Unknown;
  if (status == nt::InvalidParameter) {
    // Opened this way a link shows its target: only the listing can vouch.
    status = Open(root, name, DELETE | SYNCHRONIZE, kShareAll, kFolderFollowOptions, folder);
    if (!NT_SUCCESS(status)) return status;
    status = listing(listed);
    if (!NT_SUCCESS(status)) return status;
    if (listed != Listed::NotLink) return nt::ReparsePointEncountered;
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
    if (status == nt::ReparseTagNotHandled) {
      status = Open(root, name, DELETE | SYNCHRONIZE, kShareAll, kFolderOpenOptions, folder);
    }
    if (!NT_SUCCESS(status)) return status;
    return SetDeleteDisposition(folder.get());
  }

  // The handle shows an ordinary folder; it is kept, so nothing swapped in
  // under the name since can be deleted in its place.
  status = listing(listed);
  if (!NT_SUCCESS(status)) return status;
  if (listed == Listed::Link) return nt::ReparsePointEncountered;
  return SetDeleteDisposition(folder.get());
}

NTSTATUS DeleteFolderThroughHandleUncounted(HANDLE folder) {
  UniqueNtHandle deleting;
  NTSTATUS status = Reopen(folder, DELETE | SYNCHRONIZE, kShareAll, kFolderOpenOptions, deleting);
  if (status == nt::InvalidParameter) status = Reopen(folder, DELETE | SYNCHRONIZE, kShareAll, kFolderFollowOptions, deleting);
  if (!NT_SUCCESS(status)) return status;
  return SetDeleteDisposition(deleting.get());
}

// What was not there is no removal; everything else is one, done or refused.
NTSTATUS Counted(NTSTATUS status) {
  if (status != nt::ObjectNameNotFound && status != nt::ObjectPathNotFound) CountRemoval(NT_SUCCESS(status));
  return status;
}

}  // namespace

NTSTATUS DeleteFileAt(HANDLE root, const UNICODE_STRING& name, const ListingCheck& listing, bool clearReadOnly) {
  return Counted(DeleteFileAtUncounted(root, name, listing, clearReadOnly));
}

NTSTATUS DeleteFolderAt(HANDLE root, const UNICODE_STRING& name, const ListingCheck& listing) {
  return Counted(DeleteFolderAtUncounted(root, name, listing));
}

NTSTATUS DeleteFolderThroughHandle(HANDLE folder) { return Counted(DeleteFolderThroughHandleUncounted(folder)); }

}  // namespace zor::native_file
