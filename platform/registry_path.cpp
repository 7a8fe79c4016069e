#include "platform/registry_path.h"

#include <vector>

namespace zor {

const std::array<RegistryRootEntry, kRegistryRootCount> kRegistryRoots{{
    {RootClassesRoot, L"HKCR", L"HKEY_CLASSES_ROOT", L"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes"},
    {RootCurrentUser, L"HKCU", L"HKEY_CURRENT_USER", L""},
    {RootLocalMachine, L"HKLM", L"HKEY_LOCAL_MACHINE", L"\\REGISTRY\\MACHINE"},
    {RootUsers, L"HKU", L"HKEY_USERS", L"\\REGISTRY\\USER"},
    {RootPerformanceData, L"HKPD", L"HKEY_PERFORMANCE_DATA", L""},
    {RootPerformanceText, L"HKPT", L"HKEY_PERFORMANCE_TEXT",
     L"\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Perflib\\009"},
    {RootPerformanceNlsText, L"HKPN", L"HKEY_PERFORMANCE_NLSTEXT", L""},
    {RootCurrentConfig, L"HKCC", L"HKEY_CURRENT_CONFIG",
     L"\\REGISTRY\\MACHINE\\SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current"},
    {RootDynData, L"HKDD", L"HKEY_DYN_DATA", L""},
}};

std::optional<std::size_t> RegistryRootSlot(RegistryRoot value) {
  for (std::size_t slot = 0; slot < kRegistryRoots.size(); ++slot) {
    if (kRegistryRoots[slot].value == value) return slot;
  }
  return std::nullopt;
}

std::wstring UpcaseAscii(std::wstring_view text) {
  std::wstring upper(text);
  for (wchar_t& c : upper) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - (L'a' - L'A'));
  }
  return upper;
}

namespace {

constexpr std::wstring_view kViewNode = L"Wow6432Node";
constexpr std::wstring_view kViewNodeUpper = L"WOW6432NODE";
constexpr std::wstring_view kMachineSoftware = L"\\REGISTRY\\MACHINE\\SOFTWARE";
constexpr std::wstring_view kMachine = L"\\REGISTRY\\MACHINE";
constexpr std::wstring_view kUsers = L"\\REGISTRY\\USER";
constexpr std::wstring_view kSoftwareClasses = L"\\SOFTWARE\\CLASSES";
constexpr std::wstring_view kClassesHiveSuffix = L"_CLASSES";
// Where a hive's name starts after "\REGISTRY\USER\".
constexpr std::size_t kUserHiveStart = 15;

// `prefix` starts `text` at `offset` and ends a component there.
bool ComponentsStartAt(std::wstring_view text, std::size_t offset, std::wstring_view prefix) {
  if (text.size() < offset || text.size() - offset < prefix.size()) return false;
  if (text.compare(offset, prefix.size(), prefix) != 0) return false;
  const std::size_t end = offset + prefix.size();
  return end == text.size() || text[end] == L'\\';
}

std::vector<std::wstring_view> Components(std::wstring_view path) {
  std::vector<std::wstring_view> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t separator = path.find(L'\\', start);
    if (separator == std::wstring_view::npos) {
      parts.push_back(path.substr(start));
      return parts;
    }
    parts.push_back(path.substr(start, separator - start));
    start = separator + 1;
  }
}

bool IsViewNode(std::wstring_view component, UpcaseText upcase) {
  return component.size() == kViewNodeUpper.size() && upcase(component) == kViewNodeUpper;
}

// The registry folds letter case, so a branch node written in any case is
// the same key.
bool HasViewNodeComponent(std::wstring_view path, UpcaseText upcase) {
  for (std::wstring_view component : Components(path)) {
    if (IsViewNode(component, upcase)) return true;
  }
  return false;
}

std::wstring WithoutViewNodes(std::wstring_view subpath, UpcaseText upcase) {
  std::wstring kept;
  bool first = true;
  for (std::wstring_view component : Components(subpath)) {
    if (IsViewNode(component, upcase)) continue;
    if (!first) kept += L'\\';
    kept += component;
    first = false;
  }
  return kept;
}

std::wstring InsertViewNode(std::wstring path, std::size_t at) {
  path.insert(at, std::wstring(L"\\") + std::wstring(kViewNode));
  return path;
}

}  // namespace

