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

std::string format_fixed(bool negative, std::uint64_t magnitude, int exponent,
                         unsigned int precision, char separator) {
    // The value becomes magnitude × 10^zeros / 10^scale, with scale <= precision: the digits of
    // magnitude, `zeros` more zeros, and a point `scale` digits from their end.
    std::size_t zeros = 0;
    std::size_t scale = 0;
    if (exponent >= 0) {
        zeros = magnitude == 0 ? 0 : static_cast<std::size_t>(exponent);
    } else {
        scale = static_cast<std::size_t>(-static_cast<long>(exponent));
        if (scale > precision) {
            magnitude = round_off(magnitude, scale - precision);
            scale = precision;
        }
    }
    if (zeros == 0 && precision <= 16) {
        return short_fixed(negative, magnitude, scale, precision, separator);
    }
    char digits[20];
    char* const digits_end = digits + sizeof digits;
    const char* const first = write_digits(magnitude, digits_end);
    const auto count = static_cast<std::size_t>(digits_end - first);

    const std::size_t sign_length = negative ? 1 : 0;
    // Integer digits taken from magnitude; none (a lone "0") when it lies below 1.
    const std::size_t integer_digits = count > scale ? count - scale : 0;
    const std::size_t integer_length = integer_digits == 0 ? 1 : integer_digits + zeros;
    const std::size_t fraction_length = precision == 0 ? 0 : 1 + std::size_t{precision};

    // Every position not written below is a zero: padding before and after the fraction
    // digits, the trailing zeros of a positive exponent and the "0" before a small fraction.
    std::string text(sign_length + integer_length + fraction_length, '0');
    char* out = text.data();
    if (negative) {
        *out++ = '-';
    }
    std::memcpy(out, first, integer_digits);
    out += integer_length;
    if (precision != 0) {
        *out++ = separator;
        const std::size_t fraction_digits = count - integer_digits;
        std::memcpy(out + (scale - fraction_digits), first + integer_digits, fraction_digits);
    }
    return text;
}

}  // namespace vorn::core::v2::detail
