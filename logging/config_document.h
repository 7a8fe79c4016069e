#pragma once
// The log configuration text: sections of "name = value" keys with comments.
// Parsing never fails as a whole; each line that cannot be read is recorded
// with its number and code and skipped. No Windows header.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/status_codes.h"

namespace zor {

struct ConfigKey {
  std::wstring name;
  // One token: the token without its quotes. Several: the raw text, quotes
  // kept, and the tokens in `tokens`.
  std::wstring value;
  bool isList = false;
  std::vector<std::wstring> tokens;
  std::wstring inlineComment;
  std::wstring comment;
};

class ConfigSection {
 public:
  using KeyMap = std::map<std::wstring, ConfigKey, std::less<>>;

  explicit ConfigSection(std::wstring name = {}) : name_(std::move(name)) {}

  const std::wstring& Name() const { return name_; }
  const std::wstring& Comment() const { return comment_; }
  void SetComment(std::wstring comment) { comment_ = std::move(comment); }
  const KeyMap& Keys() const { return keys_; }

  const ConfigKey* FindKey(std::wstring_view name) const;
  // 0xE0010015 when the section has no such key; `value` is then untouched.
  StatusCode GetValue(std::wstring_view name, std::wstring& value) const;
  // False when the section already has a key of that name.
  bool AddKey(ConfigKey key);
  // Replaces the key of the same name or adds it.
  void SetKey(ConfigKey key);
  void SetValue(std::wstring_view name, std::wstring_view value);

 private:
  std::wstring name_;
  std::wstring comment_;
  KeyMap keys_;
};

struct ConfigLineError {
  std::uint32_t line;
  StatusCode code;
  bool operator==(const ConfigLineError&) const = default;
};

// Anything that yields the lines of a configuration text in order.
class ConfigTextSource {
 public:
  virtual ~ConfigTextSource() = default;
  // False when there are no more lines.
  virtual bool NextLine(std::wstring& line) = 0;
};

// A text in memory, split at LF. A CR before the LF belongs to the line end,
// so that texts written with CR LF read as they look.
class InMemoryConfigText : public ConfigTextSource {
 public:
  explicit InMemoryConfigText(std::wstring_view text) : text_(text) {}
  bool NextLine(std::wstring& line) override;

 private:
  std::wstring_view text_;
  std::size_t position_ = 0;
  bool done_ = false;
};

class ConfigDocument {
 public:
  using SectionMap = std::map<std::wstring, ConfigSection, std::less<>>;

  static ConfigDocument FromText(std::wstring_view text);
  // Adds the sections and keys of the source to what the document holds.
  void Parse(ConfigTextSource& source);
  // New sections are added; keys of sections present in both replace the
  // stored key of the same name or are added. The error list becomes the
  // newer document's.
  void Merge(const ConfigDocument& newer);

  const SectionMap& Sections() const { return sections_; }
  const ConfigSection* FindSection(std::wstring_view name) const;
  // The section of that name, added empty when missing.
  ConfigSection& SectionNamed(std::wstring_view name);
  const std::vector<ConfigLineError>& Errors() const { return errors_; }
  bool Empty() const { return sections_.empty(); }

 private:
  void AppendPendingComment(std::wstring_view text);
  std::wstring TakePendingComment();

  SectionMap sections_;
  std::wstring pendingComment_;
  std::size_t pendingLines_ = 0;
  std::vector<ConfigLineError> errors_;
};

struct ValueTokens {
  bool valid = true;
  std::vector<std::wstring> tokens;
  // Where the value ends: the inline comment's ";" or the end of the text.
  std::size_t valueEnd = 0;
  bool hasComment = false;
  std::wstring comment;
};

// Reads the text after a key's "=" into tokens; quoting rules as written in
// configuration texts.
ValueTokens ReadValueTokens(std::wstring_view text);

}  // namespace zor
