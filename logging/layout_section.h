#pragma once
// A layout section of the configuration applied to the registry of layouts.
// No Windows header.
#include <map>
#include <memory>
#include <string>

#include "logging/config_document.h"
#include "logging/layout.h"

namespace zor {

using LayoutRegistry = std::map<std::wstring, std::unique_ptr<Layout>, std::less<>>;

inline constexpr std::wstring_view kStandardFormat = L"%date %time %hostname %msg";

// "LayoutType" "Custom" and "Standard" (a Custom layout with a fixed
// Format) configure the layout of the section's name, creating it when
// missing; "Fw" creates one and fails with 0xE0010063; anything else fails
// with 0xE001001D, no "LayoutType" with 0xE0010015.
StatusCode ApplyLayoutSection(LayoutRegistry& layouts, const ConfigSection& section, HostNameSource hostName);

}  // namespace zor
