#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logging/custom_layout.h"
#include "logging/layout_section.h"
#include "logging/log_status.h"
#include "logging/log_time.h"
#include "logging/record_layout.h"

namespace zor {
namespace {

const std::wstring& TestHostName() {
  static const std::wstring name = L"HOST-7";
  return name;
}

LogRecord SampleRecord() {
  LogRecord record;
  record.loggerName = L"Engine.Files";
  record.severity = severity::Warn;
  record.message = L"file deleted";
  record.time = JoinTime({2024, 5, 6, 7, 8, 9, 123});
  record.fileId = L"{6F1C2B7E-2D4A-4C1B-9E55-0A3C7B1D2E4F}";
  record.line = 412;
  record.buildNumber = 1234;
  record.revision = 56789;
  record.product = 3;
  record.threadId = 88;
  record.processId = 4321;
  return record;
}

ConfigSection SectionFromText(const std::wstring& text) {
  const ConfigDocument document = ConfigDocument::FromText(L"[L]\n" + text);
  EXPECT_TRUE(document.Errors().empty());
  return *document.FindSection(L"L");
}

std::wstring FormatWith(const std::wstring& format, const LogRecord& record) {
  CustomLayout layout(TestHostName);
  ConfigSection section(L"L");
  section.SetValue(L"LayoutType", L"Custom");
  section.SetValue(L"Format", format);
  EXPECT_EQ(layout.ReadConfiguration(section), status::Success);
  return layout.Format(record);
}

TEST(CustomLayout, EachTokenShowsItsField) {
  const LogRecord record = SampleRecord();
  const struct {
    const wchar_t* format;
    const wchar_t* expected;
  } rows[] = {
      {L"%logger", L"Engine.Files"},
      {L"%severity", L"WARN"},
      {L"%hostname", L"HOST-7"},
      {L"%date", L"2024-05-06"},
      {L"%time", L"07:08:09,123"},
      {L"%filename", L"{6F1C2B7E-2D4A-4C1B-9E55-0A3C7B1D2E4F}"},
      {L"%line", L"412"},
      {L"%buildnr", L"1234"},
      {L"%svnrev", L"56789"},
      {L"%msg", L"file deleted"},
      {L"%product", L"3"},
      {L"%date %time %severity %msg", L"2024-05-06 07:08:09,123 WARN file deleted"},
      {L"%date%%%msg", L"2024-05-06%file deleted"},
      {L"%Msg", L"file deleted"},
      {L"%MSG|%SeVeRiTy", L"file deleted|WARN"},
      {L"%msgs", L"file deleteds"},
      {L"%unknown %", L"%unknown %"},
      {L"100%% sure", L"100% sure"},
      {L"a\\nb", L"a\nb"},
      {L"a\\tb\\", L"a\\tb\\"},
      {L"", L""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.format);
    EXPECT_EQ(FormatWith(row.format, record), row.expected);
  }
}

TEST(CustomLayout, SeverityOffTheScaleIsShownAsInfo) {
  LogRecord record = SampleRecord();
  const struct {
    Severity value;
    const wchar_t* name;
  } rows[] = {
      {severity::All, L"ALL"},
      {severity::Debug, L"DEBUG"},
      {severity::Detail, L"DETAIL"},
      {severity::Info, L"INFO"},
      {severity::Warn, L"WARN"},
      {severity::Error, L"ERROR"},
      {severity::Fatal, L"FATAL"},
      {severity::Off, L"OFF"},
      {250000, L"INFO"},
      {0, L"INFO"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.value);
    record.severity = row.value;
    EXPECT_EQ(FormatWith(L"%severity", record), row.name);
  }
}

TEST(CustomLayout, CompilesTheFormatOnceIntoParts) {
  using Kind = FormatPart::Kind;
  EXPECT_EQ(CompileFormat(L"[%date] %%x %Logger\\n"), (std::vector<FormatPart>{{Kind::Literal, L"["},
                                                                               {Kind::Date, L""},
                                                                               {Kind::Literal, L"] %x "},
                                                                               {Kind::Logger, L""},
                                                                               {Kind::Literal, L"\n"}}));
}

TEST(CustomLayout, SectionsThatCannotConfigureItLeaveItAsItWas) {
  CustomLayout layout(TestHostName);
  ASSERT_EQ(layout.ReadConfiguration(SectionFromText(L"LayoutType = Custom\nFormat = \"<%msg>\"\nHeader = top\n")),
            status::Success);
  const struct {
    const wchar_t* text;
    StatusCode expected;
  } rows[] = {
      {L"Format = x\n", status::ConfigNotFound},
      {L"LayoutType = Custom\n", status::ConfigNotFound},
      {L"LayoutType = custom\nFormat = x\n", status::LayoutTypeMismatch},
      {L"LayoutType = Standard\nFormat = x\n", status::LayoutTypeMismatch},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(layout.ReadConfiguration(SectionFromText(row.text)), row.expected);
    EXPECT_EQ(layout.Format(SampleRecord()), L"<file deleted>");
    EXPECT_EQ(layout.Header(), L"top");
  }
}

TEST(CustomLayout, HeaderAndFooterAreWrittenAsTheyStand) {
  CustomLayout layout(TestHostName);
  ASSERT_EQ(layout.ReadConfiguration(SectionFromText(
                L"LayoutType = Custom\nFormat = %msg\nHeader = \"== %date start \\n\"\nFooter = end\n")),
            status::Success);
  EXPECT_EQ(layout.Header(), L"== %date start \\n");
  EXPECT_EQ(layout.Footer(), L"end");

  ConfigSection written(L"L");
  layout.WriteConfiguration(written);
  CustomLayout copy(TestHostName);
  ASSERT_EQ(copy.ReadConfiguration(written), status::Success);
  EXPECT_EQ(copy.Format(SampleRecord()), L"file deleted");
  EXPECT_EQ(copy.Header(), layout.Header());
  EXPECT_EQ(copy.Footer(), layout.Footer());
  std::wstring type;
  EXPECT_EQ(written.GetValue(L"Type", type), status::Success);
  EXPECT_EQ(type, L"Layout");
}

TEST(RecordLayout, ShowsEveryFieldOfTheRecord) {
  RecordLayout layout(TestHostName);
  LogRecord record = SampleRecord();
  EXPECT_EQ(layout.Format(record),
            L"[Engine.Files] WARN 2024-05-06 07:08:09,123 HOST-7 PID:4321 THID:88 "
            L"ID:{6F1C2B7E-2D4A-4C1B-9E55-0A3C7B1D2E4F}:412.1234.56789.3 MSG:file deleted");

  record.message.clear();
  record.fileId.clear();
  record.line = 0xFFFFFFFF;
  record.severity = 123;
  EXPECT_EQ(layout.Format(record),
            L"[Engine.Files] INFO 2024-05-06 07:08:09,123 HOST-7 PID:4321 THID:88 "
            L"ID:MISSINGFILEID:-1.1234.56789.3 MSG:*");
  EXPECT_EQ(layout.Header(), L"");
  EXPECT_EQ(layout.Footer(), L"");
}

TEST(LayoutSection, EachLayoutTypeCreatesOrRefusesItsLayout) {
  const struct {
    const wchar_t* text;
    StatusCode expected;
    bool created;
    const wchar_t* formatted;  // when the layout can format
  } rows[] = {
      {L"LayoutType = Custom\nFormat = \"%severity: %msg\"\n", status::Success, true, L"WARN: file deleted"},
      {L"LayoutType = Standard\n", status::Success, true, L"2024-05-06 07:08:09,123 HOST-7 file deleted"},
      {L"LayoutType = Standard\nFormat = ignored\n", status::Success, true,
       L"2024-05-06 07:08:09,123 HOST-7 file deleted"},
      {L"LayoutType = Fw\nFormat = %msg\n", status::LayoutTypeMismatch, true, L""},
      {L"LayoutType = Simple\nFormat = %msg\n", status::LayoutTypeUnknown, false, nullptr},
      {L"LayoutType = custom\nFormat = %msg\n", status::LayoutTypeUnknown, false, nullptr},
      {L"Format = %msg\n", status::ConfigNotFound, false, nullptr},
      {L"LayoutType = Custom\n", status::ConfigNotFound, true, L""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    LayoutRegistry layouts;
    EXPECT_EQ(ApplyLayoutSection(layouts, SectionFromText(row.text), TestHostName), row.expected);
    const auto found = layouts.find(L"L");
    ASSERT_EQ(found != layouts.end(), row.created);
    if (row.created) {
      EXPECT_EQ(found->second->Format(SampleRecord()), row.formatted);
    }
  }
}

TEST(LayoutSection, ReconfiguresTheLayoutOfTheSameName) {
  LayoutRegistry layouts;
  ASSERT_EQ(ApplyLayoutSection(layouts, SectionFromText(L"LayoutType = Custom\nFormat = one\n"), TestHostName),
            status::Success);
  const Layout* first = layouts.at(L"L").get();
  ASSERT_EQ(ApplyLayoutSection(layouts, SectionFromText(L"LayoutType = Custom\nFormat = two\n"), TestHostName),
            status::Success);
  EXPECT_EQ(layouts.at(L"L").get(), first);
  EXPECT_EQ(first->Format(SampleRecord()), L"two");

  layouts.emplace(std::wstring(kDefaultLayoutName), std::make_unique<RecordLayout>(TestHostName));
  ConfigSection named{std::wstring(kDefaultLayoutName)};
  named.SetValue(L"LayoutType", L"Custom");
  named.SetValue(L"Format", L"%msg");
  EXPECT_EQ(ApplyLayoutSection(layouts, named, TestHostName), status::LayoutTypeMismatch);
  EXPECT_EQ(static_cast<std::uint32_t>(status::LayoutTypeMismatch), 0xE0010063u);
  EXPECT_EQ(static_cast<std::uint32_t>(status::LayoutTypeUnknown), 0xE001001Du);
}

}  // namespace
}  // namespace zor
