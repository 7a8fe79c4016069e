// Message formatting, for the console (FormatText) and for log records
// (ExpandMessageFormat, BuildMessage).
//
// Output stays bounded by the input: each placeholder may pad its field to
// at most kPaddedFieldLimit characters, whatever width the format asks for
// (a width like %999999999d must not allocate gigabytes). For widths that
// any bound leaves alone, FormatText agrees with the C library's printf
// under the rules for arguments of the other kind. A log message with
// option bit 0 holds no line break.
//
// Input lines: the format, then one argument per line, its first character
// giving the kind: d, i, h (signed: 64, 32, 16 bits), u, w, c, y, z
// (unsigned: 64, 32, 16, 8 bits, size), b (bool), t (time), f (double,
// thousandths), s (text, the rest of the line); any other line is a text.
// In the format and in texts a backslash and "n" stand for a line feed,
// which a line of the input cannot hold.
#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

#include "foundation/format_text.h"
#include "logging/log_message.h"
#include "tests/fuzz/fuzz_support.h"

namespace zor {
namespace {

using fuzz::Printable;
using fuzz::Require;

// The most a padded field may grow to. The formatter may bound widths
// lower; no caller asks for more than a few dozen.
constexpr std::size_t kPaddedFieldLimit = 65536;
// Widths up to this are compared with printf exactly; above it a bound of
// the formatter's own may apply.
constexpr std::size_t kComparedWidth = 64;
// Room for an integer of 64 bits with its sign.
constexpr std::size_t kIntegerLength = 21;
constexpr std::size_t kMostArguments = 8;

struct Argument {
  FormatArg::Kind kind = FormatArg::Kind::Text;
  std::int64_t signedValue = 0;
  std::uint64_t unsignedValue = 0;
  std::wstring text;
  LogArgument logged = LogArgument::Text(L"");
};

std::wstring WithLineFeeds(std::wstring_view text) {
  std::wstring result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\\' && i + 1 < text.size() && text[i + 1] == L'n') {
      result.push_back(L'\n');
      ++i;
    } else {
      result.push_back(text[i]);
    }
  }
  return result;
}

Argument ArgumentFrom(std::wstring_view line) {
  Argument argument;
  const wchar_t kind = line.empty() ? L's' : line[0];
  const std::wstring_view rest = line.empty() ? line : line.substr(1);
  const std::int64_t number = fuzz::NumberFromField(rest);
  const auto bits = static_cast<std::uint64_t>(number);
  auto setSigned = [&](std::int64_t value, LogArgument logged) {
    argument.kind = FormatArg::Kind::Signed;
    argument.signedValue = value;
    argument.logged = std::move(logged);
  };
  auto setUnsigned = [&](std::uint64_t value, LogArgument logged) {
    argument.kind = FormatArg::Kind::Unsigned;
    argument.unsignedValue = value;
    argument.logged = std::move(logged);
  };
  switch (kind) {
    case L'd': setSigned(number, LogArgument::Int64(number)); break;
    case L'i': setSigned(static_cast<std::int32_t>(number), LogArgument::Int32(static_cast<std::int32_t>(number))); break;
    case L'h': setSigned(static_cast<std::int16_t>(number), LogArgument::Int16(static_cast<std::int16_t>(number))); break;
    case L'u': setUnsigned(bits, LogArgument::Qword(bits)); break;
    case L'w': setUnsigned(static_cast<std::uint32_t>(bits), LogArgument::Dword(static_cast<std::uint32_t>(bits))); break;
    case L'c': setUnsigned(static_cast<std::uint16_t>(bits), LogArgument::Char(static_cast<std::uint16_t>(bits))); break;
    case L'y': setUnsigned(static_cast<std::uint8_t>(bits), LogArgument::Byte(static_cast<std::uint8_t>(bits))); break;
    case L'z': setUnsigned(bits, LogArgument::Size(bits)); break;
    case L'b': setUnsigned(bits != 0, LogArgument::Bool(bits != 0)); break;
    case L't': setUnsigned(bits, LogArgument::Time(number)); break;
    case L'f':
      argument.text = std::wstring(rest);
      argument.logged = LogArgument::Double(static_cast<double>(number) / 1000);
      break;
    case L's':
      argument.text = WithLineFeeds(rest);
      argument.logged = LogArgument::Text(argument.text);
      break;
    default:
      argument.text = WithLineFeeds(line);
      argument.logged = LogArgument::Text(argument.text);
      break;
  }
  return argument;
}

