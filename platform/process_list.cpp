#include "platform/process_list.h"

#include <windows.h>
#include <winternl.h>

#include <cstddef>
#include <memory>
#include <new>

#include "foundation/text_case.h"
#include "platform/change_tally.h"
#include "platform/device_map.h"
#include "platform/native_api.h"
#include "platform/os_identity_reader.h"
#include "platform/special_folders.h"
#include "platform/unique_handle.h"

namespace zor {
namespace {

constexpr ULONG kSystemProcessInformation = 5;
constexpr ULONG kOlderWindowsFirstBuffer = 50000;
constexpr ACCESS_MASK kQueryAccess = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;

bool IsXpOrLaterHere() { return IsXpOrLater(CurrentOsIdentity()); }

// The system's process records, in a buffer that grows until they fit.
StatusCode ReadProcessRecords(std::unique_ptr<std::byte[]>& records) {
  ULONG size = 0;
  double factor = 1.1;
  if (IsXpOrLaterHere()) {
    // The first call only asks for the size.
    Native().ZwQuerySystemInformation(kSystemProcessInformation, nullptr, 0, &size);
  } else {
    size = kOlderWindowsFirstBuffer;
  }
  for (int attempt = 0; attempt < 64; ++attempt) {
    const auto allocated = IsXpOrLaterHere() ? static_cast<ULONG>(size * factor) + 1 : size;
    records.reset(new (std::nothrow) std::byte[allocated]);
    if (!records) return status::OutOfMemory;
    ULONG needed = 0;
    const NTSTATUS queried =
        Native().ZwQuerySystemInformation(kSystemProcessInformation, records.get(), allocated, &needed);
    if (NT_SUCCESS(queried)) return status::Success;
    if (IsXpOrLaterHere()) {
      if (needed > size) size = needed;
      factor += 0.1;
      continue;
    }
    if (queried != static_cast<NTSTATUS>(0xC0000004)) return StatusOfNativeCall(queried);  // not a size problem
    size *= 2;
  }
  return status::BufferTooSmall;
}

StatusCode OpenProcessById(std::uint32_t identifier, ACCESS_MASK access, UniqueNtHandle& process) {
  OBJECT_ATTRIBUTES attributes{};
  attributes.Length = sizeof attributes;
  CLIENT_ID client{};
  client.UniqueProcess = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(identifier));
  HANDLE opened = nullptr;
  const NTSTATUS status = Native().ZwOpenProcess(&opened, access, &attributes, &client);
  if (!NT_SUCCESS(status)) return StatusOfNativeCall(status);
  process.reset(opened);
  return status::Success;
}

// The image file name as the system keeps it: an NT device path.
StatusCode ImageFileName(HANDLE process, ULONG firstSize, std::wstring& name) {
  ULONG size = firstSize;
  for (int attempt = 0; attempt < 2; ++attempt) {
    std::unique_ptr<std::byte[]> buffer(new (std::nothrow) std::byte[size]);
    if (!buffer) return status::OutOfMemory;
    ULONG needed = 0;
    const NTSTATUS queried =
        Native().ZwQueryInformationProcess(process, nt::ProcessImageFileNameClass, buffer.get(), size, &needed);
    if (NT_SUCCESS(queried)) {
      const auto* text = reinterpret_cast<const UNICODE_STRING*>(buffer.get());
      name.assign(text->Buffer ? text->Buffer : L"", text->Length / sizeof(wchar_t));
      return status::Success;
    }
    if (needed <= size) return StatusOfNativeCall(queried);
    size = needed;
  }
  return status::BufferTooSmall;
}

// "\??\" goes; "\SystemRoot" or "\WINDOWS" at the start becomes the Windows
// folder, as the loader names images started early.
std::wstring NormalisedParameterPath(std::wstring path) {
  if (path.rfind(L"\\??\\", 0) == 0) path.erase(0, 4);
  for (std::wstring_view root : {std::wstring_view(L"\\SystemRoot"), std::wstring_view(L"\\WINDOWS")}) {
    if (path.size() >= root.size() && EqualsFoldingAscii(std::wstring_view(path).substr(0, root.size()), root) &&
        (path.size() == root.size() || path[root.size()] == L'\\')) {
      std::wstring windows;
      if (!IsFailure(SpecialFolder(FolderWindows, windows))) path = windows + path.substr(root.size());
      break;
    }
  }
  return path;
}

// The image path in the process's own parameters, read from its memory.
StatusCode ParameterImagePath(HANDLE process, std::wstring& path) {
  PROCESS_BASIC_INFORMATION basic{};
  ULONG got = 0;
  NTSTATUS status =
      Native().ZwQueryInformationProcess(process, nt::ProcessBasicInformationClass, &basic, sizeof basic, &got);
  if (!NT_SUCCESS(status)) return StatusOfNativeCall(status);
  if (basic.PebBaseAddress == nullptr) return status::InvalidHandle;
  PEB block{};
  SIZE_T read = 0;
  status = Native().ZwReadVirtualMemory(process, basic.PebBaseAddress, &block, sizeof block, &read);
  if (!NT_SUCCESS(status)) return StatusOfNativeCall(status);
  nt::ProcessParameters parameters{};
  status = Native().ZwReadVirtualMemory(process, block.ProcessParameters, &parameters, sizeof parameters, &read);
  if (!NT_SUCCESS(status)) return StatusOfNativeCall(status);
  const UNICODE_STRING& image = parameters.ImagePathName;
  std::wstring text(image.Length / sizeof(wchar_t), L'\0');
  if (!text.empty()) {
    status = Native().ZwReadVirtualMemory(process, image.Buffer, text.data(), image.Length, &read);
    if (!NT_SUCCESS(status)) return StatusOfNativeCall(status);
  }
  path = NormalisedParameterPath(std::move(text));
  return status::Success;
}

// One process's path as the options ask; `map` is null when no device map
// could be built.
StatusCode PathOf(std::uint32_t identifier, std::uint32_t options, const DeviceMap* map, ULONG firstSize,
                  bool fallBack, std::wstring& path) {
  UniqueNtHandle process;
  if (const StatusCode opened = OpenProcessById(identifier, kQueryAccess, process); IsFailure(opened)) return opened;
  StatusCode result = status::NotSupported;
  if (map != nullptr) {
    std::wstring device;
    result = ImageFileName(process.get(), firstSize, device);
    if (!IsFailure(result)) {
      if (options & ProcessPathsNt) {
        path = device;
        return status::Success;
      }
      result = map->DevicePathToDosPath(device, path);
      if (!IsFailure(result)) return result;
    }
    if (!fallBack) return result;
  }
  std::wstring parameterPath;
  result = ParameterImagePath(process.get(), parameterPath);
  if (!IsFailure(result)) path = std::move(parameterPath);
  return result;
}

}  // namespace

