// The command-line tokenizer and the option look-up.
//
// The whole input is read as a command line: text after a NUL is never
// seen, a failure leaves the list as it was, quotation marks that cannot
// pair up are refused while balanced ones are accepted, and FindOption
// agrees with a plain search of the list.
//
// The input's lines are also made into a command line of their own, one
// word per line, in the forms people write: /name=value, -name:value with
// quoted and unquoted parts in any order, /flag, "/name=value" quoted whole,
// and plain or quoted words.
// It must give back exactly those options with their values, quotation
// marks removed and the parts joined, as Windows programs split a command
// line; the options that no run reads are named, the program's path left
// out.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "app/options.h"
#include "app/run_parameters.h"
#include "foundation/integer_text.h"
#include "foundation/text_case.h"
#include "tests/fuzz/fuzz_support.h"

namespace zor {
namespace {

using fuzz::Printable;
using fuzz::Require;

std::string Describe(const OptionList& options) {
  std::string text;
  for (const OptionEntry& entry : options) text += "[" + Printable(entry.name) + "=" + Printable(entry.value) + "]";
  return text;
}

bool SameEntries(const OptionList& a, const OptionList& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].name != b[i].name || a[i].value != b[i].value || a[i].number != b[i].number) return false;
  }
  return true;
}

OptionList Sentinel() { return {OptionEntry{L"sentinel", L"kept", 7}}; }

// Whether every reading of the quotation marks agrees on where quotes open
// and close: no backslash directly before a mark (an escape to some
// programs) and no two marks side by side (a literal mark to some).
bool QuotesReadOneWay(std::wstring_view text) {
  for (std::size_t i = 1; i < text.size(); ++i) {
    if (text[i] == L'"' && (text[i - 1] == L'\\' || text[i - 1] == L'"')) return false;
  }
  return true;
}

// Starting points for the look-up: both ends, a few in between, and at and
// after the first named entries. Every point would cost quadratic time on
// the long lists that runs of blanks make.
std::vector<std::size_t> SearchStarts(const OptionList& options) {
  const std::size_t n = options.size();
  std::vector<std::size_t> starts = {0, 1, 2, n / 3, n / 2, n > 0 ? n - 1 : 0, n};
  for (std::size_t i = 0; i < n && starts.size() < 24; ++i) {
    if (options[i].name.empty()) continue;
    starts.push_back(i);
    starts.push_back(i + 1);
  }
  return starts;
}

void CheckFindOption(const OptionList& options, std::wstring_view names) {
  for (std::size_t start : SearchStarts(options)) {
    if (start > options.size()) continue;
    std::size_t expected = options.size();
    for (std::size_t position = start; position < options.size() && expected == options.size(); ++position) {
      const std::wstring& name = options[position].name;
      if (name.empty()) continue;
      std::wstring_view rest = names;
      while (true) {
        const std::size_t bar = rest.find(L'|');
        if (EqualsFoldingAscii(name, rest.substr(0, bar))) {
          expected = position;
          break;
        }
        if (bar == std::wstring_view::npos) break;
        rest.remove_prefix(bar + 1);
      }
    }
    std::size_t index = start;
    const OptionEntry* found = FindOption(options, names, index);
    const bool agrees = expected == options.size() ? (found == nullptr && index == start)
                                                   : (found == &options[expected] && index == expected);
    Require(agrees, "find-option-model", [&] {
      return "names " + Printable(names) + " from " + std::to_string(start) + ": expected " +
             std::to_string(expected) + ", got " + (found ? std::to_string(index) : "none") + " in " +
             Describe(options);
    });
  }
}

