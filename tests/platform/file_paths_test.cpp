// ShortPath, the device map and file system redirection.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/device_map.h"
#include "platform/fs_redirection.h"
#include "platform/native_api.h"
#include "platform/short_path.h"
#include "tests/platform/file_test_support.h"

namespace zor {
namespace {

using test::MakeFolder;
using test::Narrow;
using test::TestFolder;
using test::WriteTextFile;

std::uint32_t Code(StatusCode status) { return static_cast<std::uint32_t>(status); }

std::wstring SystemShortPath(const std::wstring& path) {
  wchar_t buffer[1024];
  const DWORD length = GetShortPathNameW(path.c_str(), buffer, 1024);
  return std::wstring(buffer, length < 1024 ? length : 0);
}

TEST(FileShortPath, AnExistingPathWithSpaces) {
  TestFolder folder;
  const std::wstring spaced = folder / L"Program Files Test";
  MakeFolder(spaced);
  MakeFolder(spaced + L"\\Sub Folder With A Long Name");
  const std::wstring file = spaced + L"\\Sub Folder With A Long Name\\file name.text";
  WriteTextFile(file, "x");
  const std::wstring rows[] = {file, spaced, spaced + L"\\Sub Folder With A Long Name", folder.path(), L"C:\\windows\\system32"};
  for (const std::wstring& path : rows) {
    SCOPED_TRACE(Narrow(path));
    const std::wstring expected = SystemShortPath(path);
    ASSERT_FALSE(expected.empty());
    std::wstring shortPath;
    ASSERT_EQ(ShortPath(path, shortPath), status::Success);
    EXPECT_EQ(shortPath, expected);
  }
  // Each long component became a short one.
  std::wstring shortFile;
  ASSERT_EQ(ShortPath(file, shortFile), status::Success);
  EXPECT_EQ(shortFile.find(L' '), std::wstring::npos) << Narrow(shortFile);
}

TEST(FileShortPath, DoubleBackslashPathsAndMissingPaths) {
  TestFolder folder;
  std::wstring shortPath;
  ASSERT_EQ(ShortPath(L"\\\\?\\" + folder.path() + L"\\", shortPath), status::Success);
  EXPECT_EQ(shortPath, L"\\\\?\\" + folder.path());
  ASSERT_EQ(ShortPath(L"\\\\?\\" + folder.path(), shortPath), status::Success);
  EXPECT_EQ(shortPath, L"\\\\?\\" + folder.path());

  shortPath = L"sentinel";
  EXPECT_EQ(Code(ShortPath(folder / L"missing", shortPath)), 0xE001003Du);
  EXPECT_EQ(Code(ShortPath(folder / L"missing\\deeper", shortPath)), 0xE001003Eu);
  EXPECT_EQ(Code(ShortPath(L"", shortPath)), 0xE0010002u);
  EXPECT_EQ(shortPath, L"sentinel");
}

std::wstring QueryDosDeviceTarget(wchar_t letter) {
  const wchar_t drive[] = {letter, L':', L'\0'};
  wchar_t buffer[1024];
  if (!QueryDosDeviceW(drive, buffer, 1024)) return {};
  return buffer;
}

TEST(FileDeviceMap, EachDriveLinkNamesTheDeviceWindowsReports) {
  const DWORD drives = GetLogicalDrives();
  ASSERT_NE(drives & (1u << 2), 0u);
  for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
    if (!(drives & (1u << (letter - L'A')))) continue;
    SCOPED_TRACE(static_cast<char>(letter));
    std::wstring target;
    ASSERT_EQ(DriveTarget(letter, target), status::Success);
    EXPECT_EQ(target, QueryDosDeviceTarget(letter));
  }
  std::wstring target = L"sentinel";
  EXPECT_NE(DriveTarget(L'?', target), status::Success);
  EXPECT_EQ(target, L"sentinel");
}

TEST(FileDeviceMap, BuildReadsTheProcessDeviceMap) {
  DeviceMap map;
  const StatusCode built = map.Build();
  if (test::RunningUnderWine() && built == StatusFromNtStatus(static_cast<NTSTATUS>(0xC0000003))) {
    GTEST_SKIP() << "Wine 8 does not answer ProcessDeviceMap (STATUS_INVALID_INFO_CLASS)";
  }
  ASSERT_EQ(built, status::Success);
  ASSERT_FALSE(map.Drives().empty());
  EXPECT_EQ(map.Drives()[0].letter, L'C');
}

// Wine 8 does not answer ProcessDeviceMap; this answers it with the drive
// bits kernel32 reports, so the rest of the build runs on the real links.
ZwQueryInformationProcessFunction* g_realQueryProcess = nullptr;
ULONG g_deviceMapLength = 0;

NTSTATUS NTAPI AnsweringDeviceMap(HANDLE process, ULONG infoClass, PVOID information, ULONG length, PULONG returned) {
  if (infoClass != nt::ProcessDeviceMapClass) return g_realQueryProcess(process, infoClass, information, length, returned);
  g_deviceMapLength = length;
  if (length != 40) return nt::InfoLengthMismatch;
  std::memset(information, 0, length);
  *static_cast<ULONG*>(information) = GetLogicalDrives();
  return nt::Success;
}

TEST(FileDeviceMap, BuildPutsTheSystemDriveFirstAndMapsDevicePaths) {
  DeviceMap map;
  {
    test::SwappedEntry swap(Native().ZwQueryInformationProcess, &AnsweringDeviceMap);
    g_realQueryProcess = swap.original();
    ASSERT_EQ(map.Build(), status::Success);
  }
  EXPECT_EQ(g_deviceMapLength, 40u);
  std::vector<wchar_t> letters;
  const DWORD drives = GetLogicalDrives();
  for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
    if (drives & (1u << (letter - L'A'))) letters.push_back(letter);
  }
  for (std::size_t at = 1; at <= 2 && at < letters.size(); ++at) {
    if (letters[at] == L'C') {
      std::swap(letters[0], letters[at]);
      break;
    }
  }
  ASSERT_EQ(map.Drives().size(), letters.size());
  for (std::size_t at = 0; at < letters.size(); ++at) {
    SCOPED_TRACE(static_cast<char>(letters[at]));
    EXPECT_EQ(map.Drives()[at].letter, letters[at]);
    EXPECT_EQ(map.Drives()[at].device, QueryDosDeviceTarget(letters[at]));
  }
  const std::wstring systemDevice = QueryDosDeviceTarget(L'C');
  std::wstring dosPath;
  ASSERT_EQ(map.DevicePathToDosPath(systemDevice + L"\\windows\\notepad.exe", dosPath), status::Success);
  EXPECT_EQ(dosPath, L"C:\\windows\\notepad.exe");
  EXPECT_EQ(Code(map.DevicePathToDosPath(L"\\Device\\NoSuchDevice\\x", dosPath)), 0xE001003Eu);
  EXPECT_EQ(dosPath, L"");
}

