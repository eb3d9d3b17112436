// SPDX-License-Identifier: MIT
// The replaced clock_gettime behind fixed_clock: this program's definition comes before the C
// library's in symbol lookup, so it sees every call; unfixed clocks go on to the next one.
#include "support/fixed_clock.hpp"

#include <dlfcn.h>

#include <atomic>

namespace {

constexpr int unfixed = -1;
std::atomic<int> fixed_id{unfixed};
std::atomic<std::int64_t> fixed_reading{0};

using clock_function = int (*)(clockid_t, timespec*);

clock_function next_clock_gettime() noexcept {
    static const auto next = reinterpret_cast<clock_function>(dlsym(RTLD_NEXT, "clock_gettime"));
    return next;
}

}  // namespace

extern "C" int clock_gettime(clockid_t clock, timespec* reading) noexcept {
    if (static_cast<int>(clock) == fixed_id.load(std::memory_order_acquire)) {
        const std::int64_t ns = fixed_reading.load(std::memory_order_relaxed);
        reading->tv_sec = static_cast<time_t>(ns / 1000000000);
        reading->tv_nsec = static_cast<long>(ns % 1000000000);
        return 0;
    }
    return next_clock_gettime()(clock, reading);
}

namespace vorn::test {

fixed_clock::fixed_clock(clockid_t clock, std::int64_t nanoseconds) noexcept {
    set(nanoseconds);
    fixed_id.store(static_cast<int>(clock), std::memory_order_release);
}

fixed_clock::~fixed_clock() {
    fixed_id.store(unfixed, std::memory_order_release);
}

void fixed_clock::set(std::int64_t nanoseconds) noexcept {
    fixed_reading.store(nanoseconds, std::memory_order_relaxed);
}

}  // namespace vorn::test
