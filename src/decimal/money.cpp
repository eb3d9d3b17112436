// SPDX-License-Identifier: MIT
// What applications do with amounts beyond exact sums and products: rounding to a scale in a
// chosen mode, division to a scale, and splitting an amount into parts that add up to it.
// Every result comes from the exact value through 64- or 128-bit integers; only the last
// digit is rounded, once.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <stdexcept>
#include <vector>

#include "common/compiler.hpp"
#include "decimal/decimal_block.hpp"
#include "decimal/fixed_format.hpp"
#include "vorn/core/decimal.hpp"

namespace vorn::core::v2 {

namespace {

using detail::int128;
using detail::powers_of_ten;
using detail::uint128;

constexpr const char* result_overflow = "decimal result does not fit in a decimal";

[[noreturn]] VORN_CORE_COLD void throw_overflow() {
    throw std::overflow_error(result_overflow);
}

std::uint64_t magnitude(std::int64_t number) noexcept {
    return number < 0 ? 0 - static_cast<std::uint64_t>(number) : static_cast<std::uint64_t>(number);
}

// 10^k for k <= 38, the largest power of ten below 2^128.
uint128 power_of_ten(int k) noexcept {
    return k <= 19 ? uint128{powers_of_ten[k]}
                   : uint128{powers_of_ten[19]} * uint128{powers_of_ten[k - 19]};
}

// The factor of a result with `decimals` places; throws when it is outside 16 bits.
std::int16_t factor_for(int decimals) {
    if (decimals < -INT16_MAX || decimals > -static_cast<int>(INT16_MIN)) {
        throw_overflow();
    }
    return static_cast<std::int16_t>(-decimals);
}

void check_mode(rounding_mode mode) {
    if (static_cast<std::uint32_t>(mode) >
        static_cast<std::uint32_t>(rounding_mode::toward_positive)) {
        throw std::invalid_argument("vorn::core::decimal: invalid rounding mode");
    }
}

// An exact quotient as its magnitude cut toward zero, the remainder and the divisor's
// magnitude (0 <= remainder < divisor), and its sign; in 64 bits where they fit.
template <class Unsigned>
struct basic_quotient {
    Unsigned cut;
    Unsigned remainder;
    Unsigned divisor;
    bool negative;
};
using quotient = basic_quotient<uint128>;

// The magnitude of the quotient rounded to an integer as `mode` says.
template <class Unsigned>
inline Unsigned rounded_magnitude(const basic_quotient<Unsigned>& q, rounding_mode mode) noexcept {
    if (q.remainder == 0) {
        return q.cut;
    }
    bool up = false;
    switch (mode) {
        case rounding_mode::toward_zero:
            break;
        case rounding_mode::away_from_zero:
            up = true;
            break;
        case rounding_mode::toward_negative:
            up = q.negative;
            break;
        case rounding_mode::toward_positive:
            up = !q.negative;
            break;
        case rounding_mode::half_even:
        case rounding_mode::half_away_from_zero:
        case rounding_mode::half_toward_zero: {
            // remainder against divisor - remainder: above, at or below one half.
            const Unsigned rest = q.divisor - q.remainder;
            if (q.remainder != rest) {
                up = q.remainder > rest;
            } else {
                up = mode == rounding_mode::half_away_from_zero ||
                     (mode == rounding_mode::half_even && (q.cut & 1) != 0);
            }
            break;
        }
    }
    return q.cut + (up ? 1 : 0);
}

// The signed 64-bit number of a rounded quotient; throws when it does not fit.
template <class Unsigned>
inline std::int64_t number_of(const basic_quotient<Unsigned>& q, rounding_mode mode) {
    const Unsigned m = rounded_magnitude(q, mode);
    const Unsigned limit = q.negative ? Unsigned{1} << 63 : Unsigned{INT64_MAX};
    if (m > limit) {
        throw_overflow();
    }
    return q.negative ? static_cast<std::int64_t>(0 - static_cast<std::uint64_t>(m))
                      : static_cast<std::int64_t>(m);
}

// a × 10^shift / b as a quotient, for magnitudes a and b (b not zero) and any shift. Beyond
// 10^19 the numerator is multiplied out a digit at a time, and only until the quotient is too
// large for any 64-bit result; beyond 10^38 the divisor stands for any larger one, which
// leaves the same rounding decisions (the remainder, below 2^64, is then far below half).
quotient divide_magnitudes(std::uint64_t a, int shift, std::uint64_t b, bool negative) noexcept {
    quotient q{0, 0, b, negative};
    if (a == 0) {
        q.negative = false;
        return q;
    }
    if (shift <= 0) {
        const int k = -shift < 38 ? -shift : 38;
        // b × 10^k: below 2^63 × 10^19 < 2^127 up to k = 19, else the stand-in 10^38 is kept
        // when b × 10^k would not fit; either way larger than 2 × a once k > 19.
        q.divisor = k <= 19 ? uint128{b} * power_of_ten(k) : power_of_ten(38);
        q.cut = a / q.divisor;
        q.remainder = a % q.divisor;
        return q;
    }
    const int first = shift < 19 ? shift : 19;
    const uint128 numerator = uint128{a} * power_of_ten(first);  // below 2^64 × 10^19 < 2^128
    q.cut = numerator / b;
    q.remainder = numerator % b;
    for (int k = first; k < shift && q.cut <= UINT64_MAX; ++k) {
        const uint128 next = q.remainder * 10;  // below 2^63 × 10
        q.cut = q.cut * 10 + next / b;
        q.remainder = next % b;
    }
    return q;
}

// The named fast path of divide(): a quotient whose numerator and divisor both fit in 64 bits
// (a total at the result's scale divided by a count) takes one 64-bit division instead of a
// 128-bit one. "divide_by_count" in bench/decimal_money_bench.cpp measures it.
inline basic_quotient<std::uint64_t> divide_small(std::uint64_t a, std::uint64_t b,
                                                  bool negative) noexcept {
    return {a / b, a % b, b, negative && a != 0};
}

// A result before it is stored: a decimal's number and factor.
struct value {
    std::int64_t number;
    std::int16_t factor;
};

// number × 10^factor / (divisor × 10^divisor_factor) at `decimals` places.
value divided(std::int64_t number, int factor, std::int64_t divisor, int divisor_factor,
              int decimals, rounding_mode mode) {
    check_mode(mode);
    if (divisor == 0) {
        throw std::domain_error("vorn::core::decimal: division by zero");
    }
    const std::int16_t result_factor = factor_for(decimals);
    const int shift = factor - divisor_factor + decimals;
    const bool negative = (number < 0) != (divisor < 0);
    if (shift == 0) {
        return {number_of(divide_small(magnitude(number), magnitude(divisor), negative), mode),
                result_factor};
    }
    return {
        number_of(divide_magnitudes(magnitude(number), shift, magnitude(divisor), negative), mode),
        result_factor};
}

// number × 10^factor at `decimals` places.
value rounded(std::int64_t number, int factor, int decimals, rounding_mode mode) {
    check_mode(mode);
    const std::int16_t result_factor = factor_for(decimals);
    const int shift = factor + decimals;
    if (shift >= 0) {
        // More places than the value has: exact, by multiplying out.
        if (number == 0) {
            return {0, result_factor};
        }
        if (shift > 19) {
            throw_overflow();
        }
        const int128 exact = int128{number} * int128{powers_of_ten[shift]};
        if (exact < INT64_MIN || exact > INT64_MAX) {
            throw_overflow();
        }
        return {static_cast<std::int64_t>(exact), result_factor};
    }
    // Fewer places: the number divided by 10^-shift, rounded.
    const std::uint64_t m = magnitude(number);
    if (-shift <= 19) {
        const std::uint64_t p = powers_of_ten[-shift];
        return {number_of(basic_quotient<std::uint64_t>{m / p, m % p, p, number < 0}, mode),
                result_factor};
    }
    // 10^38 stands for any larger power: m is below half of it.
    return {number_of(quotient{0, m, power_of_ten(38), number < 0}, mode), result_factor};
}

// The amount number × 10^factor as a count of units of `decimals` places; throws
// std::invalid_argument when it has digits beyond them, std::overflow_error when the count
// does not fit in 64 bits.
std::int64_t units_of(std::int64_t number, int factor, int decimals) {
    const int shift = factor + decimals;
    if (number == 0) {
        return 0;
    }
    if (shift < 0) {
        const std::uint64_t m = magnitude(number);
        if (-shift > 19 || m % powers_of_ten[-shift] != 0) {
            throw std::invalid_argument(
                "vorn::core::decimal: the amount has digits beyond the parts' decimals");
        }
        return number / static_cast<std::int64_t>(powers_of_ten[-shift]);
    }
    if (shift > 19) {
        throw_overflow();
    }
    const int128 units = int128{number} * int128{powers_of_ten[shift]};
    if (units < INT64_MIN || units > INT64_MAX) {
        throw_overflow();
    }
    return static_cast<std::int64_t>(units);
}

}  // namespace

decimal decimal::round(int decimals, rounding_mode mode) const {
    const value v = rounded(block_->number, block_->factor, decimals, mode);
    return decimal(v.number, v.factor);
}

decimal decimal::divide(const decimal& divisor, int decimals, rounding_mode mode) const {
    const value v = divided(block_->number, block_->factor, divisor.block_->number,
                            divisor.block_->factor, decimals, mode);
    return decimal(v.number, v.factor);
}

decimal decimal::divide(long long divisor, int decimals, rounding_mode mode) const {
    const value v = divided(block_->number, block_->factor, divisor, 0, decimals, mode);
    return decimal(v.number, v.factor);
}

decimal& decimal::round_in_place(int decimals, rounding_mode mode) {
    const value v = rounded(block_->number, block_->factor, decimals, mode);
    block_->number = v.number;
    block_->factor = v.factor;
    return *this;
}

decimal& decimal::divide_in_place(const decimal& divisor, int decimals, rounding_mode mode) {
    const value v = divided(block_->number, block_->factor, divisor.block_->number,
                            divisor.block_->factor, decimals, mode);
    block_->number = v.number;
    block_->factor = v.factor;
    return *this;
}

decimal& decimal::divide_in_place(long long divisor, int decimals, rounding_mode mode) {
    const value v = divided(block_->number, block_->factor, divisor, 0, decimals, mode);
    block_->number = v.number;
    block_->factor = v.factor;
    return *this;
}

std::vector<decimal> decimal::split(std::size_t parts, int decimals) const {
    if (parts == 0) {
        throw std::invalid_argument("vorn::core::decimal: no parts to split into");
    }
    return split(std::vector<long long>(parts, 1), decimals);
}

std::vector<decimal> decimal::split(const std::vector<long long>& weights, int decimals) const {
    const std::int16_t factor = factor_for(decimals);
    int128 total = 0;
    for (long long w : weights) {
        if (w < 0) {
            throw std::invalid_argument("vorn::core::decimal: a negative weight");
        }
        total += w;
    }
    if (total == 0) {
        throw std::invalid_argument("vorn::core::decimal: no weight to split by");
    }
    const std::int64_t units = units_of(block_->number, block_->factor, decimals);
    // Each share cut toward zero; |units × w| < 2^126.
    std::vector<std::int64_t> cut(weights.size());
    std::vector<uint128> remainder(weights.size());
    int128 given = 0;
    for (std::size_t i = 0; i < weights.size(); ++i) {
        const int128 exact = int128{units} * weights[i];
        cut[i] = static_cast<std::int64_t>(exact / total);  // at most |units|
        const int128 rest = exact % total;
        remainder[i] = static_cast<uint128>(rest < 0 ? -rest : rest);
        given += cut[i];
    }
    // The units left over (fewer than the parts) go to the largest remainders, ties to the
    // earlier part.
    auto left = static_cast<std::int64_t>(units - given);
    const std::int64_t unit = left < 0 ? -1 : 1;
    std::vector<std::size_t> order(weights.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return remainder[a] > remainder[b]; });
    for (std::size_t i = 0; left != 0; ++i, left -= unit) {
        cut[order[i]] += unit;
    }
    std::vector<decimal> result;
    result.reserve(weights.size());
    for (std::int64_t part : cut) {
        result.emplace_back(part, factor);
    }
    return result;
}

}  // namespace vorn::core::v2
