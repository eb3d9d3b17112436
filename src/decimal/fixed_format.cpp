// SPDX-License-Identifier: MIT
// Fixed-point text of a decimal value: rounding, the shape of the text, and writing it.
#include "decimal/fixed_format.hpp"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace vorn::core::v2::detail {

namespace {

// `value` / 10^dropped rounded to nearest, ties to even, for dropped >= 1.
std::uint64_t round_off(std::uint64_t value, std::size_t dropped) {
    // 2^64 is below half of 10^20: from 20 dropped digits on, every value rounds to 0.
    if (dropped >= 20) {
        return 0;
    }
    const std::uint64_t unit = powers_of_ten[dropped];
    std::uint64_t kept = value / unit;
    const std::uint64_t rest = value % unit;
    const std::uint64_t half = unit / 2;
    if (rest > half || (rest == half && (kept & 1) != 0)) {
        ++kept;  // at most 2^64 / 10 + 1: no wrap
    }
    return kept;
}

}  // namespace

fixed_text::fixed_text(bool negative, std::uint64_t magnitude, int exponent, unsigned int precision,
                       char separator) noexcept
    : negative_(negative), magnitude_(magnitude), precision_(precision), separator_(separator) {
    if (exponent >= 0) {
        zeros_ = magnitude == 0 ? 0 : static_cast<std::size_t>(exponent);
    } else {
        scale_ = static_cast<std::size_t>(-static_cast<long>(exponent));
        if (scale_ > precision) {
            magnitude_ = round_off(magnitude, scale_ - precision);
            scale_ = precision;
        }
    }
    const std::size_t count =
        magnitude_ == 0 ? 1 : static_cast<std::size_t>(digit_count(magnitude_));
    // Integer digits taken from magnitude; none (a lone "0") when it lies below 1.
    const std::size_t integer_digits = count > scale_ ? count - scale_ : 0;
    const std::size_t integer_length = integer_digits == 0 ? 1 : integer_digits + zeros_;
    length_ =
        (negative ? 1 : 0) + integer_length + (precision == 0 ? 0 : 1 + std::size_t{precision});
}

void fixed_text::write(char* out) const noexcept {
    // Every position not written below is a zero: padding before and after the fraction
    // digits, the trailing zeros of a positive exponent and the "0" before a small fraction.
    std::memset(out, '0', length_);
    char digits[20];
    char* const digits_end = digits + sizeof digits;
    const char* const first = write_digits(magnitude_, digits_end);
    const auto count = static_cast<std::size_t>(digits_end - first);
    const std::size_t integer_digits = count > scale_ ? count - scale_ : 0;
    if (negative_) {
        *out++ = '-';
    }
    std::memcpy(out, first, integer_digits);
    out += integer_digits == 0 ? 1 : integer_digits + zeros_;
    if (precision_ != 0) {
        *out++ = separator_;
        const std::size_t fraction_digits = count - integer_digits;
        std::memcpy(out + (scale_ - fraction_digits), first + integer_digits, fraction_digits);
    }
}

std::string fixed_text::to_string() const {
    // bench/decimal_bench.cpp: to_string_vorn
    if (zeros_ == 0 && precision_ <= short_precision) {
        return short_fixed(negative_, magnitude_, scale_, precision_, separator_);
    }
    std::string text(length_, '0');
    write(text.data());
    return text;
}

}  // namespace vorn::core::v2::detail
