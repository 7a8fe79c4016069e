#pragma once
// Opening, inspecting and deleting one file or folder through the native
// interface, named either by a full NT path (no root) or by its name in an
// open folder (root = the folder's handle). Results are NTSTATUS values;
// the public operations convert them once, on their way out.
#include <functional>

#include "foundation/status_codes.h"
#include "platform/native_types.h"
#include "platform/unique_handle.h"

namespace zor::native_file {

// Object attributes of every open here: case-insensitive, kernel handle.
inline constexpr ULONG kObjectAttributes = OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE;
inline constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
inline constexpr ULONG kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Open options.
inline constexpr ULONG kDirectoryFile = 0x1;
inline constexpr ULONG kWriteThrough = 0x2;
inline constexpr ULONG kSynchronousIo = 0x20;
inline constexpr ULONG kNonDirectoryFile = 0x40;
inline constexpr ULONG kBackupIntent = 0x4000;
inline constexpr ULONG kOpenReparsePoint = 0x200000;
// Create dispositions.
inline constexpr ULONG kFileOpen = 1;         // open an existing object only
inline constexpr ULONG kFileCreate = 2;       // make a new one, fail when it exists
inline constexpr ULONG kFileOpenIf = 3;       // open, or make when missing
inline constexpr ULONG kFileOverwriteIf = 5;  // replace, or make when missing


inline constexpr ULONG kTagMountPoint = 0xA0000003;
inline constexpr ULONG kTagSymlink = 0xA000000C;

// Information classes used here.
enum : ULONG {
  FileDirectoryInformationClass = 1,
  FileBothDirectoryInformationClass = 3,
  FileBasicInformationClass = 4,
  FileRenameInformationClass = 10,
  FileDispositionInformationClass = 13,
  FileStandardInformationClass = 5,
  FileEndOfFileInformationClass = 20,
  FileAttributeTagInformationClass = 35,
};

struct FileBasicInformationRecord {
  LARGE_INTEGER CreationTime;
  LARGE_INTEGER LastAccessTime;
  LARGE_INTEGER LastWriteTime;
  LARGE_INTEGER ChangeTime;
  ULONG FileAttributes;
};
static_assert(sizeof(FileBasicInformationRecord) == 40);

struct FileStandardInformationRecord {
  LARGE_INTEGER AllocationSize;
  LARGE_INTEGER EndOfFile;
  ULONG NumberOfLinks;
  BOOLEAN DeletePending;
  BOOLEAN Directory;
};

struct FileBothDirectoryInformationRecord {
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
  ULONG EaSize;
  CCHAR ShortNameLength;
  WCHAR ShortName[12];
  WCHAR FileName[1];
};
inline constexpr ULONG kBothDirectoryHeaderBytes = offsetof(FileBothDirectoryInformationRecord, FileName);
static_assert(kBothDirectoryHeaderBytes == 94);

// The status code of an NTSTATUS from here: a refusal to go through a link
// gives 0xC007112B on every system, the rest their usual conversion.
StatusCode FileStatus(NTSTATUS status);

// A name for an open: the text points into memory the caller keeps.
UNICODE_STRING CountedName(const wchar_t* text, std::size_t length);

NTSTATUS Open(HANDLE root, const UNICODE_STRING& name, ACCESS_MASK access, ULONG share, ULONG options, UniqueNtHandle& handle);
NTSTATUS CreateOpen(HANDLE root, const UNICODE_STRING& name, ACCESS_MASK access, ULONG share, ULONG options, UniqueNtHandle& handle);
// A second handle on the object that `same` refers to, found without a name.
NTSTATUS Reopen(HANDLE same, ACCESS_MASK access, ULONG share, ULONG options, UniqueNtHandle& handle);

// The attributes and reparse tag that the object reports of itself.
NTSTATUS QueryAttributeTag(HANDLE handle, ULONG& attributes, ULONG& tag);
NTSTATUS SetDeleteDisposition(HANDLE handle);

bool IsLinkTag(ULONG tag);

// How a folder lists one of its entries. A system that follows a link even
// when asked to open the link itself shows the target's attributes on the
// handle; only the listing of the link's parent still shows the reparse
// point. Wine does so for Unix symbolic links to folders.
enum class Listed { Link, NotLink, Unknown };
// Asked through a fresh handle on `folder`, so the folder's own listing is
// left where it is. Unknown when the folder lists no entry of exactly that
// name; the failure when the folder cannot be asked, with `listed` left as
// it was.
NTSTATUS QueryListed(HANDLE folder, const UNICODE_STRING& name, Listed& listed);
// The same for a full NT path, asking the folder that holds it; Unknown for
// a root, which has no parent to ask.
NTSTATUS QueryListedByPath(const UNICODE_STRING& ntPath, Listed& listed);
// How an operation learns the listing of what it opened, when it needs it.
using ListingCheck = std::function<NTSTATUS(Listed&)>;

// Deletes one file, or a link to a file as the link itself. The file is
// opened with FILE_READ_ATTRIBUTES and FILE_OPEN_REPARSE_POINT (once more
// without, on systems that refuse it), and checked: when the handle shows
// no reparse point, `listing` is asked, and a file listed as a link (or,
// after an open without FILE_OPEN_REPARSE_POINT, one not listed as an
// ordinary file) is left alone with nt::ReparsePointEncountered; a failure of
// the check is returned and nothing is deleted. With `clearReadOnly`, a
// read-only attribute is cleared before the delete is tried, so that a file
// that stays (held open) can still go at the next start. The delete goes
// through a second handle opened on the checked one with DELETE, so nothing
// swapped in under the name since can be deleted in its place.
NTSTATUS DeleteFileAt(HANDLE root, const UNICODE_STRING& name, const ListingCheck& listing, bool clearReadOnly);

// Deletes one empty folder, or a link to a folder as the link itself.
// `listing` is asked only when the open handle shows no reparse point; a
// folder its parent lists as a link is then left alone, and so is every
// folder when the listing cannot be asked. On a system that refuses
// FILE_OPEN_REPARSE_POINT, only a folder listed as an ordinary one goes.
NTSTATUS DeleteFolderAt(HANDLE root, const UNICODE_STRING& name, const ListingCheck& listing);

// Deletes the folder that an open handle refers to, without looking its
// name up again.
NTSTATUS DeleteFolderThroughHandle(HANDLE folder);

}  // namespace zor::native_file
