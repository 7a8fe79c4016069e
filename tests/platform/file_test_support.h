#pragma once
// What the file system tests share: a folder of each test's own, small file
// helpers, and a native-table entry swapped for the length of a scope.
#include <string>
#include <string_view>
#include <vector>

#include "platform/native_api.h"
#include "platform/native_types.h"
#include "tests/support/narrow_text.h"
#include "tests/support/table_swap.h"

namespace zor::test {

bool RunningUnderWine();

// C:\zor-files-<process id>-<suite>-<test>, made afresh, or the same name
// under another base folder; removed with its content at the end. Holds no
// links: its removal goes through kernel32, which under Wine follows them.
class TestFolder {
 public:
  TestFolder();
  explicit TestFolder(const std::wstring& base);
  ~TestFolder();
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;

  const std::wstring& path() const { return path_; }
  bool made() const { return made_; }
  std::wstring operator/(std::wstring_view relative) const;

 private:
  std::wstring path_;
  bool made_ = false;
};

void MakeFolder(const std::wstring& path);
void WriteTextFile(const std::wstring& path, std::string_view content);
std::string ReadTextFile(const std::wstring& path);
bool PathExists(const std::wstring& path);
// Names in a folder, without "." and "..", sorted.
std::vector<std::wstring> FolderNames(const std::wstring& folder);
std::vector<std::wstring> Sorted(std::vector<std::wstring> names);
// Removes a tree through kernel32, skipping every reparse point.
void RemoveTestTree(const std::wstring& path);

// Entries whose names begin with `prefix` listed as reparse points by every
// folder listing of the process, for the length of a scope, while a handle
// opened on one shows what it is: a link that the system opens as its
// target, as Wine shows a Unix symbolic link to a folder.
class ListedAsLinks {
 public:
  explicit ListedAsLinks(std::wstring prefix);
  ~ListedAsLinks();
  ListedAsLinks(const ListedAsLinks&) = delete;
  ListedAsLinks& operator=(const ListedAsLinks&) = delete;

 private:
  static NTSTATUS NTAPI Query(HANDLE file, HANDLE event, nt::IoApcRoutine apc, PVOID context, PIO_STATUS_BLOCK io,
                              PVOID buffer, ULONG length, ULONG infoClass, BOOLEAN single, PUNICODE_STRING name,
                              BOOLEAN restart);
  static ListedAsLinks* active_;
  std::wstring prefix_;
  SwappedEntry<ZwQueryDirectoryFileFunction*> swap_;
};

// Every folder listing of the process asked with exactly the mask `mask`
// fails with `refusal`, for the length of a scope.
class RefusedListing {
 public:
  RefusedListing(std::wstring mask, NTSTATUS refusal);
  ~RefusedListing();
  RefusedListing(const RefusedListing&) = delete;
  RefusedListing& operator=(const RefusedListing&) = delete;

 private:
  static NTSTATUS NTAPI Query(HANDLE file, HANDLE event, nt::IoApcRoutine apc, PVOID context, PIO_STATUS_BLOCK io,
                              PVOID buffer, ULONG length, ULONG infoClass, BOOLEAN single, PUNICODE_STRING name,
                              BOOLEAN restart);
  static RefusedListing* active_;
  std::wstring mask_;
  NTSTATUS refusal_;
  SwappedEntry<ZwQueryDirectoryFileFunction*> swap_;
};

// Every open of the process by a full path (no root folder) that ends in
// `suffix` fails with `refusal`, for the length of a scope.
class RefusedOpen {
 public:
  RefusedOpen(std::wstring suffix, NTSTATUS refusal);
  ~RefusedOpen();
  RefusedOpen(const RefusedOpen&) = delete;
  RefusedOpen& operator=(const RefusedOpen&) = delete;

 private:
  static NTSTATUS NTAPI Open(PHANDLE file, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, PIO_STATUS_BLOCK io,
                             ULONG share, ULONG options);
  static RefusedOpen* active_;
  std::wstring suffix_;
  NTSTATUS refusal_;
  SwappedEntry<ZwOpenFileFunction*> swap_;
};

// The Session Manager's pending file rename operations: pairs of an NT
// path and a target, an empty target meaning deletion.
std::vector<std::wstring> PendingRenames();

// True when the file's deletion at the next start of Windows is recorded.
bool DeletionIsPending(const std::wstring& path);

}  // namespace zor::test
