#include "app/run_context.h"

#include "app/stage_engines.h"

namespace zor {

RunContext::RunContext() { BindStageEngines(*this); }

RunContext::~RunContext() = default;

bool RunContext::Admits(Severity severity) const { return logger != nullptr && logger->IsEnabledFor(severity); }

}  // namespace zor