FormatArg FormatArgOf(const Argument& argument) {
  switch (argument.kind) {
    case FormatArg::Kind::Signed: return FormatArg(argument.signedValue);
    case FormatArg::Kind::Unsigned: return FormatArg(argument.unsignedValue);
    case FormatArg::Kind::Text: break;
  }
  return FormatArg(std::wstring_view(argument.text));
}

// FormatTextArgs takes a braced list: one call per number of arguments.
std::wstring CallFormatText(std::wstring_view format, const std::vector<Argument>& arguments) {
  std::vector<FormatArg> a;
  for (const Argument& argument : arguments) a.push_back(FormatArgOf(argument));
  switch (a.size()) {
    case 0: return FormatTextArgs(format, {});
    case 1: return FormatTextArgs(format, {a[0]});
    case 2: return FormatTextArgs(format, {a[0], a[1]});
    case 3: return FormatTextArgs(format, {a[0], a[1], a[2]});
    case 4: return FormatTextArgs(format, {a[0], a[1], a[2], a[3]});
    case 5: return FormatTextArgs(format, {a[0], a[1], a[2], a[3], a[4]});
    case 6: return FormatTextArgs(format, {a[0], a[1], a[2], a[3], a[4], a[5]});
    case 7: return FormatTextArgs(format, {a[0], a[1], a[2], a[3], a[4], a[5], a[6]});
    default: return FormatTextArgs(format, {a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]});
  }
}

std::wstring Printf(const std::wstring& spec, std::size_t width, auto value) {
  std::vector<wchar_t> buffer(width + 32);
  const int length = std::swprintf(buffer.data(), buffer.size(), spec.c_str(), static_cast<int>(width), value);
  return length < 0 ? std::wstring(L"(printf failed)") : std::wstring(buffer.data(), static_cast<std::size_t>(length));
}

// One field as printf writes it. An integer takes its own kind whatever
// the conversion; "%x" of a signed value within 32 bits shows its 32-bit
// pattern, as for a status code. `exact` is cleared for a text under a
// numeric conversion with the "0" flag, which printf leaves undefined.
std::wstring PrintfField(const Argument& argument, wchar_t conversion, bool leftAlign, bool zeroPad,
                         std::size_t width, bool& exact) {
  if (argument.kind == FormatArg::Kind::Text) {
    if (zeroPad && !leftAlign && conversion != L's' && argument.text.size() < width) exact = false;
    std::wstring field = argument.text;
    if (field.size() < width) field.insert(leftAlign ? field.size() : 0, width - field.size(), L' ');
    return field;
  }
  std::wstring spec = L"%";
  if (leftAlign) spec += L'-';
  if (zeroPad && conversion != L's') spec += L'0';
  spec += L"*ll";
  const bool isSigned = argument.kind == FormatArg::Kind::Signed;
  const std::uint64_t bits = isSigned ? static_cast<std::uint64_t>(argument.signedValue) : argument.unsignedValue;
  switch (conversion) {
    case L'x':
    case L'X': {
      const bool statusCode = isSigned && argument.signedValue >= INT32_MIN && argument.signedValue <= INT32_MAX;
      spec += conversion;
      return Printf(spec, width, static_cast<unsigned long long>(statusCode ? static_cast<std::uint32_t>(bits) : bits));
    }
    case L'u':
      return Printf(spec + L'u', width, static_cast<unsigned long long>(bits));
    default:
      if (isSigned) return Printf(spec + L'd', width, static_cast<long long>(argument.signedValue));
      return Printf(spec + L'u', width, static_cast<unsigned long long>(bits));
  }
}

struct Expected {
  std::wstring text;
  bool exact = true;       // false: only the length can be compared
  bool compared = true;    // false: a width beyond kComparedWidth was used
};

