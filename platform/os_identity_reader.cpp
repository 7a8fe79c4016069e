#include "platform/os_identity_reader.h"

#include <atomic>

#include "platform/native_api.h"

namespace zor {
namespace {

OsIdentity g_identity;
// 0 not yet known, 1 yes, 2 no. Only an identity that was read is kept, and
// reading it again forgets the answer.
std::atomic<std::uint8_t> g_system64Bit{0};

}  // namespace

const OsIdentity& CurrentOsIdentity() { return g_identity; }

bool IsSystem64Bit() {
  const std::uint8_t known = g_system64Bit.load(std::memory_order_relaxed);
  if (known != 0) return known == 1;
  const bool is64Bit = Is64BitProcessor(g_identity);
  if (g_identity.valid) g_system64Bit.store(is64Bit ? 1 : 2, std::memory_order_relaxed);
  return is64Bit;
}

StatusCode ReadOsIdentity() {
  if (!Native().RtlGetVersion) return status::GenericFailure;
  RTL_OSVERSIONINFOEXW version{};
  version.dwOSVersionInfoSize = sizeof(version);
  static_assert(sizeof(RTL_OSVERSIONINFOEXW) == 284);
  NTSTATUS result = Native().RtlGetVersion(reinterpret_cast<PRTL_OSVERSIONINFOW>(&version));
  if (!NT_SUCCESS(result)) return StatusFromNtStatus(result);

  OsIdentity identity;
  identity.majorVersion = version.dwMajorVersion;
  identity.minorVersion = version.dwMinorVersion;
  identity.servicePackMajor = version.wServicePackMajor;
  identity.productType = version.wProductType;
  identity.processorArchitecture = ArchitectureX86;
  if (Native().RtlGetNativeSystemInformation) {
    nt::SystemProcessorInformationRecord processor{};
    result = Native().RtlGetNativeSystemInformation(nt::SystemProcessorInformationClass, &processor, sizeof(processor),
                                                    nullptr);
    if (!NT_SUCCESS(result)) return StatusFromNtStatus(result);
    identity.processorArchitecture = ArchitectureFromNativeCode(processor.ProcessorArchitecture);
  }
  identity.programArchitecture = ArchitectureX64;
  identity.valid = true;
  g_identity = identity;
  g_system64Bit.store(0, std::memory_order_relaxed);
  return status::Success;
}

}  // namespace zor
