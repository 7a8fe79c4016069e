#include "tests/logging/logging_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "platform/tree_delete.h"
#include "tests/support/line_checks.h"

namespace zor::test {
namespace {

nt::ProcessParameters* OwnParameters() {
  return reinterpret_cast<nt::ProcessParameters*>(nt::CurrentPeb()->ProcessParameters);
}

std::wstring CurrentTestName() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  if (!info) return L"none";
  std::string name = std::string(info->test_suite_name()) + "-" + info->name();
  return std::wstring(name.begin(), name.end());
}

}  // namespace

TestFolder::TestFolder() {
  path_ = L"C:\\zorlog-" + std::to_wstring(GetCurrentProcessId()) + L"-" + CurrentTestName();
  DeleteTree(path_, true);
  CreateDirectoryW(path_.c_str(), nullptr);
}

TestFolder::~TestFolder() { DeleteTree(path_, true); }

std::wstring UniqueName(std::wstring_view prefix) { return std::wstring(prefix) + L"." + CurrentTestName(); }

bool FileExistsAt(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadFileBytes(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes.append(buffer, read);
  CloseHandle(file);
  return bytes;
}

std::vector<std::wstring> ReadLogLines(const std::wstring& path, bool* wellFormed) {
  const std::string bytes = ReadFileBytes(path);
  bool ok = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
            static_cast<unsigned char>(bytes[1]) == 0xFE && bytes.size() % 2 == 0;
  std::wstring text;
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    text.push_back(
        static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  }
  std::vector<std::wstring> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find(L"\r\n", start);
    if (end == std::wstring::npos) {
      ok = false;
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  if (wellFormed) *wellFormed = ok;
  return lines;
}

std::vector<std::wstring> FilesIn(const std::wstring& folder, const std::wstring& mask) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\" + mask).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

void SetFileTimes(const std::wstring& path, std::int64_t time) {
  HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  FILETIME stamp;
  stamp.dwLowDateTime = static_cast<DWORD>(time);
  stamp.dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(time) >> 32);
  EXPECT_TRUE(SetFileTime(file, &stamp, &stamp, &stamp));
  CloseHandle(file);
}

std::int64_t CreationTimeOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(data.ftCreationTime.dwHighDateTime) << 32) |
                                   data.ftCreationTime.dwLowDateTime);
}

std::int64_t NowUtc() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
}

StandardHandleCapture::StandardHandleCapture() {
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), nullptr, FALSE};
  CreatePipe(&outputRead_, &outputWrite_, &attributes, 1 << 20);
  CreatePipe(&errorRead_, &errorWrite_, &attributes, 1 << 20);
  nt::ProcessParameters* parameters = OwnParameters();
  oldOutput_ = parameters->StandardOutput;
  oldError_ = parameters->StandardError;
  parameters->StandardOutput = outputWrite_;
  parameters->StandardError = errorWrite_;
}

namespace {

std::string Drain(HANDLE read) {
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(read, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
  return bytes;
}

}  // namespace

void StandardHandleCapture::Finish(std::string& output, std::string& error) {
  if (finished_) return;
  finished_ = true;
  nt::ProcessParameters* parameters = OwnParameters();
  parameters->StandardOutput = oldOutput_;
  parameters->StandardError = oldError_;
  CloseHandle(outputWrite_);
  CloseHandle(errorWrite_);
  output = Drain(outputRead_);
  error = Drain(errorRead_);
  CloseHandle(outputRead_);
  CloseHandle(errorRead_);
}

StandardHandleCapture::~StandardHandleCapture() {
  std::string output;
  std::string error;
  Finish(output, error);
}

bool RunningUnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

LogManager& Manager() {
  LogManager* manager = LogManager::Instance();
  if (!manager) std::abort();
  return *manager;
}

CapturedLog::CapturedLog(const TestFolder& folder, std::wstring_view fileName) : path_(folder.File(fileName)) {
  StatusCode result = status::GenericFailure;
  manager_ = LogManager::CreateSeparate(result);
  EXPECT_EQ(result, status::Success);
  if (!manager_) return;
  EXPECT_EQ(manager_->Configure(L"[Out]\nType = Appender\nAppenderType = File\nLayout = L\nFileName = " + path_ +
                                L"\n[L]\nType = Layout\nLayoutType = Custom\nFormat = \"%severity "
                                L"%msg\"\n[Run]\nSeverity = All\nAddAppenders = Out\n"),
            status::Success);
  logger_ = manager_->GetLogger(L"Run");
}

std::vector<std::string> CapturedLog::Lines() {
  std::vector<std::string> lines;
  if (!manager_) return lines;
  if (Appender* out = manager_->FindAppender(L"Out")) out->Close();
  if (!FileExistsAt(path_)) return lines;
  for (const std::wstring& line : ReadLogLines(path_)) lines.push_back(Narrow(line));
  return lines;
}

std::size_t ReadWriterRecords(const std::wstring& folder, const std::vector<std::wstring>& files,
                              std::map<std::wstring, std::set<int>>& seen) {
  const std::wregex record(LR"(([AB]) (\d{6}) x{40})");
  std::size_t lines = 0;
  for (const std::wstring& name : files) {
    bool wellFormed = false;
    for (const std::wstring& line : ReadLogLines(folder + L"\\" + name, &wellFormed)) {
      ++lines;
      std::wsmatch match;
      if (!std::regex_match(line, match, record)) {
        ADD_FAILURE() << "a line that is no whole record in " << std::string(name.begin(), name.end());
        continue;
      }
      EXPECT_TRUE(seen[match[1].str()].insert(std::stoi(match[2].str())).second) << "repeated line";
    }
    EXPECT_TRUE(wellFormed) << std::string(name.begin(), name.end());
  }
  return lines;
}

}  // namespace zor::test