void CheckAnyText(std::wstring_view text) {
  OptionList options = Sentinel();
  const StatusCode parsed = ParseOptions(text, options);
  if (IsFailure(parsed)) {
    Require(SameEntries(options, Sentinel()), "failure-leaves-list", [&] { return Describe(options); });
  }
  std::vector<std::wstring> unknown = {L"sentinel"};
  if (IsFailure(UnknownOptionNames(text, unknown))) {
    Require(unknown == std::vector<std::wstring>{L"sentinel"}, "failure-leaves-list",
            [&] { return Printable(text) + ": unknown names changed on failure"; });
  }

  const std::wstring_view beforeNul = text.substr(0, text.find(L'\0'));
  if (beforeNul.size() < text.size()) {
    OptionList cut = Sentinel();
    const StatusCode cutParsed = ParseOptions(beforeNul, cut);
    Require(cutParsed == parsed && SameEntries(cut, options), "nul-ends-text",
            [&] { return Describe(options) + " against " + Describe(cut); });
  }

  if (QuotesReadOneWay(beforeNul)) {
    std::size_t marks = 0;
    for (wchar_t c : beforeNul) marks += c == L'"' ? 1 : 0;
    if (marks % 2 == 1) {
      Require(IsFailure(parsed), "unbalanced-quote-refused",
              [&] { return Printable(text) + " gave " + Describe(options); });
    } else {
      Require(!IsFailure(parsed), "balanced-quotes-accepted", [&] { return Printable(text); });
    }
  }
  if (IsFailure(parsed)) return;

  for (const OptionEntry& entry : options) {
    Require(entry.name.find(L'\0') == std::wstring::npos && entry.value.find(L'\0') == std::wstring::npos,
            "nul-ends-text", [&] { return Describe(options); });
    Require(entry.number == IntegerFromText(entry.value), "number-of-value", [&] { return Describe(options); });
  }
  std::vector<std::wstring> names = {L"zordir", L"zordir|zordatadir|run_number", L"", L"|"};
  for (const OptionEntry& entry : options) {
    if (!entry.name.empty() && names.size() < 12) names.push_back(fuzz::SwapAsciiCase(entry.name));
  }
  for (const std::wstring& name : names) CheckFindOption(options, name);
}

// --- command lines made of well-formed words -------------------------------

struct ExpectedOption {
  std::wstring name;
  std::wstring value;
};

