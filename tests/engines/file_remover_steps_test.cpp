// The file stage's item steps on real files in a folder of each test's own:
// what each step removes, what it leaves, what it hands to the next start
// of Windows and what it logs.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engines/stage_engines.h"
#include "tests/engines/file_remover_test_support.h"

namespace zor {
namespace {

using test::DeletionIsPending;
using test::FileStage;
using test::Narrow;
using test::PathExists;
using test::PlaceFile;
using test::PlaceFolder;
using test::Snapshot;
using test::TestFolder;

using Lines = std::vector<std::string>;

std::string N(const std::wstring& text) { return Narrow(text); }

// A handle that keeps a file open the way a running program keeps its
// own: others may read it, nobody may delete or replace it.
class HeldFile {
 public:
  explicit HeldFile(const std::wstring& path)
      : handle_(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)) {
    EXPECT_NE(handle_, INVALID_HANDLE_VALUE) << N(path);
  }
  ~HeldFile() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

 private:
  HANDLE handle_;
};

Lines Sorted(Lines lines) {
  std::sort(lines.begin(), lines.end());
  return lines;
}

constexpr const char* kSharingViolation = "e0010053";
constexpr const char* kNotEmpty = "c0070091";

class FileRemoverSteps : public ::testing::Test {
 protected:
  std::wstring Path(std::wstring_view relative) const { return folder_ / relative; }
  TestFolder folder_;
  FileStage stage_;
};

TEST_F(FileRemoverSteps, TheFileStageOfTheProgramIsTheFileRemover) {
  RunContext context;
  EXPECT_EQ(dynamic_cast<FileRemover*>(context.engines.files.get()), nullptr) << "a context alone has no engines";
  BindStageEngines(context);
  EXPECT_NE(dynamic_cast<FileRemover*>(context.engines.files.get()), nullptr);
}

TEST_F(FileRemoverSteps, DeleteFileItemDeletesAFileAndReportsWhatIsMissing) {
  struct Case {
    const char* name;
    bool makeFile;
    bool makeFolder;
    const char* line;  // %s: the path
    bool remains;
  };
  const Case cases[] = {
      {"missing", false, false, "INFO File '%s' not found", false},
      {"a folder is no file", false, true, "INFO File '%s' not found", true},
      {"a file", true, false, "DEBUG File '%s' deleted", false},
  };
  for (const bool redirect : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (redirect ? ", redirected" : ""));
      FileStage stage;
      const std::wstring path = Path(L"item-" + std::to_wstring(&c - cases) + (redirect ? L"-r" : L"") + L".lnk");
      if (c.makeFile) PlaceFile(path, "shortcut");
      if (c.makeFolder) PlaceFolder(path);
      EXPECT_TRUE(stage.remover().DeleteFileItem(path, redirect).Empty());
      std::string expected = c.line;
      expected.replace(expected.find("%s"), 2, N(path));
      EXPECT_EQ(stage.log().Lines(), Lines{expected});
      EXPECT_EQ(PathExists(path), c.remains);
      EXPECT_EQ(stage.parameters().RestartCounter, 0);
    }
  }
}

TEST_F(FileRemoverSteps, AFileInUseIsDeletedAtTheNextStartAndCounted) {
  const std::wstring first = Path(L"zorsvc.exe");
  const std::wstring second = Path(L"zorwd.exe");
  PlaceFile(first, "service");
  PlaceFile(second, "watchdog");
  HeldFile holdFirst(first);
  HeldFile holdSecond(second);
  stage_.parameters().RestartCounter = 3;

  EXPECT_TRUE(stage_.remover().DeleteFileItem(first, true).Empty());
  EXPECT_EQ(stage_.parameters().RestartCounter, 4);
  EXPECT_TRUE(stage_.remover().DeleteFileItem(second, true).Empty());
  EXPECT_EQ(stage_.parameters().RestartCounter, 5);

  EXPECT_EQ(stage_.log().Lines(),
            (Lines{"DEBUG Removing file '" + N(first) + "' failed (error " + kSharingViolation +
                       "), planned for delete after restart",
                   "DEBUG Removing file '" + N(second) + "' failed (error " + kSharingViolation +
                       "), planned for delete after restart"}));
  EXPECT_TRUE(PathExists(first));
  EXPECT_TRUE(PathExists(second));
  EXPECT_TRUE(DeletionIsPending(first));
  EXPECT_TRUE(DeletionIsPending(second));
}

