// Removes every Windows Installer registration of one product, for all
// users, without running its uninstaller: the product, its features, its
// components' claims, its upgrade-code entries, its source list (below the
// product), its uninstall entry and its cached package. It is the tool the
// remover carries as its resource BINARY 101 and runs once per product code:
//   zor_msi_cleaner.exe TW! {PRODUCT-CODE} [/nologo]
// One line per item removed. A component or upgrade code shared with another
// product loses only this product's value. Any other command line is refused
// with a message and exit code 2; nothing is removed then.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "tools/msi/packed_guid.h"

namespace {

constexpr wchar_t kInstallerClasses[] = L"Software\\Classes\\Installer";
constexpr wchar_t kInstallerData[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Installer";
constexpr wchar_t kUninstall[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr wchar_t kUserInstaller[] = L"Software\\Microsoft\\Installer";

int g_removed = 0;

std::vector<std::wstring> SubKeys(HKEY root, const std::wstring& path, REGSAM view) {
  std::vector<std::wstring> names;
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ENUMERATE_SUB_KEYS | view, &key) != ERROR_SUCCESS) return names;
  wchar_t name[256];
  for (DWORD index = 0;; ++index) {
    DWORD length = 256;
    if (RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, length);
  }
  RegCloseKey(key);
  return names;
}

// The key and everything below it, in the given registry view.
void RemoveTree(HKEY root, const wchar_t* rootName, const std::wstring& path, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) return;
  // Its contents first, through the key opened in its view; then the key.
  const LONG emptied = RegDeleteTreeW(key, nullptr);
  RegCloseKey(key);
  if (emptied == ERROR_SUCCESS && RegDeleteKeyExW(root, path.c_str(), view, 0) == ERROR_SUCCESS) {
    std::wprintf(L"Removed key %ls\\%ls\n", rootName, path.c_str());
    ++g_removed;
  }
}

// Takes the product's value out of every key below `parent` (components,
// upgrade codes); a key that this emptied goes too. An empty key of anyone
// else's stays as it is.
void RemoveValueBelow(HKEY root, const wchar_t* rootName, const std::wstring& parent, const std::wstring& value,
                      REGSAM view) {
  for (const std::wstring& name : SubKeys(root, parent, view)) {
    const std::wstring path = parent + L"\\" + name;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | KEY_SET_VALUE | view, &key) != ERROR_SUCCESS) continue;
    if (RegDeleteValueW(key, value.c_str()) != ERROR_SUCCESS) {
      RegCloseKey(key);
      continue;
    }
    std::wprintf(L"Removed value %ls\\%ls : %ls\n", rootName, path.c_str(), value.c_str());
    ++g_removed;
    DWORD subKeys = 1;
    DWORD values = 1;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    if (subKeys == 0 && values == 0 && RegDeleteKeyExW(root, path.c_str(), view, 0) == ERROR_SUCCESS) {
      std::wprintf(L"Removed key %ls\\%ls\n", rootName, path.c_str());
      ++g_removed;
    }
  }
}

// The copy of the package Windows Installer keeps for repairs and removal.
void RemoveCachedPackage(const std::wstring& properties, REGSAM view) {
  wchar_t package[MAX_PATH] = {};
  DWORD size = sizeof package;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, properties.c_str(), L"LocalPackage", RRF_RT_REG_SZ | view, nullptr, package,
                   &size) != ERROR_SUCCESS ||
      package[0] == L'\0') {
    return;
  }
  if (DeleteFileW(package)) {
    std::wprintf(L"Removed cached package %ls\n", package);
    ++g_removed;
  }
}

int Refuse(const wchar_t* why) {
  std::fwprintf(stderr,
                L"zor_msi_cleaner: %ls\n"
                L"usage: zor_msi_cleaner.exe TW! {PRODUCT-CODE} [/nologo]\n"
                L"Removes every Windows Installer registration of that product for all users. Nothing was removed.\n",
                why);
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3 || argc > 4) return Refuse(L"wrong number of arguments");
  if (std::wcscmp(argv[1], L"TW!") != 0) return Refuse(L"the only options are TW!");
  const std::wstring product = argv[2];
  const auto packed = zor::msi::PackedGuid(product);
  if (!packed) return Refuse(L"the product code must be a GUID in braces");
  const bool logo = argc < 4;
  if (!logo && _wcsicmp(argv[3], L"/nologo") != 0) return Refuse(L"the last argument may only be /nologo");
  if (logo) std::wprintf(L"ZOR installer-data cleaner\n");
  std::wprintf(L"Removing the Windows Installer data of product %ls\n", product.c_str());

  const HKEY machine = HKEY_LOCAL_MACHINE;
  constexpr REGSAM native = KEY_WOW64_64KEY;
  const std::wstring classes = kInstallerClasses;
  RemoveTree(machine, L"HKLM", classes + L"\\Products\\" + *packed, native);
  RemoveTree(machine, L"HKLM", classes + L"\\Features\\" + *packed, native);
  RemoveValueBelow(machine, L"HKLM", classes + L"\\UpgradeCodes", *packed, native);
  const std::wstring data = kInstallerData;
  RemoveValueBelow(machine, L"HKLM", data + L"\\UpgradeCodes", *packed, native);
  for (const std::wstring& user : SubKeys(machine, data + L"\\UserData", native)) {
    const std::wstring products = data + L"\\UserData\\" + user + L"\\Products\\" + *packed;
    RemoveCachedPackage(products + L"\\InstallProperties", native);
    RemoveTree(machine, L"HKLM", products, native);
    RemoveValueBelow(machine, L"HKLM", data + L"\\UserData\\" + user + L"\\Components", *packed, native);
  }
  for (const REGSAM view : {REGSAM{KEY_WOW64_64KEY}, REGSAM{KEY_WOW64_32KEY}}) {
    RemoveTree(machine, L"HKLM", std::wstring(kUninstall) + product, view);
  }
  // Every user's own installations, the default profile's too.
  for (const std::wstring& user : SubKeys(HKEY_USERS, L"", native)) {
    const std::wstring installer = user + L"\\" + kUserInstaller;
    RemoveTree(HKEY_USERS, L"HKU", installer + L"\\Products\\" + *packed, native);
    RemoveTree(HKEY_USERS, L"HKU", installer + L"\\Features\\" + *packed, native);
    RemoveValueBelow(HKEY_USERS, L"HKU", installer + L"\\UpgradeCodes", *packed, native);
  }
  if (g_removed == 0) std::wprintf(L"Nothing of product %ls is registered\n", product.c_str());
  return 0;
}