bool IsNameCharacter(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'_';
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// The value as written on the command line, made to read one way: quoted
// and unquoted parts in any order, no blank outside quotes, no backslash
// before a mark, no mark right after a closing one, closed at the end.
// `value` is what it must read as: the text without its marks.
void WellFormedValue(std::wstring_view raw, std::wstring& written, std::wstring& value) {
  bool inQuotes = false;
  bool justClosed = false;
  for (wchar_t c : raw) {
    if (c == L'\0' || c == L'\r') continue;
    if (c == L'"') {
      if (justClosed) continue;
      while (!written.empty() && written.back() == L'\\') {
        written.pop_back();
        value.pop_back();
      }
      written.push_back(c);
      justClosed = inQuotes;
      inQuotes = !inQuotes;
      continue;
    }
    justClosed = false;
    if (!inQuotes && IsBlank(c)) continue;
    written.push_back(c);
    value.push_back(c);
  }
  if (inQuotes) {
    while (!written.empty() && written.back() == L'\\') {
      written.pop_back();
      value.pop_back();
    }
    written.push_back(L'"');
  }
}

// A quoted value as it reads: the text without NULs, line ends and marks,
// and without the backslashes that would stand before the closing mark.
std::wstring QuotableText(std::wstring_view text) {
  std::wstring quotable;
  for (wchar_t c : text) {
    if (c != L'\0' && c != L'\r' && c != L'"') quotable.push_back(c);
  }
  while (!quotable.empty() && quotable.back() == L'\\') quotable.pop_back();
  return quotable;
}

// One word from one line. A line starting with "/" or "-" is an option; one
// starting with a quotation mark and "/" or "-" is an option quoted whole,
// "/zordir=C:\Program Files\ZOR" as a batch file may write it. Any other
// line is a word without a name, quoted whole when it holds characters that
// would start an option or a quote; it never starts with "/" or "-".
void AddWord(std::wstring_view line, std::wstring& commandLine, std::vector<ExpectedOption>& expected) {
  const bool quotedWhole = line.size() >= 2 && line[0] == L'"' && (line[1] == L'/' || line[1] == L'-');
  if (quotedWhole) line.remove_prefix(1);
  if (!line.empty() && (line[0] == L'/' || line[0] == L'-')) {
    std::size_t end = 1;
    while (end < line.size() && IsNameCharacter(line[end])) ++end;
    std::wstring name(line.substr(1, end - 1));
    if (name.empty()) name = L"n";
    if (quotedWhole) commandLine += L'"';
    commandLine += line[0];
    commandLine += name;
    ExpectedOption option{name, {}};
    if (end < line.size() && (line[end] == L'=' || line[end] == L':')) {
      commandLine += line[end];
      if (quotedWhole) {
        option.value = QuotableText(line.substr(end + 1));
        commandLine += option.value;
      } else {
        WellFormedValue(line.substr(end + 1), commandLine, option.value);
      }
    }
    if (quotedWhole) commandLine += L'"';
    expected.push_back(std::move(option));
    return;
  }
  std::wstring word = QuotableText(line);
  while (!word.empty() && (word[0] == L'/' || word[0] == L'-')) word.erase(0, 1);
  bool needsQuotes = false;
  for (wchar_t c : word) {
    needsQuotes = needsQuotes || IsBlank(c) || c == L'/' || c == L'-' || c == L'=' || c == L':';
  }
  commandLine += needsQuotes || word.empty() ? L"\"" + word + L"\"" : word;
}

// The options a run reads and the switches the entry point answers.
bool IsKnownOption(std::wstring_view name) {
  for (std::wstring_view known : {L"run_number", L"zordir", L"zoradmindir", L"zordatadir", L"ndis_nextstep",
                                  L"norestart", L"skipask", L"silent", L"deletedirforcehard", L"ndisonly",
                                  L"whitelist", L"help", L"h", L"?"}) {
    if (EqualsFoldingAscii(name, known)) return true;
  }
  return false;
}

void CheckWellFormedWords(const std::vector<std::wstring>& lines) {
  std::wstring commandLine;
  std::vector<ExpectedOption> expected;
  // The first word stands for the program's path, whatever it looks like.
  std::vector<std::wstring> expectedUnknown;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    // Separators of one or more blanks and tabs, picked by the line itself.
    static constexpr std::wstring_view kSeparators[] = {L" ", L"\t", L"  ", L" \t "};
    if (i > 0) commandLine += kSeparators[lines[i].size() % 4];
    const std::size_t before = expected.size();
    AddWord(lines[i], commandLine, expected);
    if (i > 0 && expected.size() > before && !IsKnownOption(expected.back().name)) {
      expectedUnknown.push_back(expected.back().name);
    }
  }

  std::vector<std::wstring> unknown = {L"sentinel"};
  const StatusCode listed = UnknownOptionNames(commandLine, unknown);
  Require(!IsFailure(listed) && unknown == expectedUnknown, "unknown-options-named", [&] {
    std::string got;
    for (const std::wstring& name : unknown) got += Printable(name) + " ";
    return Printable(commandLine) + " named " + got;
  });

  OptionList options;
  const StatusCode parsed = ParseOptions(commandLine, options);
  Require(!IsFailure(parsed), "balanced-quotes-accepted", [&] { return Printable(commandLine); });
  if (IsFailure(parsed)) return;

  std::vector<ExpectedOption> named;
  for (const OptionEntry& entry : options) {
    if (!entry.name.empty()) named.push_back({entry.name, entry.value});
  }
  bool same = named.size() == expected.size();
  for (std::size_t i = 0; same && i < named.size(); ++i) {
    same = named[i].name == expected[i].name && named[i].value == expected[i].value;
  }
  Require(same, "quote-join", [&] {
    std::string want;
    for (const ExpectedOption& option : expected) want += "[" + Printable(option.name) + "=" + Printable(option.value) + "]";
    return Printable(commandLine) + " gave " + Describe(options) + ", expected the options " + want;
  });
}

}  // namespace
}  // namespace zor

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::wstring text = zor::fuzz::WideFromBytes(data, size);
  zor::CheckAnyText(text);
  zor::CheckWellFormedWords(zor::fuzz::Fields(text));
  return 0;
}
