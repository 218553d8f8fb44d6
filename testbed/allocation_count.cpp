#include "testbed/allocation_count.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<uint64_t> calls{0};

} // namespace

uint64_t tincrates::testing::allocationCount() { return calls.load(); }

#ifndef __SANITIZE_ADDRESS__
void* operator new(std::size_t size)
{
    calls.fetch_add(1, std::memory_order_relaxed);
    if (void* block = std::malloc(size ? size : 1))
        return block;
    throw std::bad_alloc();
}

// GCC takes the free() of memory that came from operator new for a mismatch, not seeing that
// this operator new is malloc underneath.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
#pragma GCC diagnostic pop
#endif
