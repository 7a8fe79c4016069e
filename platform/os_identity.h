#pragma once
// What the program knows of the Windows it runs on, read once at start-up.
// The record and its tests need no Windows header.
#include <cstdint>

#include "foundation/status_codes.h"

namespace zor {

enum Architecture : std::uint32_t {
  ArchitectureX86 = 1,
  ArchitectureX64 = 2,
  ArchitectureItanium = 3,
};

struct OsIdentity {
  bool valid = false;
  std::uint32_t majorVersion = 0;
  std::uint32_t minorVersion = 0;
  std::uint16_t servicePackMajor = 0;
  std::uint8_t productType = 0;  // 1 workstation, 2 domain controller, 3 server
  std::uint32_t processorArchitecture = ArchitectureX86;
  std::uint32_t programArchitecture = ArchitectureX64;
};

// Native processor codes: 9 is x64, 6 Itanium, anything else x86.
std::uint32_t ArchitectureFromNativeCode(std::uint16_t nativeCode);

bool IsVistaOrLater(const OsIdentity& identity);
bool IsXpOrLater(const OsIdentity& identity);
bool IsWindows2000Professional(const OsIdentity& identity);
bool IsXpWithoutServicePack(const OsIdentity& identity);
bool Is64BitProcessor(const OsIdentity& identity);

}  // namespace zor
