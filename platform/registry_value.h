#pragma once
// A registry value as the registry stores it: a type and its bytes, with the
// conversions between the stored bytes and the program's strings, lists and
// numbers. Text is stored as UTF-16LE, one unit per wchar_t of the program's
// strings. No Windows header here.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/status_codes.h"

namespace zor {

enum RegistryValueType : std::uint32_t {
  ValueTypeNone = 0,
  ValueTypeString = 1,        // REG_SZ
  ValueTypeExpandString = 2,  // REG_EXPAND_SZ
  ValueTypeBinary = 3,
  ValueTypeDword = 4,
  ValueTypeDwordBigEndian = 5,
  ValueTypeLink = 6,
  ValueTypeMultiString = 7,  // REG_MULTI_SZ
  ValueTypeQword = 11,
};

class RegistryValue {
 public:
  RegistryValue() = default;
  RegistryValue(std::uint32_t type, std::vector<std::uint8_t> data) : type_(type), data_(std::move(data)) {}

  // REG_SZ: the text and its terminating NUL.
  static RegistryValue FromString(std::wstring_view text);
  // REG_MULTI_SZ: each string and one NUL, then one more NUL; an empty list
  // is a single NUL.
  static RegistryValue FromMultiString(const std::vector<std::wstring>& list);
  // REG_DWORD, little-endian.
  static RegistryValue FromDword(std::uint32_t value);

  std::uint32_t Type() const noexcept { return type_; }
  const std::vector<std::uint8_t>& Data() const noexcept { return data_; }

  // Makes text values end as readers expect: a REG_SZ or REG_EXPAND_SZ gets
  // a NUL unit when its last unit is not NUL; a REG_MULTI_SZ ends with a NUL
  // unit and then an empty string. Other values stay as they are.
  void EnsureTerminators();

  // Each fails with 0xE0010014 for a value of another type and leaves its
  // output as it was. ToDword also fails with 0xE0010049 when the value is
  // not exactly four bytes long.
  StatusCode ToDword(std::uint32_t& value) const;
  // The units without the last one (the terminator); NUL units inside stay.
  StatusCode ToString(std::wstring& text) const;
  // One entry per NUL-ended string; the closing empty string adds none.
  StatusCode ToMultiString(std::vector<std::wstring>& list) const;

 private:
  std::size_t UnitCount() const noexcept { return data_.size() / 2; }
  std::uint16_t Unit(std::size_t index) const noexcept;
  void AppendUnit(std::uint16_t unit);

  std::uint32_t type_ = ValueTypeNone;
  std::vector<std::uint8_t> data_;
};

}  // namespace zor
