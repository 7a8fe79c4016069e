#include "logging/layout_section.h"

#include "logging/custom_layout.h"
#include "logging/log_status.h"

namespace zor {
namespace {

Layout& FindOrCreateCustom(LayoutRegistry& layouts, const std::wstring& name, HostNameSource hostName) {
  auto found = layouts.find(name);
  if (found == layouts.end()) found = layouts.emplace(name, std::make_unique<CustomLayout>(hostName)).first;
  return *found->second;
}

}  // namespace

StatusCode ApplyLayoutSection(LayoutRegistry& layouts, const ConfigSection& section, HostNameSource hostName) {
  std::wstring type;
  const StatusCode found = section.GetValue(L"LayoutType", type);
  if (IsFailure(found)) return found;

  if (type == L"Custom") return FindOrCreateCustom(layouts, section.Name(), hostName).ReadConfiguration(section);
  if (type == L"Standard") {
    ConfigSection standard = section;
    standard.SetValue(L"LayoutType", L"Custom");
    standard.SetValue(L"Format", kStandardFormat);
    return FindOrCreateCustom(layouts, section.Name(), hostName).ReadConfiguration(standard);
  }
  // The class behind "Fw" is not part of this program: a custom layout takes
  // its place and refuses the section.
  if (type == L"Fw") return FindOrCreateCustom(layouts, section.Name(), hostName).ReadConfiguration(section);
  return status::LayoutTypeUnknown;
}

}  // namespace zor
