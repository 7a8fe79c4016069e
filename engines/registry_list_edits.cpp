#include "engines/registry_list_edits.h"

#include <new>

#include "foundation/text_case.h"

namespace zor {
namespace {

constexpr bool IsLibrarySeparator(wchar_t c) { return c == L',' || c == L' '; }

// Where a folder part of a path ends: "\", "/" and a drive's ":".
constexpr bool EndsFolderPart(wchar_t c) { return c == L'\\' || c == L'/' || c == L':'; }

bool Names(std::wstring_view entry, std::wstring_view folder) {
  return !folder.empty() && entry.find(folder) != std::wstring_view::npos;
}

}  // namespace

StatusCode SplitLibraryList(std::wstring_view text, LibraryList& list) {
  try {
    LibraryList pieces;
    std::size_t position = 0;
    while (position < text.size() && IsLibrarySeparator(text[position])) ++position;
    pieces.leading = text.substr(0, position);
    while (position < text.size()) {
      const std::size_t start = position;
      bool quoted = false;
      for (; position < text.size() && (quoted || !IsLibrarySeparator(text[position])); ++position) {
        if (text[position] == L'"') quoted = !quoted;
      }
      pieces.entries.emplace_back(text.substr(start, position - start));
      const std::size_t separators = position;
      while (position < text.size() && IsLibrarySeparator(text[position])) ++position;
      pieces.following.emplace_back(text.substr(separators, position - separators));
    }
    list = std::move(pieces);
    return status::Success;
  } catch (const std::bad_alloc&) {
    return status::OutOfMemory;
  }
}

std::wstring JoinLibraryList(const LibraryList& list) {
  std::wstring text = list.leading;
  for (std::size_t i = 0; i < list.entries.size(); ++i) {
    text += list.entries[i];
    if (i < list.following.size()) text += list.following[i];
  }
  return text;
}

bool NamesLibrary(std::wstring_view entry, std::wstring_view name) {
  std::size_t start = entry.size();
  while (start > 0 && !EndsFolderPart(entry[start - 1])) --start;
  // The file name without the quotation marks that may surround the path or
  // a part of it.
  std::wstring_view fileName = entry.substr(start);
  std::size_t matched = 0;
  for (wchar_t c : fileName) {
    if (c == L'"') continue;
    if (matched == name.size() || FoldAsciiLetter(c) != FoldAsciiLetter(name[matched])) return false;
    ++matched;
  }
  return !name.empty() && matched == name.size();
}

std::size_t TakeOutLibrary(LibraryList& list, std::wstring_view name) {
  // Only a list as SplitLibraryList makes it has a run after each entry.
  if (list.entries.empty() || list.following.size() != list.entries.size()) return 0;
  std::wstring ending = list.following.back();
  std::size_t kept = 0;
  std::size_t taken = 0;
  for (std::size_t i = 0; i < list.entries.size(); ++i) {
    if (NamesLibrary(list.entries[i], name)) {
      ++taken;
      continue;
    }
    if (kept != i) {
      list.entries[kept] = std::move(list.entries[i]);
      list.following[kept] = std::move(list.following[i]);
    }
    ++kept;
  }
  if (taken == 0) return 0;
  if (kept == 0) {
    list = LibraryList();
    return taken;
  }
  // Product entries after the last one that stays take the run before them
  // with them, so the run that ended the text ends it still.
  list.following[kept - 1] = std::move(ending);
  list.entries.resize(kept);
  list.following.resize(kept);
  return taken;
}

BootExecuteSorting SortBootExecuteEntries(const std::vector<std::wstring>& entries,
                                          const std::vector<std::wstring>& lowered, std::wstring_view longFolder,
                                          std::wstring_view shortFolder) {
  BootExecuteSorting sorting;
  if (lowered.size() != entries.size()) {
    sorting.kept = entries;
    return sorting;
  }
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (Names(lowered[i], longFolder) || Names(lowered[i], shortFolder)) {
      sorting.dropped.push_back(lowered[i]);
    } else {
      sorting.kept.push_back(entries[i]);
    }
  }
  return sorting;
}

}  // namespace zor
