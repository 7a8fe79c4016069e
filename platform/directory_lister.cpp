#include "platform/directory_lister.h"

#include <cstring>
#include <new>

#include "platform/native_api.h"
#include "platform/native_file.h"
#include "platform/nt_path.h"

namespace zor {
namespace {

using native_file::FileBothDirectoryInformationRecord;
using native_file::kBothDirectoryHeaderBytes;

constexpr ULONG kListingBufferBytes = 4096;
constexpr ULONG kListingOpenOptions = native_file::kDirectoryFile | native_file::kSynchronousIo | native_file::kBackupIntent;

bool IsDosDevice(const std::wstring& path) {
  return Native().RtlIsDosDeviceName_U && !path.empty() && Native().RtlIsDosDeviceName_U(path.c_str()) != 0;
}

// The end of the complete entries in a buffer that ends in a partial one:
// the link to the partial entry is dropped. False when not even the first
// entry is complete.
bool DropPartialEntry(unsigned char* buffer, ULONG valid) {
  ULONG at = 0;
  FileBothDirectoryInformationRecord* lastComplete = nullptr;
  for (;;) {
    if (at + kBothDirectoryHeaderBytes > valid) break;
    auto* record = reinterpret_cast<FileBothDirectoryInformationRecord*>(buffer + at);
    if (at + kBothDirectoryHeaderBytes + record->FileNameLength > valid) break;
    lastComplete = record;
    if (record->NextEntryOffset == 0) return true;
    at += record->NextEntryOffset;
  }
  if (!lastComplete) return false;
  lastComplete->NextEntryOffset = 0;
  return true;
}

// The search path: the folder, a separator, the mask ("*" when
// absent), made an NT path whose file part is the mask the file system gets.
struct SearchTarget {
  std::wstring text;
  NtPath ntPath;
  std::size_t filePart = 0;
  std::wstring mask;
};

StatusCode MakeSearchTarget(std::wstring_view folder, const wchar_t* mask, SearchTarget& target) {
  try {
    target.text = folder;
    if (target.text.empty()) return status::InvalidArgument;
    if (!IsPathSeparator(target.text.back())) target.text += L'\\';
    target.text += (mask && *mask) ? mask : L"*";
    const StatusCode converted = ToNtPathWithFilePart(target.text, target.ntPath, target.filePart);
    if (converted == status::OutOfMemory) return converted;
    if (IsFailure(converted)) return status::NotAFolder;
    const std::wstring_view part = target.ntPath.view().substr(target.filePart);
    target.mask = part == L"*.*" ? std::wstring_view(L"*") : part;
    return status::Success;
  } catch (const std::bad_alloc&) {
    return status::OutOfMemory;
  }
}

}  // namespace

StatusCode ResolvedListingMask(std::wstring_view folder, const wchar_t* mask, std::wstring& resolved) {
  SearchTarget target;
  const StatusCode made = MakeSearchTarget(folder, mask, target);
  if (IsFailure(made)) return made;
  resolved.swap(target.mask);
  return status::Success;
}

StatusCode ListingOpenFailure(NTSTATUS openStatus, std::wstring_view folder, std::wstring_view searchPath) {
  if (IsDosDevice(std::wstring(folder)) || IsDosDevice(std::wstring(searchPath))) return status::DosDeviceName;
  if (openStatus == nt::ObjectNameNotFound || openStatus == nt::ObjectTypeMismatch) {
    openStatus = nt::ObjectPathNotFound;
  }
  return StatusFromNtStatus(openStatus);
}

DirectoryLister::DirectoryLister() = default;

DirectoryLister::~DirectoryLister() { CloseUnlocked(); }

StatusCode DirectoryLister::OpenListing(std::wstring_view folder, const wchar_t* mask, std::uint32_t filter) {
  ProcessLockHold guard(lock_);
  CloseUnlocked();
  opened_ = false;
  if (folder.empty()) return status::InvalidArgument;
  try {
    folder_ = folder;
    mask_ = mask ? mask : L"";
  } catch (const std::bad_alloc&) {
    return status::OutOfMemory;
  }
  maskGiven_ = mask != nullptr;
  filter_ = filter;
  listingHandle_ = false;
  opened_ = true;
  return Start();
}

StatusCode DirectoryLister::OpenListingOf(HANDLE folder, std::wstring_view folderPath, const wchar_t* mask, std::uint32_t filter) {
  ProcessLockHold guard(lock_);
  CloseUnlocked();
  opened_ = false;
  if (!folder) return status::InvalidArgument;
  try {
    folder_ = folderPath;
    mask_ = ListingMask(mask);
  } catch (const std::bad_alloc&) {
    return status::OutOfMemory;
  }
  maskGiven_ = true;
  filter_ = filter;
  listingHandle_ = true;
  callersHandle_ = folder;
  opened_ = true;
  return Start();
}

StatusCode DirectoryLister::Reopen() {
  ProcessLockHold guard(lock_);
  if (!opened_) return status::InvalidArgument;
  CloseUnlocked();
  return Start();
}

StatusCode DirectoryLister::Start() {
  hasCurrent_ = false;
  inBuffer_ = false;
  bufferValid_ = 0;
  position_ = 0;
  if (!listingHandle_) {
    SearchTarget target;
    const StatusCode made = MakeSearchTarget(folder_, maskGiven_ ? mask_.c_str() : nullptr, target);
    if (IsFailure(made)) return made;
    const std::wstring_view full = target.ntPath.view();
    const UNICODE_STRING folderName = native_file::CountedName(full.data(), target.filePart);
    const NTSTATUS opened = native_file::Open(nullptr, folderName, FILE_LIST_DIRECTORY | SYNCHRONIZE,
                                              native_file::kShareReadWrite, kListingOpenOptions, ownedHandle_);
    if (!NT_SUCCESS(opened)) return ListingOpenFailure(opened, folder_, target.text);
    handle_ = ownedHandle_.get();
    mask_.swap(target.mask);
    maskGiven_ = true;
  } else {
    handle_ = callersHandle_;
  }
  ended_ = false;
  return ReadFirst();
}

StatusCode DirectoryLister::ReadFirst() {
  if (!Native().ZwQueryDirectoryFile) {
    EndListing();
    return StatusFromNtStatus(nt::NotImplemented);
  }
  UNICODE_STRING mask = native_file::CountedName(mask_.c_str(), mask_.size());
  IO_STATUS_BLOCK io{};
  const NTSTATUS read = Native().ZwQueryDirectoryFile(handle_, nullptr, nullptr, nullptr, &io, first_, sizeof(first_),
                                                      native_file::FileBothDirectoryInformationClass, TRUE, &mask, TRUE);
  if (read == nt::NoMoreFiles) {
    EndListing();
    return status::ListingEnd;
  }
  if (!NT_SUCCESS(read)) {
    const StatusCode failure = StatusFromNtStatus(read);
    EndListing();
    return failure == status::FolderWhereFileExpected ? status::ListingEnd : failure;
  }
  inBuffer_ = false;
  const StatusCode taken = TakeEntry(first_);
  if (IsFailure(taken) || hasCurrent_) return taken;
  return NextEntryUnlocked();
}

StatusCode DirectoryLister::TakeEntry(const void* record) {
  const auto* entry = static_cast<const FileBothDirectoryInformationRecord*>(record);
  hasCurrent_ = false;
  const std::size_t nameUnits = entry->FileNameLength / sizeof(wchar_t);
  if (nameUnits >= kFolderEntryNameUnits) return status::BufferTooSmall;
  FolderEntry& out = current_;
  out.attributes = entry->FileAttributes;
  out.creationTime = {entry->CreationTime.LowPart, static_cast<DWORD>(entry->CreationTime.HighPart)};
  out.lastAccessTime = {entry->LastAccessTime.LowPart, static_cast<DWORD>(entry->LastAccessTime.HighPart)};
  out.lastWriteTime = {entry->LastWriteTime.LowPart, static_cast<DWORD>(entry->LastWriteTime.HighPart)};
  out.sizeHigh = static_cast<std::uint32_t>(entry->EndOfFile.HighPart);
  out.sizeLow = entry->EndOfFile.LowPart;
  std::memcpy(out.name, entry->FileName, nameUnits * sizeof(wchar_t));
  out.name[nameUnits] = L'\0';
  std::size_t shortUnits = static_cast<unsigned char>(entry->ShortNameLength) / sizeof(wchar_t);
  if (shortUnits >= kFolderEntryShortNameUnits) shortUnits = kFolderEntryShortNameUnits - 1;
  std::memcpy(out.shortName, entry->ShortName, shortUnits * sizeof(wchar_t));
  out.shortName[shortUnits] = L'\0';
  hasCurrent_ = EntryAdmitted(out.attributes, std::wstring_view(out.name, nameUnits), filter_);
  return status::Success;
}

NTSTATUS DirectoryLister::Refill() {
  if (!buffer_) {
    buffer_.reset(new (std::nothrow) unsigned char[kListingBufferBytes]);
    if (!buffer_) return nt::NoMemory;
  }
  IO_STATUS_BLOCK io{};
  NTSTATUS read = Native().ZwQueryDirectoryFile(handle_, nullptr, nullptr, nullptr, &io, buffer_.get(), kListingBufferBytes,
                                                native_file::FileBothDirectoryInformationClass, FALSE, nullptr, FALSE);
  const ULONG valid = static_cast<ULONG>(io.Information);
  if (read == nt::BufferOverflow) {
    if (!DropPartialEntry(buffer_.get(), valid)) return read;
    read = nt::Success;
  }
  if (!NT_SUCCESS(read)) return read;
  if (valid < kBothDirectoryHeaderBytes) return nt::NoMoreFiles;
  bufferValid_ = valid;
  position_ = 0;
  inBuffer_ = true;
  return nt::Success;
}

StatusCode DirectoryLister::NextEntry() {
  ProcessLockHold guard(lock_);
  return NextEntryUnlocked();
}

StatusCode DirectoryLister::NextEntryUnlocked() {
  if (ended_) return status::ListingEnd;
  for (;;) {
    bool advanced = false;
    if (inBuffer_) {
      const auto* record = reinterpret_cast<const FileBothDirectoryInformationRecord*>(buffer_.get() + position_);
      const ULONG next = record->NextEntryOffset;
      if (next != 0 && position_ + next + kBothDirectoryHeaderBytes <= bufferValid_) {
        position_ += next;
        advanced = true;
      }
    }
    if (!advanced) {
      const NTSTATUS refilled = Native().ZwQueryDirectoryFile ? Refill() : nt::NotImplemented;
      if (refilled == nt::NoMoreFiles) {
        EndListing();
        return status::ListingEnd;
      }
      if (!NT_SUCCESS(refilled)) {
        hasCurrent_ = false;
        return StatusFromNtStatus(refilled);
      }
    }
    const auto* record = reinterpret_cast<const FileBothDirectoryInformationRecord*>(buffer_.get() + position_);
    if (position_ + kBothDirectoryHeaderBytes + record->FileNameLength > bufferValid_) {
      hasCurrent_ = false;
      return status::BufferTooSmall;
    }
    const StatusCode taken = TakeEntry(record);
    if (IsFailure(taken) || hasCurrent_) return taken;
  }
}

StatusCode DirectoryLister::CurrentEntry(FolderEntry& entry) {
  ProcessLockHold guard(lock_);
  if (!hasCurrent_) return status::NoCurrentEntry;
  entry = current_;
  return status::Success;
}

StatusCode DirectoryLister::EntryPath(std::wstring& path) {
  ProcessLockHold guard(lock_);
  if (!hasCurrent_) return status::NoCurrentEntry;
  return CombinePath(folder_, current_.name, path);
}

StatusCode DirectoryLister::CloseListing() {
  ProcessLockHold guard(lock_);
  CloseUnlocked();
  return status::Success;
}

void DirectoryLister::EndListing() {
  ended_ = true;
  hasCurrent_ = false;
  inBuffer_ = false;
  ownedHandle_.reset();
  handle_ = nullptr;
}

void DirectoryLister::CloseUnlocked() {
  EndListing();
  buffer_.reset();
  bufferValid_ = 0;
  position_ = 0;
}

}  // namespace zor
