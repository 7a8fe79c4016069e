#pragma once
// The service stage under test (see EngineUnderTest), and the hexadecimal
// form its messages give a status code.
#include <cstdio>
#include <string>

#include "engines/service_remover.h"
#include "tests/engines/engine_under_test.h"

namespace zor::test {

inline std::string Hex(StatusCode code) {
  char text[16];
  std::snprintf(text, sizeof text, "%x", static_cast<unsigned>(code));
  return text;
}

using ServiceStageUnderTest = EngineUnderTest<ServiceRemover>;

}  // namespace zor::test
