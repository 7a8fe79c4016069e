#include "foundation/format_text.h"

namespace zor {
namespace {

std::wstring Digits(std::uint64_t value, unsigned base, bool upper) {
  const wchar_t* symbols = upper ? L"0123456789ABCDEF" : L"0123456789abcdef";
  std::wstring text;
  do {
    text.insert(text.begin(), symbols[value % base]);
    value /= base;
  } while (value != 0);
  return text;
}

// %x shows the 32-bit pattern of a negative status code, as printf would.
std::uint64_t HexValue(const FormatArg& arg) {
  if (arg.kind() == FormatArg::Kind::Signed && arg.AsSigned() >= INT32_MIN && arg.AsSigned() <= INT32_MAX) {
    return static_cast<std::uint32_t>(arg.AsSigned());
  }
  return arg.AsUnsigned();
}

std::wstring Render(const FormatArg& arg, wchar_t conversion) {
  if (arg.kind() == FormatArg::Kind::Text) return std::wstring(arg.AsText());
  switch (conversion) {
    case L'x':
      return Digits(HexValue(arg), 16, false);
    case L'X':
      return Digits(HexValue(arg), 16, true);
    case L'u':
      return Digits(arg.AsUnsigned(), 10, false);
    default:
      if (arg.kind() == FormatArg::Kind::Signed && arg.AsSigned() < 0) {
        return L"-" + Digits(0 - static_cast<std::uint64_t>(arg.AsSigned()), 10, false);
      }
      return Digits(arg.AsUnsigned(), 10, false);
  }
}

}  // namespace

std::size_t ReadFieldWidth(std::wstring_view format, std::size_t& position) {
  std::size_t width = 0;
  for (; position < format.size() && format[position] >= L'0' && format[position] <= L'9'; ++position) {
    // Once at the limit the count stays there, so it never wraps around.
    if (width < kMaxFieldWidth) width = width * 10 + static_cast<std::size_t>(format[position] - L'0');
  }
  return width < kMaxFieldWidth ? width : kMaxFieldWidth;
}

std::wstring FormatTextArgs(std::wstring_view format, std::initializer_list<FormatArg> args) {
  std::wstring out;
  out.reserve(format.size() + 32);
  auto next = args.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != L'%') {
      out.push_back(format[i]);
      continue;
    }
    std::size_t j = i + 1;
    bool leftAlign = false;
    bool zeroPad = false;
    for (; j < format.size() && (format[j] == L'-' || format[j] == L'0'); ++j) {
      (format[j] == L'-' ? leftAlign : zeroPad) = true;
    }
    const std::size_t width = ReadFieldWidth(format, j);
    while (j < format.size() && (format[j] == L'l' || format[j] == L'h')) ++j;  // size prefixes mean nothing here
    if (j >= format.size()) {
      out.append(format.substr(i));
      break;
    }
    const wchar_t conversion = format[j];
    if (conversion == L'%') {
      out.push_back(L'%');
      i = j;
      continue;
    }
    if (conversion != L's' && conversion != L'd' && conversion != L'i' && conversion != L'u' && conversion != L'x' &&
        conversion != L'X') {
      out.append(format.substr(i, j - i + 1));
      i = j;
      continue;
    }
    i = j;
    if (next == args.end()) continue;
    std::wstring field = Render(*next++, conversion);
    if (field.size() < width) {
      const std::size_t pad = width - field.size();
      if (leftAlign) {
        field.append(pad, L' ');
      } else if (zeroPad && conversion != L's') {
        const std::size_t signLength = (!field.empty() && field[0] == L'-') ? 1 : 0;
        field.insert(signLength, pad, L'0');
      } else {
        field.insert(0, pad, L' ');
      }
    }
    out.append(field);
  }
  return out;
}

}  // namespace zor
