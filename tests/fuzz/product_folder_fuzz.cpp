// Refusing product folders that name Windows' own folders. A resolved
// folder has the shape of a full path and resolves to itself. Whether a
// folder is refused does not depend on how it is spelled (letter case,
// "/" or "\", a "\\?\" prefix, trailing separators, "." and ".."). Every
// system folder and every folder above one is refused; a folder is refused
// exactly when it is unresolvable, a root, holds or is a system folder, or
// is a profile directly in the Users folder (a model that compares the
// resolved texts component by component). A folder's name is the product's
// in any letter case, and only when it is one of the product's names.
//
// Input lines: the folder, the current folder, then the system folders in
// the order of SystemFolders (Windows, System32, SysWOW64, drivers, Program
// Files, Program Files (x86), ProgramData, Users, common Desktop, Start
// menu, Programs), then a folder name to try below a system folder. Which
// system folder's spellings are tried depends on the input's length.
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "app/product_folder_check.h"
#include "app/product_folder_marks.h"
#include "foundation/text_case.h"
#include "tests/fuzz/fuzz_support.h"

namespace zor {
namespace {

using fuzz::FieldAt;
using fuzz::Printable;
using fuzz::Require;


// The length of the root of a resolved path ("C:" or "\\server\share"), 0
// when it has none.
std::size_t RootLength(std::wstring_view full) {
  if (full.size() >= 2 && full[1] == L':' &&
      ((full[0] >= L'a' && full[0] <= L'z') || (full[0] >= L'A' && full[0] <= L'Z'))) {
    return 2;
  }
  if (full.size() < 2 || full[0] != L'\\' || full[1] != L'\\') return 0;
  const std::size_t serverEnd = full.find(L'\\', 2);
  if (serverEnd == std::wstring_view::npos || serverEnd == 2) return 0;
  const std::size_t shareEnd = std::min(full.find(L'\\', serverEnd + 1), full.size());
  return shareEnd == serverEnd + 1 ? 0 : shareEnd;
}

bool HasFullShape(std::wstring_view full) {
  const std::size_t root = RootLength(full);
  if (root == 0 || full.find(L'/') != std::wstring_view::npos) return false;
  std::wstring_view rest = full.substr(root);
  while (!rest.empty()) {
    if (rest[0] != L'\\') return false;
    rest.remove_prefix(1);
    const std::wstring_view component = rest.substr(0, rest.find(L'\\'));
    if (component.empty() || component == L"." || component == L".." || component.back() == L'.' ||
        component.back() == L' ') {
      return false;
    }
    rest.remove_prefix(component.size());
  }
  return true;
}

bool StartsWithFolding(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() && EqualsFoldingAscii(text.substr(0, prefix.size()), prefix);
}

bool ModelRefuses(std::wstring_view path, const SystemFolders& folders) {
  if (path.empty()) return false;
  std::wstring full;
  if (!FullFolderPath(path, folders.CurrentDir, full)) return true;
  if (RootLength(full) == full.size()) return true;
  for (const auto field : GuardedFolderFields()) {
    std::wstring system;
    const std::wstring& folder = folders.*field;
    if (folder.empty() || !FullFolderPath(folder, {}, system)) continue;
    if (EqualsFoldingAscii(system, full) || StartsWithFolding(system, full + L"\\")) return true;
  }
  std::wstring users;
  if (!folders.UsersDir.empty() && FullFolderPath(folders.UsersDir, {}, users)) {
    const std::wstring_view parent = std::wstring_view(full).substr(0, full.rfind(L'\\'));
    if (EqualsFoldingAscii(parent, users)) return true;
  }
  return false;
}

std::wstring WithSlashes(std::wstring text) {
  for (wchar_t& c : text) {
    if (c == L'\\') c = L'/';
  }
  return text;
}

void CheckResolution(std::wstring_view path, const SystemFolders& folders) {
  std::wstring full = L"sentinel";
  if (!FullFolderPath(path, folders.CurrentDir, full)) {
    Require(full == L"sentinel", "failure-leaves-output", [&] { return Printable(path); });
    return;
  }
  Require(HasFullShape(full), "resolved-shape", [&] { return Printable(path) + " resolved to " + Printable(full); });
  std::wstring again;
  const bool resolved = FullFolderPath(full, {}, again);
  Require(resolved && again == full, "resolution-idempotent",
          [&] { return Printable(full) + " resolved again to " + Printable(again); });
  // A bare drive root such as "C:" reads as that drive's current folder
  // when one is given: only other full paths resolve to themselves then.
  if (RootLength(full) < full.size()) {
    std::wstring withCurrent;
    const bool resolvedWithCurrent = FullFolderPath(full, folders.CurrentDir, withCurrent);
    Require(resolvedWithCurrent && withCurrent == full, "resolution-idempotent",
            [&] { return Printable(full) + " resolved against the current folder to " + Printable(withCurrent); });
  }
}

void CheckRefusal(std::wstring_view path, const SystemFolders& folders) {
  const bool refused = IsUnsafeProductFolder(path, folders);
  Require(refused == ModelRefuses(path, folders), "refusal-model",
          [&] { return Printable(path) + (refused ? " refused" : " allowed"); });
  const bool swapped = IsUnsafeProductFolder(fuzz::SwapAsciiCase(path), folders);
  const bool slashed = IsUnsafeProductFolder(WithSlashes(std::wstring(path)), folders);
  Require(swapped == refused && slashed == refused, "refusal-spelling-invariant",
          [&] { return Printable(path) + (refused ? " refused" : " allowed") + " but not in another spelling"; });
}

// Spellings of the same folder that a text comparison could miss.
std::vector<std::wstring> Spellings(const std::wstring& full) {
  std::vector<std::wstring> spellings = {full, fuzz::SwapAsciiCase(full), WithSlashes(full), full + L"\\",
                                         full + L"\\.", full + L".", full + L" ", full + L"\\x\\..", full + L"\\\\"};
  if (full[1] == L':') {
    spellings.push_back(L"\\\\?\\" + full);
    spellings.push_back(L"\\??\\" + full);
  } else {
    spellings.push_back(L"\\\\?\\UNC\\" + full.substr(2));
  }
  const std::size_t firstSeparator = full.find(L'\\', RootLength(full));
  spellings.push_back(full.substr(0, firstSeparator) + L"\\.\\" + full.substr(firstSeparator + 1));
  return spellings;
}

std::wstring FolderName(std::wstring_view text) {
  std::wstring name;
  for (wchar_t c : text) {
    if (c != L'\\' && c != L'/') name.push_back(c);
  }
  while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) name.pop_back();
  return name.empty() ? std::wstring(L"ZOR") : name;
}

void CheckSystemFolder(const SystemFolders& folders, const std::wstring& folder, std::wstring_view childName) {
  std::wstring full;
  const std::size_t root = FullFolderPath(folder, {}, full) ? RootLength(full) : 0;
  if (folder.empty() || root == full.size()) return;
  for (const std::wstring& spelling : Spellings(full)) {
    Require(IsUnsafeProductFolder(spelling, folders), "system-folder-refused",
            [&] { return Printable(folder) + " spelled " + Printable(spelling) + " allowed"; });
  }
  for (std::size_t end = root; end < full.size(); end = full.find(L'\\', end + 1)) {
    // A root is written with its separator: "C:" alone is the current folder of C.
    const std::wstring holder = full.substr(0, end) + (end == root ? L"\\" : L"");
    Require(IsUnsafeProductFolder(holder, folders), "holders-of-system-folders-refused",
            [&] { return Printable(holder) + " holds " + Printable(full) + " and is allowed"; });
  }
  const std::wstring child = full + L"\\" + std::wstring(childName);
  const bool refused = IsUnsafeProductFolder(child, folders);
  Require(refused == ModelRefuses(child, folders), "refusal-model",
          [&] { return Printable(child) + (refused ? " refused" : " allowed") + " below " + Printable(full); });
}

void CheckProductName(std::wstring_view name) {
  bool listed = false;
  for (std::wstring_view productName : ProductFolderNames()) listed = listed || EqualsFoldingAscii(name, productName);
  const bool recognised = IsProductFolderName(name);
  Require(recognised == listed && IsProductFolderName(fuzz::SwapAsciiCase(name)) == recognised,
          "product-names-fold", [&] { return Printable(name) + (recognised ? " recognised" : " not recognised"); });
}

}  // namespace
}  // namespace zor

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using zor::fuzz::FieldAt;
  const std::vector<std::wstring> fields = zor::fuzz::Fields(zor::fuzz::WideFromBytes(data, size));
  zor::SystemFolders folders;
  folders.CurrentDir = std::wstring(FieldAt(fields, 1));
  std::size_t index = 2;
  for (const auto field : zor::GuardedFolderFields()) folders.*field = std::wstring(FieldAt(fields, index++));
  const std::wstring_view path = FieldAt(fields, 0);
  zor::CheckResolution(path, folders);
  zor::CheckRefusal(path, folders);
  // One system folder an input: each costs a few hundred resolutions.
  const auto tried = zor::GuardedFolderFields()[size % std::size(zor::GuardedFolderFields())];
  zor::CheckSystemFolder(folders, folders.*tried, zor::FolderName(FieldAt(fields, 13)));
  zor::CheckProductName(FieldAt(fields, 13));
  return 0;
}
