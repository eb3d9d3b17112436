// SPDX-License-Identifier: MIT
// Interposed malloc, calloc and realloc, and operator new/delete routed through them.
//
// Defined in the test program itself, these definitions take precedence over the C library's
// for every module of the process, the library under test included. In a plain build they
// forward to glibc's __libc_* functions; under a sanitizer, to the sanitizer's allocator.
#include "allocation_failure.hpp"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

struct thread_state {
    std::size_t fail_next;
    bool fail_all;
    std::size_t count;
    std::size_t succeed_first;  // with fail_from: calls left to succeed before one fails
    bool fail_from;
    bool fail_from_and_after;
    std::ptrdiff_t live;
};

// Trivial, so that reaching it from inside malloc allocates nothing.
thread_local thread_state state{};

std::atomic<std::ptrdiff_t> live_in_process{0};

void count_live(std::ptrdiff_t change) noexcept {
    state.live += change;
    live_in_process.fetch_add(change, std::memory_order_relaxed);
}

// Returns true when this call must fail; counts it either way.
bool should_fail() noexcept {
    thread_state& s = state;
    ++s.count;
    if (s.fail_all) {
        return true;
    }
    if (s.fail_next > 0) {
        --s.fail_next;
        return true;
    }
    if (s.fail_from) {
        if (s.succeed_first > 0) {
            --s.succeed_first;
            return false;
        }
        s.fail_from = s.fail_from_and_after;
        return true;
    }
    return false;
}

}  // namespace

#ifdef VORN_TEST_SANITIZED

// The sanitizer runtimes (GCC's libasan and libtsan) export their allocation entry points
// under these names; forwarding to them keeps one heap for malloc and free.
extern "C" {
void* __interceptor_malloc(std::size_t size);
void* __interceptor_calloc(std::size_t n, std::size_t size);
void* __interceptor_realloc(void* p, std::size_t size);
void __interceptor_free(void* p);
}

namespace {
void* real_malloc(std::size_t size) noexcept {
    return __interceptor_malloc(size);
}
void* real_calloc(std::size_t n, std::size_t size) noexcept {
    return __interceptor_calloc(n, size);
}
void* real_realloc(void* p, std::size_t size) noexcept {
    return __interceptor_realloc(p, size);
}
void real_free(void* p) noexcept {
    __interceptor_free(p);
}
}  // namespace

#else

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t n, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);
void __libc_free(void* p);
}

namespace {
void* real_malloc(std::size_t size) noexcept {
    return __libc_malloc(size);
}
void* real_calloc(std::size_t n, std::size_t size) noexcept {
    return __libc_calloc(n, size);
}
void* real_realloc(void* p, std::size_t size) noexcept {
    return __libc_realloc(p, size);
}
void real_free(void* p) noexcept {
    __libc_free(p);
}
}  // namespace

#endif

extern "C" {

void* malloc(std::size_t size) {
    if (should_fail()) {
        errno = ENOMEM;
        return nullptr;
    }
    void* block = real_malloc(size);
    count_live(block != nullptr);
    return block;
}

void* calloc(std::size_t n, std::size_t size) {
    if (should_fail()) {
        errno = ENOMEM;
        return nullptr;
    }
    void* block = real_calloc(n, size);
    count_live(block != nullptr);
    return block;
}

void* realloc(void* p, std::size_t size) {
    if (should_fail()) {
        errno = ENOMEM;
        return nullptr;
    }
    void* block = real_realloc(p, size);
    if (p == nullptr) {
        count_live(block != nullptr);
    } else if (size == 0 && block == nullptr) {
        count_live(-1);  // realloc to size 0 freed the block
    }
    return block;
}

void free(void* p) {
    count_live(-static_cast<std::ptrdiff_t>(p != nullptr));
    real_free(p);
}

}  // extern "C"

// The standard operator new and delete, routed through malloc and free so that failing
// malloc makes new fail as well, in every build.
void* operator new(std::size_t size) {
    for (;;) {
        if (void* p = std::malloc(size == 0 ? 1 : size)) {
            return p;
        }
        std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) {
            throw std::bad_alloc();
        }
        handler();
    }
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return operator new(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return operator new(size, std::nothrow);
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
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

namespace vorn::test {

void fail_next_allocations(std::size_t n) noexcept {
    state.fail_next = n;
}

void fail_all_allocations(bool on) noexcept {
    state.fail_all = on;
}

void stop_failing_allocations() noexcept {
    state.fail_next = 0;
    state.fail_all = false;
    state.fail_from = false;
}

std::size_t allocation_count() noexcept {
    return state.count;
}

void fail_allocation_after(std::size_t k, bool and_after) noexcept {
    state.succeed_first = k;
    state.fail_from = true;
    state.fail_from_and_after = and_after;
}

std::ptrdiff_t live_blocks() noexcept {
    return state.live;
}

std::ptrdiff_t live_blocks_in_process() noexcept {
    return live_in_process.load(std::memory_order_relaxed);
}

}  // namespace vorn::test
