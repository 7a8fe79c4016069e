// The whole file stage: rows taken in table order with their folders from
// the run parameters, the product's main folders, and a run of the real
// table over an installed product laid out in a folder of the test's own,
// beside files of Windows and of other programs that must stay.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/engines/file_remover_test_support.h"
#include "tests/support/line_checks.h"

namespace zor {
namespace {

using test::HasLine;
using test::Joined;

using test::FileStage;
using test::MachineFolders;
using test::Narrow;
using test::PathExists;
using test::PlaceFile;
using test::PlaceFolder;
using test::Snapshot;
using test::TestFolder;

using Lines = std::vector<std::string>;

std::string N(const std::wstring& text) { return Narrow(text); }

// What Windows and other programs keep in the folders the table works in.
void LayOutBystanders(const MachineFolders& f) {
  PlaceFile(f.ProgramFiles + L"\\Windows Sidebar\\Shared Gadgets\\Clock.gadget\\clock.html", "clock");
  PlaceFile(f.ProgramFilesX86 + L"\\Windows Sidebar\\Shared Gadgets\\Clock.gadget\\clock.html", "clock");
  PlaceFile(f.ProgramFilesX86 + L"\\Other Vendor\\app.exe", "app");
  PlaceFile(f.ProgramData + L"\\Other Vendor\\settings.ini", "settings");
  PlaceFile(f.CommonPrograms + L"\\Accessories\\Notepad.lnk", "notepad");
  PlaceFile(f.AppData + L"\\Other Vendor\\prefs.ini", "prefs");
  PlaceFile(f.System32 + L"\\kernel32.dll", "kernel");
  PlaceFile(f.System32 + L"\\zorro.dll", "not the product's");
  PlaceFile(f.Drivers + L"\\ntfs.sys", "ntfs");
  PlaceFile(f.Drivers + L"\\etc\\hosts", "hosts");
  PlaceFile(f.SysWow64 + L"\\drivers\\ntfs.sys", "ntfs");
  PlaceFile(f.CommonDesktop + L"\\Notes.lnk", "notes");
}

// An installed product, client and administration editions, as the
// product's own installer leaves it.
void LayOutProduct(const MachineFolders& f) {
  for (const wchar_t* name :
       {L"zorgui.exe", L"zorsvc.exe", L"zorwd.exe", L"zorupd.exe", L"zorscan.exe", L"zortray.exe", L"zorcore.dll",
        L"zorshext.dll", L"zorrssta.dll", L"zorrsstx.dll", L"zoroutl.dll", L"zorbho.dll", L"zorlang.dat", L"zorsig.dat",
        L"license.txt", L"zor.chm"}) {
    PlaceFile(f.ZorDir + L"\\" + name, "program");
  }
  for (const wchar_t* name :
       {L"Scripts\\IM\\MSN\\msn.js", L"Scripts\\IM\\im.js", L"Scripts\\scan.js", L"Toolbar\\IE\\zorbar.dll",
        L"Toolbar\\Firefox\\zorbar.xpi", L"Toolbar\\Chrome\\zorbar.crx", L"Toolbar\\toolbar.ini", L"Notify\\alert.wav",
        L"Logs\\zorgui.log", L"Plugins\\Outlook\\zoroutl.dll", L"Plugins\\plugins.ini", L"Lang\\en\\zorlang.dat",
        L"Lang\\lang.ini"}) {
    PlaceFile(f.ZorDir + L"\\" + name, "program");
  }
  for (const wchar_t* platform : {L"Drivers\\x64\\", L"Drivers\\x86\\", L"Drivers\\"}) {
    for (const wchar_t* name : {L"zorfwfd.sys", L"zorfwfd6.cat", L"zorfwfd.inf", L"zorfsf.sys", L"zorhips.sys"}) {
      PlaceFile(f.ZorDir + L"\\" + platform + name, "driver");
    }
  }
  for (const wchar_t* name :
       {L"Update\\Temp\\part.tmp", L"Update\\zorupd.ini", L"Logs\\zorsvc.log", L"ScanLogs\\scan.log",
        L"Quarantine\\0001.zqr", L"Hips\\Profiles\\default.xml", L"Hips\\hips.xml", L"MailQueue\\In\\1.eml",
        L"MailQueue\\Out\\2.eml", L"Dumps\\zorsvc.dmp", L"Config\\zorcfg.xml", L"Temp\\scan.tmp",
        L"SetupBackup\\setup.msi", L"AntiSpam\\bayes.db", L"AdminData\\admin.db", L"AdminLogs\\admin.log"}) {
    PlaceFile(f.ZorDataDir + L"\\" + name, "data");
  }
  PlaceFile(f.ProgramData + L"\\ZOR\\Shared\\shared.dat", "shared");
  PlaceFile(f.ProgramData + L"\\ZOR\\Licenses\\zor.lic", "license");
  PlaceFile(f.AppData + L"\\ZOR Toolbar\\toolbar.ini", "toolbar");
  PlaceFile(f.System32 + L"\\zorhk64.dll", "hook");
  PlaceFile(f.SysWow64 + L"\\drivers\\ZOR\\zorfsf.sys", "driver");
  for (const wchar_t* name : {L"zorfwfd.sys", L"zorfsf.sys", L"zorhips.sys", L"zorndis.sys", L"ZOR\\zorndis.inf"}) {
    PlaceFile(f.Drivers + L"\\" + name, "driver");
  }
  for (const wchar_t* name : {L"ZOR Security 10.lnk", L"ZOR Antivirus 10.lnk", L"ZOR Admin Console 10.lnk"}) {
    PlaceFile(f.CommonDesktop + L"\\" + name, "shortcut");
  }
  for (const wchar_t* name : {L"ZOR Security 10", L"ZOR Antivirus 10", L"ZOR Admin 10"}) {
    PlaceFile(f.CommonPrograms + L"\\" + name + L"\\" + name + L".lnk", "shortcut");
  }
  for (const std::wstring& programFiles : {f.ProgramFiles, f.ProgramFilesX86}) {
    const std::wstring gadget = programFiles + L"\\Windows Sidebar\\Shared Gadgets\\ZorMonitor.gadget";
    PlaceFile(gadget + L"\\gadget.xml", "gadget");
    PlaceFile(gadget + L"\\images\\monitor.png", "image");
  }
  for (const wchar_t* name :
       {L"Console\\Reports\\weekly.html", L"Console\\zorcon.exe", L"Server\\Logs\\server.log", L"Server\\zorsrv.exe"}) {
    PlaceFile(f.ZorAdminDir + L"\\" + name, "admin");
  }
}

class FileStageRun : public ::testing::Test {
 protected:
  TestFolder folder_;
  FileStage stage_;
};

TEST_F(FileStageRun, WithoutFoldersEveryRowIsReportedAndNothingDone) {
  EXPECT_TRUE(stage_.remover().RunStage().Empty());
  Lines expected;
  for (std::size_t i = 0; i < FileItemTable().size(); ++i) {
    expected.push_back("DEBUG Missing ParentDir path for fileItem number " + std::to_string(i));
  }
  EXPECT_EQ(stage_.log().Lines(), expected);
  EXPECT_EQ(stage_.parameters().RestartCounter, 0);
}

TEST_F(FileStageRun, RowsOutsideTheFolderNumbersAreReportedAndTheRestRun) {
  stage_.parameters().ZorDir = folder_.path();
  const FileItem rows[] = {
      {static_cast<RunFolder>(-1), L"Logs", nullptr, Redirection::On, ActionRemoveTree, 0},
      {static_cast<RunFolder>(12), L"Logs", nullptr, Redirection::On, ActionRemoveTree, 0},
      {RunFolder::ZorAdminDir, L"Logs", nullptr, Redirection::On, ActionRemoveTree, 0},
      {RunFolder::ZorDir, L"Logs", nullptr, Redirection::On, ActionRemoveTree, 0},
  };
  PlaceFile(folder_ / L"Logs\\a.log", "log");
  EXPECT_TRUE(stage_.remover().RemoveFilesAndFolders(rows).Empty());
  const std::string logs = N(folder_ / L"Logs");
  EXPECT_EQ(stage_.log().Lines(), (Lines{"WARN Wrong ParentDir parameter for fileItem number 0",
                                         "WARN Wrong ParentDir parameter for fileItem number 1",
                                         "DEBUG Missing ParentDir path for fileItem number 2",
                                         "DEBUG Processing item '" + logs + "'",
                                         "INFO Trying HardForce delete '" + logs + "'",
                                         "INFO Directory '" + logs + "' deleted"}));
  EXPECT_FALSE(PathExists(folder_ / L"Logs"));
}

TEST_F(FileStageRun, ARowsActionsRunInTheirFixedOrder) {
  // The folder field ends in a separator: the paths have one separator all
  // the same.
  stage_.parameters().ZorDataDir = folder_.path() + L"\\";
  PlaceFile(folder_ / L"note.lnk", "shortcut");
  PlaceFile(folder_ / L"Plain\\a.txt", "a");
  PlaceFile(folder_ / L"Emptied\\a.txt", "a");
  PlaceFile(folder_ / L"Emptied\\sub\\b.txt", "b");
  PlaceFile(folder_ / L"Matched\\a.txt", "a");
  const FileItem rows[] = {
      {RunFolder::ZorDataDir, L"note.lnk", nullptr, Redirection::On, ActionReportSpecial | ActionDeleteFile, 0},
      {RunFolder::ZorDataDir, L"Plain", nullptr, Redirection::On, ActionRemoveTree | ActionRemoveFolder | ActionRunSpecial, 0},
      {RunFolder::ZorDataDir, L"Emptied", nullptr, Redirection::On, ActionRemoveTree | ActionEmptyAndRemoveFolder, 0},
      {RunFolder::ZorDataDir, L"Matched", L"*.txt", Redirection::On, ActionDeleteMatching | ActionEmptyAndRemoveFolder, 0},
  };
  EXPECT_TRUE(stage_.remover().RemoveFilesAndFolders(rows).Empty());
  const std::string note = N(folder_ / L"note.lnk");
  const std::string plain = N(folder_ / L"Plain");
  const std::string emptied = N(folder_ / L"Emptied");
  const std::string matched = N(folder_ / L"Matched");
  EXPECT_EQ(stage_.log().Lines(),
            (Lines{"DEBUG Processing item '" + note + "'", "DEBUG File '" + note + "' deleted",
                   "INFO File '" + note + "' not found",
                   "DEBUG Processing item '" + plain + "'", "DEBUG Directory " + plain + " not deleted (error c0070091)",
                   "INFO Trying HardForce delete '" + plain + "'", "INFO Directory '" + plain + "' deleted",
                   "DEBUG Processing item '" + emptied + "'", "INFO File '" + emptied + "\\a.txt' deleted",
                   "DEBUG Directory " + emptied + " not deleted (error c0070091)",
                   "INFO Trying HardForce delete '" + emptied + "'", "INFO Directory '" + emptied + "' deleted",
                   "DEBUG Processing item '" + matched + "'", "INFO File '" + matched + "\\a.txt' deleted",
                   "INFO Directory '" + matched + "' deleted", "INFO Directory '" + matched + "' not found"}));
  EXPECT_EQ(test::Describe(Snapshot(folder_.path())), "");
}

// Only a parent named "ZOR" goes, and only as the run's options allow.
TEST_F(FileStageRun, AMainFolderGoesOnlyWhenItIsNamedZor) {
  struct Case {
    const wchar_t* zorDir;      // below the test folder
    const wchar_t* made;        // folders and files made below the test folder, ';'-separated, files with '.'
    bool forceHard;
    const wchar_t* main;        // the main folder, below the test folder
    const char* line;           // %s: the main folder; empty: nothing logged
    const char* left;           // what remains below the test folder
  };
  const Case cases[] = {
      {L"Programs\\ZOR\\ZOR10", L"Programs\\ZOR", false, L"Programs\\ZOR", "DEBUG Deleting ZOR path '%s'...",
       "Programs\\\n"},
      {L"Programs\\ZOR\\ZOR10\\", L"Programs\\ZOR", false, L"Programs\\ZOR", "DEBUG Deleting ZOR path '%s'...",
       "Programs\\\n"},
      {L"Programs/ZOR/ZOR10/", L"Programs\\ZOR", false, L"Programs/ZOR", "DEBUG Deleting ZOR path '%s'...",
       "Programs\\\n"},
      {L"Programs\\zOr\\ZOR10", L"Programs\\zOr", false, L"Programs\\zOr", "DEBUG Deleting ZOR path '%s'...",
       "Programs\\\n"},
      {L"Programs\\Zor10", L"Programs", false, L"Programs", "", "Programs\\\n"},
      {L"Programs\\Zor10", L"Programs", true, L"Programs", "", "Programs\\\n"},
      {L"Programs\\ZORX\\ZOR10", L"Programs\\ZORX", true, L"Programs\\ZORX", "", "Programs\\\nPrograms\\ZORX\\\n"},
      {L"Programs\\ZOR\\ZOR10\\\\", L"Programs\\ZOR\\ZOR10", true, L"Programs\\ZOR\\ZOR10", "",
       "Programs\\\nPrograms\\ZOR\\\nPrograms\\ZOR\\ZOR10\\\n"},
      {L"Programs\\ZOR\\ZOR10", L"Programs", false, L"Programs\\ZOR", "INFO Main ZOR directory '%s' not found",
       "Programs\\\n"},
      {L"Programs\\ZOR\\ZOR10", L"Programs\\ZOR\\Other\\keep.txt", false, L"Programs\\ZOR",
       "DEBUG Deleting ZOR path '%s'...;INFO Deleting ZOR path '%s' failed with error:0xc0070091",
       "Programs\\\nPrograms\\ZOR\\\nPrograms\\ZOR\\Other\\\nPrograms\\ZOR\\Other\\keep.txt = kept\n"},
      {L"Programs\\ZOR\\ZOR10", L"Programs\\ZOR\\Other\\keep.txt", true, L"Programs\\ZOR",
       "DEBUG Deleting ZOR path '%s'...", "Programs\\\n"},
  };
  for (const bool admin : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(N(c.zorDir) + (c.forceHard ? " forced" : "") + (admin ? " (admin)" : ""));
      TestFolder root(folder_.path());
      const std::wstring made = c.made;
      for (std::size_t start = 0; start < made.size();) {
        std::size_t end = made.find(L';', start);
        if (end == std::wstring::npos) end = made.size();
        const std::wstring item = made.substr(start, end - start);
        if (item.find(L'.') != std::wstring::npos) {
          PlaceFile(root / item, "kept");
        } else {
          PlaceFolder(root / item);
        }
        start = end + 1;
      }
      FileStage stage;
      (admin ? stage.parameters().ZorAdminDir : stage.parameters().ZorDir) = root / c.zorDir;
      stage.parameters().DeleteDirForceHard = c.forceHard;
      EXPECT_TRUE(stage.remover().RemoveMainFolders().Empty());
      Lines expected;
      std::string lines = c.line;
      for (std::size_t start = 0; start < lines.size();) {
        std::size_t end = lines.find(';', start);
        if (end == std::string::npos) end = lines.size();
        std::string line = lines.substr(start, end - start);
        line.replace(line.find("%s"), 2, N(root / c.main));
        if (admin) line.replace(line.find("ZOR"), 3, "Admin ZOR");
        expected.push_back(line);
        start = end + 1;
      }
      EXPECT_EQ(stage.log().Lines(), expected);
      EXPECT_EQ(test::Describe(Snapshot(root.path())), c.left);
    }
  }
}

TEST_F(FileStageRun, TheProgramMainFolderComesBeforeTheAdministrationOne) {
  MachineFolders folders(folder_.path());
  PlaceFolder(folders.ZorDir);
  PlaceFolder(folders.ZorAdminDir);
  stage_.parameters().ZorDir = folders.ZorDir;
  stage_.parameters().ZorAdminDir = folders.ZorAdminDir;
  stage_.parameters().DeleteDirForceHard = true;
  EXPECT_TRUE(stage_.remover().RemoveMainFolders().Empty());
  const std::string main = N(folders.ProgramFilesX86 + L"\\ZOR");
  EXPECT_EQ(stage_.log().Lines(),
            (Lines{"DEBUG Deleting ZOR path '" + main + "'...", "INFO Main Admin ZOR directory '" + main + "' not found"}));
  EXPECT_FALSE(PathExists(folders.ProgramFilesX86 + L"\\ZOR"));
  EXPECT_TRUE(PathExists(folders.ProgramFilesX86));
}

TEST_F(FileStageRun, TheTableRemovesAnInstalledProductAndNothingElse) {
  const std::wstring expectedRoot = folder_ / L"expected";
  LayOutBystanders(MachineFolders(expectedRoot));
  const std::wstring machine = folder_ / L"machine";
  const MachineFolders folders(machine);
  LayOutBystanders(folders);
  LayOutProduct(folders);
  test::PointFoldersAt(folders, stage_.parameters());

  EXPECT_TRUE(stage_.remover().RunStage().Empty());
  EXPECT_EQ(test::Describe(Snapshot(machine)), test::Describe(Snapshot(expectedRoot)));
  EXPECT_EQ(stage_.parameters().RestartCounter, 0);
  EXPECT_EQ(stage_.log().Lines("WARN"), Lines{});
  const Lines debug = stage_.log().Lines("DEBUG");
  const std::string main = N(folders.ProgramFilesX86 + L"\\ZOR");
  EXPECT_TRUE(HasLine(debug, "Deleting ZOR path '" + main + "'...")) << Joined(debug);
  EXPECT_TRUE(stage_.log().Has("INFO Main Admin ZOR directory '" + main + "' not found"));
  // Every row was processed, in table order.
  Lines processed;
  for (const std::string& line : debug) {
    if (line.rfind("Processing item '", 0) == 0) processed.push_back(line);
  }
  EXPECT_EQ(processed.size(), FileItemTable().size());
}

TEST_F(FileStageRun, AServiceLogInUseIsHandedOverOnceAndKeepsItsFolders) {
  const MachineFolders folders(folder_.path());
  LayOutProduct(folders);
  test::PointFoldersAt(folders, stage_.parameters());
  const std::wstring log = folders.ZorDataDir + L"\\Logs\\zorsvc.log";
  const HANDLE held = CreateFileW(log.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(stage_.remover().RunStage().Empty());
  CloseHandle(held);

  EXPECT_EQ(stage_.parameters().RestartCounter, 1);
  EXPECT_TRUE(stage_.log().Has("DEBUG Removing file '" + N(log) +
                               "' failed (error e0010053), planned for delete after restart"));
  EXPECT_EQ(test::Describe(Snapshot(folders.ZorDataDir)), "Logs\\\nLogs\\zorsvc.log = data\n");
  EXPECT_FALSE(PathExists(folders.ZorDir));
}

// A user's file in a folder the table does not know: the program folder and
// the main folder above it stay, unless the run was told to remove folders
// whole. HardForce rows announce themselves either way.
TEST_F(FileStageRun, AUsersFileKeepsTheProgramAndMainFolderUnlessForced) {
  for (const bool forceHard : {false, true}) {
    SCOPED_TRACE(forceHard ? "deletedirforcehard" : "plain");
    const MachineFolders folders(folder_ / (forceHard ? L"forced" : L"plain"));
    LayOutProduct(folders);
    const std::wstring users = folders.ZorDir + L"\\My Reports\\q3.xlsx";
    PlaceFile(users, "the user's");
    FileStage stage;
    test::PointFoldersAt(folders, stage.parameters());
    stage.parameters().DeleteDirForceHard = forceHard;
    EXPECT_TRUE(stage.remover().RunStage().Empty());

    const std::string main = N(folders.ProgramFilesX86 + L"\\ZOR");
    const Lines info = stage.log().Lines("INFO");
    for (const wchar_t* tree : {L"\\Drivers\\x64", L"\\Drivers\\x86", L"\\Drivers"}) {
      EXPECT_TRUE(HasLine(info, "Trying HardForce delete '" + N(folders.ZorDir + tree) + "'")) << N(tree);
    }
    EXPECT_FALSE(HasLine(info, "Trying HardForce delete '" + N(folders.ZorDir) + "'"));
    if (forceHard) {
      EXPECT_FALSE(PathExists(folders.ProgramFilesX86 + L"\\ZOR"));
      EXPECT_TRUE(HasLine(info, "Directory '" + N(folders.ZorDir) + "' deleted"));
    } else {
      EXPECT_EQ(test::Describe(Snapshot(folders.ProgramFilesX86 + L"\\ZOR")),
                "ZOR10\\\nZOR10\\My Reports\\\nZOR10\\My Reports\\q3.xlsx = the user's\n");
      EXPECT_TRUE(stage.log().Has("DEBUG Directory " + N(folders.ZorDir) + " not deleted (error c0070091)"));
      EXPECT_TRUE(stage.log().Has("INFO Deleting ZOR path '" + main + "' failed with error:0xc0070091"));
    }
    EXPECT_TRUE(stage.log().Has("DEBUG Deleting ZOR path '" + main + "'..."));
  }
}

TEST_F(FileStageRun, WithoutAnAdministrationFolderItsRowsAreReportedAndSkipped) {
  const MachineFolders folders(folder_.path());
  LayOutProduct(folders);
  test::PointFoldersAt(folders, stage_.parameters());
  stage_.parameters().ZorAdminDir.clear();
  EXPECT_TRUE(stage_.remover().RunStage().Empty());

  Lines expected;
  for (const int row : test::RowsOf(RunFolder::ZorAdminDir)) {
    expected.push_back("Missing ParentDir path for fileItem number " + std::to_string(row));
  }
  Lines missing;
  for (const std::string& line : stage_.log().Lines("DEBUG")) {
    if (line.rfind("Missing ParentDir", 0) == 0) missing.push_back(line);
  }
  EXPECT_EQ(missing, expected);
  EXPECT_EQ(expected.size(), 7u);
  // The console's files are still there, and so the main folder above them.
  EXPECT_EQ(test::Describe(Snapshot(folders.ProgramFilesX86 + L"\\ZOR")),
            "ZOR10 Admin\\\nZOR10 Admin\\Console\\\nZOR10 Admin\\Console\\Reports\\\n"
            "ZOR10 Admin\\Console\\Reports\\weekly.html = admin\nZOR10 Admin\\Console\\zorcon.exe = admin\n"
            "ZOR10 Admin\\Server\\\nZOR10 Admin\\Server\\Logs\\\nZOR10 Admin\\Server\\Logs\\server.log = admin\n"
            "ZOR10 Admin\\Server\\zorsrv.exe = admin\n");
}

}  // namespace
}  // namespace zor