Expected PrintfModel(std::wstring_view format, const std::vector<Argument>& arguments) {
  Expected expected;
  std::size_t next = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != L'%') {
      expected.text += format[i];
      continue;
    }
    std::size_t j = i + 1;
    bool leftAlign = false;
    bool zeroPad = false;
    for (; j < format.size() && (format[j] == L'-' || format[j] == L'0'); ++j) {
      if (format[j] == L'-') leftAlign = true;
      if (format[j] == L'0') zeroPad = true;
    }
    std::size_t width = 0;
    for (; j < format.size() && format[j] >= L'0' && format[j] <= L'9'; ++j) {
      if (width <= kComparedWidth) width = width * 10 + static_cast<std::size_t>(format[j] - L'0');
    }
    while (j < format.size() && (format[j] == L'l' || format[j] == L'h')) ++j;
    if (j >= format.size()) {
      expected.text += format.substr(i);
      break;
    }
    const wchar_t conversion = format[j];
    if (conversion == L'%') {
      expected.text += L'%';
      i = j;
      continue;
    }
    if (std::wstring_view(L"sdiuxX").find(conversion) == std::wstring_view::npos) {
      expected.text += format.substr(i, j - i + 1);
      i = j;
      continue;
    }
    i = j;
    if (next >= arguments.size()) continue;
    if (width > kComparedWidth) expected.compared = false;
    expected.text += PrintfField(arguments[next++], conversion, leftAlign, zeroPad, width, expected.exact);
  }
  return expected;
}

std::size_t CountPercents(std::wstring_view format) {
  std::size_t count = 0;
  for (wchar_t c : format) count += c == L'%' ? 1 : 0;
  return count;
}

void CheckFormatText(std::wstring_view format, const std::vector<Argument>& arguments) {
  const std::wstring out = CallFormatText(format, arguments);
  std::size_t bound = format.size() + CountPercents(format) * kPaddedFieldLimit;
  for (const Argument& argument : arguments) bound += std::max(argument.text.size(), kIntegerLength);
  Require(out.size() <= bound, "width-bounded", [&] {
    return Printable(format) + " gave " + std::to_string(out.size()) + " characters, bound " + std::to_string(bound);
  });

  const Expected expected = PrintfModel(format, arguments);
  if (!expected.compared) return;
  const bool same = expected.exact ? out == expected.text : out.size() == expected.text.size();
  Require(same, "format-text-like-printf",
          [&] { return Printable(format) + " gave " + Printable(out) + ", printf " + Printable(expected.text); });
}

void CheckLogMessage(std::wstring_view format, const std::vector<Argument>& arguments) {
  LogArgumentList logged;
  std::size_t bound = format.size() + CountPercents(format) * kPaddedFieldLimit;
  for (const Argument& argument : arguments) {
    logged.push_back(argument.logged);
    bound += std::max(argument.logged.ValueText().size(), kIntegerLength);
  }
  const std::wstring expanded = ExpandMessageFormat(format, logged);
  Require(expanded.size() <= bound, "width-bounded", [&] {
    return Printable(format) + " expanded to " + std::to_string(expanded.size()) + " characters, bound " +
           std::to_string(bound);
  });
  if (format.find(L'%') == std::wstring_view::npos) {
    Require(expanded == format, "text-without-placeholders-kept", [&] { return Printable(expanded); });
  }

  auto withoutBreaks = [](std::wstring text) {
    for (wchar_t& c : text) {
      if (c == L'\r' || c == L'\n') c = L'\v';
    }
    return text;
  };
  const std::wstring plain = BuildMessage(0, format, logged);
  const std::wstring oneLine = BuildMessage(kLoggerRendersArguments, format, logged);
  const std::wstring expected = (format.empty() && !logged.empty()) ? withoutBreaks(RenderArguments(logged))
                                                                     : withoutBreaks(plain);
  Require(plain == (logged.empty() ? std::wstring(format) : expanded) && oneLine == expected, "message-built",
          [&] { return Printable(format) + " gave " + Printable(plain) + " and " + Printable(oneLine); });
}

// True when some run of digits is longer than four: the only way a width
// beyond the bound can be asked for.
bool AsksForLongWidth(std::wstring_view format) {
  std::size_t run = 0;
  for (wchar_t c : format) {
    run = (c >= L'0' && c <= L'9') ? run + 1 : 0;
    if (run > 4) return true;
  }
  return false;
}

}  // namespace
}  // namespace zor

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::wstring> fields = zor::fuzz::Fields(zor::fuzz::WideFromBytes(data, size));
  const std::wstring format = zor::WithLineFeeds(fields[0]);
  // A long run past the known unbounded widths leaves them out instead of
  // running out of memory on every one.
  if (!zor::fuzz::Checking("width-bounded") && zor::AsksForLongWidth(format)) return 0;
  std::vector<zor::Argument> arguments;
  for (std::size_t i = 1; i < fields.size() && arguments.size() < zor::kMostArguments; ++i) {
    arguments.push_back(zor::ArgumentFrom(fields[i]));
  }
  zor::CheckFormatText(format, arguments);
  zor::CheckLogMessage(format, arguments);
  return 0;
}
