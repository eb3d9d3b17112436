// SPDX-License-Identifier: MIT
// Fixed-point text of a decimal value, computed exactly in decimal digits.
#ifndef VORN_CORE_SRC_DECIMAL_FIXED_FORMAT_HPP
#define VORN_CORE_SRC_DECIMAL_FIXED_FORMAT_HPP

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "common/compiler.hpp"
#include "common/two_digits.hpp"

namespace vorn::core::v2::detail {

// 10^0 to 10^19, every power of ten an unsigned 64-bit number holds.
inline constexpr std::uint64_t powers_of_ten[] = {1ULL,
                                                  10ULL,
                                                  100ULL,
                                                  1000ULL,
                                                  10000ULL,
                                                  100000ULL,
                                                  1000000ULL,
                                                  10000000ULL,
                                                  100000000ULL,
                                                  1000000000ULL,
                                                  10000000000ULL,
                                                  100000000000ULL,
                                                  1000000000000ULL,
                                                  10000000000000ULL,
                                                  100000000000000ULL,
                                                  1000000000000000ULL,
                                                  10000000000000000ULL,
                                                  100000000000000000ULL,
                                                  1000000000000000000ULL,
                                                  10000000000000000000ULL};

// The count of decimal digits of a non-zero value.
inline int digit_count(std::uint64_t value) {
    // 1233 / 4096 is just above log10(2): the guess is the count or one less.
    const int bits = 64 - count_leading_zeros(value);
    const int guess = (bits * 1233) >> 12;
    return guess + 1 - (value < powers_of_ten[guess] ? 1 : 0);
}

// Writes the decimal digits of a 32-bit `value` so that they end just before `end`, a pair at a
// time; returns where they begin.
inline char* write_digits(std::uint32_t value, char* end) {
    while (value >= 100) {
        end -= 2;
        write_two_digits(end, value % 100);
        value /= 100;
    }
    if (value >= 10) {
        end -= 2;
        write_two_digits(end, value);
    } else {
        *--end = static_cast<char>('0' + value);
    }
    return end;
}

// Writes the decimal digits of `value` so that they end just before `end`; returns where
// they begin. Eight digits at a time while the value is large, each eight split into two
// independent halves in 32-bit arithmetic, then pairs.
inline char* write_digits(std::uint64_t value, char* end) {
    while (value >= 100000000) {
        const auto low = static_cast<std::uint32_t>(value % 100000000);
        value /= 100000000;
        const std::uint32_t upper = low / 10000;
        const std::uint32_t lower = low % 10000;
        end -= 8;
        write_two_digits(end, upper / 100);
        write_two_digits(end + 2, upper % 100);
        write_two_digits(end + 4, lower / 100);
        write_two_digits(end + 6, lower % 100);
    }
    return write_digits(static_cast<std::uint32_t>(value), end);
}

// Writes back to front, ending just before `end`: the last `scale` digits of `magnitude`, the
// separator when precision is not 0, then the digits left (at least one). Amounts below 2^32
// take it in 32-bit arithmetic.
template <class Unsigned>
inline void write_fraction_and_integer(Unsigned magnitude, char* end, std::size_t scale,
                                       unsigned int precision, char separator) {
    char* p = end;
    std::size_t left = scale;
    for (; left >= 2; left -= 2) {
        p -= 2;
        write_two_digits(p, static_cast<std::uint32_t>(magnitude % 100));
        magnitude /= 100;
    }
    if (left != 0) {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    }
    if (precision != 0) {
        *--p = separator;
    }
    if constexpr (sizeof(Unsigned) > 4) {
        if (magnitude >= 100000000) {
            write_digits(std::uint64_t{magnitude}, p);
            return;
        }
    }
    write_digits(static_cast<std::uint32_t>(magnitude), p);
}

// The most decimals short_fixed writes.
inline constexpr unsigned int short_precision = 16;

// The text of ±magnitude / 10^scale with `precision` decimals, for scale <= precision <=
// short_precision: the everyday texts. The length is known from the digit count, so the text is
// written back to front (the fraction's digits before the trailing zeros, the separator, the
// integer part, the sign) straight into the result, which starts as zeros. Nothing written is read
// back, and a text of up to 15 characters stays in the string's own small buffer, filled and cut at
// lengths fixed at compile time. One string is returned on every path, so it is built in place.
inline std::string short_fixed(bool negative, std::uint64_t magnitude, std::size_t scale,
                               unsigned int precision, char separator) {
    const std::size_t count = magnitude == 0 ? 1 : static_cast<std::size_t>(digit_count(magnitude));
    const std::size_t integer_digits = count > scale ? count - scale : 1;
    const std::size_t length =
        (negative ? 1 : 0) + integer_digits + (precision == 0 ? 0 : 1 + std::size_t{precision});
    std::string text(15, '0');
    if (length > 15) {
        text.append(length - 15, '0');  // at most 1 + 20 + 1 + 16 characters in all
    }
    // The sign goes first, unconditionally: without one, the integer part overwrites it.
    text[0] = '-';
    char* const end = text.data() + length - (precision - scale);
    // bench/decimal_bench.cpp: to_string_vorn
    if (magnitude <= UINT32_MAX) {
        write_fraction_and_integer(static_cast<std::uint32_t>(magnitude), end, scale, precision,
                                   separator);
    } else {
        write_fraction_and_integer(magnitude, end, scale, precision, separator);
    }
    text.erase(length);
    return text;
}

// The text of ±magnitude × 10^exponent rounded to `precision` decimals, to nearest with ties to
// even: a "-" whenever `negative` is set (also when the text shows zero), at least one integer
// digit, then, when precision is not 0, `separator` and exactly precision decimals. Never
// depends on any locale. `precision` must not exceed INT_MAX.
class fixed_text {
  public:
    // Rounds the value and works out the shape of its text; nothing is written yet.
    fixed_text(bool negative, std::uint64_t magnitude, int exponent, unsigned int precision,
               char separator) noexcept;

    // The number of characters of the text.
    std::size_t length() const noexcept { return length_; }
    // Writes the length() characters of the text at `out`.
    void write(char* out) const noexcept;
    // The text as a string: one allocation at most, time linear in its length.
    std::string to_string() const;

  private:
    bool negative_;
    // Rounded: its digits, then zeros_ zeros, with the point scale_ digits from their end.
    std::uint64_t magnitude_;
    std::size_t zeros_ = 0;
    std::size_t scale_ = 0;
    unsigned int precision_;
    char separator_;
    std::size_t length_ = 0;
};

}  // namespace vorn::core::v2::detail

#endif
