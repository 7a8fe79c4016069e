#include "app/run_context.h"

#include <memory>

namespace zor {

RunContext::RunContext() {
  // Until the entry point binds the product's engines, every stage does
  // nothing.
  for (std::unique_ptr<StageEngine>* engine : {&engines.installerData, &engines.mailPlugins, &engines.services,
                                              &engines.firewallDriver, &engines.drivers, &engines.processes,
                                              &engines.registry, &engines.files}) {
    *engine = std::make_unique<PendingEngine>(*this);
  }
}

RunContext::~RunContext() = default;

bool RunContext::Admits(Severity severity) const { return logger != nullptr && logger->IsEnabledFor(severity); }

}  // namespace zor
