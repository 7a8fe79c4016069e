#include "platform/path_text.h"

#include <new>

namespace zor {
namespace {

constexpr bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

// Text helpers report a failed allocation as a status, like the rest of the
// layer, instead of throwing into the engines.
template <typename Work>
StatusCode GuardAllocation(Work&& work) {
  try {
    return work();
  } catch (const std::bad_alloc&) {
    return status::OutOfMemory;
  }
}

bool HasRootOfItsOwn(std::wstring_view path) {
  return HasDriveDesignation(path) || (!path.empty() && IsPathSeparator(path[0]));
}

}  // namespace

bool HasDriveDesignation(std::wstring_view path) { return path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == L':'; }

StatusCode CombinePath(std::wstring_view base, std::wstring_view relative, std::wstring& combined) {
  return GuardAllocation([&] {
    std::wstring result;
    if (relative.empty()) {
      result = base;
    } else if (base.empty() || HasRootOfItsOwn(relative)) {
      result = relative;
    } else {
      result.reserve(base.size() + 1 + relative.size());
      result = base;
      if (!IsPathSeparator(base.back())) result += L'\\';
      result += relative;
    }
    combined = std::move(result);
    return status::Success;
  });
}

StatusCode ParentFolder(std::wstring_view path, std::wstring& parent) {
  return GuardAllocation([&] {
    std::size_t end = path.find_last_of(L"\\/");
    if (end == std::wstring_view::npos) {
      parent.clear();
      return status::Success;
    }
    while (end > 0 && IsPathSeparator(path[end - 1])) --end;
    std::wstring result;
    if (end == 0) {
      result = L"\\";
    } else if (end == 2 && HasDriveDesignation(path)) {
      result = path.substr(0, 2);
      result += L'\\';
    } else {
      result = path.substr(0, end);
    }
    parent = std::move(result);
    return status::Success;
  });
}

StatusCode LastComponent(std::wstring_view path, std::wstring& component) {
  return GuardAllocation([&] {
    const std::size_t last = path.find_last_of(L"\\/:");
    component = last == std::wstring_view::npos ? path : path.substr(last + 1);
    return status::Success;
  });
}

PathForm ClassifyPath(std::wstring_view path) {
  if ((path.size() > 4 && StartsWith(path, L"\\??\\")) || (path.size() > 8 && StartsWith(path, L"\\Device\\"))) {
    return PathForm::Nt;
  }
  if (path.size() >= 2 && IsPathSeparator(path[0]) && IsPathSeparator(path[1])) return PathForm::DoubleSeparator;
  if (!path.empty() && IsPathSeparator(path[0])) return PathForm::RootRelative;
  if (HasDriveDesignation(path)) return PathForm::Drive;
  return PathForm::Relative;
}

std::wstring LongPathForm(std::wstring_view fullPath) {
  if (StartsWith(fullPath, L"\\\\?\\") || StartsWith(fullPath, L"\\\\.\\")) return std::wstring(fullPath);
  if (StartsWith(fullPath, L"\\??\\")) return L"\\\\?\\" + std::wstring(fullPath.substr(4));
  if (StartsWith(fullPath, L"\\Device\\")) return L"\\\\?\\GLOBALROOT" + std::wstring(fullPath);
  if (fullPath.size() >= 2 && IsPathSeparator(fullPath[0]) && IsPathSeparator(fullPath[1])) {
    return L"\\\\?\\UNC\\" + std::wstring(fullPath.substr(2));
  }
  return L"\\\\?\\" + std::wstring(fullPath);
}

bool EntryAdmitted(std::uint32_t attributes, std::wstring_view name, std::uint32_t filter) {
  if ((attributes & kAttributeReparsePoint) && !(filter & ListReparsePoints)) return false;
  if (!(attributes & kAttributeDirectory)) return (filter & ListFiles) != 0;
  if (name == L"..") return (filter & ListParentEntry) != 0;
  if (name == L".") return (filter & ListSelfEntry) != 0;
  return (filter & ListFolders) != 0;
}

std::wstring_view ListingMask(const wchar_t* mask) {
  if (!mask || !*mask) return L"*";
  const std::wstring_view text(mask);
  return text == L"*.*" ? std::wstring_view(L"*") : text;
}

ShortPathPieces SplitForShortPath(std::wstring_view path) {
  ShortPathPieces pieces;
  std::size_t at = 0;
  if (StartsWith(path, L"//./") || StartsWith(path, L"//?/")) at = 4;
  if (HasDriveDesignation(path.substr(at))) at += 2;
  pieces.head = path.substr(0, at);
  if (at < path.size() && IsPathSeparator(path[at])) pieces.head += L'\\';
  while (at < path.size()) {
    while (at < path.size() && IsPathSeparator(path[at])) ++at;
    const std::size_t end = std::min(path.find_first_of(L"\\/", at), path.size());
    if (end > at) pieces.components.emplace_back(path.substr(at, end - at));
    at = end;
  }
  return pieces;
}

}  // namespace zor
