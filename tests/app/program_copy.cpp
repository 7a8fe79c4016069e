#include "tests/app/program_copy.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/native_types.h"
#include "tests/support/child_process.h"
#include "tests/support/line_checks.h"

namespace zor::test {

ProgramCopy::ProgramCopy(const std::wstring& subfolder) {
  programFolder = subfolder.empty() ? folder.Path() : folder.File(subfolder);
  if (!subfolder.empty()) {
    EXPECT_TRUE(CreateDirectoryW(programFolder.c_str(), nullptr)) << GetLastError();
  }
  program = programFolder + L"\\zorremover.exe";
  EXPECT_TRUE(CopyFileW(ProgramPath().c_str(), program.c_str(), TRUE)) << GetLastError();
}

std::vector<std::string> ProgramCopy::Messages() const {
  std::vector<std::string> messages;
  const std::wstring path = LogPath();
  if (!FileExistsAt(path)) return messages;
  bool wellFormed = false;
  for (const std::wstring& line : ReadLogLines(path, &wellFormed)) {
    const std::string text = Narrow(line);
    const std::size_t date = text.find(' ');
    const std::size_t time = date == std::string::npos ? date : text.find(' ', date + 1);
    messages.push_back(time == std::string::npos ? text : text.substr(time + 1));
  }
  EXPECT_TRUE(wellFormed);
  return messages;
}

std::vector<std::string> Info(const std::vector<std::string>& messages) {
  std::vector<std::string> info;
  for (const std::string& message : messages) {
    if (message.rfind("INFO *****", 0) == 0 || message.rfind("INFO ZorRemover runs", 0) == 0 ||
        message.rfind("INFO ...", 0) == 0) {
      info.push_back(message.substr(5));
    }
  }
  return info;
}

int Count(const std::vector<std::string>& messages, const std::string& wanted) {
  return static_cast<int>(std::count(messages.begin(), messages.end(), wanted));
}

int CountStarting(const std::vector<std::string>& messages, const std::string& prefix) {
  return static_cast<int>(std::count_if(messages.begin(), messages.end(),
                                        [&](const std::string& m) { return m.rfind(prefix, 0) == 0; }));
}

bool StartsAny(const std::vector<std::string>& messages, const std::string& prefix) {
  return CountStarting(messages, prefix) > 0;
}

}  // namespace zor::test
