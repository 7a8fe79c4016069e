// Queries on a key handle: subkey names, values, the key's own name and its
// path below its root, and the registry's letter case.
#include <new>
#include <string>
#include <vector>

#include "platform/registry_internal.h"
#include "platform/registry_key.h"

namespace zor {

namespace registry_detail {

StatusCode EnumerateSubKeyName(HANDLE key, ULONG index, std::wstring& name) {
  QueryBuffer buffer;
  ULONG length = 0;
  const StatusCode result = buffer.Run(length, [&](void* data, ULONG size, ULONG* reported) {
    return Native().ZwEnumerateKey(key, index, nt::KeyNodeInformation, data, size, reported);
  });
  if (IsFailure(result)) return result;
  const auto* node = static_cast<const KeyNodeRecord*>(buffer.data());
  const ULONG room = buffer.size() - kKeyNodeHeader;
  const ULONG bytes = node->NameLength < room ? node->NameLength : room;
  name.assign(node->Name, bytes / sizeof(WCHAR));
  return status::Success;
}

StatusCode EnumerateAll(HANDLE key, std::vector<std::wstring>& names) {
  for (ULONG index = 0;; ++index) {
    std::wstring name;
    const StatusCode result = EnumerateSubKeyName(key, index, name);
    if (IsFailure(result)) return result == status::NoMoreSubKeys ? status::Success : result;
    names.push_back(std::move(name));
  }
}

StatusCode ReadValueAt(HANDLE key, std::wstring_view valueName, RegistryValue& value) {
  UNICODE_STRING name = Counted(valueName);
  QueryBuffer buffer;
  ULONG length = 0;
  const StatusCode result = buffer.Run(length, [&](void* data, ULONG size, ULONG* reported) {
    return Native().ZwQueryValueKey(key, &name, nt::KeyValuePartialInformation, data, size, reported);
  });
  if (IsFailure(result)) return result;
  const auto* record = static_cast<const nt::KeyValuePartialInformationRecord*>(buffer.data());
  ULONG dataLength = length > kValueHeader ? length - kValueHeader : 0;
  const ULONG room = buffer.size() - kValueHeader;
  if (dataLength > room) dataLength = room;
  if (IsTextType(record->Type)) dataLength &= ~1u;
  std::vector<std::uint8_t> data;
  try {
    data.assign(record->Data, record->Data + dataLength);
  } catch (const std::bad_alloc&) {
    return status::OutOfMemory;
  }
  value = RegistryValue(record->Type, std::move(data));
  return status::Success;
}

bool ValueExistsAt(HANDLE key, std::wstring_view valueName) {
  UNICODE_STRING name = Counted(valueName);
  alignas(8) std::uint8_t buffer[kValueExistsBufferSize];
  ULONG length = 0;
  const NTSTATUS result =
      Native().ZwQueryValueKey(key, &name, nt::KeyValuePartialInformation, buffer, sizeof(buffer), &length);
  return NT_SUCCESS(result) || (result == nt::BufferOverflow && length != 0);
}

}  // namespace registry_detail

using namespace registry_detail;

std::wstring UpcaseRegistryText(std::wstring_view text) {
  if (!Native().RtlUpcaseUnicodeString) return UpcaseAscii(text);
  std::wstring upper(text);
  for (std::size_t offset = 0; offset < text.size(); offset += kMaxNameUnits) {
    const std::size_t units = text.size() - offset < kMaxNameUnits ? text.size() - offset : kMaxNameUnits;
    UNICODE_STRING source = Counted(text.substr(offset, units));
    UNICODE_STRING target;
    target.Buffer = upper.data() + offset;
    target.Length = 0;
    target.MaximumLength = source.Length;
    if (!NT_SUCCESS(Native().RtlUpcaseUnicodeString(&target, &source, FALSE))) {
      const std::wstring ascii = UpcaseAscii(text.substr(offset, units));
      upper.replace(offset, units, ascii);
    }
  }
  return upper;
}

StatusCode QueryKeyName(HANDLE key, std::wstring& name) {
  QueryBuffer buffer;
  ULONG length = 0;
  const StatusCode result = buffer.Run(length, [&](void* data, ULONG size, ULONG* reported) {
    return Native().ZwQueryKey(key, nt::KeyNameInformation, data, size, reported);
  });
  if (IsFailure(result)) return result;
  const auto* record = static_cast<const KeyNameRecord*>(buffer.data());
  const ULONG room = buffer.size() - kKeyNameHeader;
  const ULONG bytes = record->NameLength < room ? record->NameLength : room;
  name.assign(record->Name, bytes / sizeof(WCHAR));
  return status::Success;
}

StatusCode RelativeKeyPath(HANDLE key, std::wstring& path, bool& isMachine) {
  std::wstring name;
  if (const StatusCode queried = QueryKeyName(key, name); IsFailure(queried)) return queried;
  RelativePath relative;
  if (const StatusCode made = RelativeKeyPathFromName(name, UpcaseRegistryText, relative); IsFailure(made)) {
    return made;
  }
  path = std::move(relative.path);
  isMachine = relative.isMachine;
  return status::Success;
}

}  // namespace zor
