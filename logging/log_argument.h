#pragma once
// Typed arguments of a log call: rendered one after another with their type
// prefix, or filled into the message text's placeholders. No Windows header.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/status_codes.h"

namespace zor {

class LogArgument {
 public:
  enum class Type {
    ErrorCode,
    Int32,
    Dword,
    Int8,
    Byte,
    Int16,
    Word,
    Char,
    Int64,
    Qword,
    Size,
    FileSize,
    Bool,
    Double,
    Text,
    Time
  };

  static LogArgument ErrorCode(StatusCode value) { return Integer(Type::ErrorCode, static_cast<std::uint32_t>(value)); }
  static LogArgument Int32(std::int32_t value) { return Integer(Type::Int32, static_cast<std::uint32_t>(value)); }
  static LogArgument Dword(std::uint32_t value) { return Integer(Type::Dword, value); }
  static LogArgument Int8(std::int8_t value) { return Integer(Type::Int8, static_cast<std::uint8_t>(value)); }
  static LogArgument Byte(std::uint8_t value) { return Integer(Type::Byte, value); }
  static LogArgument Int16(std::int16_t value) { return Integer(Type::Int16, static_cast<std::uint16_t>(value)); }
  static LogArgument Word(std::uint16_t value) { return Integer(Type::Word, value); }
  static LogArgument Char(std::uint16_t value) { return Integer(Type::Char, value); }
  static LogArgument Int64(std::int64_t value) { return Integer(Type::Int64, static_cast<std::uint64_t>(value)); }
  static LogArgument Qword(std::uint64_t value) { return Integer(Type::Qword, value); }
  static LogArgument Size(std::uint64_t value) { return Integer(Type::Size, value); }
  static LogArgument FileSize(std::uint64_t value) { return Integer(Type::FileSize, value); }
  static LogArgument Bool(bool value) { return Integer(Type::Bool, value ? 1 : 0); }
  static LogArgument Double(double value);
  static LogArgument Text(std::wstring_view value);
  // 100-ns units since 1601-01-01 UTC.
  static LogArgument Time(std::int64_t value) { return Integer(Type::Time, static_cast<std::uint64_t>(value)); }

  Type type() const { return type_; }
  // The prefix and the value: "INT32:0x0000002a", "BOOL:TRUE", "STR:text".
  std::wstring Rendered() const;
  // The value alone, as a "%s" placeholder shows it.
  std::wstring ValueText() const;
  bool IsSignedInteger() const;
  bool IsInteger() const;
  // The integer value, sign-extended for the signed types.
  std::int64_t SignedValue() const;
  std::uint64_t UnsignedValue() const { return bits_; }

 private:
  static LogArgument Integer(Type type, std::uint64_t bits) {
    LogArgument argument;
    argument.type_ = type;
    argument.bits_ = bits;
    return argument;
  }

  Type type_ = Type::Int32;
  std::uint64_t bits_ = 0;
  double number_ = 0;
  std::wstring text_;
};

using LogArgumentList = std::vector<LogArgument>;

// The arguments rendered one after another, separated by ", ".
std::wstring RenderArguments(const LogArgumentList& arguments);

// The text of a 64-bit record time: "2024-05-06 07:08:09,123" (UTC).
std::wstring TimeText(std::int64_t time);

}  // namespace zor
