#include "tests/fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>

namespace zor::fuzz {
namespace {

void AppendCodePoint(std::uint32_t code, std::wstring& text) {
  if (code > 0xFFFF) {
    code -= 0x10000;
    text.push_back(static_cast<wchar_t>(0xD800 + (code >> 10)));
    text.push_back(static_cast<wchar_t>(0xDC00 + (code & 0x3FF)));
  } else {
    text.push_back(static_cast<wchar_t>(code));
  }
}

// The length of the UTF-8 sequence at `data` and its code point; 0 when the
// bytes there form none (overlong forms and surrogates count as none).
std::size_t DecodeUtf8(const std::uint8_t* data, std::size_t size, std::uint32_t& code) {
  const std::uint8_t lead = data[0];
  std::size_t length = 0;
  std::uint32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
    minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
    minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
    minimum = 0x10000;
  } else {
    return 0;
  }
  if (length > size) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((data[i] & 0xC0) != 0x80) return 0;
    code = (code << 6) | (data[i] & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

std::vector<std::string> SkippedProperties() {
  std::vector<std::string> names;
  const char* list = std::getenv("ZOR_FUZZ_SKIP");
  if (!list) return names;
  std::string_view rest(list);
  while (!rest.empty()) {
    const std::size_t comma = rest.find(',');
    if (comma != 0) names.emplace_back(rest.substr(0, comma));
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return names;
}

}  // namespace

std::wstring WideFromBytes(const std::uint8_t* data, std::size_t size) {
  std::wstring text;
  text.reserve(size);
  std::size_t i = 0;
  while (i < size) {
    std::uint32_t code = 0;
    const std::size_t length = DecodeUtf8(data + i, size - i, code);
    if (length == 0) {
      text.push_back(static_cast<wchar_t>(data[i]));
      ++i;
    } else {
      AppendCodePoint(code, text);
      i += length;
    }
  }
  return text;
}

std::vector<std::wstring> Fields(std::wstring_view text) {
  std::vector<std::wstring> fields;
  while (true) {
    const std::size_t end = text.find(L'\n');
    fields.emplace_back(text.substr(0, end));
    if (end == std::wstring_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return fields;
}

std::wstring_view FieldAt(const std::vector<std::wstring>& fields, std::size_t index) {
  return index < fields.size() ? std::wstring_view(fields[index]) : std::wstring_view();
}

std::int64_t NumberFromField(std::wstring_view text) {
  const bool negative = !text.empty() && text[0] == L'-';
  if (negative) text.remove_prefix(1);
  std::uint64_t value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') break;
    value = value * 10 + static_cast<std::uint64_t>(c - L'0');
  }
  return static_cast<std::int64_t>(negative ? 0 - value : value);
}

std::wstring SwapAsciiCase(std::wstring_view text) {
  std::wstring swapped(text);
  for (wchar_t& c : swapped) {
    if (c >= L'a' && c <= L'z') {
      c = static_cast<wchar_t>(c - L'a' + L'A');
    } else if (c >= L'A' && c <= L'Z') {
      c = static_cast<wchar_t>(c - L'A' + L'a');
    }
  }
  return swapped;
}

std::string Printable(std::wstring_view text) {
  constexpr std::size_t kShown = 300;
  std::string printable = "\"";
  for (std::size_t i = 0; i < text.size() && i < kShown; ++i) {
    const auto c = static_cast<std::uint32_t>(text[i]);
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      printable.push_back(static_cast<char>(c));
    } else if (c == '\\') {
      printable += "\\\\";
    } else {
      char code[16];
      std::snprintf(code, sizeof code, "\\u{%x}", static_cast<unsigned>(c));
      printable += code;
    }
  }
  printable += "\"";
  if (text.size() > kShown) printable += "... (" + std::to_string(text.size()) + " characters)";
  return printable;
}

bool Checking(std::string_view property) {
  static const std::vector<std::string> skipped = SkippedProperties();
  for (const std::string& name : skipped) {
    if (name == property) return false;
  }
  return true;
}

}  // namespace zor::fuzz
