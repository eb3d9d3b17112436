#include "text/fixed_format.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>

namespace vorn::core::v2::detail {

namespace {

__extension__ using uint128 = unsigned __int128;

static_assert(std::numeric_limits<long double>::digits == 64 &&
                  std::numeric_limits<long double>::max_exponent == 16384,
              "long double is the x87 80-bit extended format");

// The fraction is held as fraction / 2^shift in 128 bits and multiplied by 10 per digit, so
// the shift must leave room for four more bits.
constexpr int largest_fraction_shift = 124;

constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the decimal digits of `value` so that they end just before `end`; returns where
// they begin.
char* write_digits(std::uint64_t value, char* end) {
    while (value >= 100) {
        const std::size_t pair = static_cast<std::size_t>(value % 100) * 2;
        value /= 100;
        *--end = digit_pairs[pair + 1];
        *--end = digit_pairs[pair];
    }
    if (value >= 10) {
        const std::size_t pair = static_cast<std::size_t>(value) * 2;
        *--end = digit_pairs[pair + 1];
        *--end = digit_pairs[pair];
    } else {
        *--end = static_cast<char>('0' + value);
    }
    return end;
}

char* write_digits(uint128 value, char* end) {
    constexpr std::uint64_t ten_to_19 = 10000000000000000000ULL;
    if (value <= std::numeric_limits<std::uint64_t>::max()) {
        return write_digits(static_cast<std::uint64_t>(value), end);
    }
    // Below 2^127, so the upper part stays below 2^64.
    char* const low_end = end;
    end = write_digits(static_cast<std::uint64_t>(value % ten_to_19), end);
    while (end > low_end - 19) {
        *--end = '0';
    }
    return write_digits(static_cast<std::uint64_t>(value / ten_to_19), end);
}

// The values the fast path does not cover (infinities, not-a-number, magnitudes of 2^127 and
// more, tiny magnitudes) go through libc, whose decimal point follows the C locale: the
// digits around it are kept and the point itself, whatever its length, is replaced.
std::string format_with_libc(long double value, unsigned int precision, char separator) {
    const int digits = static_cast<int>(precision);
    char local[128];
    const int length = std::snprintf(local, sizeof local, "%.*Lf", digits, value);
    if (length < 0) {
        throw std::length_error("decimal text longer than the C library can write");
    }
    std::string text;
    if (static_cast<std::size_t>(length) < sizeof local) {
        text.assign(local, static_cast<std::size_t>(length));
    } else {
        text.resize(static_cast<std::size_t>(length));
        std::snprintf(text.data(), text.size() + 1, "%.*Lf", digits, value);
    }
    if (precision == 0) {
        return text;
    }
    const std::size_t sign_length = text[0] == '-' ? 1 : 0;
    std::size_t point = sign_length;
    while (point < text.size() && text[point] >= '0' && text[point] <= '9') {
        ++point;
    }
    if (point == sign_length || point == text.size()) {
        return text;  // "inf", "nan": no digits, no point
    }
    const std::size_t decimals = text.size() - precision;
    text[point] = separator;
    text.erase(point + 1, decimals - point - 1);
    return text;
}

// Adds one unit in the last place of the digits of `text`, which start at `first` and have a
// separator at `separator_at` (or none when that is text.size()).
void round_up(std::string& text, std::size_t first, std::size_t separator_at) {
    for (std::size_t i = text.size(); i-- > first;) {
        if (i == separator_at) {
            continue;
        }
        if (text[i] != '9') {
            ++text[i];
            return;
        }
        text[i] = '0';
    }
    text.insert(first, 1, '1');
}

}  // namespace

std::string format_fixed(long double value, unsigned int precision, char separator) {
    // The x87 format: 64-bit significand with an explicit integer bit, then the sign and the
    // 15-bit biased exponent. value = mantissa × 2^exponent.
    std::uint64_t mantissa;
    std::uint16_t sign_and_exponent;
    std::memcpy(&mantissa, &value, sizeof mantissa);
    std::memcpy(&sign_and_exponent, reinterpret_cast<const unsigned char*>(&value) + 8,
                sizeof sign_and_exponent);
    const bool negative = (sign_and_exponent & 0x8000U) != 0;
    const int biased = sign_and_exponent & 0x7FFF;
    if (biased == 0x7FFF) {
        return format_with_libc(value, precision, separator);
    }
    int exponent = (biased == 0 ? 1 : biased) - 16383 - 63;
    if (mantissa == 0) {
        exponent = 0;
    }

    char integer_digits[40];
    char* const integer_end = integer_digits + sizeof integer_digits;
    char* integer_begin;
    uint128 fraction = 0;  // the fractional part is fraction / 2^shift
    int shift = 0;
    if (exponent >= 0) {
        if (exponent > 63) {
            return format_with_libc(value, precision, separator);
        }
        integer_begin = write_digits(static_cast<uint128>(mantissa) << exponent, integer_end);
    } else {
        shift = -exponent;
        if (shift > largest_fraction_shift) {
            return format_with_libc(value, precision, separator);
        }
        if (shift < 64) {
            integer_begin = write_digits(mantissa >> shift, integer_end);
            fraction = mantissa & ((std::uint64_t{1} << shift) - 1);
        } else {
            integer_begin = write_digits(std::uint64_t{0}, integer_end);
            fraction = mantissa;
        }
    }

    const std::size_t sign_length = negative ? 1 : 0;
    const auto integer_length = static_cast<std::size_t>(integer_end - integer_begin);
    const std::size_t separator_at = sign_length + integer_length;
    std::string text(separator_at + (precision == 0 ? 0 : 1 + std::size_t{precision}), '0');
    char* out = text.data();
    if (negative) {
        *out++ = '-';
    }
    std::memcpy(out, integer_begin, integer_length);
    if (precision != 0) {
        out += integer_length;
        *out++ = separator;
        const uint128 mask = (uint128{1} << shift) - 1;
        // Once the fraction is exhausted the remaining decimals are the zeros already there.
        for (unsigned int i = 0; i < precision && fraction != 0; ++i) {
            fraction *= 10;
            out[i] = static_cast<char>('0' + static_cast<unsigned int>(fraction >> shift));
            fraction &= mask;
        }
    }

    // Round to nearest on what is left of the fraction, ties to an even last digit.
    if (fraction != 0) {
        const uint128 half = uint128{1} << (shift - 1);
        const bool last_digit_odd = ((text.back() - '0') & 1) != 0;
        if (fraction > half || (fraction == half && last_digit_odd)) {
            round_up(text, sign_length, precision == 0 ? text.size() : separator_at);
        }
    }
    return text;
}

}  // namespace vorn::core::v2::detail
