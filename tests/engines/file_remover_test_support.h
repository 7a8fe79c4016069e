#pragma once
// What the file stage tests share: the stage's log captured in memory as
// "SEVERITY message" lines, the run parameters' folders pointed into a
// test's own folder, and snapshots of folder trees.
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/run_context.h"
#include "engines/file_remover.h"
#include "tests/engines/engine_log.h"
#include "tests/platform/file_test_support.h"

namespace zor::test {

// A run context whose log is captured, and its file stage.
class FileStage {
 public:
  FileStage();
  ~FileStage();
  RunParameters& parameters() { return context_.parameters; }
  FileRemover& remover();
  const EngineLog& log() const { return log_; }

 private:
  EngineLog log_;
  RunContext context_;
};

// Where a machine keeps what the table names, all below `root`.
struct MachineFolders {
  explicit MachineFolders(const std::wstring& root);
  std::wstring ProgramFiles;
  std::wstring ProgramFilesX86;
  std::wstring ZorDir;
  std::wstring ZorAdminDir;
  std::wstring ProgramData;
  std::wstring ZorDataDir;
  std::wstring AppData;
  std::wstring Windows;
  std::wstring System32;
  std::wstring SysWow64;
  std::wstring Drivers;
  std::wstring CommonDesktop;
  std::wstring CommonPrograms;
};

// Every folder field of the run parameters set from `folders`.
void PointFoldersAt(const MachineFolders& folders, RunParameters& parameters);

// Makes the folders of a path and writes a file with `content` there.
void PlaceFile(const std::wstring& path, std::string_view content);
// Makes a folder and the folders above it.
void PlaceFolder(const std::wstring& path);

// Every file and folder below `root` (not following links), by its path
// relative to `root`; folders end in "\" and map to "", files map to their
// content.
std::map<std::wstring, std::string> Snapshot(const std::wstring& root);
std::string Describe(const std::map<std::wstring, std::string>& snapshot);


// Item numbers of the product table's rows in one folder.
std::vector<int> RowsOf(RunFolder parentDir);

}  // namespace zor::test
