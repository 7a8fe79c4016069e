#include <gtest/gtest.h>

#include "platform/native_api.h"
#include "platform/os_identity_reader.h"

namespace zor {
namespace {

// The shared user data page records the version independently of RtlGetVersion.
constexpr std::uintptr_t kSharedUserData = 0x7FFE0000;

std::uint32_t SharedUserDataWord(std::uintptr_t offset) {
  return *reinterpret_cast<const volatile std::uint32_t*>(kSharedUserData + offset);
}

TEST(ReadOsIdentity, MatchesWhatWindowsRecordsElsewhere) {
  const OsIdentity& identity = CurrentOsIdentity();
  ASSERT_TRUE(identity.valid);
  EXPECT_EQ(identity.majorVersion, SharedUserDataWord(0x26C));
  EXPECT_EQ(identity.minorVersion, SharedUserDataWord(0x270));
  EXPECT_EQ(identity.processorArchitecture, ArchitectureX64);
  EXPECT_EQ(identity.programArchitecture, ArchitectureX64);
  EXPECT_TRUE(IsSystem64Bit());
  EXPECT_TRUE(IsXpOrLater(identity));
}

// Puts a table entry back when the test ends, however it ends.
template <typename Entry>
class SwappedEntry {
 public:
  SwappedEntry(Entry& entry, Entry replacement) : entry_(entry), saved_(entry) { entry_ = replacement; }
  ~SwappedEntry() {
    entry_ = saved_;
    ReadOsIdentity();
  }

 private:
  Entry& entry_;
  Entry saved_;
};

TEST(ReadOsIdentity, WithoutTheNativeSystemInformationTheProcessorIsX86) {
  {
    SwappedEntry swap(Native().RtlGetNativeSystemInformation, static_cast<RtlGetNativeSystemInformationFunction*>(nullptr));
    ASSERT_EQ(ReadOsIdentity(), status::Success);
    EXPECT_EQ(CurrentOsIdentity().processorArchitecture, ArchitectureX86);
    EXPECT_TRUE(CurrentOsIdentity().valid);
  }
  EXPECT_EQ(CurrentOsIdentity().processorArchitecture, ArchitectureX64);
}

NTSTATUS NTAPI FailingSystemInformation(ULONG, PVOID, ULONG, PULONG) { return static_cast<NTSTATUS>(0xC0000022); }
NTSTATUS NTAPI FailingVersion(PRTL_OSVERSIONINFOW) { return static_cast<NTSTATUS>(0xC000000D); }
NTSTATUS NTAPI ItaniumSystemInformation(ULONG, PVOID information, ULONG length, PULONG) {
  if (length < sizeof(nt::SystemProcessorInformationRecord)) return static_cast<NTSTATUS>(0xC0000004);
  auto* processor = static_cast<nt::SystemProcessorInformationRecord*>(information);
  *processor = {};
  processor->ProcessorArchitecture = 6;
  return 0;
}

TEST(ReadOsIdentity, FailuresOfEitherCallAreConverted) {
  {
    SwappedEntry swap(Native().RtlGetNativeSystemInformation, &FailingSystemInformation);
    EXPECT_EQ(static_cast<std::uint32_t>(ReadOsIdentity()), 0xE0010058u);
  }
  {
    SwappedEntry swap(Native().RtlGetVersion, &FailingVersion);
    EXPECT_EQ(static_cast<std::uint32_t>(ReadOsIdentity()), 0xE0010002u);
  }
  {
    SwappedEntry swap(Native().RtlGetNativeSystemInformation, &ItaniumSystemInformation);
    ASSERT_EQ(ReadOsIdentity(), status::Success);
    EXPECT_EQ(CurrentOsIdentity().processorArchitecture, ArchitectureItanium);
  }
}

}  // namespace
}  // namespace zor
