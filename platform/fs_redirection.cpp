#include "platform/fs_redirection.h"

#include "platform/native_api.h"
#include "platform/os_identity_reader.h"

namespace zor {

bool RedirectionApplies(const OsIdentity& identity) {
  return identity.programArchitecture == ArchitectureX86 && Is64BitProcessor(identity) && IsXpOrLater(identity);
}

FsRedirectionScope::FsRedirectionScope(bool enable) : FsRedirectionScope(enable, CurrentOsIdentity()) {}

FsRedirectionScope::FsRedirectionScope(bool enable, const OsIdentity& identity) {
  const auto toggle = Native().RtlWow64EnableFsRedirectionEx;
  if (!enable || !toggle || !RedirectionApplies(identity)) return;
  // Zero switches redirection on.
  // A failure leaves redirection as it was, so there is nothing to restore.
  acting_ = NT_SUCCESS(toggle(nullptr, &previous_));
}

FsRedirectionScope::~FsRedirectionScope() {
  if (acting_ && Native().RtlWow64EnableFsRedirectionEx) {
    PVOID ignored = nullptr;
    Native().RtlWow64EnableFsRedirectionEx(previous_, &ignored);
  }
}

}  // namespace zor
