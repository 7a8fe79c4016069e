#pragma once
#include "app/status_codes.h"

namespace zor {

// Reference-counted start-up of the platform layer: the native table, the
// kernel32 extras, the random seed, the page size, the operating-system
// identity and the special folders. Only the first start does the work.
StatusCode StartPlatform();
// Only decrements the counts: nothing is unloaded or freed.
void StopPlatform();

// How many starts are outstanding; for tests.
int PlatformStartCount();

}  // namespace zor
