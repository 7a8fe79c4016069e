#include "logging/file_appender.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "logging/log_status.h"
#include "tests/logging/logging_test_support.h"

namespace zor {
namespace {

constexpr wchar_t kFileId[] = L"{5B0E9A61-7C2D-4E8F-B1A3-9D6C4F2E8A17}";

std::unique_ptr<LogManager> ManagerWith(const std::wstring& text) {
  StatusCode result = status::GenericFailure;
  std::unique_ptr<LogManager> manager = LogManager::CreateSeparate(result);
  EXPECT_EQ(result, status::Success);
  if (manager) {
    EXPECT_EQ(manager->Configure(text), status::Success);
  }
  return manager;
}

std::wstring FileConfiguration(const std::wstring& path, const wchar_t* extraKeys = L"") {
  return L"[Out]\nType = Appender\nAppenderType = File\nLayout = L\nFileName = " + path + L"\n" + extraKeys +
         L"[L]\nType = Layout\nLayoutType = Custom\nFormat = %msg\n[Engine]\nAddAppenders = Out\n";
}

StatusCode Write(LogManager& manager, std::wstring_view text) {
  return manager.GetLogger(L"Engine")->Log(severity::Info, text, kFileId, 1, 2, 3, 4);
}

std::string Utf16Bytes(std::wstring_view text) {
  std::string bytes;
  for (wchar_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
  }
  return bytes;
}

TEST(FileAppender, WritesTheMarkOnceAndAppendsLinesOnLaterOpens) {
  test::TestFolder folder;
  const std::wstring path = folder.File(L"app.log");
  {
    auto manager = ManagerWith(FileConfiguration(path));
    ASSERT_TRUE(manager);
    EXPECT_FALSE(test::FileExistsAt(path));  // opened on the first record only
    EXPECT_EQ(Write(*manager, L"first"), status::Success);
    EXPECT_EQ(Write(*manager, L"Gr\u00fc\u00df \u20ac"), status::Success);
    EXPECT_EQ(manager->FindAppender(L"Out")->Close(), status::Success);
    EXPECT_EQ(Write(*manager, L"after reopening"), status::Success);
  }
  {
    auto manager = ManagerWith(FileConfiguration(path));
    ASSERT_TRUE(manager);
    EXPECT_EQ(Write(*manager, L"next run"), status::Success);
  }
  const std::string expected = std::string("\xFF\xFE", 2) + Utf16Bytes(L"first\r\nGr\u00fc\u00df \u20ac\r\n") +
                               Utf16Bytes(L"after reopening\r\nnext run\r\n");
  EXPECT_EQ(test::ReadFileBytes(path), expected);
}

int g_flushes = 0;
ZwFlushBuffersFileFunction* g_realFlush = nullptr;

NTSTATUS NTAPI CountingFlush(HANDLE file, PIO_STATUS_BLOCK io) {
  ++g_flushes;
  return g_realFlush(file, io);
}

TEST(FileAppender, ImmediateWriteFlushesAfterEveryLine) {
  test::TestFolder folder;
  const struct {
    const wchar_t* keys;
    int flushes;
  } rows[] = {
      {L"", 0},
      {L"ImmediateWrite = false\n", 0},
      {L"ImmediateWrite = True\n", 0},
      {L"ImmediateWrite = true\n", 3},
      {L"ImmediateWrite = yes\n", 3},
      {L"ImmediateWrite = 1\n", 3},
  };
  int index = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.keys);
    const std::wstring path = folder.File(L"flush" + std::to_wstring(index++) + L".log");
    auto manager = ManagerWith(FileConfiguration(path, row.keys));
    ASSERT_TRUE(manager);
    test::SwappedEntry swap(NativeChanges().ZwFlushBuffersFile, &CountingFlush);
    g_realFlush = swap.original();
    g_flushes = 0;
    for (const wchar_t* text : {L"a", L"b", L"c"}) EXPECT_EQ(Write(*manager, text), status::Success);
    EXPECT_EQ(g_flushes, row.flushes);
    EXPECT_EQ(test::ReadLogLines(path), (std::vector<std::wstring>{L"a", L"b", L"c"}));
  }
}

