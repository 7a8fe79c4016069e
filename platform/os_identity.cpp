#include "platform/os_identity.h"

namespace zor {

std::uint32_t ArchitectureFromNativeCode(std::uint16_t nativeCode) {
  switch (nativeCode) {
    case 9:
      return ArchitectureX64;
    case 6:
      return ArchitectureItanium;
    default:
      return ArchitectureX86;
  }
}

bool IsVistaOrLater(const OsIdentity& identity) { return identity.valid && identity.majorVersion > 5; }

bool IsXpOrLater(const OsIdentity& identity) {
  return identity.valid && (identity.majorVersion > 5 || (identity.majorVersion == 5 && identity.minorVersion >= 1));
}

bool IsWindows2000Professional(const OsIdentity& identity) {
  return identity.majorVersion == 5 && identity.minorVersion == 0 && identity.productType == 1;
}

bool IsXpWithoutServicePack(const OsIdentity& identity) {
  // x64 XP carries version 5.2, which it shares with Server 2003; the
  // product type tells them apart.
  const bool xp = identity.majorVersion == 5 &&
                  (identity.minorVersion == 1 || (identity.minorVersion == 2 && identity.productType == 1));
  return xp && identity.servicePackMajor == 0;
}

bool Is64BitProcessor(const OsIdentity& identity) {
  return identity.processorArchitecture == ArchitectureX64 || identity.processorArchitecture == ArchitectureItanium;
}

}  // namespace zor
