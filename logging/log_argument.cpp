#include "logging/log_argument.h"

#include <charconv>

#include "foundation/format_text.h"
#include "logging/log_time.h"

namespace zor {
namespace {

struct TypeInfo {
  const wchar_t* prefix;
  int digits;  // hexadecimal digits; 0 for the types shown otherwise
  bool isSigned;
};

TypeInfo InfoOf(LogArgument::Type type) {
  switch (type) {
    case LogArgument::Type::ErrorCode:
      return {L"ERRORCODE:0x", 8, true};
    case LogArgument::Type::Int32:
      return {L"INT32:0x", 8, true};
    case LogArgument::Type::Dword:
      return {L"DWORD:0x", 8, false};
    case LogArgument::Type::Int8:
      return {L"INT8:0x", 2, true};
    case LogArgument::Type::Byte:
      return {L"BYTE:0x", 2, false};
    case LogArgument::Type::Int16:
      return {L"INT16:0x", 4, true};
    case LogArgument::Type::Word:
      return {L"WORD:0x", 4, false};
    case LogArgument::Type::Char:
      return {L"CHAR:0x", 4, false};
    case LogArgument::Type::Int64:
      return {L"INT64:0x", 16, true};
    case LogArgument::Type::Qword:
      return {L"QWORD:0x", 16, false};
    case LogArgument::Type::Size:
      return {L"SIZE:0x", 16, false};
    case LogArgument::Type::FileSize:
      return {L"FILESIZE:0x", 16, false};
    case LogArgument::Type::Bool:
      return {L"BOOL:", 0, false};
    case LogArgument::Type::Double:
      return {L"DOUBLE:", 0, false};
    case LogArgument::Type::Text:
      return {L"STR:", 0, false};
    case LogArgument::Type::Time:
      return {L"TIME:", 0, false};
  }
  return {L"", 0, false};
}

std::wstring HexDigits(std::uint64_t value, int digits) {
  static constexpr wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring text(static_cast<std::size_t>(digits), L'0');
  for (int i = digits - 1; i >= 0; --i) {
    text[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    value >>= 4;
  }
  return text;
}

std::wstring NumberText(double value) {
  char buffer[64];
  const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof(buffer), value);
  return std::wstring(buffer, result.ptr);
}

}  // namespace

LogArgument LogArgument::Double(double value) {
  LogArgument argument;
  argument.type_ = Type::Double;
  argument.number_ = value;
  return argument;
}

LogArgument LogArgument::Text(std::wstring_view value) {
  LogArgument argument;
  argument.type_ = Type::Text;
  argument.text_ = std::wstring(value);
  return argument;
}

bool LogArgument::IsInteger() const { return InfoOf(type_).digits != 0; }
bool LogArgument::IsSignedInteger() const { return IsInteger() && InfoOf(type_).isSigned; }

std::int64_t LogArgument::SignedValue() const {
  const int bits = InfoOf(type_).digits * 4;
  if (!IsSignedInteger() || bits >= 64) return static_cast<std::int64_t>(bits_);
  const std::uint64_t signBit = std::uint64_t{1} << (bits - 1);
  const std::uint64_t mask = (std::uint64_t{1} << bits) - 1;
  const std::uint64_t value = bits_ & mask;
  return (value & signBit) ? static_cast<std::int64_t>(value | ~mask) : static_cast<std::int64_t>(value);
}

std::wstring LogArgument::ValueText() const {
  const TypeInfo info = InfoOf(type_);
  if (info.digits != 0) return HexDigits(bits_, info.digits);
  switch (type_) {
    case Type::Bool:
      return bits_ ? L"TRUE" : L"FALSE";
    case Type::Double:
      return NumberText(number_);
    case Type::Text:
      return text_;
    case Type::Time:
      return TimeText(static_cast<std::int64_t>(bits_));
    default:
      return {};
  }
}

std::wstring LogArgument::Rendered() const { return InfoOf(type_).prefix + ValueText(); }

std::wstring RenderArguments(const LogArgumentList& arguments) {
  std::wstring text;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (i > 0) text.append(L", ");
    text.append(arguments[i].Rendered());
  }
  return text;
}

std::wstring TimeText(std::int64_t time) {
  const TimeParts t = SplitTime(time);
  return FormatText(L"%04d-%02d-%02d %02d:%02d:%02d,%03d", t.year, t.month, t.day, t.hour, t.minute, t.second,
                    t.millisecond);
}

}  // namespace zor
