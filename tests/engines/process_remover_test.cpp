// The process stage on real programs signed for this run: the maker's
// programs are renamed, stopped and deleted; anything else runs on.
#include "engines/process_remover.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/code_signature.h"
#include "platform/native_api.h"
#include "platform/process_list.h"
#include "tests/engines/engine_under_test.h"
#include "tests/platform/file_test_support.h"
#include "tests/support/narrow_text.h"
#include "tests/support/signed_programs.h"
#include "tests/support/table_swap.h"

namespace zor {
namespace {

using Lines = std::vector<std::string>;
using test::Narrow;
using Stage = test::EngineUnderTest<ProcessRemover>;
using test::RunningCopy;

// The lines that name this test's folder.
Lines LinesAbout(const Lines& lines, const std::wstring& folder) {
  Lines about;
  for (const std::string& line : lines) {
    if (line.find(Narrow(folder)) != std::string::npos) about.push_back(line);
  }
  return about;
}

TEST(ProcessStage, StopsAndDeletesTheMakersProgramsAndLeavesEveryOtherAlone) {
  ASSERT_TRUE(test::TrustTestRoot());
  test::TestFolder folder;
  const struct {
    const wchar_t* file;
    bool makers;
  } rows[] = {
      {L"maker.exe", true},         {L"maker-stamped.exe", true}, {L"other-serial.exe", false},
      {L"short-serial.exe", false}, {L"unsigned.exe", false},
  };
  std::vector<std::unique_ptr<RunningCopy>> copies;
  for (const auto& row : rows) {
    copies.push_back(std::make_unique<RunningCopy>(row.file, folder / (std::wstring(L"run\\") + row.file)));
    ASSERT_TRUE(copies.back()->Started()) << Narrow(row.file) << " " << GetLastError();
  }
  Stage stage;
  EXPECT_TRUE(stage.remover.RemoveProductProcesses().Empty());
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(Narrow(rows[i].file));
    const RunningCopy& copy = *copies[i];
    EXPECT_EQ(copy.Running(), !rows[i].makers);
    EXPECT_EQ(test::PathExists(copy.Path()), !rows[i].makers);
    EXPECT_FALSE(test::PathExists(copy.Path() + L".to_delete"));
  }
  EXPECT_EQ(LinesAbout(stage.log.TakeLines(), folder.path()), Lines{});
  EXPECT_EQ(stage.context.parameters.RestartCounter, 0);
}

TEST(ProcessStage, TheWhitelistAndTheExceptionsKeepASignedProgramRunning) {
  ASSERT_TRUE(test::TrustTestRoot());
  test::TestFolder folder;
  const std::wstring listed = folder / L"Tools\\monitor.exe";
  const std::wstring excepted = folder / L"ZOR Backup 2012\\agent.exe";
  std::wstring upper = listed;
  for (wchar_t& c : upper) c = static_cast<wchar_t>(towupper(c));
  const struct {
    const char* what;
    std::wstring path;
    std::vector<std::wstring> whitelist;
    bool kept;
    const char* found;  // the list it was found in
  } rows[] = {
      {"whitelisted in other letters", listed, {L"C:\\other.exe", upper}, true, "whitelist"},
      {"a whitelist entry with a trailing blank", listed, {listed + L" "}, false, nullptr},
      {"an exception text in any letter case", excepted, {}, true, "exceptionlist"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    RunningCopy copy(L"maker.exe", row.path);
    ASSERT_TRUE(copy.Started()) << GetLastError();
    Stage stage;
    stage.context.parameters.Whitelist = row.whitelist;
    EXPECT_TRUE(stage.remover.RemoveProductProcesses().Empty());
    EXPECT_EQ(copy.Running(), row.kept);
    EXPECT_EQ(test::PathExists(row.path), row.kept);
    Lines expected;
    if (row.kept) {
      expected = {"DEBUG Found process '" + Narrow(row.path) + "' in " + row.found,
                  "DEBUG Skipping process delete at PID:" + std::to_string(copy.Id()) + " '" + Narrow(row.path) +
                      "'. Whitelist."};
    }
    EXPECT_EQ(LinesAbout(stage.log.TakeLines(), folder.path()), expected);
  }
}

TEST(ProcessStage, AnImageThatCannotBeRenamedIsPlannedForTheRestartAndKeepsRunning) {
  ASSERT_TRUE(test::TrustTestRoot());
  test::TestFolder folder;
  const std::wstring image = folder / L"held\\zorsvc.exe";
  RunningCopy copy(L"maker.exe", image);
  ASSERT_TRUE(copy.Started()) << GetLastError();
  test::WriteTextFile(image + L".to_delete", "an older leftover");
  Stage stage;
  EXPECT_TRUE(stage.remover.RemoveProductProcesses().Empty());
  EXPECT_TRUE(copy.Running());
  EXPECT_EQ(stage.context.parameters.RestartCounter, 1);
  EXPECT_TRUE(test::DeletionIsPending(image));
  const Lines lines = LinesAbout(stage.log.TakeLines(), folder.path());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind("DEBUG Failed to move '" + Narrow(image) + "', error: 0x", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind("DEBUG Removing file '" + Narrow(image) + "' failed (error ", 0), 0u) << lines[1];
  EXPECT_NE(lines[1].find("planned for delete after restart"), std::string::npos) << lines[1];
}

// Deletion refused by the file system after the stop: both the new name and
// the old one are left to the next start.
TEST(ProcessStage, ARenamedFileThatCannotBeDeletedIsPlannedUnderBothNames) {
  ASSERT_TRUE(test::TrustTestRoot());
  test::TestFolder folder;
  const std::wstring image = folder / L"locked\\zorgui.exe";
  RunningCopy copy(L"maker-stamped.exe", image);
  ASSERT_TRUE(copy.Started()) << GetLastError();
  static decltype(NativeChanges().ZwSetInformationFile) original = nullptr;
  original = NativeChanges().ZwSetInformationFile;
  auto refuseDeletion = [](HANDLE file, PIO_STATUS_BLOCK io, PVOID information, ULONG length,
                           ULONG type) -> NTSTATUS {
    if (type == 13 || type == 64) return static_cast<NTSTATUS>(0xC0000022);  // the two dispositions
    return original(file, io, information, length, type);
  };
  Stage stage;
  {
    test::SwappedEntry swapped(NativeChanges().ZwSetInformationFile, +refuseDeletion);
    EXPECT_TRUE(stage.remover.RemoveProductProcesses().Empty());
  }
  EXPECT_FALSE(copy.Running());
  EXPECT_TRUE(test::PathExists(image + L".to_delete"));
  EXPECT_EQ(stage.context.parameters.RestartCounter, 2);
  EXPECT_TRUE(test::DeletionIsPending(image + L".to_delete"));
  EXPECT_TRUE(test::DeletionIsPending(image));
  const Lines lines = LinesAbout(stage.log.TakeLines(), folder.path());
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].rfind("DEBUG Failed to delete '" + Narrow(image) + ".to_delete', error: 0x", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind("DEBUG Removing file '" + Narrow(image) + ".to_delete' failed (error ", 0), 0u) << lines[1];
  EXPECT_EQ(lines[2].rfind("DEBUG Removing file '" + Narrow(image) + "' failed (error ", 0), 0u) << lines[2];
  DeleteFileW((image + L".to_delete").c_str());
}

// Started by the next test as a second copy of this (maker-signed) test
// program; it waits to be stopped, which must not happen.
TEST(ProcessStageHelper, DISABLED_WaitsAsASecondCopy) { Sleep(60000); }

TEST(ProcessStage, NeitherThisProgramNorASecondCopyOfItIsStopped) {
  ASSERT_TRUE(test::TrustTestRoot());
  wchar_t own[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameW(nullptr, own, MAX_PATH), 0u);
  CodeSignatureInfo signature;
  ASSERT_EQ(ReadCodeSignature(own, signature), status::Success) << "the build signs this program as the maker's";
  ASSERT_TRUE(signature.IsMakerCertificate);

  std::wstring command = std::wstring(L"\"") + own +
                         L"\" --gtest_also_run_disabled_tests --gtest_filter=ProcessStageHelper.DISABLED_WaitsAsASecondCopy";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION second{};
  ASSERT_TRUE(CreateProcessW(own, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                             &second));
  CloseHandle(second.hThread);
  Sleep(500);
  test::TestFolder folder;
  RunningCopy other(L"maker.exe", folder / L"other\\zorscan.exe");
  ASSERT_TRUE(other.Started()) << GetLastError();

  Stage stage;
  EXPECT_TRUE(stage.remover.RemoveProductProcesses().Empty());
  EXPECT_EQ(WaitForSingleObject(second.hProcess, 1000), static_cast<DWORD>(WAIT_TIMEOUT)) << "the second copy runs on";
  EXPECT_FALSE(other.Running()) << "a maker's program of another name is stopped";
  EXPECT_TRUE(test::PathExists(own));
  for (const std::string& line : stage.log.TakeLines()) EXPECT_EQ(line.find("process_tests"), std::string::npos) << line;
  TerminateProcess(second.hProcess, 0);
  WaitForSingleObject(second.hProcess, 5000);
  CloseHandle(second.hProcess);
}

// A process that cannot be opened is listed all the same, without a path.
TEST(TakeProcessList, AProcessThatCannotBeOpenedIsListedWithItsFailure) {
  test::TestFolder folder;
  RunningCopy copy(L"unsigned.exe", folder / L"closed\\closed.exe");
  ASSERT_TRUE(copy.Started()) << GetLastError();
  static std::uint32_t refused = 0;
  refused = copy.Id();
  static decltype(Native().ZwOpenProcess) original = nullptr;
  original = Native().ZwOpenProcess;
  auto open = [](PHANDLE process, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, CLIENT_ID* client) -> NTSTATUS {
    if (reinterpret_cast<ULONG_PTR>(client->UniqueProcess) == refused) return static_cast<NTSTATUS>(0xC0000022);
    return original(process, access, attributes, client);
  };
  std::vector<ProcessEntry> list;
  {
    test::SwappedEntry swapped(Native().ZwOpenProcess, +open);
    ASSERT_EQ(TakeProcessList(ProcessPathsDos, list), status::Success);
  }
  bool foundRefused = false;
  bool foundOwn = false;
  for (const ProcessEntry& entry : list) {
    if (entry.identifier == refused) {
      foundRefused = true;
      EXPECT_TRUE(entry.imagePath.empty());
      EXPECT_EQ(entry.pathStatus, status::AccessDenied);
    }
    if (entry.identifier == GetCurrentProcessId()) {
      foundOwn = true;
      EXPECT_EQ(entry.pathStatus, status::Success);
      std::wstring own;
      ASSERT_EQ(ProcessImagePath(GetCurrentProcessId(), own), status::Success);
      EXPECT_EQ(Narrow(entry.imagePath), Narrow(own));
      EXPECT_NE(own.find(L"process_tests.exe"), std::wstring::npos) << Narrow(own);
    }
  }
  EXPECT_TRUE(foundRefused);
  EXPECT_TRUE(foundOwn);
}

}  // namespace
}  // namespace zor
