// What the file stage does about what it must not, or cannot, simply
// delete: read-only product files (their attribute goes first, and a file
// that keeps it is named), files that are links the system opens as their
// targets, and link checks that cannot be made. The links and failed checks
// come through the native table: entries listed as reparse points while a
// handle on them shows an ordinary file (Wine's way with a Unix symbolic
// link to a folder), and listings or opens refused for one name.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/native_api.h"
#include "tests/engines/file_remover_test_support.h"
#include "tests/support/line_checks.h"

namespace zor {
namespace {

using test::DeletionIsPending;
using test::FileStage;
using test::Joined;
using test::Narrow;
using test::PlaceFile;
using test::PlaceFolder;
using test::Snapshot;
using test::TestFolder;

using Lines = std::vector<std::string>;

Lines Sorted(Lines lines) {
  std::sort(lines.begin(), lines.end());
  return lines;
}

// The lines of a row with each placeholder replaced: %p and the others a
// row names.
Lines Filled(const Lines& lines, const std::vector<std::pair<std::string, std::wstring>>& values) {
  Lines filled;
  for (std::string line : lines) {
    for (const auto& [placeholder, value] : values) {
      for (std::size_t at = line.find(placeholder); at != std::string::npos; at = line.find(placeholder)) {
        line.replace(at, placeholder.size(), Narrow(value));
      }
    }
    filled.push_back(line);
  }
  return filled;
}

void MakeReadOnly(const std::wstring& path) {
  ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE)) << Narrow(path);
}

