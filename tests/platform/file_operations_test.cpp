#include "platform/file_operations.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/native_api.h"
#include "tests/platform/file_test_support.h"

namespace zor {
namespace {

using test::Narrow;
using test::PathExists;
using test::ReadTextFile;
using test::TestFolder;
using test::WriteTextFile;

constexpr std::uint32_t kFileNotFound = 0xE001003D;
constexpr std::uint32_t kPathNotFound = 0xE001003E;
constexpr std::uint32_t kMissingPath = 0xE0010002;
constexpr std::uint32_t kSharingViolation = 0xE0010053;
constexpr std::uint32_t kAccessDenied = 0xE0010058;
constexpr std::uint32_t kAlreadyExists = 0xE001004F;  // STATUS_OBJECT_NAME_COLLISION
constexpr std::uint32_t kDirectoryNotEmpty = 0xC0070091;
constexpr std::uint32_t kNotADirectory = 0xC007010B;

std::uint32_t Code(StatusCode status) { return static_cast<std::uint32_t>(status); }

TEST(FileOperations, ExistenceOfFilesAndFolders) {
  TestFolder folder;
  ASSERT_TRUE(folder.made());
  WriteTextFile(folder / L"file.txt", "x");
  test::MakeFolder(folder / L"sub");
  const struct {
    std::wstring path;
    std::uint32_t file;
    std::uint32_t folder;
  } rows[] = {
      {folder / L"file.txt", 0, kPathNotFound},
      {folder / L"sub", kFileNotFound, 0},
      {folder.path(), kFileNotFound, 0},
      {folder / L"missing.txt", kFileNotFound, kFileNotFound},
      {folder / L"missing\\file.txt", kPathNotFound, kPathNotFound},
      {L"\\??\\" + (folder / L"file.txt"), 0, kPathNotFound},
      {L"", kMissingPath, kMissingPath},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.path));
    EXPECT_EQ(Code(FileExists(row.path)), row.file);
    EXPECT_EQ(Code(FolderExists(row.path)), row.folder);
  }
}

TEST(FileOperations, QueryAttributesGivesTheObjectsOwnBits) {
  TestFolder folder;
  const std::wstring file = folder / L"hidden.txt";
  WriteTextFile(file, "x");
  ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
  std::uint32_t attributes = 0;
  ASSERT_EQ(QueryAttributes(file, attributes), status::Success);
  EXPECT_EQ(attributes, GetFileAttributesW(file.c_str()));
  EXPECT_EQ(attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
  SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);

  ASSERT_EQ(QueryAttributes(folder.path(), attributes), status::Success);
  EXPECT_EQ(attributes, GetFileAttributesW(folder.path().c_str()));

  attributes = 0x5EA7;
  EXPECT_EQ(Code(QueryAttributes(folder / L"missing", attributes)), kFileNotFound);
  EXPECT_EQ(attributes, 0x5EA7u);
}