TEST_F(FileRemoverSteps, MatchingFilesInUseAreCountedOneEachAndTheRestDeleted) {
  const std::wstring held1 = Path(L"zorcore.dll");
  const std::wstring held2 = Path(L"zorshext.dll");
  const std::wstring free = Path(L"zorbho.dll");
  PlaceFile(held1, "core");
  PlaceFile(held2, "shell");
  PlaceFile(free, "bho");
  HeldFile hold1(held1);
  HeldFile hold2(held2);

  EXPECT_TRUE(stage_.remover().DeleteMatchingFiles(folder_.path(), L"zor*.dll", true).Empty());
  EXPECT_EQ(stage_.parameters().RestartCounter, 2);
  EXPECT_EQ(Sorted(stage_.log().Lines()),
            Sorted({"INFO File '" + N(free) + "' deleted",
                    "DEBUG Removing file '" + N(held1) + "' failed (error " + kSharingViolation +
                        "), planned for delete after restart",
                    "DEBUG Removing file '" + N(held2) + "' failed (error " + kSharingViolation +
                        "), planned for delete after restart"}));
  EXPECT_FALSE(PathExists(free));
  EXPECT_TRUE(DeletionIsPending(held1));
  EXPECT_TRUE(DeletionIsPending(held2));
}

TEST_F(FileRemoverSteps, AFolderWithAFileInUseStaysAndOnlyTheFileIsHandedOver) {
  const std::wstring logs = Path(L"Logs");
  const std::wstring held = logs + L"\\zorsvc.log";
  PlaceFile(held, "log");
  HeldFile hold(held);

  EXPECT_TRUE(stage_.remover().RemoveFolderItem(logs, true, true, false).Empty());
  EXPECT_EQ(stage_.parameters().RestartCounter, 1);
  EXPECT_EQ(stage_.log().Lines(),
            (Lines{"DEBUG Removing file '" + N(held) + "' failed (error " + kSharingViolation +
                       "), planned for delete after restart",
                   "DEBUG Directory " + N(logs) + " not deleted (error " + kNotEmpty + ")"}));
  EXPECT_TRUE(PathExists(held));
}

TEST_F(FileRemoverSteps, DeleteMatchingFilesTakesOnlyMatchingFilesOfTheFolderItself) {
  const std::wstring drivers = Path(L"drivers");
  for (const wchar_t* name : {L"zorfwfd.sys", L"ZORFSF.SYS", L"zorhips.sys", L"other.sys", L"zorfwfd.cat"}) {
    PlaceFile(drivers + L"\\" + name, test::Narrow(name));
  }
  PlaceFolder(drivers + L"\\zorfolder.sys");
  PlaceFile(drivers + L"\\ZOR\\zorinner.sys", "inner");

  EXPECT_TRUE(stage_.remover().DeleteMatchingFiles(drivers, L"zor*.sys", false).Empty());
  EXPECT_EQ(Sorted(stage_.log().Lines()), Sorted({"INFO File '" + N(drivers) + "\\zorfwfd.sys' deleted",
                                                  "INFO File '" + N(drivers) + "\\ZORFSF.SYS' deleted",
                                                  "INFO File '" + N(drivers) + "\\zorhips.sys' deleted"}));
  EXPECT_EQ(test::Describe(Snapshot(drivers)), "ZOR\\\nZOR\\zorinner.sys = inner\nother.sys = other.sys\n"
                                               "zorfolder.sys\\\nzorfwfd.cat = zorfwfd.cat\n");
  EXPECT_EQ(stage_.parameters().RestartCounter, 0);
}

TEST_F(FileRemoverSteps, DeleteMatchingFilesReportsAFolderThatIsNotThere) {
  const std::wstring missing = Path(L"missing");
  const std::wstring file = Path(L"file.txt");
  PlaceFile(file, "text");
  EXPECT_TRUE(stage_.remover().DeleteMatchingFiles(missing, L"*.dll", true).Empty());
  EXPECT_TRUE(stage_.remover().DeleteMatchingFiles(file, L"*.*", true).Empty());
  EXPECT_EQ(stage_.log().Lines(),
            (Lines{"INFO Directory '" + N(missing) + "' not found", "INFO Directory '" + N(file) + "' not found"}));
  EXPECT_TRUE(PathExists(file));
}

