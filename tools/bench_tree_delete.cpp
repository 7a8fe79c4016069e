// Times DeleteTree on one folder tree and "cmd /c rd /s /q" on an identical
// one in the same prefix, and prints both with their ratio. Figures only:
// no test.
//   bench_tree_delete TREE_FOR_DELETE_TREE TREE_FOR_RD FILES [rd-first]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/native_types.h"
#include "platform/platform_startup.h"
#include "platform/tree_delete.h"

namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double TimeDeleteTree(const std::wstring& tree, int& status) {
  LARGE_INTEGER start;
  LARGE_INTEGER end;
  QueryPerformanceCounter(&start);
  status = zor::DeleteTree(tree, true);
  QueryPerformanceCounter(&end);
  return Seconds(start, end);
}

double TimeRd(const std::wstring& tree, DWORD& exitCode) {
  std::wstring command = L"cmd.exe /c rd /s /q \"" + tree + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  LARGE_INTEGER start;
  LARGE_INTEGER end;
  QueryPerformanceCounter(&start);
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    exitCode = GetLastError();
    return -1;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  QueryPerformanceCounter(&end);
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return Seconds(start, end);
}

bool Gone(const std::wstring& path) { return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES; }

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: bench_tree_delete TREE_FOR_DELETE_TREE TREE_FOR_RD FILES [rd-first]\n");
    return 2;
  }
  if (zor::StartPlatform() != 0) {
    std::fprintf(stderr, "platform start-up failed\n");
    return 1;
  }
  const std::wstring ours = argv[1];
  const std::wstring theirs = argv[2];
  const double files = std::wcstod(argv[3], nullptr);
  const bool rdFirst = argc > 4 && std::wstring(argv[4]) == L"rd-first";

  int status = 0;
  DWORD rdExit = 0;
  double rd = 0;
  double deleteTree = 0;
  if (rdFirst) rd = TimeRd(theirs, rdExit);
  deleteTree = TimeDeleteTree(ours, status);
  if (!rdFirst) rd = TimeRd(theirs, rdExit);

  std::printf("DeleteTree      %8.3f s  %9.0f files/s  status %08x  %s\n", deleteTree, files / deleteTree,
              static_cast<unsigned>(status), Gone(ours) ? "tree gone" : "TREE LEFT");
  std::printf("cmd /c rd /s /q %8.3f s  %9.0f files/s  exit %lu  %s\n", rd, files / rd, static_cast<unsigned long>(rdExit),
              Gone(theirs) ? "tree gone" : "TREE LEFT");
  std::printf("ratio rd / DeleteTree: %.2f (above 1: DeleteTree is faster)\n", rd / deleteTree);
  return (status == 0 && Gone(ours) && Gone(theirs)) ? 0 : 1;
}