ViewRedirect RedirectPathTo32BitView(std::wstring_view parentName, std::optional<std::wstring_view> subpath,
                                     UpcaseText upcase) {
  const bool subpathGiven = subpath.has_value() && !subpath->empty();
  std::wstring full(parentName);
  if (subpathGiven) {
    full += L'\\';
    full += *subpath;
  }

  if (HasViewNodeComponent(full, upcase)) {
    if (subpathGiven && HasViewNodeComponent(parentName, upcase) && HasViewNodeComponent(*subpath, upcase)) {
      return {ViewRedirect::Kind::SubpathStripped, WithoutViewNodes(*subpath, upcase)};
    }
    return {};
  }

  // Decided on the upper-cased text; the caller's letter case is kept, so a
  // key created through the branch gets the name the caller wrote.
  const std::wstring upper = upcase(full);
  if (upper.size() != full.size()) return {};

  if (ComponentsStartAt(upper, 0, kMachineSoftware)) {
    return {ViewRedirect::Kind::Absolute, InsertViewNode(full, kMachineSoftware.size())};
  }
  if (!ComponentsStartAt(upper, 0, kUsers)) return {};

  const std::size_t hiveEnd = upper.find(L'\\', kUserHiveStart);
  if (hiveEnd != std::wstring::npos) {
    const bool classesHive = hiveEnd >= kUserHiveStart + kClassesHiveSuffix.size() &&
                             upper.compare(hiveEnd - kClassesHiveSuffix.size(), kClassesHiveSuffix.size(),
                                           kClassesHiveSuffix) == 0;
    if (classesHive) return {ViewRedirect::Kind::Absolute, InsertViewNode(full, hiveEnd)};
    if (ComponentsStartAt(upper, hiveEnd, kSoftwareClasses)) {
      return {ViewRedirect::Kind::Absolute, InsertViewNode(full, hiveEnd + kSoftwareClasses.size())};
    }
    return {};
  }
  const bool classesHive = upper.size() >= kUserHiveStart + kClassesHiveSuffix.size() &&
                           upper.compare(upper.size() - kClassesHiveSuffix.size(), kClassesHiveSuffix.size(),
                                         kClassesHiveSuffix) == 0;
  if (classesHive) return {ViewRedirect::Kind::Absolute, InsertViewNode(full, upper.size())};
  return {};
}

StatusCode RelativeKeyPathFromName(std::wstring_view fullName, UpcaseText upcase, RelativePath& relative) {
  if (fullName.size() <= kMachine.size()) return status::InvalidArgument;
  const std::wstring upper = upcase(fullName);
  if (ComponentsStartAt(upper, 0, kMachine)) {
    relative.path = std::wstring(fullName.substr(kMachine.size() + 1));
    relative.isMachine = true;
    return status::Success;
  }

  const std::size_t separator = upper.find(L'\\', kUserHiveStart);
  const std::size_t hiveEnd = separator == std::wstring::npos ? upper.size() : separator;
  const bool classesHive = hiveEnd >= kUserHiveStart + kClassesHiveSuffix.size() &&
                           upper.compare(hiveEnd - kClassesHiveSuffix.size(), kClassesHiveSuffix.size(),
                                         kClassesHiveSuffix) == 0;
  std::wstring path;
  if (classesHive) {
    path = kSoftwareClasses.substr(1);
    if (separator != std::wstring::npos) path += fullName.substr(separator);
  } else if (separator != std::wstring::npos) {
    path = fullName.substr(separator + 1);
  }
  relative.path = std::move(path);
  relative.isMachine = false;
  return status::Success;
}

std::wstring CollapseDoubledViewNodes(std::wstring_view subpath, UpcaseText upcase) {
  std::wstring collapsed;
  bool first = true;
  bool previousIsViewNode = false;
  for (std::wstring_view component : Components(subpath)) {
    const bool viewNode = IsViewNode(component, upcase);
    if (viewNode && previousIsViewNode) continue;
    if (!first) collapsed += L'\\';
    collapsed += component;
    first = false;
    previousIsViewNode = viewNode;
  }
  return collapsed;
}

bool PrecedesInUtf16LeBytes(std::wstring_view left, std::wstring_view right) {
  const std::size_t common = left.size() < right.size() ? left.size() : right.size();
  for (std::size_t i = 0; i < common; ++i) {
    const auto a = static_cast<std::uint16_t>(left[i]);
    const auto b = static_cast<std::uint16_t>(right[i]);
    if (a == b) continue;
    const unsigned lowA = a & 0xFFu, lowB = b & 0xFFu;
    if (lowA != lowB) return lowA < lowB;
    return (a >> 8) < (b >> 8);
  }
  return left.size() < right.size();
}

}  // namespace zor
