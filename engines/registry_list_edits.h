#pragma once
// The two list values the registry stage edits rather than deletes: the
// libraries of "AppInit_DLLs" and the boot-time programs of "BootExecute".
// Other software shares both lists, so what is not the product's is written
// back exactly as it was read. Text rules only, no Windows header.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/status_codes.h"

namespace zor {

// An "AppInit_DLLs" text cut into its entries and the separator runs around
// them, so that joining the pieces gives the text back unchanged. Entries
// are parted by runs of commas and spaces, as Windows reads the list; a part
// in double quotes belongs to its entry whatever it holds, so a quoted path
// with blanks is one entry. Nothing else is trimmed: a tab is part of a name.
struct LibraryList {
  // The separators before the first entry (the whole text when it holds no
  // entry).
  std::wstring leading;
  std::vector<std::wstring> entries;
  // One run per entry, the one that follows it; the last one ends the text
  // and may be empty.
  std::vector<std::wstring> following;
};

// `list` is left as it was on failure.
StatusCode SplitLibraryList(std::wstring_view text, LibraryList& list);

std::wstring JoinLibraryList(const LibraryList& list);

// Whether `entry` loads the library `name`: its file name, with any folder
// and quotation marks set aside, equals `name` in any letter case, as file
// names on Windows do.
bool NamesLibrary(std::wstring_view entry, std::wstring_view name);

// Takes every entry that names the library `name` out of `list` with one
// separator run beside it, and returns how many went; an empty name names
// none. Every other entry and separator stays as it was: two entries that
// stay keep the run that followed the first of them, the separators before
// the first entry and after the last one stay too. A list of which nothing
// stays becomes empty, separators and all.
std::size_t TakeOutLibrary(LibraryList& list, std::wstring_view name);

struct BootExecuteSorting {
  // As they were stored, in their order.
  std::vector<std::wstring> kept;
  // In lower case, as they were compared.
  std::vector<std::wstring> dropped;
};

// `entries` as stored and `lowered` the same entries in lower case, one for
// one; the folder forms are in lower case. An entry whose lower-case text
// contains the program folder in its long or its short form is the
// product's and is dropped; the others are kept as they were stored, in
// their order. An empty form names nothing: it would otherwise match every
// entry. Lists that do not pair up are kept whole: nothing can be told about
// an entry without its lower-case text.
BootExecuteSorting SortBootExecuteEntries(const std::vector<std::wstring>& entries,
                                          const std::vector<std::wstring>& lowered, std::wstring_view longFolder,
                                          std::wstring_view shortFolder);

}  // namespace zor
