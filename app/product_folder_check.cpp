#include "app/product_folder_check.h"

#include <vector>

#include "foundation/text_case.h"

namespace zor {
namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

bool StartsWithFolding(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() && EqualsFoldingAscii(text.substr(0, prefix.size()), prefix);
}

// A full path split into its root ("C:" or "\\server\share") and its
// components below it.
struct SplitPath {
  std::wstring root;
  std::vector<std::wstring> components;
};

// Windows ignores trailing dots and blanks of a component: "C:\Windows."
// opens C:\Windows.
void AddComponent(std::wstring_view component, std::vector<std::wstring>& components) {
  if (component == L".") return;
  if (component == L"..") {
    if (!components.empty()) components.pop_back();
    return;
  }
  while (!component.empty() && (component.back() == L'.' || component.back() == L' ')) component.remove_suffix(1);
  if (!component.empty()) components.emplace_back(component);
}

void AddComponents(std::wstring_view rest, std::vector<std::wstring>& components) {
  std::size_t start = 0;
  while (start <= rest.size()) {
    std::size_t end = start;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    AddComponent(rest.substr(start, end - start), components);
    start = end + 1;
  }
}

bool Split(std::wstring_view path, std::wstring_view currentDir, SplitPath& split);

bool SplitCurrent(std::wstring_view currentDir, SplitPath& split) {
  return !currentDir.empty() && Split(currentDir, {}, split);
}

bool Split(std::wstring_view path, std::wstring_view currentDir, SplitPath& split) {
  std::wstring text(path);
  for (wchar_t& c : text) {
    if (c == L'/') c = L'\\';
  }
  std::wstring_view view(text);
  if (StartsWithFolding(view, L"\\\\?\\UNC\\") || StartsWithFolding(view, L"\\??\\UNC\\")) {
    text = L"\\\\" + text.substr(8);
    view = text;
  } else if (StartsWithFolding(view, L"\\\\?\\") || StartsWithFolding(view, L"\\??\\")) {
    view.remove_prefix(4);
  }
  // A device, or a second prefix behind the first: neither names a folder,
  // and read once more the rest would pass for one.
  if (StartsWithFolding(view, L"\\\\.\\") || StartsWithFolding(view, L"\\\\?\\") ||
      StartsWithFolding(view, L"\\??\\")) {
    return false;
  }

  if (view.size() >= 2 && IsDriveLetter(view[0]) && view[1] == L':') {
    const bool rooted = view.size() > 2 && IsSeparator(view[2]);
    if (!rooted && SplitCurrent(currentDir, split) && split.root.size() == 2 &&
        FoldAsciiLetter(split.root[0]) == FoldAsciiLetter(view[0])) {
      AddComponents(view.substr(2), split.components);  // relative to the current folder of that drive
      return true;
    }
    split = SplitPath{std::wstring(view.substr(0, 2)), {}};
    AddComponents(view.substr(2), split.components);
    return true;
  }
  if (view.size() >= 2 && IsSeparator(view[0]) && IsSeparator(view[1])) {
    const std::wstring_view names = view.substr(2);
    const std::size_t serverEnd = names.find(L'\\');
    if (serverEnd == 0 || serverEnd == std::wstring_view::npos) return false;
    std::size_t shareEnd = names.find(L'\\', serverEnd + 1);
    if (shareEnd == std::wstring_view::npos) shareEnd = names.size();
    if (shareEnd == serverEnd + 1) return false;
    split = SplitPath{L"\\\\" + std::wstring(names.substr(0, shareEnd)), {}};
    if (shareEnd < names.size()) AddComponents(names.substr(shareEnd + 1), split.components);
    return true;
  }
  if (!SplitCurrent(currentDir, split)) return false;
  if (!view.empty() && IsSeparator(view[0])) split.components.clear();  // from the root of the current drive
  AddComponents(view, split.components);
  return true;
}

std::wstring Join(const SplitPath& split) {
  std::wstring text = split.root;
  for (const std::wstring& component : split.components) {
    text += L'\\';
    text += component;
  }
  return text;
}

bool SameComponent(std::wstring_view a, std::wstring_view b) { return EqualsFoldingAscii(a, b); }

// Whether `outer` is `inner` or one of the folders above it.
bool HoldsOrIs(const SplitPath& outer, const SplitPath& inner) {
  if (!SameComponent(outer.root, inner.root) || outer.components.size() > inner.components.size()) return false;
  for (std::size_t i = 0; i < outer.components.size(); ++i) {
    if (!SameComponent(outer.components[i], inner.components[i])) return false;
  }
  return true;
}

}  // namespace

std::span<std::wstring SystemFolders::* const> GuardedFolderFields() {
  static constexpr std::wstring SystemFolders::*kGuarded[] = {
      &SystemFolders::WindowsDir,      &SystemFolders::System32Dir,        &SystemFolders::SysWow64Dir,
      &SystemFolders::DriversDir,      &SystemFolders::ProgramFilesDir,    &SystemFolders::ProgramFilesX86Dir,
      &SystemFolders::ProgramDataDir,  &SystemFolders::UsersDir,           &SystemFolders::CommonDesktopDir,
      &SystemFolders::CommonStartMenuDir, &SystemFolders::CommonProgramsDir,
  };
  return kGuarded;
}

bool FullFolderPath(std::wstring_view path, std::wstring_view currentDir, std::wstring& full) {
  SplitPath split;
  if (!Split(path, currentDir, split)) return false;
  full = Join(split);
  return true;
}

bool IsUnsafeProductFolder(std::wstring_view path, const SystemFolders& folders) {
  if (path.empty()) return false;
  SplitPath candidate;
  if (!Split(path, folders.CurrentDir, candidate)) return true;
  if (candidate.components.empty()) return true;

  for (std::wstring SystemFolders::* const field : GuardedFolderFields()) {
    const std::wstring& folder = folders.*field;
    SplitPath system;
    if (folder.empty() || !Split(folder, {}, system)) continue;
    // Deleting a folder that holds a system folder deletes the system folder.
    if (HoldsOrIs(candidate, system)) return true;
  }

  SplitPath users;
  if (!folders.UsersDir.empty() && Split(folders.UsersDir, {}, users) &&
      candidate.components.size() == users.components.size() + 1) {
    SplitPath parent = candidate;
    parent.components.pop_back();
    if (HoldsOrIs(parent, users)) return true;
  }
  return false;
}

}  // namespace zor