TEST(FileOperations, DeleteFileNow) {
  TestFolder folder;
  WriteTextFile(folder / L"doomed.txt", "x");
  WriteTextFile(folder / L"read-only.txt", "x");
  ASSERT_TRUE(SetFileAttributesW((folder / L"read-only.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  test::MakeFolder(folder / L"sub");
  const struct {
    std::wstring path;
    std::uint32_t expected;
    bool existsAfter;
  } rows[] = {
      {folder / L"doomed.txt", 0, false},
      {folder / L"missing.txt", kFileNotFound, false},
      {folder / L"missing\\x.txt", kPathNotFound, false},
      {folder / L"sub", kAccessDenied, true},  // STATUS_FILE_IS_A_DIRECTORY
      {L"", kMissingPath, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.path));
    EXPECT_EQ(Code(DeleteFileNow(row.path)), row.expected);
    if (!row.path.empty()) {
      EXPECT_EQ(PathExists(row.path), row.existsAfter);
    }
  }
  // The delete disposition refuses a read-only file, as Windows does.
  EXPECT_EQ(Code(DeleteFileNow(folder / L"read-only.txt")), kAccessDenied);
  EXPECT_TRUE(PathExists(folder / L"read-only.txt"));
  SetFileAttributesW((folder / L"read-only.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(FileOperations, DeleteFileNowAndOtherOpenersOfTheFile) {
  TestFolder folder;
  const std::wstring held = folder / L"held.txt";
  const std::wstring shared = folder / L"shared.txt";
  WriteTextFile(held, "x");
  WriteTextFile(shared, "x");

  const HANDLE holder = CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Code(DeleteFileNow(held)), kSharingViolation);
  CloseHandle(holder);
  EXPECT_TRUE(PathExists(held));

  const HANDLE sharer = CreateFileW(shared.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(sharer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(DeleteFileNow(shared), status::Success);
  CloseHandle(sharer);
  EXPECT_FALSE(PathExists(shared));
}

// Each row: a file made with `attributes`, held open without delete sharing
// or not, deleted with or without leave to clear the read-only attribute.
TEST(FileOperations, DeleteFileNowClearsTheReadOnlyAttributeOnlyWhenAsked) {
  TestFolder folder;
  // With the archive bit, which Wine shows on every file, so that the
  // attributes left read the same on both systems.
  constexpr DWORD kReadOnly = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE;
  const struct {
    const char* label;
    DWORD attributes;
    bool held;
    ReadOnlyAttribute readOnly;
    std::uint32_t expected;
    DWORD attributesAfter;  // INVALID_FILE_ATTRIBUTES: the file is gone
  } rows[] = {
      {"read-only, respected", kReadOnly, false, ReadOnlyAttribute::Respect, kAccessDenied, kReadOnly},
      {"read-only, cleared", kReadOnly, false, ReadOnlyAttribute::Clear, 0, INVALID_FILE_ATTRIBUTES},
      {"read-only and hidden, cleared", kReadOnly | FILE_ATTRIBUTE_HIDDEN, false, ReadOnlyAttribute::Clear, 0,
       INVALID_FILE_ATTRIBUTES},
      {"read-only and held: the attribute goes all the same", kReadOnly, true, ReadOnlyAttribute::Clear,
       kSharingViolation, FILE_ATTRIBUTE_ARCHIVE},
      {"read-only, hidden and held: only read-only goes", kReadOnly | FILE_ATTRIBUTE_HIDDEN, true,
       ReadOnlyAttribute::Clear, kSharingViolation, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE},
      {"plain, clear asked", FILE_ATTRIBUTE_ARCHIVE, false, ReadOnlyAttribute::Clear, 0, INVALID_FILE_ATTRIBUTES},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    const std::wstring file = folder / L"zorsig.dat";
    WriteTextFile(file, "signatures");
    ASSERT_TRUE(SetFileAttributesW(file.c_str(), row.attributes));
    const HANDLE holder = row.held ? CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)
                                   : INVALID_HANDLE_VALUE;
    ASSERT_EQ(holder != INVALID_HANDLE_VALUE, row.held);
    EXPECT_EQ(Code(DeleteFileNow(file, row.readOnly)), row.expected);
    if (row.held) CloseHandle(holder);
    EXPECT_EQ(GetFileAttributesW(file.c_str()), row.attributesAfter);
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(file.c_str());
  }
}

ZwCreateFileFunction* g_realCreate = nullptr;
ULONG g_createOptionsSeen[4];
int g_createCalls = 0;

NTSTATUS NTAPI CreateRefusingReparseOption(PHANDLE file, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, PIO_STATUS_BLOCK io,
                                           PLARGE_INTEGER size, ULONG fileAttributes, ULONG share, ULONG disposition,
                                           ULONG options, PVOID ea, ULONG eaLength) {
  if (g_createCalls < 4) g_createOptionsSeen[g_createCalls] = options;
  ++g_createCalls;
  if (options & 0x200000) return nt::InvalidParameter;
  return g_realCreate(file, access, attributes, io, size, fileAttributes, share, disposition, options, ea, eaLength);
}

TEST(FileOperations, DeleteFileNowOpensAgainWithoutTheReparseOptionWhereItIsRefused) {
  TestFolder folder;
  const std::wstring file = folder / L"old-system.txt";
  WriteTextFile(file, "x");
  g_createCalls = 0;
  {
    test::SwappedEntry swap(NativeChanges().ZwCreateFile, &CreateRefusingReparseOption);
    g_realCreate = swap.original();
    EXPECT_EQ(DeleteFileNow(file), status::Success);
  }
  ASSERT_EQ(g_createCalls, 2);
  EXPECT_EQ(g_createOptionsSeen[0], 0x204040u);
  EXPECT_EQ(g_createOptionsSeen[1], 0x4040u);
  EXPECT_FALSE(PathExists(file));
}

TEST(FileOperations, DeleteFolder) {
  TestFolder folder;
  test::MakeFolder(folder / L"empty");
  test::MakeFolder(folder / L"full");
  WriteTextFile(folder / L"full\\x.txt", "x");
  WriteTextFile(folder / L"file.txt", "x");
  const struct {
    std::wstring path;
    std::uint32_t expected;
    bool existsAfter;
  } rows[] = {
      {folder / L"empty", 0, false},
      {folder / L"full", kDirectoryNotEmpty, true},
      {folder / L"missing", kFileNotFound, false},
      {folder / L"file.txt", kNotADirectory, true},
      {L"", kMissingPath, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.path));
    EXPECT_EQ(Code(DeleteFolder(row.path)), row.expected);
    if (!row.path.empty()) {
      EXPECT_EQ(PathExists(row.path), row.existsAfter);
    }
  }
  EXPECT_EQ(ReadTextFile(folder / L"full\\x.txt"), "x");
}

ZwOpenFileFunction* g_realOpen = nullptr;
ULONG g_openOptionsSeen[4];
ACCESS_MASK g_openAccessSeen[4];
int g_openCalls = 0;

NTSTATUS NTAPI OpenRefusingReparseOption(PHANDLE file, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, PIO_STATUS_BLOCK io,
                                         ULONG share, ULONG options) {
  if (g_openCalls < 4) {
    g_openOptionsSeen[g_openCalls] = options;
    g_openAccessSeen[g_openCalls] = access;
  }
  ++g_openCalls;
  if (options & 0x200000) return nt::InvalidParameter;
  return g_realOpen(file, access, attributes, io, share, options);
}

TEST(FileOperations, DeleteFolderOpensAgainWithoutTheReparseOptionWhereItIsRefused) {
  TestFolder folder;
  const std::wstring empty = folder / L"empty";
  test::MakeFolder(empty);
  g_openCalls = 0;
  {
    test::SwappedEntry swap(Native().ZwOpenFile, &OpenRefusingReparseOption);
    g_realOpen = swap.original();
    EXPECT_EQ(DeleteFolder(empty), status::Success);
  }
  // Opened without the option, a link would show its target: the parent is
  // asked next how it lists the folder (its own open, then the question's).
  ASSERT_EQ(g_openCalls, 4);
  EXPECT_EQ(g_openOptionsSeen[0], 0x204021u);
  EXPECT_EQ(g_openAccessSeen[0], 0x110080u);
  EXPECT_EQ(g_openOptionsSeen[1], 0x4021u);
  EXPECT_EQ(g_openAccessSeen[1], 0x110000u);
  for (int call : {2, 3}) {
    EXPECT_EQ(g_openOptionsSeen[call], 0x4021u) << call;
    EXPECT_EQ(g_openAccessSeen[call], 0x100001u) << call;
  }
  EXPECT_FALSE(PathExists(empty));
}

TEST(FileOperations, RenameFileWithAndWithoutFailIfExists) {
  TestFolder folder;
  const struct {
    const char* label;
    bool targetExists;
    bool failIfExists;
    std::uint32_t expected;
    const char* sourceAfter;
    const char* targetAfter;
  } rows[] = {
      {"new target, fail if exists", false, true, 0, "<missing>", "source"},
      {"new target, replace", false, false, 0, "<missing>", "source"},
      {"existing target, fail if exists", true, true, kAlreadyExists, "source", "target"},
      {"existing target, replace", true, false, 0, "<missing>", "source"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    const std::wstring source = folder / L"source.txt";
    const std::wstring target = folder / L"target.txt";
    WriteTextFile(source, "source");
    if (row.targetExists) WriteTextFile(target, "target");
    EXPECT_EQ(Code(RenameFile(source, target, row.failIfExists)), row.expected);
    EXPECT_EQ(ReadTextFile(source), row.sourceAfter);
    EXPECT_EQ(ReadTextFile(target), row.targetAfter);
    DeleteFileW(source.c_str());
    DeleteFileW(target.c_str());
  }
}

TEST(FileOperations, RenameFileFailures) {
  TestFolder folder;
  const std::wstring source = folder / L"source.txt";
  WriteTextFile(source, "source");
  const struct {
    std::wstring source;
    std::wstring target;
    std::uint32_t expected;
  } rows[] = {
      {L"", folder / L"t.txt", kMissingPath},
      {source, L"", kMissingPath},
      {folder / L"missing.txt", folder / L"t.txt", kFileNotFound},
      {source, folder / L"missing\\t.txt", kPathNotFound},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.source) + " -> " + Narrow(row.target));
    EXPECT_EQ(Code(RenameFile(row.source, row.target, true)), row.expected);
  }
  EXPECT_EQ(ReadTextFile(source), "source");

  const HANDLE holder = CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Code(RenameFile(source, folder / L"t.txt", false)), kSharingViolation);
  CloseHandle(holder);
  EXPECT_EQ(ReadTextFile(source), "source");
}

// Z:\dev\shm is a memory file system of its own under Wine: a rename from
// drive C to it crosses volumes.
std::wstring OtherVolume() { return L"Z:\\dev\\shm"; }

bool OtherVolumeUsable() {
  const DWORD attributes = GetFileAttributesW(OtherVolume().c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(FileOperations, RenameFileAcrossVolumesCopiesAndDeletes) {
  if (!OtherVolumeUsable()) GTEST_SKIP() << "no second volume at Z:\\dev\\shm";
  TestFolder here;
  TestFolder there(OtherVolume());
  ASSERT_TRUE(there.made());
  const std::wstring source = here / L"moving.txt";
  const std::string content(100000, 'z');
  const struct {
    const char* label;
    bool nativeCopy;
  } rows[] = {{"CopyFileW", false}, {"native copy", true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    const std::wstring target = there / L"moved.txt";
    WriteTextFile(source, content);
    FILETIME written{};
    {
      const HANDLE file = CreateFileW(source.c_str(), GENERIC_READ | FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      ASSERT_NE(file, INVALID_HANDLE_VALUE);
      written = {0x12345000, 0x01D00000};
      ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &written));
      CloseHandle(file);
    }
    StatusCode renamed;
    {
      const test::SwappedEntry copy(Kernel32().CopyFileW, row.nativeCopy ? nullptr : Kernel32().CopyFileW);
      renamed = RenameFile(source, target, true);
    }
    EXPECT_EQ(renamed, status::Success);
    EXPECT_FALSE(PathExists(source));
    EXPECT_EQ(ReadTextFile(target), content);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(data.ftLastWriteTime.dwHighDateTime, written.dwHighDateTime);
    EXPECT_EQ(data.ftLastWriteTime.dwLowDateTime, written.dwLowDateTime);
    DeleteFileW(target.c_str());
  }
}

// Renames across volumes onto an existing target with fail-if-exists set;
// the status of the failed copy.
StatusCode RenameOntoTakenTarget(bool nativeCopy) {
  TestFolder here;
  TestFolder there(OtherVolume());
  const std::wstring source = here / L"moving.txt";
  const std::wstring target = there / L"taken.txt";
  WriteTextFile(source, "source");
  WriteTextFile(target, "target");
  StatusCode renamed;
  {
    const test::SwappedEntry copy(Kernel32().CopyFileW, nativeCopy ? nullptr : Kernel32().CopyFileW);
    renamed = RenameFile(source, target, true);
  }
  EXPECT_EQ(ReadTextFile(source), "source");
  EXPECT_EQ(ReadTextFile(target), "target");
  return renamed;
}

TEST(FileOperations, RenameFileAcrossVolumesOntoAnExistingTargetKeepsBoth) {
  if (!OtherVolumeUsable()) GTEST_SKIP() << "no second volume at Z:\\dev\\shm";
  EXPECT_EQ(Code(RenameOntoTakenTarget(true)), kAlreadyExists);  // the native copy: STATUS_OBJECT_NAME_COLLISION
  const StatusCode throughKernel32 = RenameOntoTakenTarget(false);
  if (test::RunningUnderWine() && Code(throughKernel32) == kAlreadyExists) {
    GTEST_SKIP() << "Wine 8 CopyFileW reports ERROR_ALREADY_EXISTS (183) for an existing target, Windows ERROR_FILE_EXISTS (80)";
  }
  EXPECT_EQ(Code(throughKernel32), 0xC0070050u);  // ERROR_FILE_EXISTS
}

TEST(FileOperations, APlannedDeletionThatWindowsRefusesGivesTheLastError) {
  // A request that Windows records is shown by the restart test, in a
  // prefix of its own.
  std::uint32_t lastError = 0;
  EXPECT_FALSE(PlanDeleteAfterRestart(L"", lastError));
  EXPECT_EQ(lastError, static_cast<std::uint32_t>(ERROR_PATH_NOT_FOUND));
}

}  // namespace
}  // namespace zor
