#include "logging/config_document.h"

#include "logging/log_status.h"

namespace zor {
namespace {

constexpr wchar_t kQuote = L'"';

bool IsTrimmed(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v'; }
bool IsLeadingBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\v'; }
bool IsSeparator(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring_view TrimLeft(std::wstring_view text) {
  while (!text.empty() && IsTrimmed(text.front())) text.remove_prefix(1);
  return text;
}

std::wstring_view Trim(std::wstring_view text) {
  text = TrimLeft(text);
  while (!text.empty() && IsTrimmed(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

const ConfigKey* ConfigSection::FindKey(std::wstring_view name) const {
  const auto found = keys_.find(name);
  return found == keys_.end() ? nullptr : &found->second;
}

StatusCode ConfigSection::GetValue(std::wstring_view name, std::wstring& value) const {
  const ConfigKey* key = FindKey(name);
  if (!key) return status::ConfigNotFound;
  value = key->value;
  return status::Success;
}

bool ConfigSection::AddKey(ConfigKey key) {
  if (keys_.find(key.name) != keys_.end()) return false;
  std::wstring name = key.name;
  keys_.emplace(std::move(name), std::move(key));
  return true;
}

void ConfigSection::SetKey(ConfigKey key) {
  std::wstring name = key.name;
  keys_.insert_or_assign(std::move(name), std::move(key));
}

void ConfigSection::SetValue(std::wstring_view name, std::wstring_view value) {
  ConfigKey key;
  key.name = std::wstring(name);
  key.value = std::wstring(value);
  SetKey(std::move(key));
}

bool InMemoryConfigText::NextLine(std::wstring& line) {
  if (done_) return false;
  const std::size_t end = text_.find(L'\n', position_);
  std::wstring_view part =
      text_.substr(position_, end == std::wstring_view::npos ? std::wstring_view::npos : end - position_);
  if (end == std::wstring_view::npos) {
    done_ = true;
    // A text that ends with its last LF has no line after it.
    if (part.empty()) return false;
  } else {
    position_ = end + 1;
  }
  if (!part.empty() && part.back() == L'\r') part.remove_suffix(1);
  line.assign(part);
  return true;
}

ValueTokens ReadValueTokens(std::wstring_view text) {
  ValueTokens result;
  result.valueEnd = text.size();
  std::wstring token;
  bool inToken = false;
  bool inQuotes = false;
  bool afterClosingQuote = false;

  auto finishToken = [&] {
    result.tokens.push_back(std::move(token));
    token.clear();
    inToken = false;
    afterClosingQuote = false;
  };

  for (std::size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (inQuotes) {
      if (c == L'\\' && i + 1 < text.size() && text[i + 1] == kQuote) {
        token.push_back(kQuote);
        ++i;
      } else if (c == kQuote) {
        inQuotes = false;
        afterClosingQuote = true;
      } else {
        token.push_back(c);
      }
      continue;
    }
    if (afterClosingQuote && !IsSeparator(c) && c != L';') {
      result.valid = false;
      return result;
    }
    if (IsSeparator(c)) {
      if (inToken) finishToken();
      continue;
    }
    if (c == L';') {
      if (inToken) finishToken();
      result.valueEnd = i;
      result.hasComment = true;
      result.comment = std::wstring(Trim(text.substr(i + 1)));
      return result;
    }
    inToken = true;
    if (c == kQuote) {
      inQuotes = true;
    } else {
      token.push_back(c);
    }
  }
  if (inQuotes) {
    result.valid = false;
    return result;
  }
  if (inToken) finishToken();
  return result;
}

ConfigDocument ConfigDocument::FromText(std::wstring_view text) {
  ConfigDocument document;
  InMemoryConfigText source(text);
  document.Parse(source);
  return document;
}

void ConfigDocument::AppendPendingComment(std::wstring_view text) {
  if (pendingLines_ > 0) pendingComment_.append(L"\r\n");
  pendingComment_.append(text);
  ++pendingLines_;
}

std::wstring ConfigDocument::TakePendingComment() {
  std::wstring comment = std::move(pendingComment_);
  pendingComment_.clear();
  pendingLines_ = 0;
  return comment;
}

void ConfigDocument::Parse(ConfigTextSource& source) {
  enum class Position { BeforeFirstHeader, InSection, AfterBadHeader };
  Position position = Position::BeforeFirstHeader;
  ConfigSection* current = nullptr;
  std::uint32_t lineNumber = 0;
  std::uint32_t blankLines = 0;
  std::wstring line;

  while (source.NextLine(line)) {
    ++lineNumber;
    std::size_t start = 0;
    while (start < line.size() && IsLeadingBlank(line[start])) ++start;

    if (start == line.size()) {
      ++blankLines;
      continue;
    }

    if (line[start] == L';') {
      for (; blankLines > 0; --blankLines) AppendPendingComment({});
      std::wstring_view comment = TrimLeft(std::wstring_view(line).substr(start));
      comment.remove_prefix(1);
      AppendPendingComment(comment);
      continue;
    }

    blankLines = 0;
    if (line[start] == L'[') {
      const std::size_t close = line.find(L']', start + 1);
      const std::size_t semicolon = line.find(L';', start + 1);
      if (semicolon != std::wstring::npos) {
        AppendPendingComment(TrimLeft(std::wstring_view(line).substr(semicolon + 1)));
      }
      std::wstring comment = TakePendingComment();
      current = nullptr;
      position = Position::AfterBadHeader;
      if (close == std::wstring::npos) {
        errors_.push_back({lineNumber, status::ConfigHeaderUnclosed});
        continue;
      }
      std::wstring name = line.substr(start + 1, close - start - 1);
      if (sections_.find(name) != sections_.end()) {
        errors_.push_back({lineNumber, status::ConfigSectionRepeated});
        continue;
      }
      ConfigSection section(name);
      section.SetComment(std::move(comment));
      current = &sections_.emplace(std::move(name), std::move(section)).first->second;
      position = Position::InSection;
      continue;
    }

    std::wstring comment = TakePendingComment();
    if (position == Position::BeforeFirstHeader) {
      errors_.push_back({lineNumber, status::ConfigKeyOutsideSection});
      continue;
    }
    if (position == Position::AfterBadHeader) continue;

    const std::size_t equals = line.find(L'=', start);
    if (equals == std::wstring::npos) {
      errors_.push_back({lineNumber, status::ConfigKeyLineInvalid});
      continue;
    }
    ConfigKey key;
    key.name = std::wstring(Trim(std::wstring_view(line).substr(start, equals - start)));
    if (current->FindKey(key.name)) {
      errors_.push_back({lineNumber, status::ConfigKeyRepeated});
      continue;
    }
    const std::wstring_view valueText = std::wstring_view(line).substr(equals + 1);
    ValueTokens read = ReadValueTokens(valueText);
    if (!read.valid) {
      errors_.push_back({lineNumber, status::ConfigKeyLineInvalid});
      continue;
    }
    if (read.tokens.size() == 1) {
      key.value = std::move(read.tokens.front());
    } else if (read.tokens.size() > 1) {
      key.value = std::wstring(Trim(valueText.substr(0, read.valueEnd)));
      key.isList = true;
      key.tokens = std::move(read.tokens);
    }
    key.inlineComment = std::move(read.comment);
    key.comment = std::move(comment);
    current->AddKey(std::move(key));
  }
}

void ConfigDocument::Merge(const ConfigDocument& newer) {
  for (const auto& [name, section] : newer.sections_) {
    const auto found = sections_.find(name);
    if (found == sections_.end()) {
      sections_.emplace(name, section);
      continue;
    }
    if (found->second.Comment().empty()) found->second.SetComment(section.Comment());
    for (const auto& entry : section.Keys()) found->second.SetKey(entry.second);
  }
  errors_ = newer.errors_;
}

const ConfigSection* ConfigDocument::FindSection(std::wstring_view name) const {
  const auto found = sections_.find(name);
  return found == sections_.end() ? nullptr : &found->second;
}

ConfigSection& ConfigDocument::SectionNamed(std::wstring_view name) {
  auto found = sections_.find(name);
  if (found == sections_.end()) found = sections_.emplace(std::wstring(name), ConfigSection(std::wstring(name))).first;
  return found->second;
}

}  // namespace zor
