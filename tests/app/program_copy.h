#pragma once
// A copy of the program in a folder of the test's own, since the program
// writes zorremover.log beside itself, and readers of that log.
#include <string>
#include <vector>

#include "tests/logging/logging_test_support.h"

namespace zor::test {

struct ProgramCopy {
  TestFolder folder;
  std::wstring programFolder;
  std::wstring program;

  // `subfolder`, when given, is made inside the test's folder and holds the
  // copy, so a test can choose the name of the program's folder.
  explicit ProgramCopy(const std::wstring& subfolder = {});
  std::wstring Quoted() const { return L"\"" + program + L"\""; }
  std::wstring LogPath() const { return programFolder + L"\\zorremover.log"; }

  // The log's messages, without their date and time.
  std::vector<std::string> Messages() const;
};

// The banners and run lines of the INFO messages, without their severity.
std::vector<std::string> Info(const std::vector<std::string>& messages);
int Count(const std::vector<std::string>& messages, const std::string& wanted);
bool StartsAny(const std::vector<std::string>& messages, const std::string& prefix);
int CountStarting(const std::vector<std::string>& messages, const std::string& prefix);

}  // namespace zor::test
