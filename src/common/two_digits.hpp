// SPDX-License-Identifier: MIT
// The two digits of every number below 100, for the writers of dates, times and decimals.
#ifndef VORN_CORE_SRC_COMMON_TWO_DIGITS_HPP
#define VORN_CORE_SRC_COMMON_TWO_DIGITS_HPP

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vorn::core::v2::detail {

// "00" to "99", back to back.
inline constexpr char two_digit_chars[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes `value` (below 100) as two digits at `out`.
inline void write_two_digits(char* out, std::uint32_t value) noexcept {
    std::memcpy(out, two_digit_chars + std::size_t{2} * value, 2);
}

}  // namespace vorn::core::v2::detail

#endif
