// The values the program knows by name: the Session Manager's BootExecute
// list and the RunOnce entry "ZorRemover".
#include <string>
#include <vector>

#include "platform/registry_key.h"

namespace zor {

StatusCode RegistryKey::GetBootExecute(std::vector<std::wstring>& list) { return GetMultiString(L"BootExecute", list); }

StatusCode RegistryKey::SetBootExecute(const std::vector<std::wstring>& list) {
  return SetMultiString(L"BootExecute", list);
}

StatusCode RegistryKey::SetRemoverValue(std::wstring_view text) { return SetString(L"ZorRemover", text); }

}  // namespace zor
