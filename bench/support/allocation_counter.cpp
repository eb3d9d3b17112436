// SPDX-License-Identifier: MIT
// Interposed malloc family and global operator new for the benchmark programs: each call is
// counted and forwarded to glibc's own entry points.
#include "allocation_counter.hpp"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t n, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);
void __libc_free(void* p);
}

namespace {
std::atomic<std::size_t> allocations{0};

// A relaxed load and store rather than a locked read-modify-write: the count must not add
// its own cost to every allocation of what is measured (a locked increment costs about as
// much as a small malloc). Allocations made at the same moment on several threads may be
// counted once; the benchmarks count on one thread.
void count() noexcept {
    allocations.store(allocations.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
}
}  // namespace

std::size_t bench::allocation_count() noexcept {
    return allocations.load(std::memory_order_relaxed);
}

extern "C" {
void* malloc(std::size_t size) {
    count();
    return __libc_malloc(size);
}
void* calloc(std::size_t n, std::size_t size) {
    count();
    return __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t size) {
    void* moved = __libc_realloc(p, size);
    // A block that grows in place is the same block; one that moves or is new counts.
    if (moved != p) {
        count();
    }
    return moved;
}
void free(void* p) {
    __libc_free(p);
}
}

void* operator new(std::size_t size) {
    void* p = std::malloc(size);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    return p;
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
