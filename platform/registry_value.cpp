#include "platform/registry_value.h"

#include "platform/registry_path.h"

namespace zor {
namespace {

bool IsTextType(std::uint32_t type) {
  return type == ValueTypeString || type == ValueTypeExpandString || type == ValueTypeMultiString;
}

void AppendText(std::vector<std::uint8_t>& data, std::wstring_view text) {
  for (wchar_t c : text) {
    const auto unit = static_cast<std::uint16_t>(c);
    data.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    data.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
}

}  // namespace

RegistryValue RegistryValue::FromString(std::wstring_view text) {
  std::vector<std::uint8_t> data;
  data.reserve((text.size() + 1) * 2);
  AppendText(data, text);
  data.insert(data.end(), {0, 0});
  return RegistryValue(ValueTypeString, std::move(data));
}

RegistryValue RegistryValue::FromMultiString(const std::vector<std::wstring>& list) {
  std::vector<std::uint8_t> data;
  for (const std::wstring& entry : list) {
    AppendText(data, entry);
    data.insert(data.end(), {0, 0});
  }
  data.insert(data.end(), {0, 0});
  return RegistryValue(ValueTypeMultiString, std::move(data));
}

RegistryValue RegistryValue::FromDword(std::uint32_t value) {
  return RegistryValue(ValueTypeDword, {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                        static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)});
}

std::uint16_t RegistryValue::Unit(std::size_t index) const noexcept {
  return static_cast<std::uint16_t>(data_[index * 2] | (data_[index * 2 + 1] << 8));
}

void RegistryValue::AppendUnit(std::uint16_t unit) {
  data_.push_back(static_cast<std::uint8_t>(unit & 0xFF));
  data_.push_back(static_cast<std::uint8_t>(unit >> 8));
}

void RegistryValue::EnsureTerminators() {
  if (!IsTextType(type_)) return;
  // Text is whole UTF-16 units; a stray last byte is no part of it.
  data_.resize(UnitCount() * 2);
  if (UnitCount() == 0) return;
  if (Unit(UnitCount() - 1) != 0) AppendUnit(0);
  // A list also needs the empty string that closes it. A list written
  // without any terminator keeps its last string this way.
  if (type_ == ValueTypeMultiString && UnitCount() >= 2 && Unit(UnitCount() - 2) != 0) AppendUnit(0);
}

StatusCode RegistryValue::ToDword(std::uint32_t& value) const {
  if (type_ != ValueTypeDword && type_ != ValueTypeDwordBigEndian) return status::ValueWrongType;
  if (data_.size() != 4) return status::ValueTooLong;
  if (type_ == ValueTypeDword) {
    value = static_cast<std::uint32_t>(data_[0]) | (static_cast<std::uint32_t>(data_[1]) << 8) |
            (static_cast<std::uint32_t>(data_[2]) << 16) | (static_cast<std::uint32_t>(data_[3]) << 24);
  } else {
    value = (static_cast<std::uint32_t>(data_[0]) << 24) | (static_cast<std::uint32_t>(data_[1]) << 16) |
            (static_cast<std::uint32_t>(data_[2]) << 8) | static_cast<std::uint32_t>(data_[3]);
  }
  return status::Success;
}

StatusCode RegistryValue::ToString(std::wstring& text) const {
  if (type_ != ValueTypeString && type_ != ValueTypeExpandString) return status::ValueWrongType;
  std::wstring result;
  const std::size_t units = UnitCount();
  if (units > 0) {
    result.reserve(units - 1);
    for (std::size_t i = 0; i + 1 < units; ++i) result.push_back(static_cast<wchar_t>(Unit(i)));
  }
  text = std::move(result);
  return status::Success;
}

StatusCode RegistryValue::ToMultiString(std::vector<std::wstring>& list) const {
  if (type_ != ValueTypeMultiString) return status::ValueWrongType;
  std::vector<std::wstring> result;
  const std::size_t units = UnitCount();
  std::wstring current;
  for (std::size_t i = 0; units > 1 && i + 1 < units; ++i) {
    const std::uint16_t unit = Unit(i);
    if (unit == 0) {
      result.push_back(std::move(current));
      current.clear();
    } else {
      current.push_back(static_cast<wchar_t>(unit));
    }
  }
  list = std::move(result);
  return status::Success;
}

}  // namespace zor
