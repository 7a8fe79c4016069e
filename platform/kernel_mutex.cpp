#include "platform/kernel_mutex.h"

namespace zor {
namespace {


}  // namespace

StatusCode KernelMutex::Create() {
  if (!Native().ZwCreateMutant) return status::GenericFailure;
  const NTSTATUS created = Native().ZwCreateMutant(mutant_.put(), MUTANT_ALL_ACCESS, nullptr, FALSE);
  return StatusOfNativeCall(created);
}

bool KernelMutex::Lock() {
  if (!mutant_) return false;
  const NTSTATUS waited = Native().ZwWaitForSingleObject(mutant_.get(), FALSE, nullptr);
  return waited == nt::Success || waited == nt::AbandonedWait;
}

void KernelMutex::Unlock() { Native().ZwReleaseMutant(mutant_.get(), nullptr); }

}  // namespace zor
