#include "platform/computer_name.h"

#include "platform/environment_variable.h"
#include "platform/registry_key.h"

namespace zor {
namespace {

constexpr wchar_t kComputerNameKey[] = L"System\\CurrentControlSet\\Control\\ComputerName\\ComputerName";

}  // namespace

std::wstring LookUpComputerName() {
  for (const wchar_t* variable : {L"_CLUSTER_NETWORK_NAME_", L"COMPUTERNAME"}) {
    std::wstring name = EnvironmentVariable(variable);
    if (!name.empty()) return name;
  }
  RegistryKey key(RootLocalMachine);
  if (!IsFailure(key.Open(kComputerNameKey))) {
    for (const wchar_t* value : {L"ActiveComputerName", L"ComputerName"}) {
      std::wstring name;
      if (!IsFailure(key.GetString(value, name)) && !name.empty()) return name;
    }
  }
  return L"localhost";
}

const std::wstring& ComputerName() {
  static const std::wstring name = LookUpComputerName();
  return name;
}

}  // namespace zor
