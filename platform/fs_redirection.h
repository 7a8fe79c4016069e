#pragma once
// File system redirection of a 32-bit process on 64-bit Windows, switched
// on for the length of a scope.
#include "platform/native_types.h"
#include "platform/os_identity.h"

namespace zor {

class FsRedirectionScope {
 public:
  // Acts only in a 32-bit process on 64-bit Windows XP or later with
  // RtlWow64EnableFsRedirectionEx present: with `enable` set it switches
  // redirection on and keeps the previous state; a failure to switch is
  // ignored and the scope then does nothing. A 64-bit process is never
  // redirected, so there the scope never acts.
  explicit FsRedirectionScope(bool enable);
  // The same, judged on `identity` instead of this system's.
  FsRedirectionScope(bool enable, const OsIdentity& identity);
  ~FsRedirectionScope();
  FsRedirectionScope(const FsRedirectionScope&) = delete;
  FsRedirectionScope& operator=(const FsRedirectionScope&) = delete;

  bool Acting() const { return acting_; }

 private:
  bool acting_ = false;
  PVOID previous_ = nullptr;
};

// Whether a process described by `identity` is redirected at all.
bool RedirectionApplies(const OsIdentity& identity);

}  // namespace zor
