#include "platform/os_identity.h"

#include <gtest/gtest.h>

namespace zor {
namespace {

OsIdentity Windows(std::uint32_t major, std::uint32_t minor, std::uint8_t productType, std::uint16_t servicePack = 0) {
  OsIdentity identity;
  identity.valid = true;
  identity.majorVersion = major;
  identity.minorVersion = minor;
  identity.productType = productType;
  identity.servicePackMajor = servicePack;
  return identity;
}

TEST(OsIdentity, DerivedTestsFollowTheVersion) {
  const struct {
    const char* name;
    OsIdentity identity;
    bool vista;
    bool xp;
    bool windows2000Professional;
    bool xpWithoutServicePack;
  } rows[] = {
      {"2000 Professional", Windows(5, 0, 1), false, false, true, false},
      {"2000 Server", Windows(5, 0, 3), false, false, false, false},
      {"XP", Windows(5, 1, 1), false, true, false, true},
      {"XP SP2", Windows(5, 1, 1, 2), false, true, false, false},
      {"XP x64", Windows(5, 2, 1), false, true, false, true},
      {"Server 2003", Windows(5, 2, 3), false, true, false, false},
      {"Vista", Windows(6, 0, 1), true, true, false, false},
      {"7 SP1", Windows(6, 1, 1, 1), true, true, false, false},
      {"10", Windows(10, 0, 1), true, true, false, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(IsVistaOrLater(row.identity), row.vista);
    EXPECT_EQ(IsXpOrLater(row.identity), row.xp);
    EXPECT_EQ(IsWindows2000Professional(row.identity), row.windows2000Professional);
    EXPECT_EQ(IsXpWithoutServicePack(row.identity), row.xpWithoutServicePack);
  }
}

TEST(OsIdentity, AnUnfilledRecordPassesNoVersionTest) {
  OsIdentity identity = Windows(10, 0, 1);
  identity.valid = false;
  EXPECT_FALSE(IsVistaOrLater(identity));
  EXPECT_FALSE(IsXpOrLater(identity));
}

TEST(OsIdentity, ArchitectureCodes) {
  EXPECT_EQ(ArchitectureFromNativeCode(9), ArchitectureX64);
  EXPECT_EQ(ArchitectureFromNativeCode(6), ArchitectureItanium);
  EXPECT_EQ(ArchitectureFromNativeCode(0), ArchitectureX86);
  EXPECT_EQ(ArchitectureFromNativeCode(12), ArchitectureX86);  // ARM64 is not a platform of this program

  OsIdentity identity;
  for (std::uint32_t architecture : {ArchitectureX64, ArchitectureItanium}) {
    identity.processorArchitecture = architecture;
    EXPECT_TRUE(Is64BitProcessor(identity));
  }
  identity.processorArchitecture = ArchitectureX86;
  EXPECT_FALSE(Is64BitProcessor(identity));
}

}  // namespace
}  // namespace zor
