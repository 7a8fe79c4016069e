#pragma once
// printf-style formatting for console and log messages, type-safe: "%s",
// "%d", "%u", "%x", "%X" with an optional "0" flag, "-" flag and width, and
// "%%". A placeholder whose argument is missing renders as nothing; an
// argument of the other kind is rendered as its own kind.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

namespace zor {

class FormatArg {
 public:
  enum class Kind { Signed, Unsigned, Text };

  FormatArg(std::wstring_view text) : kind_(Kind::Text), text_(text) {}
  FormatArg(const std::wstring& text) : kind_(Kind::Text), text_(text) {}
  FormatArg(const wchar_t* text) : kind_(Kind::Text), text_(text ? std::wstring_view(text) : std::wstring_view()) {}
  template <typename Integer, typename = std::enable_if_t<std::is_integral_v<Integer>>>
  FormatArg(Integer value)
      : kind_(std::is_signed_v<Integer> ? Kind::Signed : Kind::Unsigned),
        signed_(static_cast<std::int64_t>(value)),
        unsigned_(static_cast<std::uint64_t>(value)) {}

  Kind kind() const { return kind_; }
  std::int64_t AsSigned() const { return signed_; }
  std::uint64_t AsUnsigned() const { return unsigned_; }
  std::wstring_view AsText() const { return text_; }

 private:
  Kind kind_;
  std::int64_t signed_ = 0;
  std::uint64_t unsigned_ = 0;
  std::wstring_view text_;
};

// A width or precision larger than this counts as this: a format text,
// which may come from a configuration file, cannot make a field of
// gigabytes.
inline constexpr std::size_t kMaxFieldWidth = 1024;

// The number written in digits at `position`, at most kMaxFieldWidth however
// many digits follow; `position` moves past all of them.
std::size_t ReadFieldWidth(std::wstring_view format, std::size_t& position);

std::wstring FormatTextArgs(std::wstring_view format, std::initializer_list<FormatArg> args);

template <typename... Args>
std::wstring FormatText(std::wstring_view format, const Args&... args) {
  return FormatTextArgs(format, {FormatArg(args)...});
}

}  // namespace zor
