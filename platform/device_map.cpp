#include "platform/device_map.h"

#include <new>

#include "platform/native_api.h"
#include "platform/native_file.h"
#include "platform/unique_handle.h"

namespace zor {
namespace {

constexpr ACCESS_MASK kSymbolicLinkQuery = 0x0001;

// PROCESS_DEVICEMAP_INFORMATION as the query fills it: the drive bits and a
// type per drive, in a union with the 64-bit directory handle of the set
// form, which gives the record its size.
struct ProcessDeviceMapRecord {
  union {
    struct {
      HANDLE DirectoryHandle;
    } Set;
    struct {
      ULONG DriveMap;
      UCHAR DriveType[32];
    } Query;
  };
};
static_assert(sizeof(ProcessDeviceMapRecord) == 40);

}  // namespace

StatusCode DriveTarget(wchar_t letter, std::wstring& target) {
  const NativeApi& api = Native();
  if (!api.ZwOpenSymbolicLinkObject || !api.ZwQuerySymbolicLinkObject) return StatusFromNtStatus(nt::NotImplemented);
  wchar_t linkName[] = L"\\??\\X:";
  linkName[4] = letter;
  UNICODE_STRING name = native_file::CountedName(linkName, 6);
  OBJECT_ATTRIBUTES attributes;
  nt::InitObjectAttributes(attributes, &name, native_file::kObjectAttributes, nullptr);
  UniqueNtHandle link;
  NTSTATUS status = api.ZwOpenSymbolicLinkObject(link.put(), kSymbolicLinkQuery, &attributes);
  if (!NT_SUCCESS(status)) return StatusFromNtStatus(status);

  // A link target is at most 32767 characters: one read that can hold
  // that, no growing.
  try {
    std::wstring buffer(32768, L'\0');
    UNICODE_STRING text;
    text.Buffer = buffer.data();
    text.Length = 0;
    text.MaximumLength = static_cast<USHORT>(0xFFFE);
    ULONG returned = 0;
    status = api.ZwQuerySymbolicLinkObject(link.get(), &text, &returned);
    if (!NT_SUCCESS(status)) return StatusFromNtStatus(status);
    target = WithoutRedirectorConnection(std::wstring_view(text.Buffer, text.Length / sizeof(wchar_t)));
    return status::Success;
  } catch (const std::bad_alloc&) {
    return status::OutOfMemory;
  }
}

StatusCode DeviceMap::Build() {
  if (!Native().ZwQueryInformationProcess) return StatusFromNtStatus(nt::NotImplemented);
  ProcessDeviceMapRecord map{};
  const NTSTATUS status = Native().ZwQueryInformationProcess(nt::CurrentProcess(), nt::ProcessDeviceMapClass, &map,
                                                             sizeof(map), nullptr);
  if (!NT_SUCCESS(status)) return StatusFromNtStatus(status);
  try {
    std::vector<DriveDevice> drives;
    for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
      if (!(map.Query.DriveMap & (1u << (letter - L'A')))) continue;
      DriveDevice drive;
      drive.letter = letter;
      if (IsFailure(DriveTarget(letter, drive.device))) continue;
      drives.push_back(std::move(drive));
    }
    PutSystemDriveFirst(drives);
    drives_ = std::move(drives);
    return status::Success;
  } catch (const std::bad_alloc&) {
    return status::OutOfMemory;
  }
}

StatusCode DeviceMap::DevicePathToDosPath(std::wstring_view devicePath, std::wstring& dosPath) const {
  return zor::DevicePathToDosPath(drives_, devicePath, dosPath);
}

}  // namespace zor
