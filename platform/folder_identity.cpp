#include "platform/folder_identity.h"

#include "platform/native_file.h"
#include "platform/nt_path.h"

namespace zor {
namespace {

enum : ULONG {
  FileInternalInformationClass = 6,
  FileFsVolumeInformationClass = 1,
};

struct FileFsVolumeInformationRecord {
  LARGE_INTEGER VolumeCreationTime;
  ULONG VolumeSerialNumber;
  ULONG VolumeLabelLength;
  BOOLEAN SupportsObjects;
  WCHAR VolumeLabel[64];
};

}  // namespace

StatusCode IdentifyFolder(std::wstring_view path, FolderIdentity& identity) {
  NtPath ntPath;
  if (const StatusCode converted = ToNtPath(path, ntPath); IsFailure(converted)) return converted;
  UniqueNtHandle folder;
  const NTSTATUS opened =
      native_file::Open(nullptr, *ntPath.get(), FILE_READ_ATTRIBUTES | SYNCHRONIZE, native_file::kShareAll,
                        native_file::kDirectoryFile | native_file::kSynchronousIo, folder);
  if (!NT_SUCCESS(opened)) return native_file::FileStatus(opened);

  IO_STATUS_BLOCK io{};
  LARGE_INTEGER fileId{};
  if (!Native().ZwQueryInformationFile) return StatusFromNtStatus(nt::NotImplemented);
  const NTSTATUS idRead =
      Native().ZwQueryInformationFile(folder.get(), &io, &fileId, sizeof fileId, FileInternalInformationClass);
  if (!NT_SUCCESS(idRead)) return native_file::FileStatus(idRead);

  FileFsVolumeInformationRecord volume{};
  if (!Native().ZwQueryVolumeInformationFile) return StatusFromNtStatus(nt::NotImplemented);
  const NTSTATUS volumeRead = Native().ZwQueryVolumeInformationFile(folder.get(), &io, &volume, sizeof volume,
                                                                    FileFsVolumeInformationClass);
  // The label may not fit; the serial before it is filled all the same.
  if (!NT_SUCCESS(volumeRead) && volumeRead != static_cast<NTSTATUS>(NtStatusBufferOverflow)) {
    return native_file::FileStatus(volumeRead);
  }
  identity.volumeSerial = volume.VolumeSerialNumber;
  identity.fileId = static_cast<std::uint64_t>(fileId.QuadPart);
  return status::Success;
}

}  // namespace zor
