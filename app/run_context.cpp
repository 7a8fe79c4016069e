#include "app/run_context.h"

namespace zor {

bool RunContext::Admits(Severity severity) const { return logger != nullptr && logger->IsEnabledFor(severity); }

}  // namespace zor
