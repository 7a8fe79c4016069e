#include "platform/computer_name.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/logging/logging_test_support.h"

namespace zor {
namespace {

constexpr wchar_t kKey[] = L"System\\CurrentControlSet\\Control\\ComputerName\\ComputerName";

// Sets or clears an environment variable and puts the old value back.
class EnvironmentOverride {
 public:
  EnvironmentOverride(const wchar_t* name, const wchar_t* value) : name_(name) {
    wchar_t buffer[1024];
    const DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
    had_ = length > 0 && length < 1024;
    if (had_) old_.assign(buffer, length);
    SetEnvironmentVariableW(name, value);
  }
  ~EnvironmentOverride() { SetEnvironmentVariableW(name_, had_ ? old_.c_str() : nullptr); }

 private:
  const wchar_t* name_;
  bool had_ = false;
  std::wstring old_;
};

std::wstring RegistryString(const wchar_t* value) {
  wchar_t buffer[256];
  DWORD size = sizeof(buffer);
  if (RegGetValueW(HKEY_LOCAL_MACHINE, kKey, value, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS) return {};
  return buffer;
}

TEST(ComputerName, SourcesAreTriedInTheirOrder) {
  const std::wstring registryName = RegistryString(L"ComputerName");
  ASSERT_FALSE(registryName.empty()) << "the prefix has a computer name in the registry";
  const struct {
    const wchar_t* cluster;
    const wchar_t* computer;
    std::wstring expected;
  } rows[] = {
      {L"CLUSTERNAME", L"PLAINNAME", L"CLUSTERNAME"},
      {nullptr, L"PLAINNAME", L"PLAINNAME"},
      {L"", L"PLAINNAME", L"PLAINNAME"},
      {nullptr, nullptr, registryName},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.expected);
    EnvironmentOverride cluster(L"_CLUSTER_NETWORK_NAME_", row.cluster);
    EnvironmentOverride computer(L"COMPUTERNAME", row.computer);
    EXPECT_EQ(LookUpComputerName(), row.expected);
  }
}

TEST(ComputerName, TheActiveNameValueComesBeforeTheStoredOne) {
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
  const std::wstring active = L"ACTIVE-" + std::to_wstring(GetCurrentProcessId());
  ASSERT_EQ(RegSetValueExW(key, L"ActiveComputerName", 0, REG_SZ, reinterpret_cast<const BYTE*>(active.c_str()),
                           static_cast<DWORD>((active.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
  std::wstring found;
  {
    EnvironmentOverride cluster(L"_CLUSTER_NETWORK_NAME_", nullptr);
    EnvironmentOverride computer(L"COMPUTERNAME", nullptr);
    found = LookUpComputerName();
  }
  RegDeleteValueW(key, L"ActiveComputerName");
  RegCloseKey(key);
  EXPECT_EQ(found, active);
}

NTSTATUS NTAPI MissingKey(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES) { return nt::ObjectNameNotFound; }

TEST(ComputerName, LocalhostWhenNothingElseAnswers) {
  EnvironmentOverride cluster(L"_CLUSTER_NETWORK_NAME_", nullptr);
  EnvironmentOverride computer(L"COMPUTERNAME", nullptr);
  test::SwappedEntry swap(Native().ZwOpenKey, &MissingKey);
  EXPECT_EQ(LookUpComputerName(), L"localhost");
}

TEST(ComputerName, IsLookedUpOnce) {
  const std::wstring& first = ComputerName();
  EXPECT_FALSE(first.empty());
  EnvironmentOverride computer(L"COMPUTERNAME", L"CHANGED-LATER");
  EXPECT_EQ(&ComputerName(), &first);
  EXPECT_NE(ComputerName(), L"CHANGED-LATER");
}

}  // namespace
}  // namespace zor
