// Holds files open the way a running product holds its own files: no delete
// and no write sharing, so nothing can delete or replace them while it runs.
//   hold_file.exe SECONDS PATH...
// Prints "holding" once every file is open, then waits until SECONDS have
// passed or, when its standard input is a pipe, until that pipe ends.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <vector>

namespace {

DWORD WINAPI WaitForInputEnd(void*) {
  char buffer[64];
  DWORD read = 0;
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  while (ReadFile(input, buffer, sizeof buffer, &read, nullptr) && read != 0) {
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fwprintf(stderr, L"usage: hold_file.exe SECONDS PATH...\n");
    return 2;
  }
  const unsigned long seconds = std::wcstoul(argv[1], nullptr, 10);
  std::vector<HANDLE> held;
  for (int i = 2; i < argc; ++i) {
    const HANDLE file = CreateFileW(argv[i], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      std::fwprintf(stderr, L"cannot open %ls (error %lu)\n", argv[i], GetLastError());
      return 1;
    }
    held.push_back(file);
  }
  std::printf("holding\n");
  std::fflush(stdout);
  if (GetFileType(GetStdHandle(STD_INPUT_HANDLE)) == FILE_TYPE_PIPE) {
    const HANDLE waiter = CreateThread(nullptr, 0, WaitForInputEnd, nullptr, 0, nullptr);
    WaitForSingleObject(waiter, seconds * 1000);
  } else {
    Sleep(seconds * 1000);
  }
  for (HANDLE file : held) CloseHandle(file);
  return 0;
}
