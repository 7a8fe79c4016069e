#include "tests/platform/registry_test_support.h"

#include <gtest/gtest.h>

extern "C" {
NTSYSAPI NTSTATUS NTAPI NtQueryKey(HANDLE Key, ULONG InformationClass, PVOID Information, ULONG Length,
                                   PULONG ResultLength);
NTSYSAPI NTSTATUS NTAPI NtCreateKey(PHANDLE Key, ACCESS_MASK Access, POBJECT_ATTRIBUTES Attributes, ULONG TitleIndex,
                                    PUNICODE_STRING Class, ULONG CreateOptions, PULONG Disposition);
NTSYSAPI NTSTATUS NTAPI NtOpenKey(PHANDLE Key, ACCESS_MASK Access, POBJECT_ATTRIBUTES Attributes);
NTSYSAPI NTSTATUS NTAPI NtDeleteKey(HANDLE Key);
NTSYSAPI NTSTATUS NTAPI NtSetValueKey(HANDLE Key, PUNICODE_STRING ValueName, ULONG TitleIndex, ULONG Type, PVOID Data,
                                      ULONG DataSize);
}

namespace zor::test {
namespace {

constexpr ULONG kOpenLink = 0x100;
constexpr ULONG kCreateLinkOption = 2;  // REG_OPTION_CREATE_LINK

UNICODE_STRING Counted(const std::wstring& text) {
  UNICODE_STRING counted;
  counted.Length = static_cast<USHORT>(text.size() * sizeof(wchar_t));
  counted.MaximumLength = counted.Length;
  counted.Buffer = const_cast<PWSTR>(text.c_str());
  return counted;
}

}  // namespace

std::wstring UniqueKeyName(const std::wstring& suffix) {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string test = info ? std::string(info->test_suite_name()) + "-" + info->name() : "NoTest";
  std::wstring name = L"ZorTest-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::wstring(test.begin(), test.end());
  return name + suffix;
}

bool KeyPresent(HKEY root, const std::wstring& path, REGSAM flags) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | flags, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

bool MakeKey(HKEY root, const std::wstring& path, REGSAM flags) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | flags, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

bool WriteValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type, const void* data, DWORD size,
                REGSAM flags) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | flags, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const LONG written = RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  return written == ERROR_SUCCESS;
}

bool WriteString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text,
                 REGSAM flags) {
  return WriteValue(root, path, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)),
                    flags);
}

bool ReadValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD& type,
               std::vector<std::uint8_t>& data, REGSAM flags) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | flags, &key) != ERROR_SUCCESS) return false;
  DWORD size = 0;
  LONG read = RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
  if (read == ERROR_SUCCESS) {
    data.assign(size, 0);
    read = RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(), &size);
    data.resize(size);
  }
  RegCloseKey(key);
  return read == ERROR_SUCCESS;
}

std::wstring ReadString(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM flags) {
  DWORD type = 0;
  std::vector<std::uint8_t> data;
  if (!ReadValue(root, path, name, type, data, flags)) return L"(unreadable)";
  std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

void RemoveTree(HKEY root, const std::wstring& path, REGSAM flags) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | flags, &key) == ERROR_SUCCESS) {
    RegDeleteTreeW(key, nullptr);
    RegCloseKey(key);
  }
  RegDeleteKeyExW(root, path.c_str(), flags, 0);
}

std::wstring NativeName(HKEY root, const std::wstring& path, REGSAM flags) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | flags, &key) != ERROR_SUCCESS) return L"(missing)";
  alignas(8) std::uint8_t buffer[4096];
  ULONG length = 0;
  const NTSTATUS queried = NtQueryKey(key, 3 /* KeyNameInformation */, buffer, sizeof(buffer), &length);
  RegCloseKey(key);
  if (queried != 0) return L"(unnamed)";
  const ULONG bytes = *reinterpret_cast<const ULONG*>(buffer);
  return std::wstring(reinterpret_cast<const wchar_t*>(buffer + sizeof(ULONG)), bytes / sizeof(wchar_t));
}

HANDLE OpenNative(const std::wstring& fullName) {
  UNICODE_STRING name = Counted(fullName);
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
  HANDLE key = nullptr;
  if (NtOpenKey(&key, KEY_READ, &attributes) != 0) return nullptr;
  return key;
}

bool MakeLink(HKEY root, const std::wstring& path, const std::wstring& target) {
  const std::size_t separator = path.rfind(L'\\');
  const std::wstring parent = separator == std::wstring::npos ? L"" : path.substr(0, separator);
  const std::wstring leaf = separator == std::wstring::npos ? path : path.substr(separator + 1);
  const std::wstring full = NativeName(root, parent) + L"\\" + leaf;
  UNICODE_STRING name = Counted(full);
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
  HANDLE link = nullptr;
  if (NtCreateKey(&link, KEY_ALL_ACCESS | KEY_CREATE_LINK, &attributes, 0, nullptr, kCreateLinkOption, nullptr) != 0) {
    return false;
  }
  std::wstring valueName = L"SymbolicLinkValue";
  UNICODE_STRING value = Counted(valueName);
  const NTSTATUS set = NtSetValueKey(link, &value, 0, REG_LINK, const_cast<wchar_t*>(target.data()),
                                     static_cast<ULONG>(target.size() * sizeof(wchar_t)));
  CloseHandle(link);
  return set == 0;
}

void RemoveLink(HKEY root, const std::wstring& path) {
  const std::size_t separator = path.rfind(L'\\');
  const std::wstring parent = separator == std::wstring::npos ? L"" : path.substr(0, separator);
  const std::wstring leaf = separator == std::wstring::npos ? path : path.substr(separator + 1);
  const std::wstring full = NativeName(root, parent) + L"\\" + leaf;
  UNICODE_STRING name = Counted(full);
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | kOpenLink, nullptr, nullptr);
  HANDLE link = nullptr;
  if (NtOpenKey(&link, DELETE, &attributes) != 0) return;
  NtDeleteKey(link);
  CloseHandle(link);
}

bool SameName(const std::wstring& left, const std::wstring& right) {
  if (left.size() != right.size()) return false;
  for (std::size_t i = 0; i < left.size(); ++i) {
    if (towupper(left[i]) != towupper(right[i])) return false;
  }
  return true;
}

std::wstring ObjectName(const OBJECT_ATTRIBUTES* attributes) {
  if (!attributes || !attributes->ObjectName || !attributes->ObjectName->Buffer) return L"";
  return std::wstring(attributes->ObjectName->Buffer, attributes->ObjectName->Length / sizeof(wchar_t));
}

}  // namespace zor::test
