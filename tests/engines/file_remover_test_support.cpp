#include "tests/engines/file_remover_test_support.h"

#include <gtest/gtest.h>

#include "engines/file_item_table.h"
#include "engines/stage_engines.h"

namespace zor::test {

FileStage::FileStage() {
  BindStageEngines(context_);
  context_.logger = log_.logger();
}

FileStage::~FileStage() { context_.logger = nullptr; }

FileRemover& FileStage::remover() { return dynamic_cast<FileRemover&>(*context_.engines.files); }

MachineFolders::MachineFolders(const std::wstring& root)
    : ProgramFiles(root + L"\\Program Files"),
      ProgramFilesX86(root + L"\\Program Files (x86)"),
      ZorDir(ProgramFilesX86 + L"\\ZOR\\ZOR10"),
      ZorAdminDir(ProgramFilesX86 + L"\\ZOR\\ZOR10 Admin"),
      ProgramData(root + L"\\ProgramData"),
      ZorDataDir(ProgramData + L"\\ZOR10"),
      AppData(root + L"\\Users\\admin\\AppData\\Roaming"),
      Windows(root + L"\\Windows"),
      System32(Windows + L"\\System32"),
      SysWow64(Windows + L"\\SysWOW64"),
      Drivers(System32 + L"\\Drivers"),
      CommonDesktop(root + L"\\Users\\Public\\Desktop"),
      CommonPrograms(ProgramData + L"\\Microsoft\\Windows\\Start Menu\\Programs") {}

void PointFoldersAt(const MachineFolders& folders, RunParameters& parameters) {
  parameters.ZorDir = folders.ZorDir;
  parameters.ZorAdminDir = folders.ZorAdminDir;
  parameters.ZorDataDir = folders.ZorDataDir;
  parameters.AppDataDir = folders.AppData;
  parameters.CommonAppDataDir = folders.ProgramData;
  parameters.System32Dir = folders.System32;
  parameters.SysWow64Dir = folders.SysWow64;
  parameters.DriversDir = folders.Drivers;
  parameters.CommonDesktopDir = folders.CommonDesktop;
  parameters.CommonProgramsDir = folders.CommonPrograms;
  parameters.ProgramFilesDir = folders.ProgramFiles;
  parameters.ProgramFilesX86Dir = folders.ProgramFilesX86;
}

void PlaceFolder(const std::wstring& path) {
  for (std::size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
    CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
  }
  CreateDirectoryW(path.c_str(), nullptr);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  ASSERT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) << Narrow(path);
}

void PlaceFile(const std::wstring& path, std::string_view content) {
  PlaceFolder(path.substr(0, path.rfind(L'\\')));
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << Narrow(path);
  DWORD written = 0;
  const BOOL wrote = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(file);
  ASSERT_TRUE(wrote && written == content.size()) << Narrow(path);
}

namespace {

std::string Content(const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<unreadable>";
  std::string content;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) content.append(buffer, read);
  CloseHandle(file);
  return content;
}

void Walk(const std::wstring& folder, const std::wstring& relative, std::map<std::wstring, std::string>& into) {
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    const std::wstring key = relative.empty() ? name : relative + L"\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      into[key + L"@"] = "";  // a link: listed, never entered
    } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      into[key + L"\\"] = "";
      Walk(path, key, into);
    } else {
      into[key] = Content(path);
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

}  // namespace

std::map<std::wstring, std::string> Snapshot(const std::wstring& root) {
  std::map<std::wstring, std::string> snapshot;
  Walk(root, L"", snapshot);
  return snapshot;
}

std::string Describe(const std::map<std::wstring, std::string>& snapshot) {
  std::string text;
  for (const auto& [path, content] : snapshot) text += Narrow(path) + (content.empty() ? "" : " = " + content) + "\n";
  return text;
}

std::vector<int> RowsOf(RunFolder parentDir) {
  std::vector<int> rows;
  const std::span<const FileItem> table = FileItemTable();
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (table[i].parentDir == parentDir) rows.push_back(static_cast<int>(i));
  }
  return rows;
}

}  // namespace zor::test