TEST(FileAppender, RelativeNamesResolveAgainstTheCurrentDirectory) {
  test::TestFolder folder;
  wchar_t saved[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, saved);
  ASSERT_TRUE(SetCurrentDirectoryW(folder.Path().c_str()));
  {
    auto manager = ManagerWith(FileConfiguration(L"sub\\..\\relative.log"));
    ASSERT_TRUE(manager);
    auto* appender = dynamic_cast<FileAppender*>(manager->FindAppender(L"Out"));
    ASSERT_NE(appender, nullptr);
    EXPECT_EQ(appender->FullPath(), folder.File(L"relative.log"));
    EXPECT_EQ(Write(*manager, L"here"), status::Success);
  }
  SetCurrentDirectoryW(saved);
  EXPECT_EQ(test::ReadLogLines(folder.File(L"relative.log")), std::vector<std::wstring>{L"here"});
}

TEST(FileAppender, FailedOpenIsReportedAndTheNextRecordTriesAgain) {
  test::TestFolder folder;
  const std::wstring path = folder.File(L"later\\app.log");
  auto manager = ManagerWith(FileConfiguration(path));
  ASSERT_TRUE(manager);
  // STATUS_OBJECT_PATH_NOT_FOUND, folded into a warning by the logger.
  EXPECT_EQ(static_cast<std::uint32_t>(Write(*manager, L"lost")), 0xA001003Eu);
  EXPECT_FALSE(manager->FindAppender(L"Out")->IsOpen());
  ASSERT_TRUE(CreateDirectoryW(folder.File(L"later").c_str(), nullptr));
  EXPECT_EQ(Write(*manager, L"kept"), status::Success);
  EXPECT_EQ(test::ReadLogLines(path), std::vector<std::wstring>{L"kept"});
}

NTSTATUS NTAPI DiskFullWrite(HANDLE, HANDLE, nt::IoApcRoutine, PVOID, PIO_STATUS_BLOCK, const void*, ULONG,
                             PLARGE_INTEGER, PULONG) {
  return static_cast<NTSTATUS>(0xC000007F);  // STATUS_DISK_FULL
}

TEST(FileAppender, WriteFailureIsReportedAndTheFileStaysUsable) {
  test::TestFolder folder;
  const std::wstring path = folder.File(L"app.log");
  auto manager = ManagerWith(FileConfiguration(path));
  ASSERT_TRUE(manager);
  EXPECT_EQ(Write(*manager, L"one"), status::Success);
  {
    test::SwappedEntry swap(NativeChanges().ZwWriteFile, &DiskFullWrite);
    // ERROR_DISK_FULL (112), as a warning.
    EXPECT_EQ(static_cast<std::uint32_t>(Write(*manager, L"two")), 0x80070070u);
  }
  EXPECT_EQ(Write(*manager, L"three"), status::Success);
  EXPECT_EQ(test::ReadLogLines(path), (std::vector<std::wstring>{L"one", L"three"}));
}

TEST(FileAppender, ClearEmptiesTheFileAndKeepsItReadable) {
  test::TestFolder folder;
  const std::wstring path = folder.File(L"app.log");
  auto manager = ManagerWith(FileConfiguration(path));
  ASSERT_TRUE(manager);
  EXPECT_EQ(Write(*manager, L"old"), status::Success);
  EXPECT_EQ(manager->FindAppender(L"Out")->Clear(), status::Success);
  EXPECT_EQ(test::ReadFileBytes(path), std::string("\xFF\xFE", 2));
  EXPECT_EQ(Write(*manager, L"new"), status::Success);
  bool wellFormed = false;
  EXPECT_EQ(test::ReadLogLines(path, &wellFormed), std::vector<std::wstring>{L"new"});
  EXPECT_TRUE(wellFormed);
}

