// glibc lets a program replace malloc by defining it (the library's own entry points stay
// reachable as __libc_*). Replacing operator new as well catches allocations that a standard
// library might route around malloc.
#include "bench/allocation_counter.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void __libc_free(void* pointer);
}

namespace {

std::atomic<bool> counting{false};
std::atomic<int64_t> allocations{0};

void noteAllocation() {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
}

void* allocateOrThrow(size_t size) {
    noteAllocation();
    void* pointer = __libc_malloc(size == 0 ? 1 : size);
    if (pointer == nullptr) throw std::bad_alloc();
    return pointer;
}

}  // namespace

namespace kt57::bench {

void startCountingAllocations() {
    allocations.store(0);
    counting.store(true);
}

int64_t stopCountingAllocations() {
    counting.store(false);
    return allocations.load();
}

}  // namespace kt57::bench

extern "C" {
void* malloc(size_t size) {
    noteAllocation();
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    noteAllocation();
    return __libc_calloc(count, size);
}
void* realloc(void* pointer, size_t size) {
    noteAllocation();
    return __libc_realloc(pointer, size);
}
void free(void* pointer) { __libc_free(pointer); }
}

// operator new goes through allocateOrThrow, which calls __libc_malloc directly, so an allocation
// is counted once whichever way it is made.
void* operator new(size_t size) { return allocateOrThrow(size); }
void* operator new[](size_t size) { return allocateOrThrow(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    noteAllocation();
    return __libc_malloc(size == 0 ? 1 : size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    noteAllocation();
    return __libc_malloc(size == 0 ? 1 : size);
}
void operator delete(void* pointer) noexcept { __libc_free(pointer); }
void operator delete[](void* pointer) noexcept { __libc_free(pointer); }
void operator delete(void* pointer, size_t) noexcept { __libc_free(pointer); }
void operator delete[](void* pointer, size_t) noexcept { __libc_free(pointer); }
