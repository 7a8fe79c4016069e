#include "logging/log_file_names.h"

#include "foundation/format_text.h"
#include "foundation/text_case.h"

namespace zor {
namespace {

struct NameParts {
  std::wstring_view folder;  // with its trailing separator
  std::wstring_view stem;
  std::wstring_view extension;  // with its dot; empty when none
};

NameParts SplitName(std::wstring_view path) {
  const std::size_t separator = path.find_last_of(L"\\/");
  const std::size_t nameStart = separator == std::wstring_view::npos ? 0 : separator + 1;
  NameParts parts;
  parts.folder = path.substr(0, nameStart);
  const std::wstring_view name = path.substr(nameStart);
  const std::size_t dot = name.rfind(L'.');
  parts.stem = dot == std::wstring_view::npos ? name : name.substr(0, dot);
  parts.extension = dot == std::wstring_view::npos ? std::wstring_view() : name.substr(dot);
  return parts;
}

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

bool IsDateText(std::wstring_view text) {
  if (text.size() != 10 || text[4] != L'-' || text[7] != L'-') return false;
  for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
    if (!IsDigit(text[i])) return false;
  }
  const int month = (text[5] - L'0') * 10 + (text[6] - L'0');
  const int day = (text[8] - L'0') * 10 + (text[9] - L'0');
  return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

}  // namespace

bool HasRootedPath(std::wstring_view path) {
  if (path.size() >= 2 && path[1] == L':' &&
      ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'))) {
    return true;
  }
  return path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\';
}

std::wstring NumberedFileName(std::wstring_view path, std::uint32_t number) {
  return std::wstring(path) + FormatText(L".%u", number);
}

std::wstring DatedFileName(std::wstring_view path, const TimeParts& date, std::uint32_t number) {
  const NameParts parts = SplitName(path);
  std::wstring name(parts.folder);
  name.append(parts.stem);
  name.append(FormatText(L".%04d-%02d-%02d", date.year, date.month, date.day));
  if (number > 0) name.append(FormatText(L"-%u", number));
  name.append(parts.extension);
  return name;
}

std::wstring DatedFileMask(std::wstring_view path) {
  const NameParts parts = SplitName(path);
  std::wstring mask(parts.stem);
  mask.append(L".*-*-*");
  mask.append(parts.extension);
  return mask;
}

bool IsDatedFileName(std::wstring_view path, std::wstring_view name) {
  const NameParts parts = SplitName(path);
  const std::size_t shortest = parts.stem.size() + 11 + parts.extension.size();
  if (name.size() < shortest) return false;
  if (!EqualsFoldingAscii(name.substr(0, parts.stem.size()), parts.stem)) return false;
  if (name[parts.stem.size()] != L'.') return false;
  if (!EqualsFoldingAscii(name.substr(name.size() - parts.extension.size()), parts.extension)) return false;
  if (!IsDateText(name.substr(parts.stem.size() + 1, 10))) return false;
  // What lies between the date and the extension: nothing, or "-" and a
  // number that does not start with 0.
  const std::wstring_view number =
      name.substr(parts.stem.size() + 11, name.size() - shortest);
  if (number.empty()) return true;
  if (number.size() < 2 || number.size() > 11 || number[0] != L'-' || number[1] == L'0') return false;
  for (const wchar_t c : number.substr(1)) {
    if (c < L'0' || c > L'9') return false;
  }
  return true;
}

std::wstring_view FolderOfPath(std::wstring_view path) {
  const std::size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring_view::npos ? std::wstring_view() : path.substr(0, separator);
}

}  // namespace zor
