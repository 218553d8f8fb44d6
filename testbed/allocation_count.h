// Counts the program's calls of operator new, for the checks that a frame allocates nothing.
// A program that wants the count links the object library tincrates_allocation_count, which
// replaces the global operator new; C allocations (the graphics driver's) are not seen.
#pragma once

#include <cstdint>

namespace tincrates::testing {

// The calls of operator new so far; always 0 under AddressSanitizer, which keeps operator new
// for itself.
uint64_t allocationCount();

} // namespace tincrates::testing
