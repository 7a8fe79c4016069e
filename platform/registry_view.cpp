// The 32-bit view of the registry: which views a key may take, and how a
// path below a 64-bit key is turned into its 32-bit counterpart.
#include <optional>
#include <string>

#include "platform/os_identity_reader.h"
#include "platform/registry_internal.h"
#include "platform/registry_key.h"

namespace zor {

using namespace registry_detail;

StatusCode RedirectTo32BitView(HANDLE& parent, std::wstring& subpath, ACCESS_MASK& access) {
  std::wstring parentName;
  if (const StatusCode queried = QueryKeyName(parent, parentName); IsFailure(queried)) return queried;
  std::optional<std::wstring_view> given;
  if (!subpath.empty()) given = subpath;
  ViewRedirect redirect = RedirectPathTo32BitView(parentName, given, UpcaseRegistryText);
  switch (redirect.kind) {
    case ViewRedirect::Kind::Unchanged:
      break;
    case ViewRedirect::Kind::SubpathStripped:
      subpath = std::move(redirect.path);
      break;
    case ViewRedirect::Kind::Absolute:
      subpath = std::move(redirect.path);
      parent = nullptr;
      access &= ~kWow64Key32;
      break;
  }
  return status::Success;
}

StatusCode RegistryKey::SetViewMode(ViewMode mode) {
  const std::uint32_t view = ViewSelector(mode);
  // A mode naming no single view (both 32 and 64, say) means nothing.
  if (view != ViewModeDefault && view != ViewMode32 && view != ViewMode64 && view != ViewModeNative) {
    return status::InvalidArgument;
  }
  if ((state_ != StateClosed && view != ViewSelector(viewMode_)) ||
      (state_ == StateClosed && parent_ && ViewSelector(parent_->viewMode_) != view)) {
    return status::ViewChangeRefused;
  }
  if ((view == ViewMode32 || view == ViewMode64) && !IsSystem64Bit()) return status::ViewNeeds64BitWindows;
  if (view == ViewModeNative && root_ != RootNone && root_ != RootLocalMachine && root_ != RootUsers) {
    return status::ViewNeedsMachineOrUsersRoot;
  }
  viewMode_ = mode;
  return status::Success;
}

}  // namespace zor
