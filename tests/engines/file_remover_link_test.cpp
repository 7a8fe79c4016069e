// Links among the product's folders, as a user can plant them under
// ProgramData before the remover runs or between its two runs. The file
// stage must not list, empty or delete anything through them, with or
// without "deletedirforcehard"; what they point at keeps every file.
//
// The links are Unix symbolic links made by file-remover-links.sh: Wine
// lists one in its parent folder as a reparse point, but a handle on it
// shows its target, so Wine cannot remove it as the link itself. Where
// Windows removes such a link, Wine leaves it, and both leave its target.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/file_operations.h"
#include "platform/link_check.h"
#include "tests/engines/file_remover_test_support.h"
#include "tests/support/line_checks.h"

namespace zor {
namespace {

using test::HasLine;
using test::Joined;

using test::FileStage;
using test::Narrow;
using test::PlaceFile;
using test::Snapshot;

using Lines = std::vector<std::string>;

std::string N(const std::wstring& text) { return Narrow(text); }

int Count(const Lines& lines, const std::string& part) {
  return static_cast<int>(std::count_if(lines.begin(), lines.end(),
                                        [&](const std::string& line) { return line.find(part) != std::string::npos; }));
}

// Lines about anything below the link, other than the announcement of the
// row that names it: none may appear.
Lines Through(const Lines& lines, const std::wstring& link) {
  Lines through;
  for (const std::string& line : lines) {
    if (line.rfind("DEBUG Processing item '", 0) != 0 && line.find(N(link) + "\\") != std::string::npos) {
      through.push_back(line);
    }
  }
  return through;
}

// The first row of a folder whose path starts with `prefix`.
int FirstRow(RunFolder parentDir, std::wstring_view prefix) {
  const std::span<const FileItem> table = FileItemTable();
  for (std::size_t i = 0; i < table.size(); ++i) {
    const std::wstring_view path = table[i].relativePath ? table[i].relativePath : L"";
    if (table[i].parentDir == parentDir && path.substr(0, prefix.size()) == prefix) return static_cast<int>(i);
  }
  return -1;
}

std::string Refused(const std::wstring& link, int row) {
  return "WARN Directory '" + N(link) + "' is a link: fileItem number " + std::to_string(row) +
         " is not removed through it";
}

std::string LinkOnly(const std::wstring& link) { return "WARN Directory '" + N(link) + "' is a link: only the link is removed"; }

// What the removal of the link itself logs: Wine cannot open it as a link.
std::string LinkRemoval(const std::wstring& link) {
  return test::RunningUnderWine() ? "DEBUG Directory " + N(link) + " not deleted (error c007112b)"
                                  : "INFO Directory '" + N(link) + "' deleted";
}

class FileRemoverLinks : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"ZOR_REMOVER_LINK_ROOT", buffer, MAX_PATH);
    ASSERT_GT(length, 0u) << "run through file-remover-links.sh, which makes the links";
    root_.assign(buffer, length);
  }
  std::wstring Path(std::wstring_view relative) const { return root_ + L"\\" + std::wstring(relative); }
  std::wstring Victim(std::wstring_view name) const { return Path(L"victims\\" + std::wstring(name)); }

  // Runs the stage without and then with "deletedirforcehard"; the victim
  // keeps every file after each run. The log of each run is handed over.
  template <typename SetFolders, typename CheckRun>
  void RunBothWays(std::wstring_view victim, SetFolders setFolders, CheckRun checkRun) {
    const auto before = Snapshot(Victim(victim));
    ASSERT_EQ(before.count(L"Shared\\shared.dat"), 1u) << test::Describe(before);
    for (const bool forceHard : {false, true}) {
      SCOPED_TRACE(forceHard ? "deletedirforcehard" : "plain");
      FileStage stage;
      setFolders(stage.parameters());
      stage.parameters().DeleteDirForceHard = forceHard;
      EXPECT_TRUE(stage.remover().RunStage().Empty());
      EXPECT_EQ(test::Describe(Snapshot(Victim(victim))), test::Describe(before));
      EXPECT_EQ(stage.parameters().RestartCounter, 0);
      checkRun(stage.log().Lines());
    }
  }

  std::wstring root_;
};

TEST_F(FileRemoverLinks, TheDataFolderItselfIsALink) {
  const std::wstring data = Path(L"data\\ProgramData\\ZOR10");
  RunBothWays(
      L"data", [&](RunParameters& p) { p.ZorDataDir = data; },
      [&](const Lines& lines) {
        // Every row below the data folder is refused, and the folder's own
        // row removes only the link.
        int below = 0;
        for (const FileItem& item : FileItemTable()) {
          if (item.parentDir == RunFolder::ZorDataDir && item.relativePath) ++below;
        }
        EXPECT_EQ(Count(lines, "WARN Directory '" + N(data) + "' is a link: fileItem number "), below);
        EXPECT_TRUE(HasLine(lines, Refused(data, test::RowsOf(RunFolder::ZorDataDir).front()))) << Joined(lines);
        EXPECT_TRUE(HasLine(lines, LinkOnly(data))) << Joined(lines);
        EXPECT_TRUE(HasLine(lines, LinkRemoval(data))) << Joined(lines);
        EXPECT_EQ(Through(lines, data), Lines{});
      });
}