// Records the calls of RtlWow64EnableFsRedirectionEx.
std::vector<PVOID> g_toggles;
NTSTATUS g_toggleResult = 0;
PVOID const kPreviousState = reinterpret_cast<PVOID>(static_cast<ULONG_PTR>(1));

NTSTATUS NTAPI RecordingToggle(PVOID disable, PVOID* previous) {
  g_toggles.push_back(disable);
  if (NT_SUCCESS(g_toggleResult)) *previous = kPreviousState;
  return g_toggleResult;
}

OsIdentity Identity(std::uint32_t program, std::uint32_t processor, std::uint32_t major, std::uint32_t minor) {
  OsIdentity identity;
  identity.valid = true;
  identity.programArchitecture = program;
  identity.processorArchitecture = processor;
  identity.majorVersion = major;
  identity.minorVersion = minor;
  return identity;
}

TEST(FileFsRedirection, ActsOnlyForA32BitProcessOn64BitWindows) {
  const struct {
    const char* label;
    OsIdentity identity;
    bool enable;
    NTSTATUS result;
    std::vector<PVOID> calls;
  } rows[] = {
      {"32-bit on x64 6.1", Identity(ArchitectureX86, ArchitectureX64, 6, 1), true, 0, {nullptr, kPreviousState}},
      {"32-bit on x64 5.2", Identity(ArchitectureX86, ArchitectureX64, 5, 2), true, 0, {nullptr, kPreviousState}},
      {"32-bit on Itanium 5.1", Identity(ArchitectureX86, ArchitectureItanium, 5, 1), true, 0, {nullptr, kPreviousState}},
      {"32-bit on x64 5.0", Identity(ArchitectureX86, ArchitectureX64, 5, 0), true, 0, {}},
      {"32-bit on x86", Identity(ArchitectureX86, ArchitectureX86, 6, 1), true, 0, {}},
      {"64-bit on x64", Identity(ArchitectureX64, ArchitectureX64, 6, 1), true, 0, {}},
      {"not asked to enable", Identity(ArchitectureX86, ArchitectureX64, 6, 1), false, 0, {}},
      {"switching fails", Identity(ArchitectureX86, ArchitectureX64, 6, 1), true, static_cast<NTSTATUS>(0xC0000001), {nullptr}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    g_toggles.clear();
    g_toggleResult = row.result;
    test::SwappedEntry swap(Native().RtlWow64EnableFsRedirectionEx, &RecordingToggle);
    {
      FsRedirectionScope scope(row.enable, row.identity);
      EXPECT_EQ(scope.Acting(), row.calls.size() == 2);
    }
    EXPECT_EQ(g_toggles, row.calls);
  }
}

TEST(FileFsRedirection, ThisProgramIsNeverRedirected) {
  g_toggles.clear();
  g_toggleResult = 0;
  test::SwappedEntry swap(Native().RtlWow64EnableFsRedirectionEx, &RecordingToggle);
  {
    FsRedirectionScope scope(true);
    EXPECT_FALSE(scope.Acting());
  }
  EXPECT_TRUE(g_toggles.empty());
}

TEST(FileFsRedirection, AScopeLeftByAnExceptionRestoresTheState) {
  g_toggles.clear();
  g_toggleResult = 0;
  test::SwappedEntry swap(Native().RtlWow64EnableFsRedirectionEx, &RecordingToggle);
  try {
    FsRedirectionScope scope(true, Identity(ArchitectureX86, ArchitectureX64, 6, 1));
    throw 1;
  } catch (int) {
  }
  EXPECT_EQ(g_toggles, (std::vector<PVOID>{nullptr, kPreviousState}));
}

TEST(FileFsRedirection, AMissingEntryMeansNoRedirection) {
  test::SwappedEntry swap(Native().RtlWow64EnableFsRedirectionEx, static_cast<RtlWow64EnableFsRedirectionExFunction*>(nullptr));
  FsRedirectionScope scope(true, Identity(ArchitectureX86, ArchitectureX64, 6, 1));
  EXPECT_FALSE(scope.Acting());
}

}  // namespace
}  // namespace zor
