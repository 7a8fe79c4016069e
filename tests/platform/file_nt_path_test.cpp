#include "platform/nt_path.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/native_api.h"
#include "tests/platform/file_test_support.h"

namespace zor {
namespace {

using test::Narrow;

std::wstring CurrentDirectory() {
  wchar_t buffer[MAX_PATH];
  const DWORD length = GetCurrentDirectoryW(MAX_PATH, buffer);
  return std::wstring(buffer, length);
}

std::wstring WithoutTrailingSeparator(std::wstring path) {
  if (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

TEST(FileNtPath, DosAndNtPathsConvert) {
  const std::wstring current = WithoutTrailingSeparator(CurrentDirectory());
  ASSERT_GE(current.size(), 2u);
  const std::wstring drive = current.substr(0, 2);
  const std::wstring longComponent(120, L'x');
  const std::wstring longPath = L"C:\\" + longComponent + L"\\" + longComponent + L"\\" + longComponent + L"\\f.txt";
  const struct {
    std::wstring path;
    std::wstring expected;
  } rows[] = {
      {L"\\??\\C:\\dir\\file", L"\\??\\C:\\dir\\file"},
      {L"\\??\\C:/dir/../x", L"\\??\\C:/dir/../x"},  // an NT path is taken as it is
      {L"\\Device\\HarddiskVolume1\\x", L"\\Device\\HarddiskVolume1\\x"},
      {L"C:\\dir\\file", L"\\??\\C:\\dir\\file"},
      {L"c:\\dir\\file", L"\\??\\c:\\dir\\file"},
      {L"C:/dir/file", L"\\??\\C:\\dir\\file"},
      {L"C:\\a\\..\\b\\.\\c", L"\\??\\C:\\b\\c"},
      {L"C:\\dir\\", L"\\??\\C:\\dir\\"},
      {L"\\dir\\file", L"\\??\\" + drive + L"\\dir\\file"},
      {L"/dir/file", L"\\??\\" + drive + L"\\dir\\file"},
      {L"rel\\file", L"\\??\\" + current + L"\\rel\\file"},
      {L"\\\\server\\share\\x", L"\\??\\UNC\\server\\share\\x"},
      {L"//server/share/x", L"\\??\\UNC\\server\\share\\x"},
      {L"\\\\?\\C:\\x", L"\\??\\C:\\x"},
      {L"\\\\.\\pipe\\p", L"\\??\\pipe\\p"},
      {longPath, L"\\??\\" + longPath},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.path));
    NtPath ntPath;
    ASSERT_EQ(ToNtPath(row.path, ntPath), status::Success);
    EXPECT_EQ(std::wstring(ntPath.view()), row.expected);
    EXPECT_EQ(ntPath.get()->Length, row.expected.size() * sizeof(wchar_t));
  }
}

TEST(FileNtPath, FilePartIsTheLastComponent) {
  const struct {
    const wchar_t* path;
    const wchar_t* filePart;
  } rows[] = {
      {L"C:\\dir\\*.txt", L"*.txt"},
      {L"\\??\\C:\\dir\\zor*.*", L"zor*.*"},
      {L"\\\\server\\share\\*", L"*"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.path));
    NtPath ntPath;
    std::size_t filePart = 99;
    ASSERT_EQ(ToNtPathWithFilePart(row.path, ntPath, filePart), status::Success);
    EXPECT_EQ(std::wstring(ntPath.view().substr(filePart)), row.filePart);
  }
}

TEST(FileNtPath, FailuresLeaveThePathAlone) {
  NtPath ntPath;
  ASSERT_EQ(ToNtPath(L"C:\\kept", ntPath), status::Success);
  EXPECT_EQ(static_cast<std::uint32_t>(ToNtPath(L"", ntPath)), 0xE0010002u);
  EXPECT_EQ(std::wstring(ntPath.view()), L"\\??\\C:\\kept");

  std::size_t filePart = 7;
  EXPECT_EQ(static_cast<std::uint32_t>(ToNtPathWithFilePart(L"\\??\\C:\\dir\\", ntPath, filePart)), 0xE001003Eu);
  EXPECT_EQ(filePart, 7u);
  EXPECT_EQ(std::wstring(ntPath.view()), L"\\??\\C:\\kept");
}

BOOLEAN NTAPI RefuseConversion(PCWSTR, PUNICODE_STRING, PCWSTR*, PVOID) { return FALSE; }

TEST(FileNtPath, ARefusedConversionIsAMissingPath) {
  test::SwappedEntry swap(Native().RtlDosPathNameToNtPathName_U, &RefuseConversion);
  for (const wchar_t* path : {L"C:\\dir", L"rel", L"\\\\server\\share"}) {
    SCOPED_TRACE(Narrow(path));
    NtPath ntPath;
    EXPECT_EQ(static_cast<std::uint32_t>(ToNtPath(path, ntPath)), 0xE001003Eu);
    EXPECT_TRUE(ntPath.empty());
  }
  // An NT path needs no conversion.
  NtPath ntPath;
  EXPECT_EQ(ToNtPath(L"\\??\\C:\\dir", ntPath), status::Success);
}

}  // namespace
}  // namespace zor
