#include "logging/log_message.h"

#include "foundation/format_text.h"

namespace zor {
namespace {

std::wstring Pad(std::wstring field, std::size_t width, bool leftAlign) {
  if (field.size() >= width) return field;
  if (leftAlign) {
    field.append(width - field.size(), L' ');
  } else {
    field.insert(0, width - field.size(), L' ');
  }
  return field;
}

// One placeholder filled with one argument. Integers go through the
// program's own formatter so that log text and console text agree.
std::wstring Fill(const LogArgument& argument, wchar_t conversion, bool leftAlign, bool zeroPad, std::size_t width) {
  const bool integerConversion = conversion == L'd' || conversion == L'i' || conversion == L'u' || conversion == L'x' ||
                                 conversion == L'X' || conversion == L'c';
  if (argument.IsInteger() || (argument.type() == LogArgument::Type::Bool && integerConversion)) {
    if (conversion == L'c') {
      return Pad(std::wstring(1, static_cast<wchar_t>(argument.UnsignedValue())), width, leftAlign);
    }
    std::wstring placeholder = L"%";
    if (leftAlign) placeholder.push_back(L'-');
    if (zeroPad) placeholder.push_back(L'0');
    if (width > 0) placeholder.append(FormatText(L"%u", static_cast<std::uint64_t>(width)));
    const bool keepsConversion =
        conversion == L'd' || conversion == L'i' || conversion == L'u' || conversion == L'x' || conversion == L'X';
    placeholder.push_back(keepsConversion ? conversion : (argument.IsSignedInteger() ? L'd' : L'u'));
    if (argument.IsSignedInteger()) return FormatText(placeholder, argument.SignedValue());
    return FormatText(placeholder, argument.UnsignedValue());
  }
  return Pad(argument.ValueText(), width, leftAlign);
}

}  // namespace

std::wstring ExpandMessageFormat(std::wstring_view format, const LogArgumentList& arguments) {
  std::wstring out;
  out.reserve(format.size() + 16 * arguments.size());
  std::size_t next = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != L'%') {
      out.push_back(format[i]);
      continue;
    }
    std::size_t j = i + 1;
    if (j < format.size() && format[j] == L'%') {
      out.push_back(L'%');
      i = j;
      continue;
    }
    bool leftAlign = false;
    bool zeroPad = false;
    for (; j < format.size() &&
           (format[j] == L'-' || format[j] == L'0' || format[j] == L'+' || format[j] == L' ' || format[j] == L'#');
         ++j) {
      if (format[j] == L'-') leftAlign = true;
      if (format[j] == L'0') zeroPad = true;
    }
    const std::size_t width = ReadFieldWidth(format, j);
    // A precision is read past and has no effect.
    if (j < format.size() && format[j] == L'.') ReadFieldWidth(format, ++j);
    // Size prefixes ("l", "ll", "h", "z", "I64", "I32") change nothing here.
    while (j < format.size()) {
      if (format[j] == L'l' || format[j] == L'h' || format[j] == L'z') {
        ++j;
      } else if (format[j] == L'I') {
        ++j;
        const std::wstring_view bits = format.substr(j, 2);
        if (bits == L"64" || bits == L"32") j += 2;
      } else {
        break;
      }
    }
    if (j >= format.size()) {
      out.append(format.substr(i));
      break;
    }
    const wchar_t conversion = format[j];
    static constexpr std::wstring_view kConversions = L"sdiuxXcfgeFGE";
    if (kConversions.find(conversion) == std::wstring_view::npos) {
      out.append(format.substr(i, j - i + 1));
      i = j;
      continue;
    }
    i = j;
    if (next >= arguments.size()) continue;
    out.append(Fill(arguments[next++], conversion, leftAlign, zeroPad, width));
  }
  return out;
}

std::wstring BuildMessage(std::uint32_t options, std::wstring_view text, const LogArgumentList& arguments) {
  std::wstring message;
  if ((options & kLoggerRendersArguments) && !arguments.empty() && text.empty()) {
    message = RenderArguments(arguments);
  } else if (!arguments.empty()) {
    message = ExpandMessageFormat(text, arguments);
  } else {
    message = std::wstring(text);
  }
  if (options & kLoggerRendersArguments) {
    for (wchar_t& c : message) {
      if (c == L'\r' || c == L'\n') c = L'\v';
    }
  }
  return message;
}

}  // namespace zor