StatusCode TakeProcessList(std::uint32_t options, std::vector<ProcessEntry>& list) {
  list.clear();
  std::unique_ptr<std::byte[]> records;
  if (const StatusCode read = ReadProcessRecords(records); IsFailure(read)) return read;

  std::vector<ProcessEntry> entries;
  try {
    for (std::size_t offset = 0;;) {
      const auto* record = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(records.get() + offset);
      ProcessEntry entry;
      entry.identifier = static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(record->UniqueProcessId));
      entries.push_back(std::move(entry));
      if (record->NextEntryOffset == 0) break;
      offset += record->NextEntryOffset;
    }
    if (options & (ProcessPathsDos | ProcessPathsNt)) {
      DeviceMap map;
      const bool mapped = IsXpOrLaterHere() && !IsFailure(map.Build());
      for (ProcessEntry& entry : entries) {
        entry.pathStatus = PathOf(entry.identifier, options, mapped ? &map : nullptr, 2048, false, entry.imagePath);
        if (IsFailure(entry.pathStatus)) entry.imagePath.clear();
      }
    }
  } catch (const std::bad_alloc&) {
    return status::OutOfMemory;
  }
  list = std::move(entries);
  return status::Success;
}

StatusCode ProcessImagePath(std::uint32_t identifier, std::wstring& path) {
  DeviceMap map;
  const bool mapped = IsXpOrLaterHere() && !IsFailure(map.Build());
  std::wstring found;
  const StatusCode result = PathOf(identifier, ProcessPathsDos, mapped ? &map : nullptr, 512, true, found);
  if (!IsFailure(result)) path = std::move(found);
  return result;
}

StatusCode TerminateProcessById(std::uint32_t identifier) {
  UniqueNtHandle process;
  if (const StatusCode opened = OpenProcessById(identifier, PROCESS_TERMINATE, process); IsFailure(opened)) {
    return opened;
  }
  const StatusCode stopped = StatusOfNativeCall(NativeChanges().ZwTerminateProcess(process.get(), 0));
  CountRemoval(!IsFailure(stopped));
  return stopped;
}

}  // namespace zor
