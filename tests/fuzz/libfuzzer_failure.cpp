// Under libFuzzer a failed property aborts: libFuzzer then keeps the input
// as a crash and prints how to reproduce it.
#include <cstdio>
#include <cstdlib>

#include "tests/fuzz/fuzz_support.h"

namespace zor::fuzz {

void PropertyFailed(std::string_view property, const std::string& detail) {
  std::fprintf(stderr, "property %.*s failed: %s\n", static_cast<int>(property.size()), property.data(),
               detail.c_str());
  std::abort();
}

}  // namespace zor::fuzz
