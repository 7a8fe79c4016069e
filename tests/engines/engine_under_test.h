#pragma once
// One engine bound to a run context of its own whose logger keeps every
// line (see EngineLog).
#include "app/run_context.h"
#include "tests/engines/engine_log.h"

namespace zor::test {

template <typename Engine>
struct EngineUnderTest {
  EngineUnderTest() { context.logger = log.logger(); }
  ~EngineUnderTest() { context.logger = nullptr; }
  EngineLog log;
  RunContext context;
  Engine remover{context};
};

}  // namespace zor::test
