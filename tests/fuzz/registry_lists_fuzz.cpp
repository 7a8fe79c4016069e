// The two registry lists the registry stage edits. An "AppInit_DLLs" text
// splits into pieces that join back into the very same text; taking the
// product's library out removes every entry that names it and keeps every
// other entry byte for byte and in order, and the written text splits into
// exactly those entries. Sorting "BootExecute" entries keeps each other
// entry as it was stored and in order, drops exactly those whose lower-case
// text contains a form of the program folder, and an empty form drops
// nothing.
//
// Input lines: the AppInit_DLLs text, the library to take out, the long and
// the short form of the program folder, then one BootExecute entry a line.
#include <cstdint>
#include <string>
#include <vector>

#include "engines/registry_list_edits.h"
#include "foundation/text_case.h"
#include "tests/fuzz/fuzz_support.h"

namespace zor {
namespace {

using fuzz::FieldAt;
using fuzz::Printable;
using fuzz::Require;
using List = std::vector<std::wstring>;

std::string Describe(const List& list) {
  std::string text;
  for (const std::wstring& entry : list) text += Printable(entry) + " ";
  return text;
}

void CheckLibraryList(std::wstring_view text, std::wstring_view name) {
  LibraryList list;
  const StatusCode split = SplitLibraryList(text, list);
  Require(!IsFailure(split), "library-split", [&] { return Printable(text) + " could not be split"; });
  if (IsFailure(split)) return;
  Require(JoinLibraryList(list) == text, "library-join-gives-the-text",
          [&] { return Printable(text) + " joined back as " + Printable(JoinLibraryList(list)); });
  Require(list.following.size() == list.entries.size(), "library-one-run-per-entry",
          [&] { return Printable(text) + " split into " + Describe(list.entries); });

  List others;
  std::size_t named = 0;
  for (const std::wstring& entry : list.entries) {
    if (!name.empty() && NamesLibrary(entry, name)) {
      ++named;
    } else {
      others.push_back(entry);
    }
  }
  const std::size_t taken = TakeOutLibrary(list, name);
  Require(taken == named && list.entries == others, "take-out-every-product-entry",
          [&] { return Printable(text) + " less " + Printable(name) + ": " + Describe(list.entries); });

  const std::wstring written = JoinLibraryList(list);
  LibraryList reread;
  const StatusCode resplit = SplitLibraryList(written, reread);
  Require(!IsFailure(resplit) && reread.entries == others, "other-libraries-kept",
          [&] { return Printable(text) + " less " + Printable(name) + " written as " + Printable(written); });
  if (taken == 0) {
    Require(written == text, "nothing-taken-nothing-changed",
            [&] { return Printable(text) + " became " + Printable(written); });
  }
}

bool Contains(std::wstring_view entry, std::wstring_view form, bool folding) {
  if (form.empty() || form.size() > entry.size()) return false;
  for (std::size_t i = 0; i + form.size() <= entry.size(); ++i) {
    const std::wstring_view part = entry.substr(i, form.size());
    if (folding ? EqualsFoldingAscii(part, form) : part == form) return true;
  }
  return false;
}

std::wstring LowerAscii(std::wstring_view text) {
  std::wstring lower(text);
  for (wchar_t& c : lower) c = FoldAsciiLetter(c);
  return lower;
}

void CheckBootExecute(const List& entries, std::wstring_view longForm, std::wstring_view shortForm) {
  List lowered;
  for (const std::wstring& entry : entries) lowered.push_back(LowerAscii(entry));
  const BootExecuteSorting sorting = SortBootExecuteEntries(entries, lowered, longForm, shortForm);
  List kept;
  List dropped;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (Contains(lowered[i], longForm, false) || Contains(lowered[i], shortForm, false)) {
      dropped.push_back(lowered[i]);
    } else {
      kept.push_back(entries[i]);
    }
  }
  Require(sorting.kept == kept && sorting.dropped == dropped, "boot-entries-sorted", [&] {
    return "entries " + Describe(entries) + "forms " + Printable(longForm) + " " + Printable(shortForm) + ": kept " +
           Describe(sorting.kept) + "dropped " + Describe(sorting.dropped);
  });
  // Lists that do not pair up are kept whole.
  if (!entries.empty()) {
    const List shorter(lowered.begin(), lowered.end() - 1);
    const BootExecuteSorting unpaired = SortBootExecuteEntries(entries, shorter, longForm, shortForm);
    Require(unpaired.kept == entries && unpaired.dropped.empty(), "unpaired-lists-kept-whole",
            [&] { return "entries " + Describe(entries) + " sorted against a shorter lower-case list"; });
  }
}

}  // namespace
}  // namespace zor

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::wstring> fields = zor::fuzz::Fields(zor::fuzz::WideFromBytes(data, size));
  zor::CheckLibraryList(zor::fuzz::FieldAt(fields, 0), zor::fuzz::FieldAt(fields, 1));
  const std::wstring longForm = zor::LowerAscii(zor::fuzz::FieldAt(fields, 2));
  const std::wstring shortForm = zor::LowerAscii(zor::fuzz::FieldAt(fields, 3));
  const zor::List entries(fields.size() > 4 ? fields.begin() + 4 : fields.end(), fields.end());
  zor::CheckBootExecute(entries, longForm, shortForm);
  return 0;
}
