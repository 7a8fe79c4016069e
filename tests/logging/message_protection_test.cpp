#include "logging/message_protection.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace zor {
namespace {

// The reader's side, written independently of the writer: Base64 back to
// bytes, the key number first, then XOR with that key and UTF-8 to UTF-16.
bool DecodeBase64(std::wstring_view text, std::string& bytes) {
  auto value = [](wchar_t c) -> int {
    if (c >= L'A' && c <= L'Z') return c - L'A';
    if (c >= L'a' && c <= L'z') return c - L'a' + 26;
    if (c >= L'0' && c <= L'9') return c - L'0' + 52;
    if (c == L'+') return 62;
    if (c == L'/') return 63;
    return -1;
  };
  if (text.size() % 4 != 0) return false;
  bytes.clear();
  for (std::size_t i = 0; i < text.size(); i += 4) {
    int v[4];
    int padding = 0;
    for (int j = 0; j < 4; ++j) {
      if (text[i + j] == L'=') {
        v[j] = 0;
        ++padding;
      } else {
        v[j] = value(text[i + j]);
        if (v[j] < 0 || padding > 0) return false;
      }
    }
    const std::uint32_t group = (v[0] << 18) | (v[1] << 12) | (v[2] << 6) | v[3];
    bytes.push_back(static_cast<char>(group >> 16));
    if (padding < 2) bytes.push_back(static_cast<char>((group >> 8) & 0xFF));
    if (padding < 1) bytes.push_back(static_cast<char>(group & 0xFF));
  }
  return true;
}

std::wstring WideFromUtf8(const std::string& bytes) {
  std::wstring text;
  for (std::size_t i = 0; i < bytes.size();) {
    const auto b = static_cast<std::uint8_t>(bytes[i]);
    std::uint32_t codePoint;
    std::size_t length;
    if (b < 0x80) {
      codePoint = b;
      length = 1;
    } else if ((b & 0xE0) == 0xC0) {
      codePoint = b & 0x1F;
      length = 2;
    } else if ((b & 0xF0) == 0xE0) {
      codePoint = b & 0x0F;
      length = 3;
    } else {
      codePoint = b & 0x07;
      length = 4;
    }
    for (std::size_t j = 1; j < length; ++j)
      codePoint = (codePoint << 6) | (static_cast<std::uint8_t>(bytes[i + j]) & 0x3F);
    i += length;
    if (codePoint >= 0x10000 && sizeof(wchar_t) == 2) {
      codePoint -= 0x10000;
      text.push_back(static_cast<wchar_t>(0xD800 + (codePoint >> 10)));
      text.push_back(static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF)));
    } else {
      text.push_back(static_cast<wchar_t>(codePoint));
    }
  }
  return text;
}

struct Decoded {
  bool ok = false;
  int key = -1;
  std::wstring message;
};

Decoded Unprotect(std::wstring_view text) {
  Decoded decoded;
  if (text.empty() || text.front() != L'a') return decoded;
  std::string bytes;
  if (!DecodeBase64(text.substr(1), bytes) || bytes.size() < 2) return decoded;
  decoded.key = static_cast<std::uint8_t>(bytes[0]);
  if (decoded.key >= static_cast<int>(kProtectionKeyCount)) return decoded;
  const ProtectionKey& key = ProtectionKeyAt(static_cast<std::size_t>(decoded.key));
  std::string plain;
  for (std::size_t i = 1; i < bytes.size(); ++i) {
    plain.push_back(static_cast<char>(static_cast<std::uint8_t>(bytes[i]) ^ key[(i - 1) % kProtectionKeyLength]));
  }
  if (plain.front() != 'a') return decoded;
  decoded.message = WideFromUtf8(plain.substr(1));
  decoded.ok = true;
  return decoded;
}

TEST(MessageProtection, DecodesBackToTheMessageWithTheKeyItNames) {
  const std::wstring messages[] = {
      L"x",
      L"Service ZorWatchdog stopped",
      L"Gr\u00fc\u00dfe \u20ac \u4e2d\u6587",
      std::wstring(200, L'z') + L" longer than one key",
      L"line\r\nbreak",
  };
  for (const std::wstring& message : messages) {
    for (std::uint8_t key = 0; key < kProtectionKeyCount; ++key) {
      SCOPED_TRACE(key);
      const std::wstring protectedText = ProtectMessage(message, key);
      const Decoded decoded = Unprotect(protectedText);
      ASSERT_TRUE(decoded.ok) << "not readable";
      EXPECT_EQ(decoded.key, key);
      EXPECT_EQ(decoded.message, message);
      EXPECT_EQ(protectedText.find(L' '), std::wstring::npos);
    }
  }
}

TEST(MessageProtection, ProducesTheExpectedBytes) {
  // One ASCII character under key 0: bytes 00, 'a'^k0, 'Q'^k1.
  const ProtectionKey& key = ProtectionKeyAt(0);
  std::string bytes = {'\0', static_cast<char>('a' ^ key[0]), static_cast<char>('Q' ^ key[1])};
  const std::wstring protectedText = ProtectMessage(L"Q", 0);
  ASSERT_EQ(protectedText.size(), 5u);  // "a" and one Base64 group
  std::string decoded;
  ASSERT_TRUE(DecodeBase64(std::wstring_view(protectedText).substr(1), decoded));
  EXPECT_EQ(decoded, bytes);
}

TEST(MessageProtection, TheSixteenKeysDiffer) {
  std::set<ProtectionKey> keys;
  for (std::size_t i = 0; i < kProtectionKeyCount; ++i) keys.insert(ProtectionKeyAt(i));
  EXPECT_EQ(keys.size(), kProtectionKeyCount);
}

TEST(MessageProtection, LoneSurrogatesBecomeTheReplacementCharacter) {
  EXPECT_EQ(Utf8FromWide(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf8FromWide(L"A\u00e9\u20ac"), "A\xC3\xA9\xE2\x82\xAC");
}

}  // namespace
}  // namespace zor
