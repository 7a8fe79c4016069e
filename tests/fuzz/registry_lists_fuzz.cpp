// The two registry lists the registry stage edits. Taking the product's
// library out of "AppInit_DLLs" keeps every other library byte for byte and
// in order: the written text splits into the old list less the first equal
// name. Sorting "BootExecute" entries keeps each entry as it was given and
// in order, drops exactly those that contain a form of the program folder,
// and an empty form drops nothing.
//
// Input lines: the AppInit_DLLs text, the library to take out, the long and
// the short form of the program folder, then one BootExecute entry a line.
#include <cstdint>
#include <string>
#include <vector>

#include "app/text_case.h"
#include "engines/registry_list_edits.h"
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

List ModelSplit(std::wstring_view text) {
  List pieces;
  std::wstring piece;
  for (wchar_t c : text) {
    if (c == L',' || c == L' ') {
      if (!piece.empty()) pieces.push_back(std::move(piece));
      piece.clear();
    } else {
      piece.push_back(c);
    }
  }
  if (!piece.empty()) pieces.push_back(std::move(piece));
  return pieces;
}

void CheckLibraryList(std::wstring_view text, std::wstring_view name) {
  List libraries = {L"sentinel"};
  const StatusCode split = SplitLibraryList(text, libraries);
  const List expected = ModelSplit(text);
  Require(!IsFailure(split) && libraries == expected, "library-split-model",
          [&] { return Printable(text) + " split into " + Describe(libraries); });
  if (IsFailure(split)) return;

  List remaining = expected;
  bool present = false;
  for (auto it = remaining.begin(); it != remaining.end(); ++it) {
    if (*it == name) {
      remaining.erase(it);
      present = true;
      break;
    }
  }
  const bool taken = TakeOutFirstLibrary(libraries, name);
  Require(taken == present && libraries == remaining, "take-out-first-only",
          [&] { return Printable(text) + " less " + Printable(name) + ": " + Describe(libraries); });

  const std::wstring written = JoinLibraryList(libraries);
  List reread;
  const StatusCode resplit = SplitLibraryList(written, reread);
  Require(!IsFailure(resplit) && reread == remaining, "other-libraries-kept",
          [&] { return Printable(text) + " less " + Printable(name) + " written as " + Printable(written); });
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
  const BootExecuteSorting sorting = SortBootExecuteEntries(entries, longForm, shortForm);
  std::size_t kept = 0;
  std::size_t dropped = 0;
  for (const std::wstring& entry : entries) {
    const bool exactly = Contains(entry, longForm, false) || Contains(entry, shortForm, false);
    const bool folded = Contains(entry, longForm, true) || Contains(entry, shortForm, true);
    const bool isKept = kept < sorting.kept.size() && sorting.kept[kept] == entry;
    const bool isDropped = dropped < sorting.dropped.size() && sorting.dropped[dropped] == entry;
    // Letter case is the caller's to settle: an entry that names the folder
    // only in another case may go either way, but must go one way whole.
    const bool placed = exactly == folded ? (exactly ? isDropped : isKept) : (isKept || isDropped);
    Require(placed, "boot-entries-sorted", [&] {
      return "entries " + Describe(entries) + "forms " + Printable(longForm) + " " + Printable(shortForm) +
             ": kept " + Describe(sorting.kept) + "dropped " + Describe(sorting.dropped);
    });
    if (isDropped && (!isKept || exactly)) {
      ++dropped;
    } else {
      ++kept;
    }
  }
  Require(kept == sorting.kept.size() && dropped == sorting.dropped.size(), "boot-entries-sorted",
          [&] { return "entries " + Describe(entries) + " came back as more than they were"; });
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
  zor::List lowered;
  for (const std::wstring& entry : entries) lowered.push_back(zor::LowerAscii(entry));
  zor::CheckBootExecute(lowered, longForm, shortForm);
  return 0;
}
