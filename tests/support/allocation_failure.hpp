// SPDX-License-Identifier: MIT
// Real allocation failure for tests.
//
// Every test program links this support code, which interposes malloc, calloc and realloc
// (and routes the global operator new and delete through them), so that the library's
// allocations can be made to fail without any hook inside the library. All state is per
// thread: failing allocations on one thread leaves the others alone.
#ifndef VORN_CORE_TESTS_SUPPORT_ALLOCATION_FAILURE_HPP
#define VORN_CORE_TESTS_SUPPORT_ALLOCATION_FAILURE_HPP

#include <cstddef>

namespace vorn::test {

// The next `n` calls of malloc, calloc or realloc on this thread return null.
void fail_next_allocations(std::size_t n) noexcept;

// While on, every malloc, calloc or realloc on this thread returns null.
void fail_all_allocations(bool on) noexcept;

// Ends both kinds of failure on this thread.
void stop_failing_allocations() noexcept;

// The number of malloc, calloc and realloc calls made on this thread so far, failed or not.
std::size_t allocation_count() noexcept;

// After `k` more calls of malloc, calloc or realloc on this thread succeed, the next one fails;
// with `and_after`, every one after it fails too. Ended by stop_failing_allocations().
void fail_allocation_after(std::size_t k, bool and_after) noexcept;

// Blocks allocated on this thread minus blocks freed on it (free, or realloc to size 0).
// Meaningful as a difference around code that allocates and frees on the same thread.
std::ptrdiff_t live_blocks() noexcept;

// Blocks allocated minus blocks freed, over every thread of the process: what a thread keeps
// and frees when it ends counts until it has ended.
std::ptrdiff_t live_blocks_in_process() noexcept;

// Makes every allocation on this thread fail for the lifetime of the object.
class allocation_failure_scope {
  public:
    allocation_failure_scope() noexcept { fail_all_allocations(true); }
    ~allocation_failure_scope() { stop_failing_allocations(); }
    allocation_failure_scope(const allocation_failure_scope&) = delete;
    allocation_failure_scope& operator=(const allocation_failure_scope&) = delete;
};

// Counts the allocations made on this thread from its construction on.
class allocation_counter {
  public:
    allocation_counter() noexcept : start_(allocation_count()) {}
    std::size_t count() const noexcept { return allocation_count() - start_; }

  private:
    std::size_t start_;
};

}  // namespace vorn::test

#endif
