#pragma once
// The two list values the registry stage edits rather than deletes: the
// libraries of "AppInit_DLLs" and the boot-time programs of "BootExecute".
// Text rules only, no Windows header.
#include <string>
#include <string_view>
#include <vector>

#include "app/status_codes.h"

namespace zor {

// The libraries of an "AppInit_DLLs" text: pieces between commas and spaces,
// empty pieces dropped, nothing else trimmed. `libraries` is left as it was
// on failure.
StatusCode SplitLibraryList(std::wstring_view text, std::vector<std::wstring>& libraries);

// Takes out the first library equal to `name` (letter case included); later
// equal ones stay. False when none is equal.
bool TakeOutFirstLibrary(std::vector<std::wstring>& libraries, std::wstring_view name);

// Joined with "," and no space, as Windows writes the list.
std::wstring JoinLibraryList(const std::vector<std::wstring>& libraries);

struct BootExecuteSorting {
  std::vector<std::wstring> kept;
  std::vector<std::wstring> dropped;
};

// Entries and folder forms are given in lower case. An entry that contains
// the program folder in its long or its short form is the product's and is
// dropped; the others are kept in their order. An empty form names nothing:
// it would otherwise match every entry.
BootExecuteSorting SortBootExecuteEntries(const std::vector<std::wstring>& entries, std::wstring_view longFolder,
                                          std::wstring_view shortFolder);

}  // namespace zor