TEST_F(FileRemoverSteps, RemoveFolderItemRemovesWhatEachKindOfRowAllows) {
  struct Case {
    const char* name;
    std::vector<const wchar_t*> files;  // below the folder; null entry: the folder only
    bool filesFirst;
    bool hardForce;
    bool forceHard;  // DeleteDirForceHard
    std::vector<std::string> lines;  // %p: the folder
    std::string left;                // what remains below the test folder
  };
  const Case cases[] = {
      {"missing", {}, false, false, false, {"INFO Directory '%p' not found"}, ""},
      {"empty, plain", {nullptr}, false, false, false, {"INFO Directory '%p' deleted"}, ""},
      {"a file keeps a plain folder", {L"a.txt"}, false, false, false,
       {"DEBUG Directory %p not deleted (error c0070091)"}, "F\\\nF\\a.txt = a.txt\n"},
      {"files first", {L"a.txt"}, true, false, false,
       {"INFO File '%p\\a.txt' deleted", "INFO Directory '%p' deleted"}, ""},
      {"a subfolder keeps it", {L"a.txt", L"sub\\b.txt"}, true, false, false,
       {"INFO File '%p\\a.txt' deleted", "DEBUG Directory %p not deleted (error c0070091)"},
       "F\\\nF\\sub\\\nF\\sub\\b.txt = sub\\b.txt\n"},
      {"hard force", {L"a.txt", L"sub\\b.txt"}, true, true, false,
       {"INFO Trying HardForce delete '%p'", "INFO Directory '%p' deleted"}, ""},
      {"forced, plain row", {L"a.txt", L"sub\\b.txt"}, false, false, true, {"INFO Directory '%p' deleted"}, ""},
      {"forced, emptying row", {L"a.txt", L"sub\\b.txt"}, true, false, true, {"INFO Directory '%p' deleted"}, ""},
      {"forced, hard force", {L"sub\\b.txt"}, true, true, true,
       {"INFO Trying HardForce delete '%p'", "INFO Directory '%p' deleted"}, ""},
  };
  for (const bool redirect : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (redirect ? ", redirected" : ""));
      TestFolder root(folder_.path());
      const std::wstring folder = root / L"F";
      for (const wchar_t* file : c.files) {
        if (file == nullptr) {
          PlaceFolder(folder);
        } else {
          PlaceFile(folder + L"\\" + file, Narrow(file));
        }
      }
      FileStage stage;
      stage.parameters().DeleteDirForceHard = c.forceHard;
      EXPECT_TRUE(stage.remover().RemoveFolderItem(folder, redirect, c.filesFirst, c.hardForce).Empty());
      Lines expected;
      for (std::string line : c.lines) {
        for (std::size_t at = line.find("%p"); at != std::string::npos; at = line.find("%p")) {
          line.replace(at, 2, N(folder));
        }
        expected.push_back(line);
      }
      EXPECT_EQ(stage.log().Lines(), expected);
      EXPECT_EQ(test::Describe(Snapshot(root.path())), c.left);
      EXPECT_EQ(stage.parameters().RestartCounter, 0);
    }
  }
}

TEST_F(FileRemoverSteps, RemoveFolderItemLeavesAFileWhereAFolderWasNamed) {
  const std::wstring file = Path(L"Logs");
  PlaceFile(file, "not a folder");
  EXPECT_TRUE(stage_.remover().RemoveFolderItem(file, true, true, true).Empty());
  EXPECT_EQ(stage_.log().Lines(), Lines{"INFO Directory '" + N(file) + "' not found"});
  EXPECT_EQ(test::ReadTextFile(file), "not a folder");
}

TEST_F(FileRemoverSteps, SpecialActionsReportAndChangeNothing) {
  const std::wstring file = Path(L"zorbtchk.dat");
  const std::wstring missing = Path(L"missing.dat");
  PlaceFile(file, "boot check");
  EXPECT_TRUE(stage_.remover().ReportSpecialAction(missing, true, 0).Empty());
  EXPECT_TRUE(stage_.remover().ReportSpecialAction(file, false, 7).Empty());
  EXPECT_TRUE(stage_.remover().ReportSpecialAction(file, true, 0).Empty());
  EXPECT_TRUE(stage_.remover().RunSpecialAction(file, 7).Empty());
  EXPECT_EQ(stage_.log().Lines(), (Lines{"INFO File '" + N(missing) + "' not found",
                                         "INFO No special action implemented for file " + N(file),
                                         "INFO Special action not defined for file " + N(file)}));
  EXPECT_EQ(test::ReadTextFile(file), "boot check");
  EXPECT_EQ(stage_.parameters().RestartCounter, 0);
}

}  // namespace
}  // namespace zor
