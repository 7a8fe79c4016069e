#pragma once
// What the files of RegistryKey share: the native access bits and records,
// the grow-and-retry query buffer and the queries on a key handle. Only the
// registry files of this folder include it.
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "platform/native_api.h"
#include "platform/registry_key.h"

namespace zor::registry_detail {

inline constexpr ACCESS_MASK kKeyRead = 0x20019;
inline constexpr ACCESS_MASK kKeyAllAccess = 0xF003F;
inline constexpr ACCESS_MASK kDelete = 0x10000;
inline constexpr ACCESS_MASK kKeyQueryValue = 0x1;
inline constexpr ACCESS_MASK kWow64Key32 = 0x200;
inline constexpr ACCESS_MASK kGenericBits = 0xF0000000;
inline constexpr ULONG kCaseInsensitive = 0x40;
// Opens a registry link itself instead of the key it points to.
inline constexpr ULONG kOpenLink = 0x100;
inline constexpr ULONG kCreatedNewKey = 1;
inline constexpr ULONG kOpenedExistingKey = 2;

// A counted string holds at most 0xFFFC bytes.
inline constexpr std::size_t kMaxNameUnits = 32766;
inline constexpr ULONG kFirstBufferSize = 256;
inline constexpr ULONG kValueExistsBufferSize = 16;
inline constexpr std::size_t kClassesPrefixLength = 17;  // "SOFTWARE\Classes\"


struct KeyNameRecord {
  ULONG NameLength;
  WCHAR Name[1];
};

struct KeyNodeRecord {
  LARGE_INTEGER LastWriteTime;
  ULONG TitleIndex;
  ULONG ClassOffset;
  ULONG ClassLength;
  ULONG NameLength;
  WCHAR Name[1];
};

inline constexpr ULONG kKeyNameHeader = offsetof(KeyNameRecord, Name);
inline constexpr ULONG kKeyNodeHeader = offsetof(KeyNodeRecord, Name);
inline constexpr ULONG kValueHeader = offsetof(nt::KeyValuePartialInformationRecord, Data);
static_assert(kValueHeader == 12);

inline HANDLE RootHandleValue(RegistryRoot root) {
  return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(static_cast<LONG>(root)));
}

inline UNICODE_STRING Counted(std::wstring_view text) {
  const std::size_t units = text.size() < kMaxNameUnits ? text.size() : kMaxNameUnits;
  UNICODE_STRING counted;
  counted.Length = static_cast<USHORT>(units * sizeof(wchar_t));
  counted.MaximumLength = counted.Length;
  counted.Buffer = const_cast<PWSTR>(text.data());
  return counted;
}

inline bool IsTextType(ULONG type) {
  return type == ValueTypeString || type == ValueTypeExpandString || type == ValueTypeMultiString;
}

// Starts on the stack; grows once, to the size the system reported.
class QueryBuffer {
 public:
  void* data() noexcept { return data_; }
  ULONG size() const noexcept { return size_; }

  // Runs `query(buffer, length, &resultLength)`, and once more when the
  // system reports that more room is needed.
  template <typename Query>
  StatusCode Run(ULONG& resultLength, Query query) {
    resultLength = 0;
    NTSTATUS result = query(data_, size_, &resultLength);
    if ((result == nt::BufferOverflow || result == nt::BufferTooSmall) && resultLength > size_) {
      try {
        heap_.assign(resultLength, 0);
      } catch (const std::bad_alloc&) {
        return status::OutOfMemory;
      }
      data_ = heap_.data();
      size_ = resultLength;
      result = query(data_, size_, &resultLength);
    }
    return StatusOfNativeCall(result);
  }

 private:
  alignas(8) std::uint8_t stack_[kFirstBufferSize];
  std::vector<std::uint8_t> heap_;
  std::uint8_t* data_ = stack_;
  ULONG size_ = kFirstBufferSize;
};

// Handle-level queries, each with the grow-and-retry buffer above.
StatusCode EnumerateSubKeyName(HANDLE key, ULONG index, std::wstring& name);
// Appends the names of all subkeys in index order.
StatusCode EnumerateAll(HANDLE key, std::vector<std::wstring>& names);
StatusCode ReadValueAt(HANDLE key, std::wstring_view valueName, RegistryValue& value);
bool ValueExistsAt(HANDLE key, std::wstring_view valueName);

}  // namespace zor::registry_detail
