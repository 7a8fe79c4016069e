#include "platform/console_output.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/native_types.h"

namespace zor {
namespace {

// Points the process's standard output at a temporary file for one test.
class CapturedOutput {
 public:
  CapturedOutput() {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"zco", 0, path_);
    file_ = CreateFileW(path_, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    saved_ = GetStdHandle(STD_OUTPUT_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, file_);
  }
  ~CapturedOutput() {
    SetStdHandle(STD_OUTPUT_HANDLE, saved_);
    CloseHandle(file_);
    DeleteFileW(path_);
  }

  std::string Bytes() const {
    std::string bytes(GetFileSize(file_, nullptr), '\0');
    SetFilePointer(file_, 0, nullptr, FILE_BEGIN);
    DWORD read = 0;
    ReadFile(file_, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    bytes.resize(read);
    return bytes;
  }

 private:
  wchar_t path_[MAX_PATH]{};
  HANDLE file_ = INVALID_HANDLE_VALUE;
  HANDLE saved_ = nullptr;
};

TEST(PrintConsole, WritesFormattedTextInTheOemCodePage) {
  ASSERT_EQ(GetOEMCP(), 437u) << "the expected bytes below are code page 437";
  CapturedOutput captured;
  ASSERT_EQ(PrintConsole(L"%s: %d (%08x)\n", L"K\u00e4se", 5, static_cast<std::int32_t>(0xE0010002)), status::Success);
  EXPECT_EQ(captured.Bytes(), std::string("K\x84se: 5 (e0010002)\n"));
}

TEST(PrintConsole, LongTextArrivesWhole) {
  std::wstring text(70000, L'a');
  text[32765] = static_cast<wchar_t>(0xD83D);  // a pair across the first chunk edge
  text[32766] = static_cast<wchar_t>(0xDE00);
  text[69999] = L'z';
  CapturedOutput captured;
  ASSERT_EQ(WriteConsoleText(text), status::Success);
  const std::string bytes = captured.Bytes();
  // Wine turns each half of a pair into its own '?'; Windows makes one of the pair.
  ASSERT_GE(bytes.size(), 69999u);
  EXPECT_EQ(bytes.back(), 'z');
  EXPECT_EQ(bytes.substr(0, 5), "aaaaa");
}

TEST(PrintConsole, WithoutAStandardOutputNothingIsWritten) {
  const HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
  SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
  const StatusCode result = PrintConsole(L"lost %d\n", 1);
  SetStdHandle(STD_OUTPUT_HANDLE, saved);
  EXPECT_EQ(result, status::Success);
}

TEST(PrintConsole, AFailedWriteReturnsItsConvertedError) {
  // A handle opened for reading only cannot be written.
  wchar_t folder[MAX_PATH];
  wchar_t path[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  GetTempFileNameW(folder, L"zro", 0, path);
  const HANDLE readOnly = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(readOnly, INVALID_HANDLE_VALUE);
  const HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
  SetStdHandle(STD_OUTPUT_HANDLE, readOnly);
  const StatusCode result = PrintConsole(L"refused\n");
  SetStdHandle(STD_OUTPUT_HANDLE, saved);
  CloseHandle(readOnly);
  DeleteFileW(path);
  EXPECT_EQ(static_cast<std::uint32_t>(result), 0xE0010058u);  // access denied
}

}  // namespace
}  // namespace zor
