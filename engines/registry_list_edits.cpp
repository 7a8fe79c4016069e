#include "engines/registry_list_edits.h"

#include <algorithm>
#include <new>

namespace zor {
namespace {

constexpr bool IsLibrarySeparator(wchar_t c) { return c == L',' || c == L' '; }

bool Names(std::wstring_view entry, std::wstring_view folder) {
  return !folder.empty() && entry.find(folder) != std::wstring_view::npos;
}

}  // namespace

StatusCode SplitLibraryList(std::wstring_view text, std::vector<std::wstring>& libraries) {
  try {
    std::vector<std::wstring> pieces;
    std::size_t start = 0;
    while (start < text.size()) {
      while (start < text.size() && IsLibrarySeparator(text[start])) ++start;
      std::size_t end = start;
      while (end < text.size() && !IsLibrarySeparator(text[end])) ++end;
      if (end > start) pieces.emplace_back(text.substr(start, end - start));
      start = end;
    }
    libraries = std::move(pieces);
    return status::Success;
  } catch (const std::bad_alloc&) {
    return status::OutOfMemory;
  }
}

bool TakeOutFirstLibrary(std::vector<std::wstring>& libraries, std::wstring_view name) {
  const auto found = std::find(libraries.begin(), libraries.end(), name);
  if (found == libraries.end()) return false;
  libraries.erase(found);
  return true;
}

std::wstring JoinLibraryList(const std::vector<std::wstring>& libraries) {
  std::wstring text;
  for (std::size_t i = 0; i < libraries.size(); ++i) {
    if (i > 0) text += L',';
    text += libraries[i];
  }
  return text;
}

BootExecuteSorting SortBootExecuteEntries(const std::vector<std::wstring>& entries, std::wstring_view longFolder,
                                          std::wstring_view shortFolder) {
  BootExecuteSorting sorting;
  for (const std::wstring& entry : entries) {
    if (Names(entry, longFolder) || Names(entry, shortFolder)) {
      sorting.dropped.push_back(entry);
    } else {
      sorting.kept.push_back(entry);
    }
  }
  return sorting;
}

}  // namespace zor
