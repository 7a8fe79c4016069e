// The log configuration text. A text reads the same with LF, CR LF or a
// mix of both line ends. Errors name real lines, one at most per line and
// in order. Keys are trimmed, and a key is a list exactly when it has
// several tokens. Value texts without quotation marks split at blanks up
// to the comment; a value written in quotes, with its marks escaped, reads
// back as itself.
#include <cstdint>
#include <string>
#include <vector>

#include "logging/config_document.h"
#include "tests/fuzz/fuzz_support.h"

namespace zor {
namespace {

using fuzz::Printable;
using fuzz::Require;

bool SameKey(const ConfigKey& a, const ConfigKey& b) {
  return a.name == b.name && a.value == b.value && a.isList == b.isList && a.tokens == b.tokens &&
         a.inlineComment == b.inlineComment && a.comment == b.comment;
}

bool SameDocument(const ConfigDocument& a, const ConfigDocument& b) {
  if (a.Errors() != b.Errors() || a.Sections().size() != b.Sections().size()) return false;
  auto other = b.Sections().begin();
  for (const auto& [name, section] : a.Sections()) {
    const ConfigSection& otherSection = (other++)->second;
    if (name != otherSection.Name() || section.Name() != otherSection.Name() ||
        section.Comment() != otherSection.Comment() || section.Keys().size() != otherSection.Keys().size()) {
      return false;
    }
    auto otherKey = otherSection.Keys().begin();
    for (const auto& [keyName, key] : section.Keys()) {
      if (keyName != otherKey->first || !SameKey(key, otherKey->second)) return false;
      ++otherKey;
    }
  }
  return true;
}

std::string Describe(const ConfigDocument& document) {
  std::string text;
  for (const auto& [name, section] : document.Sections()) {
    text += "[" + Printable(name) + " comment " + Printable(section.Comment()) + "]";
    for (const auto& [keyName, key] : section.Keys()) {
      text += " " + Printable(keyName) + "=" + Printable(key.value) + (key.isList ? " list" : "") + " inline " +
              Printable(key.inlineComment) + " comment " + Printable(key.comment) + ";";
    }
  }
  for (const ConfigLineError& error : document.Errors()) text += " error line " + std::to_string(error.line);
  return text;
}

bool IsTrimmed(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v'; }

void CheckLineEnds(std::wstring_view text) {
  std::wstring lf;
  for (wchar_t c : text) {
    if (c != L'\r') lf.push_back(c);
  }
  std::wstring crlf;
  std::wstring mixed;
  std::size_t lines = 0;
  for (wchar_t c : lf) {
    if (c == L'\n') {
      crlf += L"\r\n";
      mixed += (lines % 3 == 1) ? L"\n" : L"\r\n";
      ++lines;
    } else {
      crlf.push_back(c);
      mixed.push_back(c);
    }
  }
  const ConfigDocument lfDocument = ConfigDocument::FromText(lf);
  for (const std::wstring* other : {&crlf, &mixed}) {
    const ConfigDocument document = ConfigDocument::FromText(*other);
    Require(SameDocument(lfDocument, document), "crlf-reads-like-lf", [&] {
      return Printable(*other) + " read as " + Describe(document) + ", with LF as " + Describe(lfDocument);
    });
  }

  const std::size_t lineCount = lf.empty() ? 0 : lines + (lf.back() == L'\n' ? 0 : 1);
  std::uint32_t previous = 0;
  for (const ConfigLineError& error : lfDocument.Errors()) {
    Require(error.line > previous && error.line <= lineCount, "errors-name-lines-in-order",
            [&] { return Printable(lf) + ": " + Describe(lfDocument); });
    previous = error.line;
  }
  for (const auto& sectionEntry : lfDocument.Sections()) {
    for (const auto& keyEntry : sectionEntry.second.Keys()) {
      const ConfigKey& key = keyEntry.second;
      const bool trimmed = key.name == keyEntry.first && (key.name.empty() || (!IsTrimmed(key.name.front()) &&
                                                                                !IsTrimmed(key.name.back())));
      Require(trimmed, "key-names-trimmed", [&] { return Printable(key.name); });
      const bool listShape = key.isList ? key.tokens.size() > 1 : key.tokens.empty();
      Require(listShape, "list-has-tokens", [&] { return Describe(lfDocument); });
    }
  }
}

// Value texts without quotation marks: blanks separate, ";" starts the comment.
void CheckUnquotedValue(std::wstring_view text) {
  if (text.find(L'"') != std::wstring_view::npos) return;
  const ValueTokens read = ReadValueTokens(text);
  const std::size_t semicolon = text.find(L';');
  const std::wstring_view value = text.substr(0, semicolon);
  std::vector<std::wstring> words;
  std::wstring word;
  for (wchar_t c : value) {
    if (c == L' ' || c == L'\t') {
      if (!word.empty()) words.push_back(std::move(word));
      word.clear();
    } else {
      word.push_back(c);
    }
  }
  if (!word.empty()) words.push_back(std::move(word));
  std::wstring_view comment;
  if (semicolon != std::wstring_view::npos) {
    comment = text.substr(semicolon + 1);
    while (!comment.empty() && IsTrimmed(comment.front())) comment.remove_prefix(1);
    while (!comment.empty() && IsTrimmed(comment.back())) comment.remove_suffix(1);
  }
  const bool same = read.valid && read.tokens == words && read.valueEnd == value.size() &&
                    read.hasComment == (semicolon != std::wstring_view::npos) && read.comment == comment;
  Require(same, "unquoted-value-model", [&] {
    std::string tokens;
    for (const std::wstring& token : read.tokens) tokens += Printable(token) + " ";
    return Printable(text) + " gave " + tokens + "comment " + Printable(read.comment);
  });
}

// The value written the way a configuration writer must write it: in
// quotation marks, each mark inside escaped with a backslash. A backslash
// at the very end cannot be written so (it would escape the closing mark).
std::wstring Quoted(std::wstring_view value) {
  std::wstring quoted = L"\"";
  for (wchar_t c : value) {
    if (c == L'"') quoted += L'\\';
    quoted += c;
  }
  return quoted + L"\"";
}

void CheckQuotedValues(std::wstring_view first, std::wstring_view second) {
  if ((!first.empty() && first.back() == L'\\') || (!second.empty() && second.back() == L'\\')) return;
  const std::wstring one = Quoted(first) + L" ; note";
  const ValueTokens single = ReadValueTokens(one);
  Require(single.valid && single.tokens == std::vector<std::wstring>{std::wstring(first)} && single.comment == L"note",
          "quoted-value-reads-back", [&] { return Printable(one); });
  const std::wstring two = L"\t" + Quoted(first) + L" " + Quoted(second) + L" ";
  const ValueTokens pair = ReadValueTokens(two);
  Require(pair.valid && pair.tokens == std::vector<std::wstring>{std::wstring(first), std::wstring(second)} &&
              !pair.hasComment,
          "quoted-value-reads-back", [&] { return Printable(two); });

  // Through a whole document, as a key of a section.
  const std::wstring document = L"[Section]\nKey = " + Quoted(first) + L"\n";
  const ConfigDocument read = ConfigDocument::FromText(document);
  const ConfigSection* section = read.FindSection(L"Section");
  const ConfigKey* key = section ? section->FindKey(L"Key") : nullptr;
  Require(key && key->value == first && !key->isList && read.Errors().empty(), "quoted-value-reads-back",
          [&] { return Printable(document) + " read as " + Describe(read); });
}

}  // namespace
}  // namespace zor

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::wstring text = zor::fuzz::WideFromBytes(data, size);
  zor::CheckLineEnds(text);
  const std::vector<std::wstring> lines = zor::fuzz::Fields(text);
  for (std::size_t i = 0; i < lines.size() && i < 16; ++i) {
    std::wstring line = lines[i];
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    zor::CheckUnquotedValue(line);
    const std::size_t equals = line.find(L'=');
    if (equals != std::wstring::npos) zor::CheckUnquotedValue(std::wstring_view(line).substr(equals + 1));
  }
  std::wstring first = lines[0];
  std::wstring second = lines.size() > 1 ? lines[1] : std::wstring();
  for (std::wstring* value : {&first, &second}) {
    std::erase(*value, L'\r');
  }
  zor::CheckQuotedValues(first, second);
  return 0;
}
