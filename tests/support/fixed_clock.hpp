// SPDX-License-Identifier: MIT
// A clock that reads what the test says: clock_gettime is replaced in the programs that link
// fixed_clock.cpp, so that conversions of clock readings can be checked at exact instants.
#ifndef VORN_CORE_TESTS_SUPPORT_FIXED_CLOCK_HPP
#define VORN_CORE_TESTS_SUPPORT_FIXED_CLOCK_HPP

#include <time.h>

#include <cstdint>

namespace vorn::test {

// While one lives, clock_gettime(`clock`, ...) reads the instant last set, in every thread of
// the program and from every caller (the library and std::chrono included); the other clocks
// read as usual. One at a time.
class fixed_clock {
  public:
    fixed_clock(clockid_t clock, std::int64_t nanoseconds) noexcept;
    ~fixed_clock();
    fixed_clock(const fixed_clock&) = delete;
    fixed_clock& operator=(const fixed_clock&) = delete;

    // Nanoseconds since the clock's epoch, at least 0.
    void set(std::int64_t nanoseconds) noexcept;
};

}  // namespace vorn::test

#endif
