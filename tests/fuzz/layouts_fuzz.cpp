// Layouts. A Format text compiles into canonical parts (no empty or
// adjacent literal parts) that write back into a Format text compiling the
// same. A record's line is the lines of its parts one after another. A
// layout written to a section and read back formats the same, and a section
// it refuses leaves it as it was. Dates and times show the record's instant
// in range and in full. The fixed record layout shows every field.
//
// Input lines: format, logger, message, file id, header, footer, host name,
// then numbers: time, line, build, revision, product, severity, process id,
// thread id.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "logging/custom_layout.h"
#include "logging/log_status.h"
#include "logging/log_time.h"
#include "logging/record_layout.h"
#include "tests/fuzz/fuzz_support.h"

namespace zor {
namespace {

using fuzz::FieldAt;
using fuzz::Printable;
using fuzz::Require;

std::wstring hostName;
const std::wstring& HostName() { return hostName; }

struct TokenSpelling {
  FormatPart::Kind kind;
  std::wstring_view name;
};

constexpr std::array<TokenSpelling, 11> kSpellings{{
    {FormatPart::Kind::Logger, L"logger"},
    {FormatPart::Kind::Severity, L"severity"},
    {FormatPart::Kind::HostName, L"hostname"},
    {FormatPart::Kind::Date, L"date"},
    {FormatPart::Kind::Time, L"time"},
    {FormatPart::Kind::FileName, L"filename"},
    {FormatPart::Kind::Line, L"line"},
    {FormatPart::Kind::BuildNumber, L"buildnr"},
    {FormatPart::Kind::Revision, L"svnrev"},
    {FormatPart::Kind::Message, L"msg"},
    {FormatPart::Kind::Product, L"product"},
}};

std::wstring_view SpellingOf(FormatPart::Kind kind) {
  for (const TokenSpelling& spelling : kSpellings) {
    if (spelling.kind == kind) return spelling.name;
  }
  return {};
}

// The Format text of compiled parts, with every literal "%" doubled.
std::wstring FormatOf(const std::vector<FormatPart>& parts) {
  std::wstring format;
  for (const FormatPart& part : parts) {
    if (part.kind != FormatPart::Kind::Literal) {
      format += L'%';
      format += SpellingOf(part.kind);
      continue;
    }
    for (wchar_t c : part.text) format += c == L'%' ? std::wstring(L"%%") : std::wstring(1, c);
  }
  return format;
}

std::string Describe(const std::vector<FormatPart>& parts) {
  std::string text;
  for (const FormatPart& part : parts) {
    text += part.kind == FormatPart::Kind::Literal ? Printable(part.text)
                                                   : "%" + Printable(SpellingOf(part.kind));
    text += " ";
  }
  return text;
}

ConfigSection LayoutSection(std::wstring_view type, std::wstring_view format, std::wstring_view header,
                            std::wstring_view footer) {
  ConfigSection section(L"Layout");
  section.SetValue(L"LayoutType", type);
  section.SetValue(L"Format", format);
  if (!header.empty()) section.SetValue(L"Header", header);
  if (!footer.empty()) section.SetValue(L"Footer", footer);
  return section;
}

std::wstring LineOf(std::wstring_view format, const LogRecord& record) {
  CustomLayout layout(&HostName);
  layout.ReadConfiguration(LayoutSection(L"Custom", format, {}, {}));
  return layout.Format(record);
}

void CheckCompiledParts(std::wstring_view format) {
  const std::vector<FormatPart> parts = CompileFormat(format);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const bool literal = parts[i].kind == FormatPart::Kind::Literal;
    const bool canonical = literal ? !parts[i].text.empty() && (i == 0 || parts[i - 1].kind != FormatPart::Kind::Literal)
                                   : parts[i].text.empty();
    Require(canonical, "compiled-parts-canonical", [&] { return Printable(format) + ": " + Describe(parts); });
  }
  const std::wstring written = FormatOf(parts);
  const std::vector<FormatPart> again = CompileFormat(written);
  Require(again == parts, "format-text-round-trip", [&] {
    return Printable(format) + " compiled to " + Describe(parts) + ", written as " + Printable(written) +
           " compiled to " + Describe(again);
  });
}

void CheckLayout(const std::vector<std::wstring>& fields, const LogRecord& record) {
  const std::wstring_view format = FieldAt(fields, 0);
  const std::wstring_view header = FieldAt(fields, 4);
  const std::wstring_view footer = FieldAt(fields, 5);
  CustomLayout layout(&HostName);
  const StatusCode read = layout.ReadConfiguration(LayoutSection(L"Custom", format, header, footer));
  Require(read == status::Success, "custom-section-read", [&] { return Printable(format); });
  const std::wstring line = layout.Format(record);

  // Each token's line on its own, made once: a format may hold thousands.
  std::array<std::wstring, kSpellings.size()> tokenLines;
  for (std::size_t i = 0; i < kSpellings.size(); ++i) {
    tokenLines[i] = LineOf(L"%" + std::wstring(kSpellings[i].name), record);
  }
  std::wstring composed;
  for (const FormatPart& part : CompileFormat(format)) {
    if (part.kind == FormatPart::Kind::Literal) {
      composed += part.text;
      continue;
    }
    for (std::size_t i = 0; i < kSpellings.size(); ++i) {
      if (kSpellings[i].kind == part.kind) composed += tokenLines[i];
    }
  }
  Require(line == composed, "line-is-its-parts",
          [&] { return Printable(format) + " gave " + Printable(line) + ", its parts " + Printable(composed); });

  ConfigSection written(L"Written");
  layout.WriteConfiguration(written);
  CustomLayout copy(&HostName);
  const StatusCode copied = copy.ReadConfiguration(written);
  Require(copied == status::Success && copy.Format(record) == line && copy.Header() == layout.Header() &&
              copy.Footer() == layout.Footer() && layout.Header() == header && layout.Footer() == footer,
          "section-round-trip", [&] { return Printable(format) + " copied as " + Printable(copy.Format(record)); });

  // Sections the layout refuses: another type (names compare exactly) and
  // no Format at all.
  ConfigSection withoutFormat(L"Layout");
  withoutFormat.SetValue(L"LayoutType", L"Custom");
  const StatusCode refusedType = layout.ReadConfiguration(LayoutSection(L"custom", L"%msg!", L"h", L"f"));
  const StatusCode refusedFormat = layout.ReadConfiguration(withoutFormat);
  Require(refusedType == status::LayoutTypeMismatch && refusedFormat == status::ConfigNotFound &&
              layout.Format(record) == line && layout.Header() == header && layout.Footer() == footer,
          "refused-section-keeps-layout", [&] { return Printable(format); });
}

bool ReadDigits(std::wstring_view& text, std::size_t minimum, std::size_t maximum, int& value) {
  std::size_t count = 0;
  value = 0;
  while (count < text.size() && count < maximum && text[count] >= L'0' && text[count] <= L'9') {
    value = value * 10 + (text[count] - L'0');
    ++count;
  }
  text.remove_prefix(count);
  return count >= minimum;
}

bool ReadMark(std::wstring_view& text, wchar_t mark) {
  if (text.empty() || text[0] != mark) return false;
  text.remove_prefix(1);
  return true;
}

// "yyyy-mm-dd hh:mm:ss,mmm": every field in range, the year in four digits
// or more, and together the record's instant to the millisecond.
void CheckInstant(const LogRecord& record) {
  const std::wstring shown = LineOf(L"%date %time", record);
  std::wstring_view rest = shown;
  TimeParts parts;
  const bool shape = ReadDigits(rest, 4, 5, parts.year) && ReadMark(rest, L'-') && ReadDigits(rest, 2, 2, parts.month) &&
                     ReadMark(rest, L'-') && ReadDigits(rest, 2, 2, parts.day) && ReadMark(rest, L' ') &&
                     ReadDigits(rest, 2, 2, parts.hour) && ReadMark(rest, L':') && ReadDigits(rest, 2, 2, parts.minute) &&
                     ReadMark(rest, L':') && ReadDigits(rest, 2, 2, parts.second) && ReadMark(rest, L',') &&
                     ReadDigits(rest, 3, 3, parts.millisecond) && rest.empty();
  const bool inRange = parts.year >= 1601 && parts.month >= 1 && parts.month <= 12 && parts.day >= 1 &&
                       parts.day <= 31 && parts.hour <= 23 && parts.minute <= 59 && parts.second <= 59;
  const std::int64_t instant = record.time < 0 ? 0 : record.time - record.time % kTimeUnitsPerMillisecond;
  Require(shape && inRange && JoinTime(parts) == instant, "date-and-time-shown",
          [&] { return std::to_string(record.time) + " shown as " + Printable(shown); });
}

void CheckRecordLayout(const LogRecord& record) {
  const RecordLayout layout(&HostName);
  const std::wstring line = layout.Format(record);
  auto number = [](std::uint32_t value) { return std::to_wstring(static_cast<std::int32_t>(value)); };
  const std::wstring expected =
      L"[" + record.loggerName + L"] " + std::wstring(SeverityName(record.severity)) + L" " +
      LineOf(L"%date %time", record) + L" " + hostName + L" PID:" + number(record.processId) + L" THID:" +
      number(record.threadId) + L" ID:" + (record.fileId.empty() ? std::wstring(L"MISSINGFILEID") : record.fileId) +
      L":" + number(record.line) + L"." + number(record.buildNumber) + L"." + number(record.revision) + L"." +
      number(record.product) + L" MSG:" + (record.message.empty() ? std::wstring(L"*") : record.message);
  Require(line == expected, "record-layout-line",
          [&] { return Printable(line) + ", expected " + Printable(expected); });
}

}  // namespace
}  // namespace zor

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using zor::fuzz::FieldAt;
  using zor::fuzz::NumberFromField;
  const std::vector<std::wstring> fields = zor::fuzz::Fields(zor::fuzz::WideFromBytes(data, size));
  zor::hostName = std::wstring(FieldAt(fields, 6));
  zor::LogRecord record;
  record.loggerName = std::wstring(FieldAt(fields, 1));
  record.message = std::wstring(FieldAt(fields, 2));
  record.fileId = std::wstring(FieldAt(fields, 3));
  record.time = NumberFromField(FieldAt(fields, 7));
  record.line = static_cast<std::uint32_t>(NumberFromField(FieldAt(fields, 8)));
  record.buildNumber = static_cast<std::uint32_t>(NumberFromField(FieldAt(fields, 9)));
  record.revision = static_cast<std::uint32_t>(NumberFromField(FieldAt(fields, 10)));
  record.product = static_cast<std::uint32_t>(NumberFromField(FieldAt(fields, 11)));
  record.severity = static_cast<zor::Severity>(NumberFromField(FieldAt(fields, 12)));
  record.processId = static_cast<std::uint32_t>(NumberFromField(FieldAt(fields, 13)));
  record.threadId = static_cast<std::uint32_t>(NumberFromField(FieldAt(fields, 14)));

  zor::CheckCompiledParts(FieldAt(fields, 0));
  zor::CheckLayout(fields, record);
  zor::CheckInstant(record);
  zor::CheckRecordLayout(record);
  return 0;
}
