#pragma once
// The service stage under test: bound to a run context whose logger keeps
// its lines, and the hexadecimal form its messages give a status code.
#include <cstdio>
#include <string>

#include "app/run_context.h"
#include "engines/service_remover.h"
#include "tests/engines/engine_log.h"

namespace zor::test {

inline std::string Hex(StatusCode code) {
  char text[16];
  std::snprintf(text, sizeof text, "%x", static_cast<unsigned>(code));
  return text;
}

struct ServiceStageUnderTest {
  ServiceStageUnderTest() { context.logger = log.logger(); }
  ~ServiceStageUnderTest() { context.logger = nullptr; }
  EngineLog log;
  RunContext context;
  ServiceRemover remover{context};
};

}  // namespace zor::test