bool IsReadOnly(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

// One item step on the folder F of a row.
using Step = std::function<StatusRecord(FileRemover&, const std::wstring& folder)>;

StatusRecord SingleFile(FileRemover& remover, const std::wstring& file) { return remover.DeleteFileItem(file, true); }

// The attribute of every file is refused: a read-only file stays so.
ZwSetInformationFileFunction* g_realSetInformation = nullptr;

NTSTATUS NTAPI SetRefusingAttributes(HANDLE file, PIO_STATUS_BLOCK io, PVOID information, ULONG length, ULONG infoClass) {
  constexpr ULONG kFileBasicInformation = 4;
  if (infoClass == kFileBasicInformation) return nt::AccessDenied;
  return g_realSetInformation(file, io, information, length, infoClass);
}

class FileRemoverReadOnly : public ::testing::Test {
 protected:
  TestFolder folder_;
};

TEST_F(FileRemoverReadOnly, EveryKindOfRowRemovesReadOnlyFiles) {
  struct Case {
    const char* name;
    std::vector<const wchar_t*> files;  // below F, each read-only
    bool forceHard;                     // DeleteDirForceHard
    Step step;
    Lines lines;       // %p: F; in any order
    const char* left;  // what remains below the row's own folder
  };
  const Case cases[] = {
      {"a single file", {L"ZOR Security 10.lnk"}, false,
       [](FileRemover& r, const std::wstring& f) { return SingleFile(r, f + L"\\ZOR Security 10.lnk"); },
       {"DEBUG File '%p\\ZOR Security 10.lnk' deleted"}, "F\\\n"},
      {"a mask", {L"zorsig.dat", L"zorlang.dat", L"license.txt"}, false,
       [](FileRemover& r, const std::wstring& f) { return r.DeleteMatchingFiles(f, L"*.dat", true); },
       {"INFO File '%p\\zorsig.dat' deleted", "INFO File '%p\\zorlang.dat' deleted"}, "F\\\nF\\license.txt = x\n"},
      {"files first", {L"languages.ini"}, false,
       [](FileRemover& r, const std::wstring& f) { return r.RemoveFolderItem(f, true, true, false); },
       {"INFO File '%p\\languages.ini' deleted", "INFO Directory '%p' deleted"}, ""},
      {"a HardForce tree", {L"zorbtchk.dat", L"x64\\zorfwfd6.cat", L"x64\\zorfwfd.sys"}, false,
       [](FileRemover& r, const std::wstring& f) { return r.RemoveFolderItem(f, true, true, true); },
       {"INFO Trying HardForce delete '%p'", "INFO Directory '%p' deleted"}, ""},
      {"a plain row under deletedirforcehard", {L"zorcfg.xml", L"Backup\\zorcfg.xml"}, true,
       [](FileRemover& r, const std::wstring& f) { return r.RemoveFolderItem(f, true, false, false); },
       {"INFO Directory '%p' deleted"}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestFolder root(folder_.path());
    const std::wstring f = root / L"F";
    for (const wchar_t* file : c.files) {
      PlaceFile(f + L"\\" + file, "x");
      MakeReadOnly(f + L"\\" + file);
    }
    FileStage stage;
    stage.parameters().DeleteDirForceHard = c.forceHard;
    EXPECT_TRUE(c.step(stage.remover(), f).Empty());
    EXPECT_EQ(Sorted(stage.log().Lines()), Sorted(Filled(c.lines, {{"%p", f}})));
    EXPECT_EQ(test::Describe(Snapshot(root.path())), c.left);
    EXPECT_EQ(stage.parameters().RestartCounter, 0);
    if (std::string(c.left).find("license.txt") != std::string::npos) {
      // Outside the mask: not even its attribute is touched.
      EXPECT_TRUE(IsReadOnly(f + L"\\license.txt"));
      SetFileAttributesW((f + L"\\license.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    }
  }
}

// Held open, the file cannot go now; it loses the attribute all the same,
// so that the delete at the next start is not refused.
TEST_F(FileRemoverReadOnly, AHeldFileLosesTheAttributeBeforeItIsHandedToTheNextStart) {
  const struct {
    const char* name;
    const wchar_t* file;
    Step step;
  } rows[] = {
      {"a single file", L"zortray.exe", [](FileRemover& r, const std::wstring& f) { return SingleFile(r, f + L"\\zortray.exe"); }},
      {"a mask", L"zorsvc.exe", [](FileRemover& r, const std::wstring& f) { return r.DeleteMatchingFiles(f, L"*.exe", true); }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TestFolder root(folder_.path());
    const std::wstring f = root / L"F";
    const std::wstring file = f + L"\\" + row.file;
    PlaceFile(file, "program");
    MakeReadOnly(file);
    const HANDLE holder = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    FileStage stage;
    EXPECT_TRUE(row.step(stage.remover(), f).Empty());
    CloseHandle(holder);
    EXPECT_EQ(stage.log().Lines(), Lines{"DEBUG Removing file '" + Narrow(file) +
                                         "' failed (error e0010053), planned for delete after restart"});
    EXPECT_EQ(stage.parameters().RestartCounter, 1);
    EXPECT_TRUE(DeletionIsPending(file));
    EXPECT_EQ(GetFileAttributesW(file.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  }
}

// A file whose attribute cannot be cleared would be refused at the next
// start too: it is named and kept, not handed over.
TEST_F(FileRemoverReadOnly, AFileThatStaysReadOnlyIsNamedAndNotHandedOver) {
  const struct {
    const char* name;
    Step step;
    Lines lines;       // %p: F, %f: the file
    StatusCode result;
  } rows[] = {
      {"a single file", [](FileRemover& r, const std::wstring& f) { return SingleFile(r, f + L"\\zorsig.dat"); },
       {"WARN Removing file '%f' failed (error e0010058), it is still read-only: not planned for delete after restart"},
       status::GenericFailure},
      {"a mask", [](FileRemover& r, const std::wstring& f) { return r.DeleteMatchingFiles(f, L"*.dat", true); },
       {"WARN Removing file '%f' failed (error e0010058), it is still read-only: not planned for delete after restart"},
       status::Success},
      {"a HardForce tree", [](FileRemover& r, const std::wstring& f) { return r.RemoveFolderItem(f, true, true, true); },
       {"INFO Trying HardForce delete '%p'", "WARN File '%f' not deleted (error e0010058)",
        "DEBUG Directory %p not deleted (error c0070091)"},
       status::Success},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TestFolder root(folder_.path());
    const std::wstring f = root / L"F";
    const std::wstring file = f + L"\\zorsig.dat";
    PlaceFile(file, "signatures");
    MakeReadOnly(file);
    FileStage stage;
    StatusRecord result;
    {
      test::SwappedEntry swap(NativeChanges().ZwSetInformationFile, &SetRefusingAttributes);
      g_realSetInformation = swap.original();
      result = row.step(stage.remover(), f);
    }
    EXPECT_EQ(result.Code(), row.result);
    EXPECT_EQ(stage.log().Lines(), Filled(row.lines, {{"%p", f}, {"%f", file}}));
    EXPECT_EQ(test::ReadTextFile(file), "signatures");
    EXPECT_TRUE(IsReadOnly(file));
    EXPECT_FALSE(DeletionIsPending(file));
    EXPECT_EQ(stage.parameters().RestartCounter, 0);
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

// Entries named pretend-link* are listed as links while a handle on them
// shows an ordinary file or folder, the target a link would lead to: each
// step leaves them, read-only attribute and content, and names them.
TEST(FileRemoverFileLinks, ALinkThatOpensAsItsTargetIsKeptAndNamed) {
  struct Case {
    const char* name;
    std::vector<const wchar_t*> files;  // below F; the links read-only
    bool forceHard;
    Step step;
    Lines lines;       // %p: F; in any order
    const char* left;  // what remains below F
  };
  const Case cases[] = {
      {"a single file", {L"pretend-link.lnk"}, false,
       [](FileRemover& r, const std::wstring& f) { return SingleFile(r, f + L"\\pretend-link.lnk"); },
       {"WARN File '%p\\pretend-link.lnk' is a link that cannot be removed as itself: it is kept"},
       "pretend-link.lnk = target\n"},
      {"a mask", {L"pretend-link.dll", L"zorcore.dll"}, false,
       [](FileRemover& r, const std::wstring& f) { return r.DeleteMatchingFiles(f, L"*.dll", true); },
       {"WARN File '%p\\pretend-link.dll' is a link that cannot be removed as itself: it is kept",
        "INFO File '%p\\zorcore.dll' deleted"},
       "pretend-link.dll = target\n"},
      {"files first", {L"pretend-link.ini", L"toolbar.ini"}, false,
       [](FileRemover& r, const std::wstring& f) { return r.RemoveFolderItem(f, true, true, false); },
       {"WARN File '%p\\pretend-link.ini' is a link that cannot be removed as itself: it is kept",
        "INFO File '%p\\toolbar.ini' deleted", "DEBUG Directory %p not deleted (error c0070091)"},
       "pretend-link.ini = target\n"},
      {"a HardForce tree", {L"pretend-link.sys", L"x64\\zorfwfd.sys"}, false,
       [](FileRemover& r, const std::wstring& f) { return r.RemoveFolderItem(f, true, true, true); },
       {"INFO Trying HardForce delete '%p'",
        "WARN File '%p\\pretend-link.sys' is a link that cannot be removed as itself: it is kept",
        "DEBUG Directory %p not deleted (error c0070091)"},
       "pretend-link.sys = target\n"},
      {"a folder in a tree under deletedirforcehard", {L"pretend-link-folder\\inside.txt", L"zorcfg.xml"}, true,
       [](FileRemover& r, const std::wstring& f) { return r.RemoveFolderItem(f, true, false, false); },
       {"WARN Directory '%p\\pretend-link-folder' is a link that cannot be removed as itself: it is kept",
        "DEBUG Directory %p not deleted (error c0070091)"},
       "pretend-link-folder\\\npretend-link-folder\\inside.txt = target\n"},
  };
  TestFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestFolder root(folder.path());
    const std::wstring f = root / L"F";
    std::vector<std::wstring> links;
    for (const wchar_t* file : c.files) {
      const std::wstring path = f + L"\\" + file;
      const bool link = std::wstring_view(file).substr(0, 12) == L"pretend-link";
      PlaceFile(path, link ? "target" : "product");
      if (link) {
        MakeReadOnly(path);
        links.push_back(path);
      }
    }
    FileStage stage;
    stage.parameters().DeleteDirForceHard = c.forceHard;
    {
      test::ListedAsLinks listed(L"pretend-link");
      EXPECT_TRUE(c.step(stage.remover(), f).Empty());
    }
    EXPECT_EQ(Sorted(stage.log().Lines()), Sorted(Filled(c.lines, {{"%p", f}})));
    EXPECT_EQ(test::Describe(Snapshot(f)), c.left);
    EXPECT_EQ(stage.parameters().RestartCounter, 0);
    for (const std::wstring& link : links) {
      EXPECT_TRUE(IsReadOnly(link)) << Narrow(link);
      EXPECT_FALSE(DeletionIsPending(link)) << Narrow(link);
      SetFileAttributesW(link.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
  }
}

// A link check that fails, for a folder on the way from a row's folder to
// its path or for the row's own folder, refuses the row: every file stays.
// The check opens the folder, then asks its parent how it lists it; either
// is refused here for one name.
TEST(FileRemoverLinkChecks, AFailedCheckRefusesTheRow) {
  enum class Refused { Open, Listing };
  struct Case {
    const char* name;
    Refused refused;
    const wchar_t* refusedName;  // the folder's name, or for an open the end of its path
    FileItem row;
    bool forceHard;
    Lines lines;  // %d: the data folder, %z: the program folder, %m: the main folder above it
  };
  const Case cases[] = {
      {"a folder on the way cannot be opened", Refused::Open, L"\\Update",
       {RunFolder::ZorDataDir, L"Update\\Temp", nullptr, Redirection::On, ActionRemoveTree, 0}, false,
       {"DEBUG Processing item '%d\\Update\\Temp'",
        "WARN Checking directory '%d\\Update' for a link failed (error e0010058): fileItem number 0 is not removed"}},
      {"a folder on the way is not listed", Refused::Listing, L"Update",
       {RunFolder::ZorDataDir, L"Update\\Temp", nullptr, Redirection::On, ActionRemoveTree, 0}, false,
       {"DEBUG Processing item '%d\\Update\\Temp'",
        "WARN Checking directory '%d\\Update' for a link failed (error e0010058): fileItem number 0 is not removed"}},
      {"the data folder itself, on the way, is not listed", Refused::Listing, L"ZOR10",
       {RunFolder::ZorDataDir, L"Logs", nullptr, Redirection::On, ActionEmptyAndRemoveFolder, 0}, false,
       {"DEBUG Processing item '%d\\Logs'",
        "WARN Checking directory '%d' for a link failed (error e0010058): fileItem number 0 is not removed"}},
      {"the row's own folder, emptied", Refused::Listing, L"Update",
       {RunFolder::ZorDataDir, L"Update", nullptr, Redirection::On, ActionEmptyAndRemoveFolder, 0}, false,
       {"DEBUG Processing item '%d\\Update'",
        "WARN Checking directory '%d\\Update' for a link failed (error e0010058): it is left as it is"}},
      {"the row's own folder, matched", Refused::Listing, L"Update",
       {RunFolder::ZorDataDir, L"Update", L"*.ini", Redirection::On, ActionDeleteMatching, 0}, false,
       {"DEBUG Processing item '%d\\Update'",
        "WARN Checking directory '%d\\Update' for a link failed (error e0010058): it is left as it is"}},
      {"the row's own folder, HardForce", Refused::Listing, L"Update",
       {RunFolder::ZorDataDir, L"Update", nullptr, Redirection::On, ActionRemoveTree, 0}, false,
       {"DEBUG Processing item '%d\\Update'",
        "WARN Checking directory '%d\\Update' for a link failed (error e0010058): it is left as it is"}},
      {"the row's own folder under deletedirforcehard", Refused::Listing, L"Update",
       {RunFolder::ZorDataDir, L"Update", nullptr, Redirection::On, ActionRemoveFolder, 0}, true,
       {"DEBUG Processing item '%d\\Update'",
        "WARN Checking directory '%d\\Update' for a link failed (error e0010058): it is left as it is"}},
      // The main folder is on the way of every program folder row, and goes
      // last, as a tree: the tree delete refuses it by itself.
      {"the main folder above the program folder is not listed", Refused::Listing, L"ZOR",
       {RunFolder::ZorDir, nullptr, L"*.exe", Redirection::On, ActionDeleteMatching, 0}, true,
       {"DEBUG Processing item '%z'",
        "WARN Checking directory '%m' for a link failed (error e0010058): fileItem number 0 is not removed",
        "DEBUG Deleting ZOR path '%m'...", "INFO Deleting ZOR path '%m' failed with error:0xe0010058"}},
  };
  TestFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestFolder root(folder.path());
    const std::wstring data = root / L"ProgramData\\ZOR10";
    const std::wstring main = root / L"Programs\\ZOR";
    const std::wstring program = main + L"\\ZOR10";
    PlaceFile(data + L"\\Update\\zorupd.ini", "update");
    PlaceFile(data + L"\\Update\\Temp\\part.tmp", "part");
    PlaceFile(data + L"\\Logs\\zorsvc.log", "log");
    PlaceFile(program + L"\\zorgui.exe", "gui");
    const std::string before = test::Describe(Snapshot(root.path()));
    FileStage stage;
    stage.parameters().ZorDataDir = data;
    if (c.row.parentDir == RunFolder::ZorDir) stage.parameters().ZorDir = program;
    stage.parameters().DeleteDirForceHard = c.forceHard;
    const FileItem rows[] = {c.row};
    if (c.refused == Refused::Open) {
      test::RefusedOpen refused(c.refusedName, nt::AccessDenied);
      EXPECT_TRUE(stage.remover().RemoveFilesAndFolders(rows).Empty());
    } else {
      test::RefusedListing refused(c.refusedName, nt::AccessDenied);
      EXPECT_TRUE(stage.remover().RemoveFilesAndFolders(rows).Empty());
    }
    EXPECT_EQ(stage.log().Lines(), Filled(c.lines, {{"%d", data}, {"%z", program}, {"%m", main}}))
        << Joined(stage.log().Lines());
    EXPECT_EQ(test::Describe(Snapshot(root.path())), before);
    EXPECT_EQ(stage.parameters().RestartCounter, 0);
  }
}

// A real link to a file, where the system can make one: it goes as the link
// itself, and its target stays, by each kind of row.
TEST(FileRemoverFileLinks, ALinkToAFileGoesAsTheLinkItself) {
  TestFolder folder;
  const std::wstring target = folder / L"keep.txt";
  PlaceFile(target, "the user's");
  const struct {
    const char* name;
    const wchar_t* link;  // below F
    Step step;
    Lines lines;  // %p: F
  } rows[] = {
      {"a single file", L"ZOR Security 10.lnk",
       [](FileRemover& r, const std::wstring& f) { return SingleFile(r, f + L"\\ZOR Security 10.lnk"); },
       {"DEBUG File '%p\\ZOR Security 10.lnk' deleted"}},
      {"a mask", L"zorcore.dll", [](FileRemover& r, const std::wstring& f) { return r.DeleteMatchingFiles(f, L"*.dll", true); },
       {"INFO File '%p\\zorcore.dll' deleted"}},
      {"a HardForce tree", L"zorfwfd.sys",
       [](FileRemover& r, const std::wstring& f) { return r.RemoveFolderItem(f, true, true, true); },
       {"INFO Trying HardForce delete '%p'", "INFO Directory '%p' deleted"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TestFolder root(folder.path());
    const std::wstring f = root / L"F";
    PlaceFolder(f);
    const std::wstring link = f + L"\\" + row.link;
    const BOOLEAN made = CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    const DWORD attributes = GetFileAttributesW(link.c_str());
    if (!made || attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      GTEST_SKIP() << "no link to a file could be made here (Wine 8: CreateSymbolicLinkW reports success and creates "
                      "nothing)";
    }
    FileStage stage;
    EXPECT_TRUE(row.step(stage.remover(), f).Empty());
    EXPECT_EQ(stage.log().Lines(), Filled(row.lines, {{"%p", f}}));
    EXPECT_EQ(GetFileAttributesW(link.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(test::ReadTextFile(target), "the user's");
  }
}

}  // namespace
}  // namespace zor