TEST(FileAppender, OtherProgramsCanReadTheLogWhileItIsOpen) {
  test::TestFolder folder;
  const std::wstring path = folder.File(L"app.log");
  auto manager = ManagerWith(FileConfiguration(path));
  ASSERT_TRUE(manager);
  EXPECT_EQ(Write(*manager, L"visible"), status::Success);
  HANDLE reader =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE);
  CloseHandle(reader);
  // Without delete sharing the plain file appender keeps its name.
  EXPECT_FALSE(MoveFileW(path.c_str(), folder.File(L"moved.log").c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}

TEST(FileAppender, ANewFileNameTakesEffectWithTheNextRecord) {
  test::TestFolder folder;
  auto manager = ManagerWith(FileConfiguration(folder.File(L"first.log")));
  ASSERT_TRUE(manager);
  EXPECT_EQ(Write(*manager, L"one"), status::Success);
  ASSERT_EQ(manager->Configure(L"[Out]\nFileName = " + folder.File(L"second.log") + L"\n"), status::Success);
  EXPECT_FALSE(manager->FindAppender(L"Out")->IsOpen());
  EXPECT_EQ(Write(*manager, L"two"), status::Success);
  EXPECT_EQ(test::ReadLogLines(folder.File(L"first.log")), std::vector<std::wstring>{L"one"});
  EXPECT_EQ(test::ReadLogLines(folder.File(L"second.log")), std::vector<std::wstring>{L"two"});
}

TEST(FileAppender, EveryAccountMayWriteTheLog) {
  if (test::RunningUnderWine()) {
    GTEST_SKIP() << "Wine 8 does not keep the security descriptor a file is created with: it reports one made "
                    "from the Unix mode bits (everyone: read only)";
  }
  test::TestFolder folder;
  const std::wstring path = folder.File(L"app.log");
  auto manager = ManagerWith(FileConfiguration(path));
  ASSERT_TRUE(manager);
  EXPECT_EQ(Write(*manager, L"one"), status::Success);

  DWORD needed = 0;
  GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
  ASSERT_GT(needed, 0u);
  std::vector<unsigned char> buffer(needed);
  auto* descriptor = reinterpret_cast<PSECURITY_DESCRIPTOR>(buffer.data());
  ASSERT_TRUE(GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor, needed, &needed));
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL acl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted));
  ASSERT_TRUE(present);
  ASSERT_NE(acl, nullptr);
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  ASSERT_TRUE(AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
  ACCESS_MASK everyoneMay = 0;
  for (DWORD i = 0; i < acl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    if (!GetAce(acl, i, reinterpret_cast<void**>(&ace)) || ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    if (EqualSid(reinterpret_cast<PSID>(&ace->SidStart), everyone)) everyoneMay |= ace->Mask;
  }
  FreeSid(everyone);
  EXPECT_EQ(everyoneMay & (FILE_GENERIC_READ | FILE_GENERIC_WRITE | DELETE),
            static_cast<ACCESS_MASK>(FILE_GENERIC_READ | FILE_GENERIC_WRITE | DELETE));
}

TEST(FileAppender, WritesItsSettingsBackIntoASection) {
  test::TestFolder folder;
  auto manager =
      ManagerWith(FileConfiguration(folder.File(L"app.log"), L"ImmediateWrite = yes\nBreakSeverity = warn\n"));
  ASSERT_TRUE(manager);
  ConfigSection written(L"Out");
  manager->FindAppender(L"Out")->WriteConfiguration(written);
  const struct {
    const wchar_t* key;
    std::wstring value;
  } rows[] = {
      {L"Type", L"Appender"},
      {L"AppenderType", L"File"},
      {L"BreakSeverity", L"WARN"},
      {L"Layout", L"L"},
      {L"FileName", folder.File(L"app.log")},
      {L"ImmediateWrite", L"true"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.key);
    std::wstring value;
    EXPECT_EQ(written.GetValue(row.key, value), status::Success);
    EXPECT_EQ(value, row.value);
  }
  EXPECT_EQ(written.Keys().size(), 6u);
}

// The program and its separate copy write one log: each record is one
// append-only write, which the system puts whole at the end of the file.
TEST(FileAppender, TwoProcessesAppendToOneLogWithoutLosingOrMixingLines) {
  test::TestFolder folder;
  const std::wstring path = folder.File(L"zorremover.log");
  constexpr int kRecords = 20000;
  test::RunTwoLogWriters(path, kRecords, L"file", L"0");
  std::map<std::wstring, std::set<int>> seen;
  EXPECT_EQ(test::ReadWriterRecords(folder.Path(), {L"zorremover.log"}, seen), 2u * kRecords);
  EXPECT_EQ(seen[L"A"].size(), static_cast<std::size_t>(kRecords));
  EXPECT_EQ(seen[L"B"].size(), static_cast<std::size_t>(kRecords));
}

}  // namespace
}  // namespace zor
