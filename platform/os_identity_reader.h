#pragma once
// The identity of the Windows this process runs on, read from the native
// interface once during platform start-up and kept for the process.
#include "foundation/status_codes.h"
#include "platform/os_identity.h"

namespace zor {

// The process-wide record, written once during platform start-up.
const OsIdentity& CurrentOsIdentity();
// Processor architecture 2 or 3; computed once and kept.
bool IsSystem64Bit();

// Fills the process-wide record from the native interface.
StatusCode ReadOsIdentity();

}  // namespace zor
