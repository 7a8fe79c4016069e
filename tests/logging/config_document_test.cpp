#include "logging/config_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logging/log_status.h"

namespace zor {
namespace {

using Errors = std::vector<ConfigLineError>;

// The program's own configuration, as the run context hands it over.
const std::wstring kBuiltInConfiguration =
    L"[root]\n"
    L"Type = Logger\n"
    L"Severity = All\n"
    L"[ZorRemover]\n"
    L"Type = Logger\n"
    L"Severity = All\n"
    L"AddAppenders = FileAppender,ConsoleAppender\n"
    L"Additive = false\n"
    L"[SimpleLayout]\n"
    L"Type = Layout\n"
    L"LayoutType = Custom\n"
    L"Format = \"%date %time %severity %msg\"\n"
    L"[FileAppender]\n"
    L"Type = Appender\n"
    L"AppenderType = File\n"
    L"FileName = C:\\Program Files\\ZorRemover\\zorremover.log\n"
    L"Layout = SimpleLayout\n"
    L"[ConsoleAppender]\n"
    L"Type = Appender\n"
    L"BreakSeverity = Info\n"
    L"AppenderType = Console\n"
    L"Target = System.out\n"
    L"Layout = SimpleLayout\n";

std::wstring ValueOf(const ConfigDocument& document, std::wstring_view section, std::wstring_view key) {
  const ConfigSection* found = document.FindSection(section);
  if (!found) return L"<no section>";
  const ConfigKey* value = found->FindKey(key);
  return value ? value->value : L"<no key>";
}

TEST(ConfigDocument, ReadsTheBuiltInConfigurationWithoutErrors) {
  const ConfigDocument document = ConfigDocument::FromText(kBuiltInConfiguration);
  EXPECT_EQ(document.Errors(), Errors{});
  std::vector<std::wstring> names;
  for (const auto& entry : document.Sections()) names.push_back(entry.first);
  EXPECT_EQ(names,
            (std::vector<std::wstring>{L"ConsoleAppender", L"FileAppender", L"SimpleLayout", L"ZorRemover", L"root"}));

  EXPECT_EQ(ValueOf(document, L"root", L"Severity"), L"All");
  EXPECT_EQ(ValueOf(document, L"ZorRemover", L"AddAppenders"), L"FileAppender,ConsoleAppender");
  EXPECT_FALSE(document.FindSection(L"ZorRemover")->FindKey(L"AddAppenders")->isList);
  EXPECT_EQ(ValueOf(document, L"ZorRemover", L"Additive"), L"false");
  EXPECT_EQ(ValueOf(document, L"SimpleLayout", L"Format"), L"%date %time %severity %msg");
  EXPECT_EQ(ValueOf(document, L"ConsoleAppender", L"Target"), L"System.out");

  // A file name with spaces, not quoted, is a list whose value is still the whole name.
  const ConfigKey* fileName = document.FindSection(L"FileAppender")->FindKey(L"FileName");
  ASSERT_NE(fileName, nullptr);
  EXPECT_TRUE(fileName->isList);
  EXPECT_EQ(fileName->value, L"C:\\Program Files\\ZorRemover\\zorremover.log");
  EXPECT_EQ(fileName->tokens, (std::vector<std::wstring>{L"C:\\Program", L"Files\\ZorRemover\\zorremover.log"}));
}

TEST(ConfigDocument, TextWithCarriageReturnsReadsLikeTheSameTextWithLineFeeds) {
  std::wstring withReturns;
  for (wchar_t c : kBuiltInConfiguration) {
    if (c == L'\n') withReturns.push_back(L'\r');
    withReturns.push_back(c);
  }
  withReturns.append(L"\r\n[Extra]\r\nKey = \"quoted value\"\r\n");
  const ConfigDocument document = ConfigDocument::FromText(withReturns);
  EXPECT_EQ(document.Errors(), Errors{});
  EXPECT_EQ(ValueOf(document, L"SimpleLayout", L"LayoutType"), L"Custom");
  EXPECT_EQ(ValueOf(document, L"ConsoleAppender", L"Layout"), L"SimpleLayout");
  EXPECT_EQ(ValueOf(document, L"Extra", L"Key"), L"quoted value");
}

TEST(ConfigDocument, ValueTokensFollowTheQuotingRules) {
  const struct {
    const wchar_t* line;
    bool valid;
    const wchar_t* value;
    std::vector<std::wstring> tokens;  // only for lists
    const wchar_t* inlineComment;
  } rows[] = {
      {L"K = plain", true, L"plain", {}, L""},
      {L"K =   padded   ", true, L"padded", {}, L""},
      {L"K = \"%date %time %severity %msg\"", true, L"%date %time %severity %msg", {}, L""},
      {L"K = FileAppender,ConsoleAppender", true, L"FileAppender,ConsoleAppender", {}, L""},
      {L"K = \"a b\" c", true, L"\"a b\" c", {L"a b", L"c"}, L""},
      {L"K = \"a b\"c", false, L"", {}, L""},
      {L"K = \"a b\"\"c\"", false, L"", {}, L""},
      {L"K = value ; the note", true, L"value", {}, L"the note"},
      {L"K = value;note", true, L"value", {}, L"note"},
      {L"K = \"semi;colon\" ; after", true, L"semi;colon", {}, L"after"},
      {L"K = \"say \\\"hi\\\"\"", true, L"say \"hi\"", {}, L""},
      {L"K = \"back\\slash\"", true, L"back\\slash", {}, L""},
      {L"K = C:\\dir\\\"x\"", true, L"C:\\dir\\x", {}, L""},
      {L"K = ab\"c d\"", true, L"abc d", {}, L""},
      {L"K = \"\"", true, L"", {}, L""},
      {L"K = \"\" x", true, L"\"\" x", {L"", L"x"}, L""},
      {L"K = \"open", false, L"", {}, L""},
      {L"K = a\tb", true, L"a\tb", {L"a", L"b"}, L""},
      {L"K =", true, L"", {}, L""},
      {L"K = ; only a note", true, L"", {}, L"only a note"},
      {L"K = a = b", true, L"a = b", {L"a", L"=", L"b"}, L""},
      {L"K = \"Out1;Out2,Out3\"", true, L"Out1;Out2,Out3", {}, L""},
      {L"K = Out1;Out2,Out3", true, L"Out1", {}, L"Out2,Out3"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    const ConfigDocument document = ConfigDocument::FromText(std::wstring(L"[S]\n") + row.line + L"\n");
    if (!row.valid) {
      EXPECT_EQ(document.Errors(), (Errors{{2, status::ConfigKeyLineInvalid}}));
      EXPECT_EQ(document.FindSection(L"S")->FindKey(L"K"), nullptr);
      continue;
    }
    EXPECT_EQ(document.Errors(), Errors{});
    const ConfigKey* key = document.FindSection(L"S")->FindKey(L"K");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->value, row.value);
    EXPECT_EQ(key->isList, !row.tokens.empty());
    EXPECT_EQ(key->tokens, row.tokens);
    EXPECT_EQ(key->inlineComment, row.inlineComment);
  }
}

TEST(ConfigDocument, EachFaultyLineIsRecordedWithItsCodeAndSkipped) {
  const struct {
    const wchar_t* text;
    Errors errors;
  } rows[] = {
      {L"Key = before any section\n[S]\nA = 1\n", {{1, status::ConfigKeyOutsideSection}}},
      {L"[S\nA = 1\n", {{1, status::ConfigHeaderUnclosed}}},
      {L"[S]\n[S]\nA = 1\n", {{2, status::ConfigSectionRepeated}}},
      {L"[S]\nno equals sign here\n", {{2, status::ConfigKeyLineInvalid}}},
      {L"[S]\nA = \"x\"y\n", {{2, status::ConfigKeyLineInvalid}}},
      {L"[S]\nA = 1\nA = 2\n", {{3, status::ConfigKeyRepeated}}},
      {L"[S]\nA = 1\n  A = 3\n\n[T\nB = 1\n[U]\nC = \"\n",
       {{3, status::ConfigKeyRepeated}, {5, status::ConfigHeaderUnclosed}, {8, status::ConfigKeyLineInvalid}}},
      {L"one\ntwo = 2\n[S]\n", {{1, status::ConfigKeyOutsideSection}, {2, status::ConfigKeyOutsideSection}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(ConfigDocument::FromText(row.text).Errors(), row.errors);
  }
}

TEST(ConfigDocument, KeysAfterABadHeaderAreIgnoredUntilTheNextGoodOne) {
  const ConfigDocument document =
      ConfigDocument::FromText(L"[First]\nA = 1\n[Broken\nB = 2\nnot even a key\n[First]\nC = 3\n[Second]\nD = 4\n");
  EXPECT_EQ(document.Errors(), (Errors{{3, status::ConfigHeaderUnclosed}, {6, status::ConfigSectionRepeated}}));
  EXPECT_EQ(document.Sections().size(), 2u);
  EXPECT_EQ(document.FindSection(L"First")->Keys().size(), 1u);
  EXPECT_EQ(ValueOf(document, L"First", L"A"), L"1");
  EXPECT_EQ(ValueOf(document, L"First", L"C"), L"<no key>");
  EXPECT_EQ(ValueOf(document, L"Second", L"D"), L"4");
  EXPECT_EQ(document.FindSection(L"Broken"), nullptr);
}

TEST(ConfigDocument, NamesAreTakenExactly) {
  const ConfigDocument document = ConfigDocument::FromText(L"[ Spaced Name ]\n\t Key Name \t= v\n[root]\n[Root]\n");
  EXPECT_EQ(document.Errors(), Errors{});
  ASSERT_NE(document.FindSection(L" Spaced Name "), nullptr);
  EXPECT_EQ(document.FindSection(L"Spaced Name"), nullptr);
  EXPECT_EQ(ValueOf(document, L" Spaced Name ", L"Key Name"), L"v");
  EXPECT_NE(document.FindSection(L"root"), nullptr);
  EXPECT_NE(document.FindSection(L"Root"), nullptr);
}

TEST(ConfigDocument, CommentsGatherUntilTheNextHeaderOrKey) {
  const ConfigDocument document = ConfigDocument::FromText(
      L"; first\n"
      L"  ;second\n"
      L"[S] ; about S\n"
      L"A = 1\n"
      L"\n"
      L"; after a blank\n"
      L"\n"
      L"\n"
      L";after two blanks\n"
      L"B = 2\n"
      L"\n"
      L"C = 3\n");
  EXPECT_EQ(document.Errors(), Errors{});
  const ConfigSection* section = document.FindSection(L"S");
  ASSERT_NE(section, nullptr);
  EXPECT_EQ(section->Comment(), L" first\r\nsecond\r\nabout S");
  EXPECT_EQ(section->FindKey(L"A")->comment, L"");
  EXPECT_EQ(section->FindKey(L"B")->comment, L"\r\n after a blank\r\n\r\n\r\nafter two blanks");
  EXPECT_EQ(section->FindKey(L"C")->comment, L"");
}

TEST(ConfigDocument, MissingKeyReportsTheNotFoundCodeAndLeavesTheOutputAlone) {
  const ConfigDocument document = ConfigDocument::FromText(L"[S]\nA = 1\n");
  std::wstring value = L"sentinel";
  EXPECT_EQ(document.FindSection(L"S")->GetValue(L"a", value), status::ConfigNotFound);
  EXPECT_EQ(static_cast<std::uint32_t>(status::ConfigNotFound), 0xE0010015u);
  EXPECT_EQ(value, L"sentinel");
  EXPECT_EQ(document.FindSection(L"S")->GetValue(L"A", value), status::Success);
  EXPECT_EQ(value, L"1");
}

TEST(ConfigDocument, MergeAddsSectionsAndReplacesKeys) {
  ConfigDocument stored = ConfigDocument::FromText(L"[A]\nx = 1\ny = 2\n[B]\nz = 3\n");
  stored.Merge(ConfigDocument::FromText(L"[A]\ny = 20\nw = 40\n[C]\nv = 5\n[C\n"));
  EXPECT_EQ(ValueOf(stored, L"A", L"x"), L"1");
  EXPECT_EQ(ValueOf(stored, L"A", L"y"), L"20");
  EXPECT_EQ(ValueOf(stored, L"A", L"w"), L"40");
  EXPECT_EQ(ValueOf(stored, L"B", L"z"), L"3");
  EXPECT_EQ(ValueOf(stored, L"C", L"v"), L"5");
  EXPECT_EQ(stored.Errors(), (Errors{{6, status::ConfigHeaderUnclosed}}));
}

TEST(ConfigDocument, TheLastLineMayLackItsLineFeed) {
  const ConfigDocument document = ConfigDocument::FromText(L"[S]\nA = last");
  EXPECT_EQ(ValueOf(document, L"S", L"A"), L"last");
  EXPECT_EQ(ConfigDocument::FromText(L"").Sections().size(), 0u);
}

}  // namespace
}  // namespace zor
