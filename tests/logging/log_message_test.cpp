#include "logging/log_message.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/format_text.h"
#include "logging/log_time.h"

namespace zor {
namespace {

TEST(LogArgument, EachTypeShowsItsPrefixAndDigits) {
  const std::int64_t time = JoinTime({2024, 5, 6, 7, 8, 9, 123});
  const struct {
    LogArgument argument;
    const wchar_t* expected;
  } rows[] = {
      {LogArgument::ErrorCode(CodeFromBits(0xE0010015)), L"ERRORCODE:0xe0010015"},
      {LogArgument::Int32(42), L"INT32:0x0000002a"},
      {LogArgument::Int32(-1), L"INT32:0xffffffff"},
      {LogArgument::Dword(0xDEADBEEF), L"DWORD:0xdeadbeef"},
      {LogArgument::Int8(-2), L"INT8:0xfe"},
      {LogArgument::Byte(7), L"BYTE:0x07"},
      {LogArgument::Int16(-1), L"INT16:0xffff"},
      {LogArgument::Word(0x1234), L"WORD:0x1234"},
      {LogArgument::Char(L'A'), L"CHAR:0x0041"},
      {LogArgument::Int64(-1), L"INT64:0xffffffffffffffff"},
      {LogArgument::Qword(0x0123456789ABCDEFull), L"QWORD:0x0123456789abcdef"},
      {LogArgument::Size(4096), L"SIZE:0x0000000000001000"},
      {LogArgument::FileSize(0x100000000ull), L"FILESIZE:0x0000000100000000"},
      {LogArgument::Bool(true), L"BOOL:TRUE"},
      {LogArgument::Bool(false), L"BOOL:FALSE"},
      {LogArgument::Double(1.5), L"DOUBLE:1.5"},
      {LogArgument::Double(-0.25), L"DOUBLE:-0.25"},
      {LogArgument::Text(L"C:\\ZOR"), L"STR:C:\\ZOR"},
      {LogArgument::Time(time), L"TIME:2024-05-06 07:08:09,123"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.expected);
    EXPECT_EQ(row.argument.Rendered(), row.expected);
  }
}

TEST(LogMessage, RenderedArgumentsAreSeparatedByCommas) {
  EXPECT_EQ(RenderArguments({LogArgument::Int32(1), LogArgument::Text(L"x"), LogArgument::Bool(false)}),
            L"INT32:0x00000001, STR:x, BOOL:FALSE");
  EXPECT_EQ(RenderArguments({}), L"");
}

TEST(LogMessage, TheFormatIsFilledWithTheTypedArguments) {
  const struct {
    const wchar_t* format;
    LogArgumentList arguments;
    const wchar_t* expected;
  } rows[] = {
      {L"deleted %s (%x)",
       {LogArgument::Text(L"C:\\a"), LogArgument::ErrorCode(CodeFromBits(0xE0010013))},
       L"deleted C:\\a (e0010013)"},
      {L"%d|%u|%i",
       {LogArgument::Int32(-5), LogArgument::Dword(0xFFFFFFFF), LogArgument::Int8(-3)},
       L"-5|4294967295|-3"},
      {L"[%08x] [%5d] [%-4s]",
       {LogArgument::Dword(0x1F), LogArgument::Int32(42), LogArgument::Text(L"ab")},
       L"[0000001f] [   42] [ab  ]"},
      {L"%X %lx %I64x",
       {LogArgument::Word(0xABC), LogArgument::Int64(255), LogArgument::Qword(0x1234567890ull)},
       L"ABC ff 1234567890"},
      {L"%s and %s", {LogArgument::Int32(-7), LogArgument::Bool(true)}, L"-7 and TRUE"},
      {L"%d", {LogArgument::Bool(true)}, L"1"},
      {L"%f|%5g", {LogArgument::Int32(-3), LogArgument::Dword(7)}, L"-3|    7"},
      {L"%.2f%%", {LogArgument::Double(99.5)}, L"99.5%"},
      {L"%c%c", {LogArgument::Char(L'o'), LogArgument::Char(L'k')}, L"ok"},
      {L"at %s", {LogArgument::Time(JoinTime({2024, 1, 2, 3, 4, 5, 6}))}, L"at 2024-01-02 03:04:05,006"},
      {L"%s %s missing", {LogArgument::Text(L"one")}, L"one  missing"},
      {L"%q stays %s", {LogArgument::Text(L"x")}, L"%q stays x"},
      {L"trailing %", {LogArgument::Text(L"x")}, L"trailing %"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.format);
    EXPECT_EQ(ExpandMessageFormat(row.format, row.arguments), row.expected);
  }
}

// A log pattern may come from a configuration file: no width or precision
// in it can make a field larger than the limit.
TEST(LogMessage, WidthsAreCappedAtTheLimitAndPrecisionsAreReadPast) {
  ASSERT_EQ(kMaxFieldWidth, 1024u);
  const std::wstring spaces(1023, L' ');
  const struct {
    const wchar_t* format;
    LogArgumentList arguments;
    std::wstring expected;
  } rows[] = {
      {L"%999999999d", {LogArgument::Int32(7)}, spaces + L"7"},
      {L"%17423648u", {LogArgument::Dword(7)}, spaces + L"7"},
      {L"%99999999999999999999999999999999999999d", {LogArgument::Int32(7)}, spaces + L"7"},
      {L"%-999999999s|", {LogArgument::Text(L"7")}, L"7" + spaces + L"|"},
      {L"%999999999c", {LogArgument::Char(L'7')}, spaces + L"7"},
      {L"%0999999999x", {LogArgument::Dword(7)}, std::wstring(1023, L'0') + L"7"},
      {L"%1025s", {LogArgument::Text(L"7")}, spaces + L"7"},
      {L"%1023s", {LogArgument::Text(L"7")}, std::wstring(1022, L' ') + L"7"},
      {L"%.999999999999999999999999f", {LogArgument::Double(99.5)}, L"99.5"},
      {L"%3.99999999999999999999999999s|", {LogArgument::Text(L"ab")}, L" ab|"},
      {L"%99999999999999999999.99999999999999999999d", {LogArgument::Int32(-7)}, std::wstring(1022, L' ') + L"-7"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.format);
    EXPECT_EQ(ExpandMessageFormat(row.format, row.arguments), row.expected);
  }
}

TEST(LogMessage, OptionBitZeroRendersArgumentsAndFoldsLineBreaks) {
  const LogArgumentList arguments = {LogArgument::Int32(3), LogArgument::Text(L"x")};
  const struct {
    std::uint32_t options;
    const wchar_t* text;
    LogArgumentList arguments;
    const wchar_t* expected;
  } rows[] = {
      {0, L"plain\r\ntext", {}, L"plain\r\ntext"},
      {1, L"plain\r\ntext", {}, L"plain\v\vtext"},
      {6, L"", arguments, L""},
      {7, L"", arguments, L"INT32:0x00000003, STR:x"},
      {1, L"n=%d s=%s\n", arguments, L"n=3 s=x\v"},
      {0, L"n=%d\n", arguments, L"n=3\n"},
      {1, L"", {LogArgument::Text(L"a\nb")}, L"STR:a\vb"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    SCOPED_TRACE(row.options);
    EXPECT_EQ(BuildMessage(row.options, row.text, row.arguments), row.expected);
  }
}

}  // namespace
}  // namespace zor