TEST_F(FileRemoverLinks, AFolderThatARowNamesIsALink) {
  const std::wstring data = Path(L"sub\\ProgramData\\ZOR10");
  const std::wstring logs = data + L"\\Logs";
  RunBothWays(
      L"sub",
      [&](RunParameters& p) {
        p.ZorDataDir = data;
        PlaceFile(data + L"\\Config\\zorcfg.xml", "product");
        PlaceFile(data + L"\\Quarantine\\0001.zqr", "product");
        PlaceFile(data + L"\\AdminData\\admin.db", "product");
      },
      [&](const Lines& lines) {
        EXPECT_TRUE(HasLine(lines, Refused(logs, FirstRow(RunFolder::ZorDataDir, L"Logs\\")))) << Joined(lines);
        EXPECT_TRUE(HasLine(lines, LinkOnly(logs))) << Joined(lines);
        EXPECT_TRUE(HasLine(lines, LinkRemoval(logs))) << Joined(lines);
        // The rest of the data folder goes as usual.
        auto left = Snapshot(data);
        left.erase(L"Logs@");
        EXPECT_EQ(test::Describe(left), "");
        EXPECT_EQ(Through(lines, logs), Lines{});
      });
}

// A link above rows of deeper folders: each such row is refused, the link's
// own row removes only the link, and nothing below it is touched.
TEST_F(FileRemoverLinks, AFolderAboveDeeperRowsIsALink) {
  const struct {
    const char* what;
    const wchar_t* victim;
    const wchar_t* folder;  // the product folder the run is given
    bool common;            // ProgramData in place of the data folder
    const wchar_t* link;    // below `folder`
    RunFolder parentDir;
    std::vector<const wchar_t*> deeper;
  } rows[] = {
      {"a folder between the data folder and deeper rows", L"between", L"between\\ProgramData\\ZOR10", false,
       L"Update", RunFolder::ZorDataDir, {L"Update\\Temp", L"Update\\Backup", L"Update\\Patches"}},
      // The rows name the folder "Update"; the link is listed as "uPDATE".
      {"a link spelled in other letters", L"case", L"case\\ProgramData\\ZOR10", false, L"Update",
       RunFolder::ZorDataDir, {L"Update\\Temp"}},
      {"a product folder planted under ProgramData", L"common", L"common\\ProgramData", true, L"ZOR",
       RunFolder::CommonAppDataDir, {L"ZOR\\Licenses\\Offline", L"ZOR\\Licenses", L"ZOR\\Shared", L"ZOR\\Installer"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const std::wstring folder = Path(row.folder);
    const std::wstring link = folder + L"\\" + row.link;
    RunBothWays(
        row.victim,
        [&](RunParameters& p) {
          if (row.common) {
            p.CommonAppDataDir = folder;
          } else {
            p.ZorDataDir = folder;
          }
        },
        [&](const Lines& lines) {
          for (const wchar_t* deeper : row.deeper) {
            EXPECT_TRUE(HasLine(lines, Refused(link, FirstRow(row.parentDir, deeper)))) << N(deeper);
          }
          EXPECT_TRUE(HasLine(lines, LinkOnly(link))) << Joined(lines);
          EXPECT_EQ(Through(lines, link), Lines{});
        });
  }
}

TEST_F(FileRemoverLinks, TheMainFolderAboveTheProgramFolderIsALink) {
  const std::wstring main = Path(L"main\\Program Files (x86)\\ZOR");
  const std::wstring zorDir = main + L"\\ZOR10";
  RunBothWays(
      L"main",
      [&](RunParameters& p) {
        p.ZorDir = zorDir;
        p.ZorAdminDir = main + L"\\ZOR10 Admin";
      },
      [&](const Lines& lines) {
        // The program folder's rows and the console's, down to the program
        // folder's own row.
        const std::vector<int> rows = test::RowsOf(RunFolder::ZorDir);
        EXPECT_EQ(Count(lines, "WARN Directory '" + N(main) + "' is a link: fileItem number "),
                  static_cast<int>(rows.size() + test::RowsOf(RunFolder::ZorAdminDir).size()));
        EXPECT_TRUE(HasLine(lines, Refused(main, rows.back()))) << Joined(lines);
        EXPECT_EQ(Through(lines, main), Lines{});
        if (test::RunningUnderWine()) {
          EXPECT_TRUE(HasLine(lines, "INFO Deleting ZOR path '" + N(main) + "' failed with error:0xc007112b"))
              << Joined(lines);
        }
      });
}

TEST_F(FileRemoverLinks, ItemStepsGivenALinkTouchOnlyTheLink) {
  const std::wstring link = Path(L"check\\link");
  const auto before = Snapshot(Victim(L"check"));
  FileStage stage;
  EXPECT_TRUE(stage.remover().DeleteMatchingFiles(link, L"*.*", true).Empty());
  EXPECT_TRUE(stage.remover().RemoveFolderItem(link, true, true, false).Empty());
  EXPECT_TRUE(stage.remover().RemoveFolderItem(link, false, true, true).Empty());
  stage.parameters().DeleteDirForceHard = true;
  EXPECT_TRUE(stage.remover().RemoveFolderItem(link, true, false, false).Empty());
  EXPECT_EQ(test::Describe(Snapshot(Victim(L"check"))), test::Describe(before));
  const Lines lines = stage.log().Lines();
  EXPECT_EQ(lines.front(), "WARN Directory '" + N(link) + "' is a link: no file is deleted through it");
  EXPECT_EQ(Count(lines, LinkOnly(link)), 3) << Joined(lines);
  EXPECT_EQ(Count(lines, "Trying HardForce"), 0) << Joined(lines);
}

// Links to files among the product's files, each pointing at a file of the
// user's: by a single-file row, a mask and a HardForce tree. What each points
// at keeps its content; each link goes as itself where the system opens it
// as itself, or stays with a warning.
TEST_F(FileRemoverLinks, ALinkToAFileNeverTakesItsTargetAlong) {
  struct Case {
    const char* name;
    const wchar_t* link;
    const wchar_t* target;
    const char* content;
    std::function<StatusRecord(FileRemover&)> step;
  };
  const std::wstring program = Path(L"filelink\\ZOR10");
  const Case cases[] = {
      {"a single file", L"filelink\\Desktop\\ZOR Security 10.lnk", L"keep-shortcut.txt", "the user's shortcut\n",
       [&](FileRemover& r) { return r.DeleteFileItem(Path(L"filelink\\Desktop\\ZOR Security 10.lnk"), true); }},
      {"a mask", L"filelink\\ZOR10\\zorcore.dll", L"keep-library.txt", "the user's library\n",
       [&](FileRemover& r) { return r.DeleteMatchingFiles(program, L"*.dll", true); }},
      {"a HardForce tree", L"filelink\\ZOR10\\Drivers\\zorfwfd.sys", L"keep-driver.txt", "the user's driver\n",
       [&](FileRemover& r) { return r.RemoveFolderItem(program + L"\\Drivers", true, true, true); }},
  };
  for (const Case& c : cases) {
    // Running the stage on a link that nothing shows would delete its
    // target: the stage runs only where the folder lists the link as one.
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(Path(c.link).c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << c.name;
    FindClose(search);
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      GTEST_SKIP() << "Wine 8 lists a Unix symbolic link to a file as an ordinary file (attributes 0x"
                   << std::hex << found.dwFileAttributes
                   << ") and opens it as its target: nothing tells it from a file, so the stage is not run on it";
    }
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring link = Path(c.link);
    std::uint32_t attributes = 0;
    ASSERT_EQ(QueryAttributes(link, attributes), status::Success);
    const bool opensAsItself = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    FileStage stage;
    EXPECT_TRUE(c.step(stage.remover()).Empty());
    EXPECT_EQ(test::ReadTextFile(Victim(std::wstring(L"filelink\\") + c.target)), c.content);
    const std::string kept = "WARN File '" + N(link) + "' is a link that cannot be removed as itself: it is kept";
    EXPECT_EQ(stage.log().Has(kept), !opensAsItself) << Joined(stage.log().Lines());
    EXPECT_EQ(test::PathExists(link), !opensAsItself);
    EXPECT_EQ(stage.parameters().RestartCounter, 0);
  }
}

// The link check itself: the link by its parent's listing, everything else
// by what it is.
TEST_F(FileRemoverLinks, QueryIsLinkTellsLinksFromFoldersAndFiles) {
  struct Case {
    const wchar_t* path;
    bool link;
  };
  const Case cases[] = {
      {L"check\\link", true},           {L"check\\link\\", true},     {L"check\\LINK", true},
      {L"check\\folder", false},        {L"check\\folder\\inner", false}, {L"check\\file.txt", false},
      {L"check\\link\\Shared", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(N(c.path));
    bool link = !c.link;
    EXPECT_EQ(QueryIsLink(Path(c.path), link), status::Success);
    EXPECT_EQ(link, c.link);
  }
  bool untouched = true;
  EXPECT_EQ(static_cast<std::uint32_t>(QueryIsLink(Path(L"check\\missing"), untouched)), 0xE001003Du);
  EXPECT_TRUE(untouched);
}

}  // namespace
}  // namespace zor
