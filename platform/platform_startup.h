#pragma once
#include <cstdint>

#include "foundation/status_codes.h"

namespace zor {

// Reference-counted start-up of the platform layer: the native table, the
// kernel32 extras, the random seed, the page size, the operating-system
// identity and the special folders. Only the first start does the work.
StatusCode StartPlatform();
// Only decrements the counts: nothing is unloaded or freed.
void StopPlatform();

// How many starts are outstanding; for tests.
int PlatformStartCount();

// Page size read at start-up.
unsigned long PageSize();

// Random bytes from the platform's seeded source, four at a time.
std::uint32_t NextRandom32();

}  // namespace zor
