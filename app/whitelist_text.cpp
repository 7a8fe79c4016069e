#include "app/whitelist_text.h"

#include <cstdint>

namespace zor {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsUtf16(WhitelistEncoding encoding) {
  return encoding == WhitelistEncoding::Utf16LittleEndian || encoding == WhitelistEncoding::Utf16BigEndian;
}

void AppendCodePoint(std::wstring& text, char32_t point) {
  if (point >= 0x10000) {
    point -= 0x10000;
    text.push_back(static_cast<wchar_t>(0xD800 + (point >> 10)));
    text.push_back(static_cast<wchar_t>(0xDC00 + (point & 0x3FF)));
  } else {
    text.push_back(static_cast<wchar_t>(point));
  }
}

}  // namespace

std::wstring WideFromUtf8(std::string_view bytes) {
  std::wstring text;
  text.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    std::size_t length = 0;
    char32_t point = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
      length = 1;
      point = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2;
      point = lead & 0x1F;
      minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      point = lead & 0x0F;
      minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      point = lead & 0x07;
      minimum = 0x10000;
    }
    bool valid = length > 0 && i + length <= bytes.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) {
        valid = false;
      } else {
        point = (point << 6) | (next & 0x3F);
      }
    }
    // Overlong forms, surrogates and points past U+10FFFF are not text.
    if (valid && (point < minimum || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))) valid = false;
    if (!valid) {
      text.push_back(static_cast<wchar_t>(kReplacement));
      ++i;
      continue;
    }
    AppendCodePoint(text, point);
    i += length;
  }
  return text;
}

void WhitelistDecoder::Decide(std::string_view start) {
  auto startsWith = [&](std::string_view mark) { return start.substr(0, mark.size()) == mark; };
  if (startsWith("\xFF\xFE")) {
    encoding_ = WhitelistEncoding::Utf16LittleEndian;
    head_.erase(0, 2);
  } else if (startsWith("\xFE\xFF")) {
    encoding_ = WhitelistEncoding::Utf16BigEndian;
    head_.erase(0, 2);
  } else if (startsWith("\xEF\xBB\xBF")) {
    encoding_ = WhitelistEncoding::Utf8;
    head_.erase(0, 3);
  } else {
    encoding_ = WhitelistEncoding::Ansi;
  }
}

void WhitelistDecoder::Feed(std::string_view bytes, std::vector<std::wstring>& lines) {
  if (encoding_ == WhitelistEncoding::Undecided) {
    head_.append(bytes);
    // Three bytes decide every mark; fewer may still be the start of one.
    if (head_.size() < 3) return;
    Decide(head_);
    std::string rest;
    rest.swap(head_);
    TakeUnits(rest, lines);
    return;
  }
  TakeUnits(bytes, lines);
}

void WhitelistDecoder::Finish(std::vector<std::wstring>& lines) {
  if (encoding_ == WhitelistEncoding::Undecided) {
    Decide(head_);
    std::string rest;
    rest.swap(head_);
    TakeUnits(rest, lines);
  }
  // Half a UTF-16 unit at the very end is no character.
  oddByte_.clear();
  if (!line_.empty()) EndLine(lines);
}

void WhitelistDecoder::TakeUnits(std::string_view bytes, std::vector<std::wstring>& lines) {
  const std::size_t unit = IsUtf16(encoding_) ? 2 : 1;
  std::string joined;
  if (!oddByte_.empty()) {
    joined = oddByte_ + std::string(bytes);
    oddByte_.clear();
    bytes = joined;
  }
  std::size_t at = 0;
  for (; at + unit <= bytes.size(); at += unit) {
    std::uint16_t value = static_cast<unsigned char>(bytes[at]);
    if (encoding_ == WhitelistEncoding::Utf16LittleEndian) {
      value = static_cast<std::uint16_t>(value | (static_cast<unsigned char>(bytes[at + 1]) << 8));
    } else if (encoding_ == WhitelistEncoding::Utf16BigEndian) {
      value = static_cast<std::uint16_t>((value << 8) | static_cast<unsigned char>(bytes[at + 1]));
    }
    if (value == u'\n') {
      // The LF of a CR LF pair ends nothing more.
      if (!afterCr_) EndLine(lines);
      afterCr_ = false;
      continue;
    }
    afterCr_ = value == u'\r';
    if (afterCr_) {
      EndLine(lines);
      continue;
    }
    line_.append(bytes.substr(at, unit));
  }
  if (at < bytes.size()) oddByte_.assign(bytes.substr(at));
}

void WhitelistDecoder::EndLine(std::vector<std::wstring>& lines) {
  std::wstring entry;
  switch (encoding_) {
    case WhitelistEncoding::Utf16LittleEndian:
    case WhitelistEncoding::Utf16BigEndian: {
      const bool little = encoding_ == WhitelistEncoding::Utf16LittleEndian;
      for (std::size_t at = 0; at + 1 < line_.size(); at += 2) {
        const auto first = static_cast<unsigned char>(line_[at]);
        const auto second = static_cast<unsigned char>(line_[at + 1]);
        entry.push_back(static_cast<wchar_t>(little ? first | (second << 8) : (first << 8) | second));
      }
      break;
    }
    case WhitelistEncoding::Utf8:
      entry = WideFromUtf8(line_);
      break;
    case WhitelistEncoding::Ansi:
    case WhitelistEncoding::Undecided:
      entry = ansi_(line_);
      break;
  }
  line_.clear();
  lines.push_back(std::move(entry));
}

}  // namespace zor
