// The built-in log configuration, made for the program's folder: whatever
// a Windows folder may be called, the file appender must get that folder's
// zorremover.log, the text must read without errors, and nothing but the
// file name may depend on the folder.
//
// Input: the first line, after "C:\", is the folder. Characters no Windows
// path can hold (controls, quotation marks, < > | * ? and ":" after the
// drive) are taken out.
#include <cstdint>
#include <string>

#include "app/log_configuration.h"
#include "logging/config_document.h"
#include "tests/fuzz/fuzz_support.h"

namespace zor {
namespace {

using fuzz::Printable;
using fuzz::Require;

std::wstring ProgramFolder(std::wstring_view line) {
  std::wstring folder = L"C:\\";
  for (wchar_t c : line) {
    if (c < 0x20 || c == L'"' || c == L'<' || c == L'>' || c == L'|' || c == L'*' || c == L'?' || c == L':') continue;
    folder.push_back(c);
  }
  return folder;
}

std::string Describe(const ConfigDocument& document) {
  std::string text;
  for (const auto& [name, section] : document.Sections()) {
    text += "[" + Printable(name) + "]";
    for (const auto& [keyName, key] : section.Keys()) text += " " + Printable(keyName) + "=" + Printable(key.value);
  }
  for (const ConfigLineError& error : document.Errors()) text += " error line " + std::to_string(error.line);
  return text;
}

// Every section and key, the file name left out.
std::wstring Skeleton(const ConfigDocument& document) {
  std::wstring text;
  for (const auto& [name, section] : document.Sections()) {
    text += L"[" + name + L"]";
    for (const auto& [keyName, key] : section.Keys()) {
      if (name == L"FileAppender" && keyName == L"FileName") continue;
      text += keyName + L"=" + key.value + L"|" + key.inlineComment + L"|" + key.comment + L";";
    }
  }
  return text;
}

void Check(std::wstring_view line) {
  const std::wstring folder = ProgramFolder(line);
  const std::wstring text = BuiltInLogConfiguration(folder);
  const ConfigDocument document = ConfigDocument::FromText(text);
  Require(document.Errors().empty(), "reads-without-errors",
          [&] { return Printable(folder) + ": " + Describe(document); });

  const ConfigSection* appender = document.FindSection(L"FileAppender");
  const ConfigKey* fileName = appender ? appender->FindKey(L"FileName") : nullptr;
  const std::wstring expected = folder + L"\\zorremover.log";
  Require(fileName && fileName->value == expected, "log-file-in-program-folder", [&] {
    return "folder " + Printable(folder) + " gave the file name " +
           (fileName ? Printable(fileName->value) : std::string("(none)"));
  });

  static const std::wstring reference = Skeleton(ConfigDocument::FromText(BuiltInLogConfiguration(L"C:\\Tools")));
  const std::wstring skeleton = Skeleton(document);
  Require(skeleton == reference, "folder-changes-only-file-name",
          [&] { return Printable(folder) + ": " + Describe(document); });
}

}  // namespace
}  // namespace zor

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::wstring text = zor::fuzz::WideFromBytes(data, size);
  zor::Check(zor::fuzz::Fields(text)[0]);
  return 0;
}
