#include "app/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/narrow_text.h"

namespace zor {
namespace {

OptionList Parse(std::wstring_view text) {
  OptionList options;
  EXPECT_EQ(ParseOptions(text, options), status::Success);
  return options;
}

using test::Narrow;

// Every entry as "name=value#number", empty entries included, so a row shows
// the whole list the tokenizer made.
std::vector<std::string> Describe(const OptionList& options) {
  std::vector<std::string> described;
  for (const OptionEntry& entry : options) {
    described.push_back(Narrow(entry.name) + "=" + Narrow(entry.value) + "#" + std::to_string(entry.number));
  }
  return described;
}

TEST(ParseOptions, TokenizesCommandLines) {
  const struct {
    const wchar_t* commandLine;
    std::vector<std::string> entries;
  } rows[] = {
      {L"", {}},
      {L"zorremover.exe", {"=zorremover.exe#0"}},
      {L"zorremover.exe /skipask", {"=zorremover.exe#0", "skipask=#0"}},
      {L"x.exe /run_number=2 -ndis_nextstep:3", {"=x.exe#0", "run_number=2#2", "ndis_nextstep=3#3"}},
      {L"x.exe /zordir:C:\\ZOR", {"=x.exe#0", "zordir=C:\\ZOR#0"}},  // the second colon is ordinary
      {L"x.exe /zordir=\"C:\\Program Files\\ZOR\"", {"=x.exe#0", "zordir=C:\\Program Files\\ZOR#0"}},
      {L"x.exe /zordir=C:\\Program Files\\ZOR", {"=x.exe#0", "zordir=C:\\Program#0", "=Files\\ZOR#0"}},
      {L"\"C:\\Program Files\\zr\\zorremover.exe\" /silent", {"=C:\\Program Files\\zr\\zorremover.exe#0", "silent=#0"}},
      {L"x.exe  /a", {"=x.exe#0", "=#0", "a=#0"}},  // a run of blanks leaves an empty entry
      {L"x.exe /a=b/c -d=x-y", {"=x.exe#0", "a=b/c#0", "d=x-y#0"}},
      {L"x.exe /run_number=2x", {"=x.exe#0", "run_number=2x#2"}},
      {L"x.exe /run_number", {"=x.exe#0", "run_number=#0"}},
      {L"C:\\my-tools\\zorremover.exe /silent", {"tools\\zorremover.exe=#0", "silent=#0"}},
      {L"x.exe\t/a=1\t/b", {"=x.exe#0", "a=1#1", "b=#0"}},
      {L"x.exe /a=\"\" /b", {"=x.exe#0", "a=#0", "b=#0"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.commandLine));
    EXPECT_EQ(Describe(Parse(row.commandLine)), row.entries);
  }
}

// Quotation marks group text with blanks and are dropped; what stands before
// an opening or after a closing mark stays in the same word, as Windows
// programs split their command lines.
TEST(ParseOptions, JoinsQuotedAndUnquotedPartsOfOneWord) {
  const struct {
    const wchar_t* commandLine;
    std::vector<std::string> entries;
  } rows[] = {
      {L"x.exe /zordir=\"C:\\Program Files\"\\ZOR", {"=x.exe#0", "zordir=C:\\Program Files\\ZOR#0"}},
      {L"x.exe /zordir=\"C:\\a\"b", {"=x.exe#0", "zordir=C:\\ab#0"}},
      {L"x.exe /zordir=C:\\\"Program Files\"\\ZOR /silent",
       {"=x.exe#0", "zordir=C:\\Program Files\\ZOR#0", "silent=#0"}},
      {L"x.exe /zordir=\"C:\\x\"/silent", {"=x.exe#0", "zordir=C:\\x/silent#0"}},  // one word: no blank
      {L"x.exe /zordir=\"C:\\x\" /silent", {"=x.exe#0", "zordir=C:\\x#0", "silent=#0"}},
      {L"\"C:\\Program Files\\zr\"\\zorremover.exe /silent", {"=C:\\Program Files\\zr\\zorremover.exe#0", "silent=#0"}},
      {L"x.exe /zordir=\"a\"\"b\"", {"=x.exe#0", "zordir=ab#0"}},
      {L"x.exe /\"zordir\"=\"C:\\x\"", {"=x.exe#0", "zordir=C:\\x#0"}},
      {L"x.exe /run_number=\"2\"", {"=x.exe#0", "run_number=2#2"}},
      // An option quoted whole is the option, as Windows programs see it.
      {L"x.exe \"-a\" /b", {"=x.exe#0", "a=#0", "b=#0"}},
      {L"x.exe \"/zordir=C:\\Program Files (x86)\\ZOR\\ZOR10\" \"/silent\"",
       {"=x.exe#0", "zordir=C:\\Program Files (x86)\\ZOR\\ZOR10#0", "silent=#0"}},
      {L"x.exe \"/zordir=C:\\windows. \"", {"=x.exe#0", "zordir=C:\\windows. #0"}},
      {L"x.exe \"C:\\a/b\" \"x-y\"", {"=x.exe#0", "=C:\\a/b#0", "=x-y#0"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.commandLine));
    EXPECT_EQ(Describe(Parse(row.commandLine)), row.entries);
  }
}

// A quotation mark left open would swallow every option after it; such a
// line is refused whole and the list keeps what it held.
TEST(ParseOptions, RefusesAnUnbalancedQuotationMark) {
  for (const wchar_t* text : {
           L"zorremover.exe /silent /zordir=\"C:\\Program Files (x86)\\ZOR\\ZOR10",
           L"zorremover.exe /zordir=\"C:\\x /silent",
           L"x.exe /a=\"b\"c\"",
           L"\"",
       }) {
    SCOPED_TRACE(Narrow(text));
    EXPECT_TRUE(HasUnbalancedQuotes(text));
    OptionList options(1, OptionEntry{L"kept", L"value", 7});
    EXPECT_EQ(ParseOptions(text, options), status::UnbalancedQuotes);
    ASSERT_EQ(options.size(), 1u);
    EXPECT_EQ(options[0].name, L"kept");
  }
  // Only the text up to an embedded NUL counts, as for the scan itself.
  EXPECT_FALSE(HasUnbalancedQuotes(std::wstring(L"x.exe /a\0\"", 10)));
  EXPECT_TRUE(HasUnbalancedQuotes(std::wstring(L"x.exe \"/a\0\"", 11)));
  EXPECT_FALSE(HasUnbalancedQuotes(L"x.exe /a=\"\" /b=\"c d\""));
}

TEST(ParseOptions, StopsAtAnEmbeddedNul) {
  const std::wstring text(L"x.exe /a\0/b", 11);
  EXPECT_EQ(Describe(Parse(text)), (std::vector<std::string>{"=x.exe#0", "a=#0"}));
}

TEST(FindOption, MatchesWholeNamesWithoutCaseAndSkipsUnnamedEntries) {
  const OptionList options = Parse(L"zor-x.exe  /ZorDir=a /zordir=b /zordirx=c /n");
  std::size_t index = 0;
  const OptionEntry* found = FindOption(options, L"zordir", index);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->value, L"a");  // the first occurrence wins
  EXPECT_EQ(options[index].value, L"a");

  std::size_t next = index + 1;
  found = FindOption(options, L"zordir", next);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->value, L"b");

  index = 0;
  EXPECT_EQ(FindOption(options, L"zor", index), nullptr);
  EXPECT_EQ(index, 0u);
  EXPECT_EQ(FindOption(options, L"", index), nullptr);  // empty names never match

  index = 0;
  found = FindOption(options, L"help|n|?", index);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->name, L"n");
}

}  // namespace
}  // namespace zor
