// Interposed malloc, calloc and realloc, and operator new/delete routed through them.
//
// Defined in the test program itself, these definitions take precedence over the C library's
// for every module of the process, the library under test included. In a plain build they
// forward to glibc's __libc_* functions; under a sanitizer, to the sanitizer's allocator.
#include "allocation_failure.hpp"

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
};

// Trivial, so that reaching it from inside malloc allocates nothing.
thread_local thread_state state{};

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
}  // namespace

#else

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t n, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);
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
}  // namespace

#endif

extern "C" {

void* malloc(std::size_t size) {
    if (should_fail()) {
        errno = ENOMEM;
        return nullptr;
    }
    return real_malloc(size);
}

void* calloc(std::size_t n, std::size_t size) {
    if (should_fail()) {
        errno = ENOMEM;
        return nullptr;
    }
    return real_calloc(n, size);
}

void* realloc(void* p, std::size_t size) {
    if (should_fail()) {
        errno = ENOMEM;
        return nullptr;
    }
    return real_realloc(p, size);
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
}

std::size_t allocation_count() noexcept {
    return state.count;
}

}  // namespace vorn::test
