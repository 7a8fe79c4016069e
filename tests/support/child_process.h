#pragma once
// Starts a Windows program from a test and collects what it printed and its
// whole 32-bit exit code (Wine's own exit status keeps only the low byte).
#include <cstdint>
#include <string>

namespace zor::test {

struct ChildResult {
  bool started = false;
  std::uint32_t startError = 0;  // GetLastError of a CreateProcessW that failed
  bool timedOut = false;
  std::uint32_t exitCode = 0;
  std::string output;  // standard output and standard error, as bytes
};

ChildResult RunChild(const std::wstring& commandLine, std::uint32_t timeoutMilliseconds = 60000);
// The same with the program named apart from the command line, whose first
// word may then name anything at all.
ChildResult RunChildAs(const std::wstring& application, const std::wstring& commandLine,
                       std::uint32_t timeoutMilliseconds = 60000);

// The program under test, quoted for a command line.
std::wstring QuotedProgramPath();
std::wstring ProgramPath();

std::wstring Widen(const std::string& text);

// A path of the build (a Unix path) as Wine's programs see it: on drive Z:,
// with backslashes.
std::wstring WindowsPathOf(const std::string& unixPath);

}  // namespace zor::test
