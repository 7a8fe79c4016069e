#include "logging/custom_layout.h"

#include <array>

#include "foundation/format_text.h"
#include "foundation/text_case.h"
#include "logging/log_status.h"
#include "logging/log_time.h"

namespace zor {
namespace {

struct TokenName {
  std::wstring_view name;
  FormatPart::Kind kind;
};

constexpr std::array<TokenName, 11> kTokens{{
    {L"logger", FormatPart::Kind::Logger},
    {L"severity", FormatPart::Kind::Severity},
    {L"hostname", FormatPart::Kind::HostName},
    {L"date", FormatPart::Kind::Date},
    {L"time", FormatPart::Kind::Time},
    {L"filename", FormatPart::Kind::FileName},
    {L"line", FormatPart::Kind::Line},
    {L"buildnr", FormatPart::Kind::BuildNumber},
    {L"svnrev", FormatPart::Kind::Revision},
    {L"msg", FormatPart::Kind::Message},
    {L"product", FormatPart::Kind::Product},
}};

void AppendLiteral(std::vector<FormatPart>& parts, std::wstring_view text) {
  if (parts.empty() || parts.back().kind != FormatPart::Kind::Literal) parts.push_back({FormatPart::Kind::Literal, {}});
  parts.back().text.append(text);
}

std::wstring Decimal(std::uint32_t value) { return FormatText(L"%u", value); }

}  // namespace

std::vector<FormatPart> CompileFormat(std::wstring_view format) {
  std::vector<FormatPart> parts;
  std::size_t i = 0;
  while (i < format.size()) {
    const wchar_t c = format[i];
    if (c == L'\\' && i + 1 < format.size() && format[i + 1] == L'n') {
      AppendLiteral(parts, L"\n");
      i += 2;
      continue;
    }
    if (c != L'%') {
      AppendLiteral(parts, format.substr(i, 1));
      ++i;
      continue;
    }
    if (i + 1 < format.size() && format[i + 1] == L'%') {
      AppendLiteral(parts, L"%");
      i += 2;
      continue;
    }
    const std::wstring_view rest = format.substr(i + 1);
    const TokenName* match = nullptr;
    for (const TokenName& token : kTokens) {
      if (rest.size() >= token.name.size() && EqualsFoldingAscii(rest.substr(0, token.name.size()), token.name)) {
        match = &token;
        break;
      }
    }
    if (match) {
      parts.push_back({match->kind, {}});
      i += 1 + match->name.size();
    } else {
      AppendLiteral(parts, L"%");
      ++i;
    }
  }
  return parts;
}

CustomLayout::CustomLayout(HostNameSource hostName) : hostName_(hostName) {
  compiled_.store(std::make_shared<const Compiled>(), std::memory_order_release);
}

std::wstring CustomLayout::Format(const LogRecord& record) const {
  const std::shared_ptr<const Compiled> compiled = Current();
  std::wstring text;
  text.reserve(128 + record.message.size());
  bool haveTime = false;
  TimeParts time;
  auto recordTime = [&]() -> const TimeParts& {
    if (!haveTime) time = SplitTime(record.time);
    haveTime = true;
    return time;
  };
  for (const FormatPart& part : compiled->parts) {
    switch (part.kind) {
      case FormatPart::Kind::Literal:
        text.append(part.text);
        break;
      case FormatPart::Kind::Logger:
        text.append(record.loggerName);
        break;
      case FormatPart::Kind::Severity:
        text.append(SeverityName(record.severity));
        break;
      case FormatPart::Kind::HostName:
        if (hostName_) text.append(hostName_());
        break;
      case FormatPart::Kind::Date: {
        const TimeParts& t = recordTime();
        text.append(FormatText(L"%04u-%02u-%02u", static_cast<unsigned>(t.year), static_cast<unsigned>(t.month),
                               static_cast<unsigned>(t.day)));
        break;
      }
      case FormatPart::Kind::Time: {
        const TimeParts& t = recordTime();
        text.append(FormatText(L"%02u:%02u:%02u,%03u", static_cast<unsigned>(t.hour), static_cast<unsigned>(t.minute),
                               static_cast<unsigned>(t.second), static_cast<unsigned>(t.millisecond)));
        break;
      }
      case FormatPart::Kind::FileName:
        text.append(record.fileId);
        break;
      case FormatPart::Kind::Line:
        text.append(Decimal(record.line));
        break;
      case FormatPart::Kind::BuildNumber:
        text.append(Decimal(record.buildNumber));
        break;
      case FormatPart::Kind::Revision:
        text.append(Decimal(record.revision));
        break;
      case FormatPart::Kind::Message:
        text.append(record.message);
        break;
      case FormatPart::Kind::Product:
        text.append(Decimal(record.product));
        break;
    }
  }
  return text;
}

StatusCode CustomLayout::ReadConfiguration(const ConfigSection& section) {
  std::wstring type;
  StatusCode result = section.GetValue(L"LayoutType", type);
  if (IsFailure(result)) return result;
  if (type != L"Custom") return status::LayoutTypeMismatch;
  auto compiled = std::make_shared<Compiled>();
  result = section.GetValue(L"Format", compiled->format);
  if (IsFailure(result)) return result;
  compiled->parts = CompileFormat(compiled->format);
  section.GetValue(L"Header", compiled->header);
  section.GetValue(L"Footer", compiled->footer);
  compiled_.store(std::move(compiled), std::memory_order_release);
  return status::Success;
}

void CustomLayout::WriteConfiguration(ConfigSection& section) const {
  const std::shared_ptr<const Compiled> compiled = Current();
  section.SetValue(L"Type", L"Layout");
  section.SetValue(L"LayoutType", L"Custom");
  section.SetValue(L"Format", compiled->format);
  if (!compiled->header.empty()) section.SetValue(L"Header", compiled->header);
  if (!compiled->footer.empty()) section.SetValue(L"Footer", compiled->footer);
}

std::wstring CustomLayout::Header() const { return Current()->header; }
std::wstring CustomLayout::Footer() const { return Current()->footer; }

}  // namespace zor
