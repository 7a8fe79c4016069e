// Stands in for powershell.exe in the plug-in stage's tests, where no
// PowerShell runs: it appends its exact command line, UTF-8 encoded, as one
// line to the file that ZOR_STAND_IN_RECORD names, and answers on standard
// output as a management shell would, naming the script it was given (the
// last single-quoted path before " -norestart", quotes undoubled) with its
// size and its first line, which proves the script was there with its
// content while it ran.
// Plain Win32 calls only: nothing of the remover's own code.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  return bytes;
}

void Record(const std::wstring& commandLine) {
  wchar_t path[MAX_PATH] = {};
  if (!GetEnvironmentVariableW(L"ZOR_STAND_IN_RECORD", path, MAX_PATH)) return;
  HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string line = Utf8(commandLine) + "\n";
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
}

// The quoted text ending just before `end`, with doubled quotes undone.
std::wstring ScriptPath(const std::wstring& commandLine) {
  const std::size_t end = commandLine.rfind(L"' -norestart");
  if (end == std::wstring::npos) return {};
  std::size_t start = end;
  while (start > 0) {
    --start;
    if (commandLine[start] != L'\'') continue;
    if (start > 0 && commandLine[start - 1] == L'\'') {
      --start;
      continue;
    }
    break;
  }
  std::wstring path;
  for (std::size_t i = start + 1; i < end; ++i) {
    path += commandLine[i];
    if (commandLine[i] == L'\'' && i + 1 < end && commandLine[i + 1] == L'\'') ++i;
  }
  return path;
}

}  // namespace

int wmain() {
  const std::wstring commandLine = GetCommandLineW();
  Record(commandLine);
  const std::wstring script = ScriptPath(commandLine);
  HANDLE file = CreateFileW(script.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::printf("stand-in shell: no script '%s' (error %lu)\n", Utf8(script).c_str(), GetLastError());
    return 1;
  }
  char text[4096];
  DWORD read = 0;
  ReadFile(file, text, sizeof text, &read, nullptr);
  const DWORD size = GetFileSize(file, nullptr);
  CloseHandle(file);
  std::string first(text, read);
  first = first.substr(0, first.find_first_of("\r\n"));
  std::printf("stand-in shell: script of %lu bytes: %s\n", size, first.c_str());
  return 0;
}
