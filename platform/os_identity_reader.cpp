#include "platform/native_api.h"
#include "platform/os_identity.h"

namespace zor {
namespace {

OsIdentity g_identity;

}  // namespace

const OsIdentity& CurrentOsIdentity() { return g_identity; }

bool IsSystem64Bit() {
  static const bool is64Bit = Is64BitProcessor(g_identity);
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
  return status::Success;
}

}  // namespace zor
