#include "app/product_folder_marks.h"

#include "foundation/text_case.h"

namespace zor {
namespace {

constexpr std::wstring_view kFolderNames[] = {
    L"ZOR8", L"ZOR9", L"ZOR10", L"ZOR8 Admin", L"ZOR9 Admin", L"ZOR10 Admin",
};

constexpr std::wstring_view kProgramFiles[] = {
    L"zorsvc.exe", L"zorwd.exe", L"zorgui.exe", L"zortray.exe", L"zorscan.exe", L"zorupd.exe", L"zorcore.dll",
};
constexpr std::wstring_view kAdminFiles[] = {
    L"Console\\zoradmin.exe",
    L"Server\\zoradmsrv.exe",
};
constexpr std::wstring_view kDataFiles[] = {
    L"Config\\zorcfg.xml",
    L"Update\\zorupd.ini",
    L"Logs\\zorsvc.log",
};

}  // namespace

ProductFolderFieldNames NamesOf(ProductFolderField field) {
  switch (field) {
    case ProductFolderField::ZorDir:
      return {L"ZorDir", L"zordir"};
    case ProductFolderField::ZorAdminDir:
      return {L"ZorAdminDir", L"zoradmindir"};
    case ProductFolderField::ZorDataDir:
      return {L"ZorDataDir", L"zordatadir"};
  }
  return {};
}

std::span<const std::wstring_view> ProductFolderNames() { return kFolderNames; }

std::span<const std::wstring_view> ProductOwnFiles(ProductFolderField field) {
  switch (field) {
    case ProductFolderField::ZorDir:
      return kProgramFiles;
    case ProductFolderField::ZorAdminDir:
      return kAdminFiles;
    case ProductFolderField::ZorDataDir:
      return kDataFiles;
  }
  return {};
}

bool IsProductFolderName(std::wstring_view name) {
  for (std::wstring_view known : kFolderNames) {
    if (EqualsFoldingAscii(name, known)) return true;
  }
  return false;
}

}  // namespace zor
