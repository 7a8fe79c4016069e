#include "platform/directory_lister.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/native_api.h"
#include "platform/native_file.h"
#include "tests/platform/file_test_support.h"

namespace zor {
namespace {

using test::Narrow;
using test::Sorted;
using test::TestFolder;
using test::WriteTextFile;

std::uint32_t Code(StatusCode status) { return static_cast<std::uint32_t>(status); }

// Every admitted entry from an opened listing to its end.
std::vector<std::wstring> ReadToEnd(DirectoryLister& lister, StatusCode opened) {
  std::vector<std::wstring> names;
  StatusCode step = opened;
  while (step == status::Success) {
    FolderEntry entry;
    EXPECT_EQ(lister.CurrentEntry(entry), status::Success);
    names.push_back(entry.name);
    step = lister.NextEntry();
  }
  EXPECT_EQ(Code(step), 0x6001000Eu);
  return Sorted(std::move(names));
}

std::vector<std::wstring> List(const std::wstring& folder, const wchar_t* mask, std::uint32_t filter) {
  DirectoryLister lister;
  return ReadToEnd(lister, lister.OpenListing(folder, mask, filter));
}

class FileListing : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.made());
    for (const wchar_t* name : {L"alpha", L"beta.txt", L"zor1.txt", L"zorxyz", L"Zor2.LOG", L"other.zor"}) {
      WriteTextFile(folder_ / name, "x");
    }
    test::MakeFolder(folder_ / L"sub");
    test::MakeFolder(folder_ / L"zorfolder.d");
  }
  TestFolder folder_;
};

