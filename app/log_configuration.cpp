#include "app/log_configuration.h"

namespace zor {
namespace {

constexpr std::wstring_view kConfigurationLines[] = {
    L"[root]",
    L"Type = Logger",
    L"Severity = All",
    L"[ZorRemover]",
    L"Type = Logger",
    L"Severity = All",
    L"AddAppenders = FileAppender,ConsoleAppender",
    L"Additive = false",
    L"[SimpleLayout]",
    L"Type = Layout",
    L"LayoutType = Custom",
    L"Format = \"%date %time %severity %msg\"",
    L"[FileAppender]",
    L"Type = Appender",
    L"AppenderType = File",
    // Quoted: a ";" in the program's folder would otherwise start a comment
    // and cut the file name, and blanks would split it into several tokens.
    L"FileName = \"{DIR}\\zorremover.log\"",
    L"Layout = SimpleLayout",
    L"[ConsoleAppender]",
    L"Type = Appender",
    L"BreakSeverity = Info",
    L"AppenderType = Console",
    L"Target = System.out",
    L"Layout = SimpleLayout",
};

constexpr std::wstring_view kFolderMark = L"{DIR}";

// Inside a quoted configuration value only a quotation mark needs escaping.
std::wstring QuotableFolder(std::wstring_view folder) {
  std::wstring text;
  for (wchar_t c : folder) {
    if (c == L'"') text.push_back(L'\\');
    text.push_back(c);
  }
  return text;
}

}  // namespace

std::wstring BuiltInLogConfiguration(std::wstring_view programFolder) {
  const std::wstring folder = QuotableFolder(programFolder);
  std::wstring text;
  for (std::wstring_view line : kConfigurationLines) {
    std::size_t start = 0;
    for (std::size_t mark = line.find(kFolderMark); mark != std::wstring_view::npos;
         mark = line.find(kFolderMark, start)) {
      text.append(line.substr(start, mark - start));
      text.append(folder);
      start = mark + kFolderMark.size();
    }
    text.append(line.substr(start));
    text.push_back(L'\n');
  }
  return text;
}

}  // namespace zor
