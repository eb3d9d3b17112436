#include "vorn/core/decimal.hpp"

#include <math.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "text/fixed_format.hpp"

namespace vorn::core::v2 {

struct decimal::block {
    std::int16_t factor;
    std::int64_t number;
};

namespace {

__extension__ using int128 = __int128;

constexpr std::uint64_t powers_of_ten[] = {1ULL,
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
constexpr int largest_scale = 19;

// number × 10^shift, exactly. When that is 10^20 or more in magnitude, no sum with another
// 64-bit number can come back into 64 bits, so `fits` is cleared instead.
int128 scaled(std::int64_t number, int shift, bool& fits) {
    if (number == 0 || shift == 0) {
        return number;
    }
    if (shift > largest_scale) {
        fits = false;
        return 0;
    }
    // |number| < 2^63 and 10^19 < 2^64: the product stays below 2^127.
    return static_cast<int128>(number) * static_cast<int128>(powers_of_ten[shift]);
}

// The exact a ± b at the finer of the two factors.
decimal aligned(std::int64_t a_number, int a_factor, std::int64_t b_number, int b_factor,
                bool subtract) {
    const int factor = a_factor < b_factor ? a_factor : b_factor;
    bool fits = true;
    const int128 a = scaled(a_number, a_factor - factor, fits);
    const int128 b = scaled(b_number, b_factor - factor, fits);
    // At most one operand is scaled, so the sum stays far inside the 128-bit range.
    const int128 exact = subtract ? a - b : a + b;
    if (!fits || exact < INT64_MIN || exact > INT64_MAX) {
        throw std::overflow_error(subtract
                                      ? "decimal difference does not fit in a signed 64-bit number"
                                      : "decimal sum does not fit in a signed 64-bit number");
    }
    return decimal(static_cast<long long>(exact), static_cast<short>(factor));
}

// 10^factor as libm's extended power function gives it; the common factors are computed
// once, by that same function, so the results are identical.
long double power_of_ten(int factor) {
    constexpr int table_limit = 64;
    struct table {
        long double values[2 * table_limit + 1];
        table() {
            for (int i = 0; i <= 2 * table_limit; ++i) {
                values[i] = powl(10.0L, static_cast<long double>(i - table_limit));
            }
        }
    };
    if (factor < -table_limit || factor > table_limit) {
        return powl(10.0L, static_cast<long double>(factor));
    }
    static const table powers;
    return powers.values[factor + table_limit];
}

}  // namespace

decimal::decimal() : decimal(0, 0) {}

decimal::decimal(long long number, short factor) : block_(new block{factor, number}) {
    static_assert(sizeof(decimal) == sizeof(void*), "a decimal is one owned pointer");
    static_assert(
        offsetof(block, factor) == 0 && offsetof(block, number) == 8 && sizeof(block) == 16,
        "the block holds the factor, then the number");
}

decimal::decimal(const decimal& other) : block_(new block(*other.block_)) {}

decimal::decimal(decimal&& other) : block_(new block(*other.block_)) {}

decimal::~decimal() {
    delete block_;
}

decimal& decimal::operator=(const decimal& other) noexcept {
    *block_ = *other.block_;
    return *this;
}

decimal& decimal::operator=(decimal&& other) noexcept {
    *block_ = *other.block_;
    return *this;
}

long long decimal::get_number() const noexcept {
    return block_->number;
}

short decimal::get_factor() const noexcept {
    return block_->factor;
}

decimal decimal::operator+(const decimal& other) {
    return aligned(block_->number, block_->factor, other.block_->number, other.block_->factor,
                   false);
}

decimal decimal::operator-(const decimal& other) {
    return aligned(block_->number, block_->factor, other.block_->number, other.block_->factor,
                   true);
}

std::string decimal::to_string(unsigned int precision, char separator) const {
    const unsigned int digits = precision > INT_MAX ? INT_MAX : precision;
    const long double value =
        static_cast<long double>(block_->number) * power_of_ten(block_->factor);
    return detail::format_fixed(value, digits, separator);
}

}  // namespace vorn::core::v2