TEST_F(FileListing, MasksFollowTheFileSystemsMatching) {
  const std::vector<std::wstring> files = {L"Zor2.LOG", L"alpha", L"beta.txt", L"other.zor", L"zor1.txt", L"zorxyz"};
  const struct {
    const wchar_t* mask;
    std::vector<std::wstring> expected;
  } rows[] = {
      {nullptr, files},
      {L"", files},
      {L"*", files},
      {L"*.*", files},  // also the names without a dot
      {L"zor*", {L"Zor2.LOG", L"zor1.txt", L"zorxyz"}},
      {L"ZOR?.txt", {L"zor1.txt"}},
      {L"*.zor", {L"other.zor"}},
      {L"*.txt", {L"beta.txt", L"zor1.txt"}},
      {L"alpha", {L"alpha"}},
      {L"*.none", {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.mask ? Narrow(row.mask) : std::string("(absent)"));
    EXPECT_EQ(List(folder_.path(), row.mask, ListFiles), row.expected);
  }
}

TEST_F(FileListing, ADotInAMaskMatchesOnlyADot) {
  if (test::RunningUnderWine()) {
    GTEST_SKIP() << "Wine 8 ignores a mask's trailing '.' and '*', so zor*.* also matches zorxyz; Windows matches the dot";
  }
  EXPECT_EQ(List(folder_.path(), L"zor*.*", ListFiles), (std::vector<std::wstring>{L"Zor2.LOG", L"zor1.txt"}));
}

TEST_F(FileListing, FilterBitsChooseTheEntries) {
  const std::vector<std::wstring> files = {L"Zor2.LOG", L"alpha", L"beta.txt", L"other.zor", L"zor1.txt", L"zorxyz"};
  const std::vector<std::wstring> folders = {L"sub", L"zorfolder.d"};
  std::vector<std::wstring> everything = files;
  everything.insert(everything.end(), folders.begin(), folders.end());
  everything.push_back(L".");
  everything.push_back(L"..");
  std::vector<std::wstring> both = files;
  both.insert(both.end(), folders.begin(), folders.end());
  const struct {
    std::uint32_t filter;
    std::vector<std::wstring> expected;
  } rows[] = {
      {ListParentEntry, {L".."}},
      {ListSelfEntry, {L"."}},
      {ListParentEntry | ListSelfEntry, {L".", L".."}},
      {ListFolders, folders},
      {ListFiles, files},
      {ListFolders | ListFiles, Sorted(both)},
      {ListEverything, Sorted(everything)},
      {ListReparsePoints, {}},  // admits only what also passes the folder or file test
      {0, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << "filter " << std::hex << row.filter);
    EXPECT_EQ(List(folder_.path(), L"*", row.filter), row.expected);
  }
}

TEST_F(FileListing, AnEmptyListingEndsAtOnce) {
  for (const std::uint32_t filter : {static_cast<std::uint32_t>(ListEverything), static_cast<std::uint32_t>(ListReparsePoints)}) {
    SCOPED_TRACE(filter);
    DirectoryLister lister;
    const wchar_t* mask = filter == ListEverything ? L"nothing-matches*" : L"*";
    EXPECT_EQ(Code(lister.OpenListing(folder_.path(), mask, filter)), 0x6001000Eu);
    FolderEntry entry;
    entry.attributes = 0x5EA7;
    EXPECT_EQ(Code(lister.CurrentEntry(entry)), 0xE001000Eu);
    EXPECT_EQ(entry.attributes, 0x5EA7u);
    std::wstring path = L"sentinel";
    EXPECT_EQ(Code(lister.EntryPath(path)), 0xE001000Eu);
    EXPECT_EQ(path, L"sentinel");
    EXPECT_EQ(Code(lister.NextEntry()), 0x6001000Eu);
    EXPECT_EQ(Code(lister.CurrentEntry(entry)), 0xE001000Eu);
  }
}

TEST_F(FileListing, EntriesCarryWhatTheFileSystemKeeps) {
  const std::wstring name = L"A long name with spaces.text";
  const std::wstring file = folder_ / name;
  WriteTextFile(file, std::string(5000, 'q'));
  DirectoryLister lister;
  ASSERT_EQ(lister.OpenListing(folder_.path(), name.c_str(), ListFiles), status::Success);
  FolderEntry entry;
  ASSERT_EQ(lister.CurrentEntry(entry), status::Success);
  EXPECT_EQ(std::wstring(entry.name), name);
  EXPECT_EQ(entry.sizeHigh, 0u);
  EXPECT_EQ(entry.sizeLow, 5000u);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(entry.attributes, data.dwFileAttributes);
  EXPECT_EQ(entry.lastWriteTime.dwLowDateTime, data.ftLastWriteTime.dwLowDateTime);
  EXPECT_EQ(entry.lastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwHighDateTime);
  EXPECT_EQ(entry.creationTime.dwLowDateTime, data.ftCreationTime.dwLowDateTime);
  EXPECT_EQ(entry.lastAccessTime.dwLowDateTime, data.ftLastAccessTime.dwLowDateTime);
  wchar_t shortPath[MAX_PATH];
  ASSERT_NE(GetShortPathNameW(file.c_str(), shortPath, MAX_PATH), 0u);
  const std::wstring shortText = shortPath;
  EXPECT_EQ(std::wstring(entry.shortName), shortText.substr(shortText.find_last_of(L'\\') + 1));
  std::wstring entryPath;
  ASSERT_EQ(lister.EntryPath(entryPath), status::Success);
  EXPECT_EQ(entryPath, file);

  // A name that is a valid 8.3 name has no short name of its own.
  ASSERT_EQ(lister.OpenListing(folder_.path(), L"alpha", ListFiles), status::Success);
  ASSERT_EQ(lister.CurrentEntry(entry), status::Success);
  EXPECT_EQ(std::wstring(entry.shortName), L"");
}

TEST_F(FileListing, ListingsThatCannotBeOpened) {
  const struct {
    std::wstring folder;
    std::uint32_t expected;
  } rows[] = {
      {L"", 0xE0010002},
      {folder_ / L"missing", 0xE001003E},
      {folder_ / L"missing\\deeper", 0xE001003E},
      {folder_ / L"missing\\CON", 0xE0010054},
      {L"C:\\zor-no-such-folder\\nul", 0xE0010054},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.folder));
    DirectoryLister lister;
    EXPECT_EQ(Code(lister.OpenListing(row.folder, nullptr, ListEverything)), row.expected);
    FolderEntry entry;
    EXPECT_EQ(Code(lister.CurrentEntry(entry)), 0xE001000Eu);
  }
}

