#pragma once
// Where the product's folders are, when the command line does not say.
#include "app/product_folder_check.h"
#include "app/run_context.h"
#include "foundation/status_record.h"

namespace zor {

// Fills the product folders that are still empty from the record of an
// unfinished run, the product keys, the fall-back keys and the folders the
// product installs to by default, in this order. A value
// that names a folder of Windows itself is refused with a WARN line and the
// field is left empty.
StatusRecord DiscoverProductFolders(RunContext& context);

// The folders no product folder may be, from the parameters that
// ReadSystemFolders filled and the Windows and Users folders of the machine.
SystemFolders MachineSystemFolders(const RunParameters& parameters);

}  // namespace zor
