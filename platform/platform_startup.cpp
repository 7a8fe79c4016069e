#include "platform/platform_startup.h"

#include "platform/native_api.h"
#include "platform/os_identity_reader.h"
#include "platform/special_folders.h"
#include "platform/spin_lock.h"

namespace zor {
namespace {

SpinLock g_startLock;
int g_startCount = 0;
SpinLock g_folderLock;
int g_folderCount = 0;

ULONG g_pageSize = 0;
ULONG g_randomSeed = 0;

// The shared user data page sits at the same address in every process.
constexpr std::uintptr_t kSharedUserData = 0x7FFE0000;

ULONG TickCount() {
  if (Native().NtGetTickCount) return Native().NtGetTickCount();
  const auto* shared = reinterpret_cast<const volatile std::uint8_t*>(kSharedUserData);
  const ULONG tickCountLow = *reinterpret_cast<const volatile ULONG*>(shared + 0x0);
  const ULONG tickMultiplier = *reinterpret_cast<const volatile ULONG*>(shared + 0x4);
  return static_cast<ULONG>((static_cast<std::uint64_t>(tickCountLow) * tickMultiplier) >> 24);
}

ULONG ReverseBits(ULONG value) {
  ULONG reversed = 0;
  for (int bit = 0; bit < 32; ++bit) {
    reversed = (reversed << 1) | (value & 1);
    value >>= 1;
  }
  return reversed;
}

void SeedRandom() {
  ULONG seed = TickCount();
  seed ^= ReverseBits(static_cast<ULONG>(reinterpret_cast<std::uintptr_t>(nt::CurrentTeb()->Reserved1[8])));  // process id
  seed ^= static_cast<ULONG>(reinterpret_cast<std::uintptr_t>(nt::CurrentTeb()->Reserved1[9]));               // thread id
  seed ^= static_cast<ULONG>(reinterpret_cast<std::uintptr_t>(&seed));
  seed ^= static_cast<ULONG>(reinterpret_cast<std::uintptr_t>(&g_randomSeed) >> 4);
  g_randomSeed = seed;
}

StatusCode ReadBasicSystemValues() {
  if (!Native().ZwQuerySystemInformation) return status::GenericFailure;
  alignas(8) unsigned char basic[64] = {};
  static_assert(sizeof(SYSTEM_BASIC_INFORMATION) <= sizeof(basic));
  const NTSTATUS result = Native().ZwQuerySystemInformation(SystemBasicInformation, basic, sizeof(basic), nullptr);
  if (!NT_SUCCESS(result)) return StatusFromNtStatus(result);
  // Reserved, TimerResolution, then the page size.
  g_pageSize = *reinterpret_cast<const ULONG*>(basic + 8);
  return status::Success;
}

StatusCode FirstStart() {
  if (!Native().module || !Native().RtlNtStatusToDosError) {
    if (const StatusCode loaded = LoadNativeApi(); IsFailure(loaded)) return loaded;
  }
  if (!Kernel32().module) {
    if (const StatusCode loaded = LoadKernel32Extras(); IsFailure(loaded)) return loaded;
  }
  SeedRandom();
  if (const StatusCode read = ReadBasicSystemValues(); IsFailure(read)) return read;
  return ReadOsIdentity();
}

}  // namespace

unsigned long PageSize() { return g_pageSize; }

std::uint32_t NextRandom32() {
  if (!Native().RtlRandom) return 0;
  // RtlRandom gives 31 bits; two draws make the full word.
  const ULONG high = Native().RtlRandom(&g_randomSeed);
  const ULONG low = Native().RtlRandom(&g_randomSeed);
  return (high << 16) ^ low;
}

StatusCode StartPlatform() {
  g_startLock.lock();
  if (g_startCount++ == 0) {
    const StatusCode started = FirstStart();
    if (IsFailure(started)) {
      g_startLock.unlock();
      return started;
    }
  }
  g_startLock.unlock();

  g_folderLock.lock();
  if (g_folderCount++ == 0) FillSpecialFolders();
  g_folderLock.unlock();
  return status::Success;
}

void StopPlatform() {
  g_startLock.lock();
  if (g_startCount > 0) --g_startCount;
  g_startLock.unlock();
  g_folderLock.lock();
  if (g_folderCount > 0) --g_folderCount;
  g_folderLock.unlock();
}

int PlatformStartCount() { return g_startCount; }

}  // namespace zor