TEST_F(FileListing, ReopenStartsAgainAndCloseEndsTheListing) {
  DirectoryLister lister;
  ASSERT_EQ(lister.OpenListing(folder_.path(), L"*.txt", ListFiles), status::Success);
  FolderEntry first;
  ASSERT_EQ(lister.CurrentEntry(first), status::Success);
  ASSERT_EQ(lister.NextEntry(), status::Success);
  EXPECT_EQ(Code(lister.NextEntry()), 0x6001000Eu);

  const StatusCode reopened = lister.Reopen();
  ASSERT_EQ(reopened, status::Success);
  FolderEntry again;
  ASSERT_EQ(lister.CurrentEntry(again), status::Success);
  EXPECT_EQ(std::wstring(again.name), std::wstring(first.name));
  EXPECT_EQ(ReadToEnd(lister, reopened), (std::vector<std::wstring>{L"beta.txt", L"zor1.txt"}));

  ASSERT_EQ(lister.Reopen(), status::Success);
  EXPECT_EQ(lister.CloseListing(), status::Success);
  EXPECT_EQ(Code(lister.CurrentEntry(again)), 0xE001000Eu);
  EXPECT_EQ(Code(lister.NextEntry()), 0x6001000Eu);
}

TEST_F(FileListing, AListingThroughAnOpenHandle) {
  UniqueNtHandle handle(CreateFileW(folder_.path().c_str(), FILE_LIST_DIRECTORY | SYNCHRONIZE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  ASSERT_NE(handle.get(), INVALID_HANDLE_VALUE);
  DirectoryLister lister;
  const StatusCode opened = lister.OpenListingOf(handle.get(), L"D:\\elsewhere", L"zor?*", ListFiles | ListFolders);
  ASSERT_EQ(opened, status::Success);
  std::wstring path;
  ASSERT_EQ(lister.EntryPath(path), status::Success);
  EXPECT_EQ(path.substr(0, 13), L"D:\\elsewhere\\");
  EXPECT_EQ(ReadToEnd(lister, opened), (std::vector<std::wstring>{L"Zor2.LOG", L"zor1.txt", L"zorfolder.d", L"zorxyz"}));
  // The caller's handle stays open after the end of the listing.
  FILE_BASIC_INFO basic{};
  EXPECT_TRUE(GetFileInformationByHandleEx(handle.get(), FileBasicInfo, &basic, sizeof(basic)));
}

struct ReadCall {
  ULONG length;
  BOOLEAN single;
  bool masked;
  BOOLEAN restart;
};
ZwQueryDirectoryFileFunction* g_realQuery = nullptr;
std::vector<ReadCall> g_reads;

NTSTATUS NTAPI RecordingQuery(HANDLE file, HANDLE event, nt::IoApcRoutine apc, PVOID context, PIO_STATUS_BLOCK io, PVOID buffer,
                              ULONG length, ULONG infoClass, BOOLEAN single, PUNICODE_STRING name, BOOLEAN restart) {
  g_reads.push_back({length, single, name != nullptr, restart});
  return g_realQuery(file, event, apc, context, io, buffer, length, infoClass, single, name, restart);
}

TEST(FileListingReads, MoreEntriesThanOneReadHolds) {
  TestFolder folder;
  std::vector<std::wstring> made;
  for (int i = 0; i < 150; ++i) {
    made.push_back(L"entry-number-" + std::to_wstring(1000 + i) + L".dat");
    WriteTextFile(folder / made.back(), "");
  }
  g_reads.clear();
  std::vector<std::wstring> listed;
  {
    test::SwappedEntry swap(Native().ZwQueryDirectoryFile, &RecordingQuery);
    g_realQuery = swap.original();
    listed = List(folder.path(), nullptr, ListFiles);
  }
  EXPECT_EQ(listed, Sorted(made));
  // One single-entry read with the mask, then reads of 4096 bytes.
  ASSERT_GE(g_reads.size(), 6u);
  EXPECT_EQ(g_reads[0].length, 616u);
  EXPECT_TRUE(g_reads[0].single);
  EXPECT_TRUE(g_reads[0].masked);
  EXPECT_TRUE(g_reads[0].restart);
  for (std::size_t i = 1; i < g_reads.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(g_reads[i].length, 4096u);
    EXPECT_FALSE(g_reads[i].single);
    EXPECT_FALSE(g_reads[i].masked);
    EXPECT_FALSE(g_reads[i].restart);
  }
}

TEST(FileListingReads, ReadsOfOneListingAreSerialised) {
  TestFolder folder;
  constexpr int kEntries = 600;
  for (int i = 0; i < kEntries; ++i) WriteTextFile(folder / (L"f" + std::to_wstring(i)), "");
  DirectoryLister lister;
  ASSERT_EQ(lister.OpenListing(folder.path(), nullptr, ListFiles), status::Success);
  std::atomic<int> advanced{0};
  std::atomic<int> failures{0};
  auto reader = [&] {
    for (;;) {
      const StatusCode step = lister.NextEntry();
      if (step == status::ListingEnd) return;
      if (step != status::Success) {
        ++failures;
        return;
      }
      ++advanced;
    }
  };
  std::thread first(reader);
  std::thread second(reader);
  first.join();
  second.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(advanced.load(), kEntries - 1);  // the first entry was current after the open
}

// Stands in for a file system that holds longer names than the local one
// can (Linux keeps at most 255 bytes): every entry named "stand-in.txt" is
// handed back with a name of g_longNameUnits units.
std::size_t g_longNameUnits = 0;

NTSTATUS NTAPI LengtheningQuery(HANDLE file, HANDLE event, nt::IoApcRoutine apc, PVOID context, PIO_STATUS_BLOCK io, PVOID buffer,
                                ULONG length, ULONG infoClass, BOOLEAN single, PUNICODE_STRING name, BOOLEAN restart) {
  std::vector<unsigned char> real(length);
  const NTSTATUS status = g_realQuery(file, event, apc, context, io, real.data(), length, infoClass, single, name, restart);
  if (!NT_SUCCESS(status)) return status;
  using Record = native_file::FileBothDirectoryInformationRecord;
  const ULONG header = native_file::kBothDirectoryHeaderBytes;
  auto* out = static_cast<unsigned char*>(buffer);
  ULONG from = 0;
  ULONG to = 0;
  Record* previous = nullptr;
  for (;;) {
    const auto* in = reinterpret_cast<const Record*>(real.data() + from);
    std::wstring entryName(in->FileName, in->FileNameLength / sizeof(wchar_t));
    if (entryName == L"stand-in.txt") entryName = std::wstring(g_longNameUnits - 4, L'n') + L".txt";
    const ULONG bytes = header + static_cast<ULONG>(entryName.size() * sizeof(wchar_t));
    if (to + bytes > length) return nt::BufferOverflow;
    std::memcpy(out + to, in, header);
    auto* copy = reinterpret_cast<Record*>(out + to);
    copy->FileNameLength = static_cast<ULONG>(entryName.size() * sizeof(wchar_t));
    std::memcpy(copy->FileName, entryName.data(), copy->FileNameLength);
    copy->NextEntryOffset = 0;
    if (previous) previous->NextEntryOffset = static_cast<ULONG>(reinterpret_cast<unsigned char*>(copy) - reinterpret_cast<unsigned char*>(previous));
    previous = copy;
    io->Information = to + bytes;
    to = (to + bytes + 7) & ~7u;
    if (in->NextEntryOffset == 0) break;
    from += in->NextEntryOffset;
  }
  return status;
}

TEST(FileListingReads, NamesLongerThan259UnitsAreRefused) {
  TestFolder folder;
  for (const wchar_t* name : {L"a.txt", L"stand-in.txt", L"z.txt"}) WriteTextFile(folder / name, "");
  const struct {
    std::size_t units;
    bool admitted;
  } rows[] = {{259, true}, {260, false}, {300, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.units);
    g_longNameUnits = row.units;
    test::SwappedEntry swap(Native().ZwQueryDirectoryFile, &LengtheningQuery);
    g_realQuery = swap.original();
    DirectoryLister lister;
    StatusCode step = lister.OpenListing(folder.path(), nullptr, ListFiles);
    std::vector<std::wstring> names;
    int refused = 0;
    while (step != status::ListingEnd) {
      if (step == status::Success) {
        FolderEntry entry;
        ASSERT_EQ(lister.CurrentEntry(entry), status::Success);
        names.push_back(entry.name);
      } else {
        ASSERT_EQ(Code(step), 0xE0010044u);
        FolderEntry entry;
        EXPECT_EQ(Code(lister.CurrentEntry(entry)), 0xE001000Eu);
        ++refused;
      }
      step = lister.NextEntry();
    }
    std::vector<std::wstring> expected = {L"a.txt", L"z.txt"};
    if (row.admitted) expected.push_back(std::wstring(row.units - 4, L'n') + L".txt");
    EXPECT_EQ(Sorted(names), Sorted(expected));
    EXPECT_EQ(refused, row.admitted ? 0 : 1);
  }
}

// Ends the first full read in the middle of its last entry, as a file
// system whose buffer ran out would.
std::wstring g_cutName;

NTSTATUS NTAPI CuttingQuery(HANDLE file, HANDLE event, nt::IoApcRoutine apc, PVOID context, PIO_STATUS_BLOCK io, PVOID buffer,
                            ULONG length, ULONG infoClass, BOOLEAN single, PUNICODE_STRING name, BOOLEAN restart) {
  const NTSTATUS status = g_realQuery(file, event, apc, context, io, buffer, length, infoClass, single, name, restart);
  if (status != nt::Success || single || !g_cutName.empty()) return status;
  using Record = native_file::FileBothDirectoryInformationRecord;
  auto* bytes = static_cast<unsigned char*>(buffer);
  ULONG at = 0;
  while (reinterpret_cast<Record*>(bytes + at)->NextEntryOffset != 0) at += reinterpret_cast<Record*>(bytes + at)->NextEntryOffset;
  if (at == 0) return status;
  const auto* last = reinterpret_cast<Record*>(bytes + at);
  g_cutName.assign(last->FileName, last->FileNameLength / sizeof(wchar_t));
  io->Information = at + native_file::kBothDirectoryHeaderBytes + 2;
  return nt::BufferOverflow;
}

TEST(FileListingReads, ABufferEndingInAPartialEntryKeepsTheCompleteOnes) {
  TestFolder folder;
  std::vector<std::wstring> made;
  for (int i = 0; i < 60; ++i) {
    made.push_back(L"cut-" + std::to_wstring(100 + i));
    WriteTextFile(folder / made.back(), "");
  }
  g_cutName.clear();
  std::vector<std::wstring> listed;
  {
    test::SwappedEntry swap(Native().ZwQueryDirectoryFile, &CuttingQuery);
    g_realQuery = swap.original();
    listed = List(folder.path(), nullptr, ListFiles);
  }
  ASSERT_FALSE(g_cutName.empty());
  std::vector<std::wstring> expected;
  for (const std::wstring& name : made) {
    if (name != g_cutName) expected.push_back(name);
  }
  EXPECT_EQ(listed, Sorted(expected));
}

}  // namespace
}  // namespace zor
