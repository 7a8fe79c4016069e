#pragma once
// A layout made from a Format text with %-tokens, compiled once into parts.
// No Windows header.
#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "logging/layout.h"

namespace zor {

struct FormatPart {
  enum class Kind {
    Literal,
    Logger,
    Severity,
    HostName,
    Date,
    Time,
    FileName,
    Line,
    BuildNumber,
    Revision,
    Message,
    Product
  };
  Kind kind = Kind::Literal;
  std::wstring text;  // literal text only
  bool operator==(const FormatPart&) const = default;
};

// "%%" is one "%"; "%" and a token name (any letter case) is that token; any
// other "%" is literal. Backslash and n in literal text stand for a line feed.
std::vector<FormatPart> CompileFormat(std::wstring_view format);

class CustomLayout : public Layout {
 public:
  explicit CustomLayout(HostNameSource hostName);

  std::wstring Format(const LogRecord& record) const override;
  // "LayoutType" must be "Custom" (0xE0010063), "Format" is required
  // (0xE0010015); "Header" and "Footer" are optional. A failure leaves the
  // layout as it was.
  StatusCode ReadConfiguration(const ConfigSection& section) override;
  void WriteConfiguration(ConfigSection& section) const override;
  std::wstring Header() const override;
  std::wstring Footer() const override;

 private:
  struct Compiled {
    std::wstring format;
    std::vector<FormatPart> parts;
    std::wstring header;
    std::wstring footer;
  };

  // Re-reading a section swaps the whole compiled state, so that a record
  // formatted meanwhile on another thread sees either the old or the new one.
  std::shared_ptr<const Compiled> Current() const { return compiled_.load(std::memory_order_acquire); }

  HostNameSource hostName_;
  std::atomic<std::shared_ptr<const Compiled>> compiled_;
};

}  // namespace zor
