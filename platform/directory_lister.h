#pragma once
// Folder listings with wildcard masks, read through the native interface:
// one single-entry read that doubles as the test whether anything matches,
// then 4096 bytes of entries per read.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "foundation/status_codes.h"
#include "platform/native_types.h"
#include "platform/path_text.h"
#include "platform/process_lock.h"
#include "platform/unique_handle.h"

namespace zor {

inline constexpr std::size_t kFolderEntryNameUnits = 260;
inline constexpr std::size_t kFolderEntryShortNameUnits = 14;

struct FolderEntry {
  std::uint32_t attributes = 0;
  FILETIME creationTime{};
  FILETIME lastAccessTime{};
  FILETIME lastWriteTime{};
  std::uint32_t sizeHigh = 0;
  std::uint32_t sizeLow = 0;
  wchar_t name[kFolderEntryNameUnits] = {};            // terminated
  wchar_t shortName[kFolderEntryShortNameUnits] = {};  // terminated; empty when the file system keeps none
};

class DirectoryLister {
 public:
  DirectoryLister();
  ~DirectoryLister();
  DirectoryLister(const DirectoryLister&) = delete;
  DirectoryLister& operator=(const DirectoryLister&) = delete;

  // Lists `folder` (a DOS or NT path) with `mask` ("*" when absent; "*.*"
  // means "*"; otherwise the file system's own matching) and `filter`
  // (ListFilter bits). 0 with the first admitted entry current,
  // 0x6001000E for an empty listing, or a failure: 0xE0010002 without a
  // folder, 0xE0010054 for a DOS device name, 0xE001003E for a folder
  // that does not exist.
  StatusCode OpenListing(std::wstring_view folder, const wchar_t* mask, std::uint32_t filter);
  // Lists a folder through a handle the caller has opened and keeps
  // (FILE_LIST_DIRECTORY, synchronous). `folderPath` only serves EntryPath.
  StatusCode OpenListingOf(HANDLE folder, std::wstring_view folderPath, const wchar_t* mask, std::uint32_t filter);
  // The last listing again from its first entry.
  StatusCode Reopen();

  // 0xE001000E when there is no current entry (the listing has ended, or
  // the last read failed). `entry` is left as it was on failure.
  StatusCode CurrentEntry(FolderEntry& entry);
  // The folder path joined with the current entry's name.
  StatusCode EntryPath(std::wstring& path);
  // 0 with the next admitted entry current, 0x6001000E at the end (the
  // folder handle is then closed), or a failure: 0xE0010044 for an entry
  // whose name is longer than 259 units; the next call reads on after it.
  StatusCode NextEntry();
  StatusCode CloseListing();

 private:
  StatusCode Start();
  StatusCode ReadFirst();
  StatusCode NextEntryUnlocked();
  StatusCode TakeEntry(const void* record);
  NTSTATUS Refill();
  void EndListing();
  void CloseUnlocked();

  ProcessLock lock_;

  UniqueNtHandle ownedHandle_;
  HANDLE handle_ = nullptr;       // what is being read; empty once the listing has ended
  HANDLE callersHandle_ = nullptr;
  bool listingHandle_ = false;     // the handle is the caller's
  std::wstring folder_;
  std::wstring mask_;
  bool maskGiven_ = false;
  std::uint32_t filter_ = 0;
  bool opened_ = false;  // a folder was given: Reopen can repeat it

  std::unique_ptr<unsigned char[]> buffer_;  // 4096 bytes, allocated on first use
  ULONG bufferValid_ = 0;
  ULONG position_ = 0;
  bool inBuffer_ = false;  // the current record lies in buffer_, not in the first read's
  alignas(8) unsigned char first_[616] = {};
  bool hasCurrent_ = false;
  bool ended_ = true;
  FolderEntry current_{};
};

// The mask that a listing of `folder` with `mask` hands to the file system,
// as OpenListing makes it from the search path.
StatusCode ResolvedListingMask(std::wstring_view folder, const wchar_t* mask, std::wstring& resolved);

// The status of a failed open of a folder to list: a DOS device name gives
// 0xE0010054; a name that does not exist or names no folder gives the
// conversion of STATUS_OBJECT_PATH_NOT_FOUND; anything else its own
// conversion.
StatusCode ListingOpenFailure(NTSTATUS openStatus, std::wstring_view folder, std::wstring_view searchPath);

}  // namespace zor
