#pragma once
// The text of a whitelist file, one entry a line, read as its bytes come:
// the first bytes choose the encoding (FF FE UTF-16 little-endian, FE FF
// UTF-16 big-endian, EF BB BF UTF-8, anything else the system's ANSI code
// page with no byte skipped); a line ends at CR LF, a lone LF or a lone CR;
// every line is an entry exactly as written, an empty line an empty entry,
// and the last line needs no end. No Windows header.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zor {

enum class WhitelistEncoding { Undecided, Utf16LittleEndian, Utf16BigEndian, Utf8, Ansi };

class WhitelistDecoder {
 public:
  // Turns the bytes of one line in the ANSI code page into UTF-16.
  using AnsiToWide = std::wstring (*)(std::string_view line);
  explicit WhitelistDecoder(AnsiToWide ansi) : ansi_(ansi) {}

  // Appends every line that the bytes complete.
  void Feed(std::string_view bytes, std::vector<std::wstring>& lines);
  // The end of the file: appends a last line that has no end of its own.
  void Finish(std::vector<std::wstring>& lines);

  WhitelistEncoding Encoding() const { return encoding_; }

 private:
  void Decide(std::string_view start);
  void TakeUnits(std::string_view bytes, std::vector<std::wstring>& lines);
  void EndLine(std::vector<std::wstring>& lines);

  AnsiToWide ansi_;
  WhitelistEncoding encoding_ = WhitelistEncoding::Undecided;
  std::string head_;     // the first bytes, until the encoding is known
  std::string line_;     // the bytes of the line so far
  std::string oddByte_;  // half a UTF-16 unit left by the last chunk
  bool afterCr_ = false;
};

// UTF-8 bytes as UTF-16; a byte that starts no valid sequence becomes
// U+FFFD, characters above U+FFFF a surrogate pair.
std::wstring WideFromUtf8(std::string_view bytes);

}  // namespace zor
