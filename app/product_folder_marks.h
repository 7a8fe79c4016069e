#pragma once
// What makes a folder recognisably the product's: the names its installers
// give their folders, and files only the product puts there. No Windows
// header.
#include <span>
#include <string_view>

namespace zor {

enum class ProductFolderField { ZorDir, ZorAdminDir, ZorDataDir };

// A field's name in the run parameters and in log lines ("ZorDir"), and the
// command-line option that names its folder ("zordir").
struct ProductFolderFieldNames {
  std::wstring_view name;
  std::wstring_view option;
};
ProductFolderFieldNames NamesOf(ProductFolderField field);

// The folder names of every generation, client and administration edition.
std::span<const std::wstring_view> ProductFolderNames();

// Files the product keeps in a folder of that kind, relative to it.
std::span<const std::wstring_view> ProductOwnFiles(ProductFolderField field);

// Whether a folder's own name is one of ProductFolderNames; letters a to z
// compare folded.
bool IsProductFolderName(std::wstring_view name);

}  // namespace zor
