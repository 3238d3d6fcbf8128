// Counts heap allocations made by this process while counting is on. The benchmark binary that
// links allocation_counter.cpp replaces malloc, calloc, realloc and every global operator new.
#pragma once
#include <cstdint>

namespace kt57::bench {

void startCountingAllocations();
// Stops counting and returns the allocations made since startCountingAllocations().
int64_t stopCountingAllocations();

}  // namespace kt57::bench
